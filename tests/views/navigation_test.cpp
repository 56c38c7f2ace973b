#include <algorithm>

#include "browser_fixture.h"
#include "namespace/native_services.h"
#include "resource_ids.h"
#include "support/test_namespace.h"
#include "views/navigation.h"
#include "views/work_progress.h"

namespace {

using NavigationTest = BrowserTest;

// What the list and the status bar see of CurrentDirectory while they change.
std::string DirectoryAtFirstRow;
std::string DirectoryAtStatus;
int RowsAtStatus;
WNDPROC ListProc;
WNDPROC StatusProc;

LRESULT CALLBACK WatchList(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_INSERTITEMA && DirectoryAtFirstRow.empty()) DirectoryAtFirstRow = CurrentDirectory;
    return CallWindowProcA(ListProc, window, message, wParam, lParam);
}

LRESULT CALLBACK WatchStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SB_SETTEXTA) {
        DirectoryAtStatus = CurrentDirectory;
        RowsAtStatus = ListView_GetItemCount(AppContext.objectList);
    }
    return CallWindowProcA(StatusProc, window, message, wParam, lParam);
}

TEST_F(NavigationTest, TreeReportsRefillTheListThenTheDirectoryThenTheStatus) {
    ScratchDirectory scratch;
    scratch.AddEvent("Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    ListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(AppContext.objectList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchList)));
    StatusProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(AppContext.statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchStatus)));
    DirectoryAtFirstRow.clear();
    SelectInTree(scratch.Path());
    EXPECT_EQ(DirectoryAtFirstRow, "\\");
    EXPECT_EQ(DirectoryAtStatus, scratch.Path());
    EXPECT_EQ(RowsAtStatus, 1);

    // Regaining the focus refills the list for the same selection.
    SetFocus(AppContext.objectList);
    AppContext.SelectedPath = nullptr;
    const long fills = NamespaceCounters().enumerations;
    DirectoryAtStatus.clear();
    SetFocus(AppContext.namespaceTree);
    EXPECT_GT(NamespaceCounters().enumerations, fills);
    EXPECT_EQ(DirectoryAtStatus, scratch.Path());
    EXPECT_EQ(AppContext.SelectedPath, TreeItemPath(TreeCaret()));
}

TEST_F(NavigationTest, UpOneLevelClimbsToTheRootAndStops) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    scratch.AddDirectory("A\\B");
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(a + "\\B");
    for (const std::string& parent : {a, scratch.Path(), std::string("\\BaseNamedObjects"), std::string("\\"),
                                      std::string("\\")}) {
        Command(CMD_UP_ONE_LEVEL);
        EXPECT_STREQ(CurrentDirectory, parent.c_str());
        EXPECT_STREQ(TreeItemPath(TreeCaret()), parent.c_str());
        EXPECT_EQ(StatusText(), "Currently selected:  " + parent);
    }
    EXPECT_NE(FindRow("BaseNamedObjects"), -1);
}

// Refresh shows the same directory in a rebuilt tree; once it has vanished,
// nothing is shown until Up One Level climbs to its parent.
TEST_F(NavigationTest, RefreshKeepsTheShownDirectoryUntilItVanishes) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    scratch.AddEvent("A\\Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(a);
    ClickList(NM_CLICK, FindRow("Ev"));
    const std::string added = scratch.AddDirectory("A\\New");
    Command(CMD_REFRESH);
    HTREEITEM caret = TreeCaret();
    EXPECT_STREQ(TreeItemPath(caret), a.c_str());
    EXPECT_NE(TreeView_GetItemState(AppContext.namespaceTree, caret, TVIS_EXPANDED) & TVIS_EXPANDED, 0u);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"New", "Ev"}));
    // The clicked row's path was released; the pick is the tree item's path.
    EXPECT_EQ(AppContext.SelectedPath, TreeItemPath(caret));

    SelectInTree(added);
    const std::string status = StatusText();
    scratch.Remove(added);
    Command(CMD_REFRESH);
    EXPECT_EQ(TreeCaret(), nullptr);
    EXPECT_EQ(ListView_GetItemCount(AppContext.objectList), 0);
    EXPECT_STREQ(CurrentDirectory, added.c_str());
    EXPECT_EQ(AppContext.SelectedPath, nullptr);
    EXPECT_EQ(StatusText(), status);
    Command(CMD_PROPERTIES);
    EXPECT_TRUE(catcher_.Caught().empty());
    Command(CMD_UP_ONE_LEVEL);
    EXPECT_STREQ(CurrentDirectory, a.c_str());
    EXPECT_STREQ(TreeItemPath(TreeCaret()), a.c_str());
}

// Up One Level from a directory whose parent has left the tree as well: the
// path climbs, but nothing is shown until a parent the tree holds is reached.
TEST_F(NavigationTest, UpOneLevelClimbsPastParentsTheTreeNoLongerHolds) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    const std::string b = scratch.AddDirectory("A\\B");
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(b);
    const std::string status = StatusText();
    scratch.Remove(b);
    scratch.Remove(a);
    Command(CMD_REFRESH);
    ASSERT_EQ(TreeItem(a), nullptr);

    Command(CMD_UP_ONE_LEVEL);
    EXPECT_STREQ(CurrentDirectory, a.c_str());
    EXPECT_EQ(TreeCaret(), nullptr);
    EXPECT_EQ(ListView_GetItemCount(AppContext.objectList), 0);
    EXPECT_EQ(StatusText(), status);
    Command(CMD_UP_ONE_LEVEL);
    EXPECT_STREQ(CurrentDirectory, scratch.Path().c_str());
    EXPECT_STREQ(TreeItemPath(TreeCaret()), scratch.Path().c_str());
    EXPECT_EQ(StatusText(), "Currently selected:  " + scratch.Path());
}

// Within one command the shown directory is listed once; anything the user
// does afterwards lists it afresh.
TEST_F(NavigationTest, OneListingPerCommandAndFreshListingsAfterwards) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    scratch.AddEvent("A\\First", true, false);
    scratch.AddDirectory("A\\B");
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(a + "\\B");

    long before = NamespaceCounters().enumerations;
    Command(CMD_UP_ONE_LEVEL);
    EXPECT_EQ(NamespaceCounters().enumerations - before, 1);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"B", "First"}));

    // A focus change by the user sees an object made after the command.
    scratch.AddEvent("A\\Second", true, false);
    SetFocus(AppContext.objectList);
    before = NamespaceCounters().enumerations;
    SetFocus(AppContext.namespaceTree);
    EXPECT_EQ(NamespaceCounters().enumerations - before, 1);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"B", "First", "Second"}));

    // Refresh walks every directory of the tree once and the list once more.
    scratch.AddEvent("A\\Third", true, false);
    before = NamespaceCounters().enumerations;
    Command(CMD_REFRESH);
    const long treeItems = static_cast<long>(TreeView_GetCount(AppContext.namespaceTree));
    EXPECT_LE(NamespaceCounters().enumerations - before, treeItems + 1);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"B", "First", "Second", "Third"}));
}

// The status texts set while a step runs, with the cursor at each.
std::vector<std::pair<std::string, HCURSOR>> StatusShown;

LRESULT CALLBACK RecordStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SB_SETTEXTA) StatusShown.emplace_back(reinterpret_cast<const char*>(lParam), GetCursor());
    return CallWindowProcA(StatusProc, window, message, wParam, lParam);
}

// A long fill says what it does and how far it has got, under the wait
// cursor, without dispatching anything; when it ends, the status text and the
// cursor are what they would have been without it. (The time before progress
// shows is cut to nothing here, so that a small directory counts as long.)
TEST_F(NavigationTest, LongWorkShowsProgressThenLeavesTheStatusAsBefore) {
    ScratchDirectory scratch;
    for (int i = 0; i < 40; ++i) scratch.AddEvent("Event" + std::to_string(i), true, false);
    const std::string gone = scratch.AddDirectory("Gone");
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    StatusProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(AppContext.statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordStatus)));
    const HCURSOR cursor = SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    SetProgressTiming({0, 0});
    StatusShown.clear();
    PostMessageA(AppContext.mainWindow, WM_COMMAND, CMD_UP_ONE_LEVEL, 0);
    SelectInTree(scratch.Path());

    const std::string listing = "Listing " + scratch.Path() + ": ";
    std::vector<long> counts;
    for (const auto& [text, shownCursor] : StatusShown) {
        if (text.rfind(listing, 0) != 0) continue;
        counts.push_back(std::stol(text.substr(listing.size())));
        EXPECT_EQ(text.substr(text.size() - 8), " objects");
        EXPECT_EQ(shownCursor, wait);
    }
    ASSERT_FALSE(counts.empty());
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_EQ(counts.back(), 41);
    EXPECT_NE(std::find(StatusShown.begin(), StatusShown.end(),
                        std::make_pair("Sorting " + scratch.Path() + ": 41 objects", wait)),
              StatusShown.end());
    EXPECT_EQ(StatusText(), "Currently selected:  " + scratch.Path());
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
    // The command posted before the fill is still waiting: nothing was dispatched.
    MSG posted;
    EXPECT_TRUE(PeekMessageA(&posted, AppContext.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE));

    // Refresh after the shown directory vanished: the tree's progress shows,
    // then the status text keeps its last value, as without progress.
    SelectInTree(gone);
    const std::string status = StatusText();
    scratch.Remove(gone);
    StatusShown.clear();
    Command(CMD_REFRESH);
    SetProgressTiming(kDefaultProgressTiming);
    ASSERT_FALSE(StatusShown.empty());
    EXPECT_EQ(StatusShown.front().first.rfind("Reading the directory tree: ", 0), 0u) << StatusShown.front().first;
    EXPECT_EQ(StatusText(), status);
    SetCursor(cursor);
}

TEST(ProgressTextTest, CountsHaveTheirThousandsSeparated) {
    const std::pair<long, const char*> cases[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {12000, "12,000"},
                                                  {1234567, "1,234,567"}};
    for (const auto& [count, text] : cases) EXPECT_EQ(FormatCount(count), text);
}

}  // namespace
