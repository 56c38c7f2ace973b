#include "browser_fixture.h"
#include "namespace/object_opener.h"
#include <cstdio>
#include "namespace/native_services.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "support/test_namespace.h"
#include "views/navigation.h"

namespace {

using NavigationTest = BrowserTest;

int RowCount() { return static_cast<int>(SendMessageA(AppContext.objectList, LVM_GETITEMCOUNT, 0, 0)); }

TEST_F(NavigationTest, StartShowsTheRootListedWithTheFocusInTheTree) {
    ASSERT_TRUE(OpenBrowser());
    EXPECT_STREQ(CurrentDirectory, "\\");
    EXPECT_EQ(TreeItemPath(TreeCaret()), "\\");
    EXPECT_NE(FindRow("BaseNamedObjects"), -1);
    EXPECT_EQ(StatusText(), "Currently selected:  \\");
    EXPECT_EQ(GetFocus(), AppContext.namespaceTree);
}

// What the list and the status bar see of CurrentDirectory while they change.
struct Observed {
    std::string directoryAtFirstRow;
    std::string directoryAtStatus;
    int rowsAtStatus = -1;
};
Observed Seen;
WNDPROC ListProc;
WNDPROC StatusProc;

LRESULT CALLBACK WatchList(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_INSERTITEMA && Seen.directoryAtFirstRow.empty()) Seen.directoryAtFirstRow = CurrentDirectory;
    return CallWindowProcA(ListProc, window, message, wParam, lParam);
}

LRESULT CALLBACK WatchStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == SB_SETTEXTA) {
        Seen.directoryAtStatus = CurrentDirectory;
        Seen.rowsAtStatus = RowCount();
    }
    return CallWindowProcA(StatusProc, window, message, wParam, lParam);
}

TEST_F(NavigationTest, TreeReportsRefillListThenDirectoryThenStatus) {
    ScratchDirectory scratch;
    scratch.AddEvent("Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    ListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(AppContext.objectList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchList)));
    StatusProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(AppContext.statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchStatus)));

    Seen = {};
    SelectInTree(scratch.Path());
    EXPECT_EQ(Seen.directoryAtFirstRow, "\\");
    EXPECT_EQ(Seen.directoryAtStatus, scratch.Path());
    EXPECT_EQ(Seen.rowsAtStatus, 1);

    // Regaining the focus refills the list for the same selection.
    SetFocus(AppContext.objectList);
    AppContext.SelectedPath = nullptr;
    const long fills = NamespaceCounters().enumerations;
    Seen = {};
    SetFocus(AppContext.namespaceTree);
    EXPECT_GT(NamespaceCounters().enumerations, fills);
    EXPECT_EQ(Seen.directoryAtStatus, scratch.Path());
    EXPECT_EQ(std::string(AppContext.SelectedPath), scratch.Path());

    SetWindowLongPtrA(AppContext.objectList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProc));
    SetWindowLongPtrA(AppContext.statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StatusProc));
}

TEST_F(NavigationTest, UpOneLevelClimbsToTheRootAndStops) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    scratch.AddDirectory("A\\B");
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(a + "\\B");

    const std::string expected[] = {a, scratch.Path(), "\\BaseNamedObjects", "\\", "\\"};
    for (const std::string& parent : expected) {
        Command(CMD_UP_ONE_LEVEL);
        EXPECT_STREQ(CurrentDirectory, parent.c_str());
        EXPECT_EQ(TreeItemPath(TreeCaret()), parent);
        EXPECT_EQ(StatusText(), "Currently selected:  " + parent);
    }
    EXPECT_NE(FindRow("BaseNamedObjects"), -1);
}

TEST_F(NavigationTest, RefreshRebuildsAndKeepsTheShownDirectory) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    scratch.AddEvent("A\\Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(a);
    ClickRow(FindRow("Ev"), NM_CLICK);
    const std::string added = scratch.AddDirectory("A\\New");

    Command(CMD_REFRESH);
    HTREEITEM caret = TreeCaret();
    EXPECT_EQ(TreeItemPath(caret), a);
    EXPECT_NE(TreeView_GetItemState(AppContext.namespaceTree, caret, TVIS_EXPANDED) & TVIS_EXPANDED, 0u);
    EXPECT_NE(TreeItem(added), nullptr);
    EXPECT_EQ(ListNames(), (std::vector<std::string>{"New", "Ev"}));
    // The clicked row's path was released; the pick is the tree item's path.
    EXPECT_EQ(AppContext.SelectedPath, TreeItemPathPointer(caret));
}

TEST_F(NavigationTest, RefreshAfterTheDirectoryVanishedThenUpOneLevel) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    const std::string gone = scratch.AddDirectory("A\\Gone");
    scratch.AddEvent("A\\Gone\\Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(gone);
    const std::string status = StatusText();
    scratch.Remove(gone + "\\Ev");
    scratch.Remove(gone);
    { OpenedObject o = OpenAnyObject(gone.c_str(), 0); printf("DEBUG gone type %d\n", o.typeIndex); }
    { OpenedObject o = OpenAnyObject((gone + "\\Ev").c_str(), 0); printf("DEBUG ev type %d\n", o.typeIndex); }

    Command(CMD_REFRESH);
    EXPECT_EQ(TreeCaret(), nullptr);
    EXPECT_EQ(RowCount(), 0);
    EXPECT_STREQ(CurrentDirectory, gone.c_str());
    EXPECT_EQ(AppContext.SelectedPath, nullptr);
    EXPECT_EQ(StatusText(), status);
    Command(CMD_PROPERTIES);
    EXPECT_TRUE(catcher_.Caught().empty());

    Command(CMD_UP_ONE_LEVEL);
    EXPECT_STREQ(CurrentDirectory, a.c_str());
    EXPECT_EQ(TreeItemPath(TreeCaret()), a);
}

}  // namespace
TEST(DebugRemove, EventVanishes) {
    ScratchDirectory scratch;
    const std::string a = scratch.AddDirectory("A");
    const std::string ev = scratch.AddEvent("A\\Ev", true, false);
    const std::string ev2 = scratch.AddEvent("Ev2", true, false);
    scratch.Remove(ev);
    scratch.Remove(ev2);
    { OpenedObject o = OpenAnyObject(ev.c_str(), 0); printf("DEBUG ev type %d\n", o.typeIndex); }
    { OpenedObject o = OpenAnyObject(ev2.c_str(), 0); printf("DEBUG ev2 type %d\n", o.typeIndex); }
    scratch.Remove(a);
    { OpenedObject o = OpenAnyObject(a.c_str(), 0); printf("DEBUG a type %d\n", o.typeIndex); }
}
TEST(DebugRemove, RawEvent) {
    ScratchDirectory scratch;
    std::string full = scratch.PathOf("Raw");
    NamedAttributes attributes(full);
    HANDLE handle = nullptr;
    NTSTATUS s = NtCreateEvent(&handle, 0x1F0003, attributes.Get(), 0, FALSE);
    printf("DEBUG create %lx\n", (unsigned long)s);
    OBJECT_BASIC_INFORMATION basic{};
    NtQueryObject(handle, ObjectBasicInformation, &basic, sizeof basic, nullptr);
    printf("DEBUG handles %lu pointers %lu attrs %lx\n", basic.HandleCount, basic.PointerCount, basic.Attributes);
    printf("DEBUG close %lx\n", (unsigned long)NtClose(handle));
    { OpenedObject o = OpenAnyObject(full.c_str(), 0); printf("DEBUG raw type %d\n", o.typeIndex); }
}
TEST(DebugRemove, Counts) {
    ScratchDirectory scratch;
    const std::string ev2 = scratch.AddEvent("Ev2", true, false);
    OpenedObject o = OpenAnyObject(ev2.c_str(), 0);
    OBJECT_BASIC_INFORMATION basic{};
    NtQueryObject(o.handle.get(), ObjectBasicInformation, &basic, sizeof basic, nullptr);
    printf("DEBUG before handles %lu\n", basic.HandleCount);
    scratch.Remove(ev2);
    NtQueryObject(o.handle.get(), ObjectBasicInformation, &basic, sizeof basic, nullptr);
    printf("DEBUG after handles %lu\n", basic.HandleCount);
}
