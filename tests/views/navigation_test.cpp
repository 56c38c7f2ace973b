#include "browser_fixture.h"
#include "namespace/native_services.h"
#include "resource_ids.h"
#include "support/test_namespace.h"
#include "views/navigation.h"

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

}  // namespace
