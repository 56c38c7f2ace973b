#include <cstring>

#include "browser_fixture.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "shell/main_window.h"
#include "support/test_namespace.h"
#include "views/navigation.h"
#include "views/object_list.h"

namespace {

using ObjectListTest = BrowserTest;

std::string Field(int row, int subItem) {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(AppContext.objectList, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

LVITEMA RowData(int row) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE | LVIF_PARAM;
    item.iItem = row;
    SendMessageA(AppContext.objectList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item;
}

int RowCount() { return static_cast<int>(SendMessageA(AppContext.objectList, LVM_GETITEMCOUNT, 0, 0)); }

TEST_F(ObjectListTest, RowsShowNameTypeTargetAndIcon) {
    ScratchDirectory scratch;
    scratch.AddDirectory("sub");
    const std::string event = scratch.AddEvent("Ev", true, false);
    scratch.AddSymbolicLink("Ln", "\\Device\\Null");
    scratch.AddMutant("Mu", false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(scratch.Path());

    // Directories first, then by bytes: upper case before lower case.
    ASSERT_EQ(ListNames(), (std::vector<std::string>{"sub", "Ev", "Ln", "Mu"}));
    struct Row {
        const char* type;
        const char* target;
        int image;
    };
    const Row rows[] = {{"Directory", "", 8}, {"Event", "", 4}, {"SymbolicLink", "\\Device\\Null", 5}, {"Mutant", "", 9}};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(Field(row, 1), rows[row].type);
        EXPECT_EQ(Field(row, 2), rows[row].target);
        EXPECT_EQ(RowData(row).iImage, rows[row].image);
    }
    EXPECT_STREQ(reinterpret_cast<const char*>(RowData(1).lParam), event.c_str());
}

TEST_F(ObjectListTest, AddObjectRowSplitsFieldsAndLooksUpTypesExactly) {
    ASSERT_TRUE(OpenBrowser());
    for (int row = 0; row < kTypeIconCount; ++row) EXPECT_EQ(TypeIconTable[row].imageIndex, row);
    DeleteAllObjectRows(AppContext.objectList);
    DeleteAllObjectRows(AppContext.objectList);  // an empty list: nothing to do
    ASSERT_EQ(RowCount(), 0);

    char plain[] = "Plain";
    char four[] = "Four\tKey\tTarget\tExtra";
    ASSERT_TRUE(AddObjectRow(AppContext.objectList, 0, "event", plain, AllocatePathBlock()));
    ASSERT_TRUE(AddObjectRow(AppContext.objectList, 1, "Key", four, AllocatePathBlock()));
    EXPECT_EQ(Field(0, 0), "Plain");
    EXPECT_EQ(Field(0, 1), "");
    EXPECT_EQ(RowData(0).iImage, 0);
    EXPECT_EQ(Field(1, 0), "Four");
    EXPECT_EQ(Field(1, 1), "Key");
    EXPECT_EQ(Field(1, 2), "Target");
    EXPECT_EQ(RowData(1).iImage, 1);

    const PathBlockCounts before = GetPathBlockCounts();
    DeleteAllObjectRows(AppContext.objectList);
    EXPECT_EQ(GetPathBlockCounts().freed - before.freed, 2);
}

TEST_F(ObjectListTest, ViewCommandsSwitchStyleAndPressedButton) {
    ASSERT_TRUE(OpenBrowser());
    static int styleChanges;
    styleChanges = 0;
    static WNDPROC original;
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        AppContext.objectList, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND list, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == WM_STYLECHANGED && wParam == static_cast<WPARAM>(GWL_STYLE)) ++styleChanges;
            return CallWindowProcA(original, list, message, wParam, lParam);
        })));

    const struct {
        UINT command;
        LONG type;
    } views[] = {{CMD_LARGE_ICON_VIEW, LVS_ICON}, {CMD_SMALL_ICON_VIEW, LVS_SMALLICON}, {CMD_LIST_VIEW, LVS_LIST},
                 {CMD_DETAILS_VIEW, LVS_REPORT}};
    for (const auto& view : views) {
        Command(view.command);
        EXPECT_EQ(GetWindowLongA(AppContext.objectList, GWL_STYLE) & LVS_TYPEMASK, view.type);
        EXPECT_EQ(ListViewStyle, view.type);
        EXPECT_EQ(CurrentViewCommand, view.command);
        for (const auto& other : views) {
            EXPECT_EQ(SendMessageA(AppContext.toolbar, TB_ISBUTTONPRESSED, other.command, 0) != 0,
                      other.command == view.command);
        }
    }
    // The view in force again: its button ends pressed and the style is not written.
    const int changes = styleChanges;
    Command(CMD_DETAILS_VIEW);
    EXPECT_EQ(styleChanges, changes);
    EXPECT_NE(SendMessageA(AppContext.toolbar, TB_ISBUTTONPRESSED, CMD_DETAILS_VIEW, 0), 0);
    SetWindowLongPtrA(AppContext.objectList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}

TEST_F(ObjectListTest, ClicksPickRowsAndOutsideKeepsThePick) {
    ScratchDirectory scratch;
    const std::string event = scratch.AddEvent("Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(scratch.Path());
    ClickRow(FindRow("Ev"), NM_CLICK);
    EXPECT_STREQ(AppContext.SelectedPath, event.c_str());
    EXPECT_EQ(StatusText(), "Currently selected:  " + event);

    // Below the last row: nothing is picked, the status text is written again.
    SendMessageA(AppContext.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("other"));
    RECT list;
    GetWindowRect(AppContext.objectList, &list);
    SetMessagePosition({list.left + 40, list.bottom - 20});
    Notify(AppContext.objectList, kObjectListId, NM_CLICK);
    EXPECT_STREQ(AppContext.SelectedPath, event.c_str());
    EXPECT_EQ(StatusText(), "Currently selected:  " + event);
    Notify(AppContext.objectList, kObjectListId, NM_DBLCLK);
    EXPECT_TRUE(catcher_.Caught().empty());
}

TEST_F(ObjectListTest, DoubleClickShowsDirectoriesAndOpensTheRest) {
    ScratchDirectory scratch;
    const std::string sub = scratch.AddDirectory("Sub");
    const std::string event = scratch.AddEvent("Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(scratch.Path());

    ClickRow(FindRow("Sub"), NM_DBLCLK);
    EXPECT_EQ(TreeItemPath(TreeCaret()), sub);
    EXPECT_STREQ(CurrentDirectory, sub.c_str());
    EXPECT_TRUE(catcher_.Caught().empty());

    SelectInTree(scratch.Path());
    ClickRow(FindRow("Ev"), NM_DBLCLK);
    ASSERT_EQ(catcher_.Caught().size(), 1u);
    EXPECT_FALSE(catcher_.Caught()[0].isMessageBox);
    EXPECT_STREQ(AppContext.SelectedPath, event.c_str());
    EXPECT_EQ(StatusText(), "Currently selected:  " + event);
}

}  // namespace
