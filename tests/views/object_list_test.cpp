#include "browser_fixture.h"
#include "resource_ids.h"
#include "shell/main_window.h"
#include "support/test_namespace.h"
#include "views/navigation.h"
#include "views/namespace_tree.h"
#include "views/object_list.h"

namespace {

using ObjectListTest = BrowserTest;

std::string Field(int row, int subItem) {
    char text[260] = {};
    ListView_GetItemText(AppContext.objectList, row, subItem, text, sizeof text);
    return text;
}

int Image(int row) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ListView_GetItem(AppContext.objectList, &item);
    return item.iImage;
}

TEST_F(ObjectListTest, RowsShowNameTypeTargetAndIcon) {
    ScratchDirectory scratch;
    scratch.AddDirectory("sub");
    scratch.AddEvent("Ev", true, false);
    scratch.AddSymbolicLink("Ln", "\\Device\\Null");
    scratch.AddMutant("Mu", false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(scratch.Path());

    // Directories first, then by bytes, upper case before lower case.
    ASSERT_EQ(ListNames(), (std::vector<std::string>{"sub", "Ev", "Ln", "Mu"}));
    const struct {
        const char* type;
        const char* target;
        int image;
    } rows[] = {{"Directory", "", 8}, {"Event", "", 4}, {"SymbolicLink", "\\Device\\Null", 5}, {"Mutant", "", 9}};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(Field(row, 1), rows[row].type);
        EXPECT_EQ(Field(row, 2), rows[row].target);
        EXPECT_EQ(Image(row), rows[row].image);
    }

    // A row text without TAB, and one of four fields; the type lookup is case-sensitive.
    DeleteAllObjectRows(AppContext.objectList);
    char plain[] = "Plain";
    char four[] = "Four\tKey\tTarget\tExtra";
    ASSERT_TRUE(AddObjectRow(AppContext.objectList, 0, "event", plain, AllocatePathBlock()));
    ASSERT_TRUE(AddObjectRow(AppContext.objectList, 1, "Key", four, AllocatePathBlock()));
    EXPECT_EQ(Field(0, 0) + "|" + Field(0, 1) + "|" + Field(0, 2) + "|" + std::to_string(Image(0)), "Plain|||0");
    EXPECT_EQ(Field(1, 0) + "|" + Field(1, 1) + "|" + Field(1, 2) + "|" + std::to_string(Image(1)), "Four|Key|Target|1");
}

// Three left-aligned columns, each a third of the list's creation width plus
// one; the thirteen type icons in table order in both image lists, each
// type's rows drawn with its own; the tree's two directory pictures.
TEST_F(ObjectListTest, ColumnsIconsAndTreeImagesAreAsMade) {
    ASSERT_TRUE(OpenBrowser());
    RECT client;
    GetClientRect(AppContext.mainWindow, &client);
    const int listWidth = client.right - client.right / 4;
    const char* const titles[] = {"Name", "Type", "SymLink"};
    for (int column = 0; column < 4; ++column) {
        char text[32] = {};
        LVCOLUMNA read{};
        read.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        read.pszText = text;
        read.cchTextMax = sizeof text;
        const bool exists = SendMessageA(AppContext.objectList, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&read));
        ASSERT_EQ(exists, column < 3) << column;
        if (!exists) break;
        EXPECT_STREQ(text, titles[column]);
        EXPECT_EQ(read.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
        EXPECT_EQ(read.cx, listWidth / 3 + 1);
        EXPECT_EQ(read.iSubItem, column);
    }

    const struct {
        const char* type;
        const char* icon;
    } icons[] = {{"", "OBJECT_UNK_ICON"},          {"Key", "OBJECT_KEY_ICON"},
                 {"Port", "OBJECT_PORT_ICON"},     {"Device", "OBJECT_DEVICE_ICON"},
                 {"Event", "OBJECT_EVENT_ICON"},   {"SymbolicLink", "OBJECT_SYMLINK_ICON"},
                 {"Section", "OBJECT_SECTION_ICON"}, {"Driver", "OBJECT_DRIVER_ICON"},
                 {"Directory", "OBJECT_DIR_ICON"}, {"Mutant", "OBJECT_MUTANT_ICON"},
                 {"WindowStation", "OBJECT_WINDOWSTATION_ICON"}, {"Semaphore", "OBJECT_SEMAPHORE_ICON"},
                 {"Timer", "OBJECT_TIMER_ICON"}};
    EXPECT_EQ(ImageList_GetImageCount(SmallImageList), 13);
    EXPECT_EQ(ImageList_GetImageCount(LargeImageList), 13);
    DeleteAllObjectRows(AppContext.objectList);
    for (int row = 0; row < 13; ++row) {
        EXPECT_STREQ(TypeIconTable[row].typeName, icons[row].type);
        EXPECT_STREQ(TypeIconTable[row].iconName, icons[row].icon);
        EXPECT_EQ(TypeIconTable[row].imageIndex, row);
        char text[] = "Row";
        ASSERT_TRUE(AddObjectRow(AppContext.objectList, row, icons[row].type, text, AllocatePathBlock()));
        EXPECT_EQ(Image(row), row) << icons[row].type;
    }

    EXPECT_EQ(TreeView_GetImageList(AppContext.namespaceTree, TVSIL_NORMAL), TreeImageList);
    EXPECT_EQ(ImageList_GetImageCount(TreeImageList), 2);
    TVITEMA root{};
    root.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    root.hItem = TreeCaret();
    ASSERT_TRUE(TreeView_GetItem(AppContext.namespaceTree, &root));
    EXPECT_EQ(root.iImage, 0);
    EXPECT_EQ(root.iSelectedImage, 1);
}

TEST_F(ObjectListTest, ViewCommandsSwitchTheStyleAndThePressedButton) {
    ASSERT_TRUE(OpenBrowser());
    const struct {
        UINT command;
        LONG type;
    } views[] = {{CMD_LARGE_ICON_VIEW, LVS_ICON}, {CMD_SMALL_ICON_VIEW, LVS_SMALLICON}, {CMD_LIST_VIEW, LVS_LIST},
                 {CMD_DETAILS_VIEW, LVS_REPORT}};
    for (const auto& view : views) {
        Command(view.command);
        EXPECT_EQ(GetWindowLongA(AppContext.objectList, GWL_STYLE) & LVS_TYPEMASK, view.type);
        EXPECT_EQ(ListViewStyle, view.type);
        for (const auto& other : views) {
            EXPECT_EQ(SendMessageA(AppContext.toolbar, TB_ISBUTTONPRESSED, other.command, 0) != 0,
                      other.command == view.command);
        }
    }
    // The view in force again: its button ends pressed.
    Command(CMD_DETAILS_VIEW);
    EXPECT_NE(SendMessageA(AppContext.toolbar, TB_ISBUTTONPRESSED, CMD_DETAILS_VIEW, 0), 0);
    EXPECT_EQ(CurrentViewCommand, static_cast<UINT>(CMD_DETAILS_VIEW));
}

TEST_F(ObjectListTest, ClicksPickRowsAndDoubleClicksOpenThem) {
    ScratchDirectory scratch;
    const std::string sub = scratch.AddDirectory("Sub");
    const std::string event = scratch.AddEvent("Ev", true, false);
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(scratch.Path());
    ClickList(NM_CLICK, FindRow("Ev"));
    EXPECT_STREQ(AppContext.SelectedPath, event.c_str());

    // Below the rows: the pick stays and the status text is written again; a double-click does nothing.
    SendMessageA(AppContext.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("other"));
    RECT list;
    GetWindowRect(AppContext.objectList, &list);
    ClickList(NM_CLICK, -1, {list.left + 40, list.bottom - 20});
    EXPECT_STREQ(AppContext.SelectedPath, event.c_str());
    EXPECT_EQ(StatusText(), "Currently selected:  " + event);
    ClickList(NM_DBLCLK, -1, {list.left + 40, list.bottom - 20});
    EXPECT_TRUE(catcher_.Caught().empty());

    // A directory of the tree is shown there; any other row opens the property sheet.
    ClickList(NM_DBLCLK, FindRow("Sub"));
    EXPECT_STREQ(TreeItemPath(TreeCaret()), sub.c_str());
    EXPECT_STREQ(CurrentDirectory, sub.c_str());
    EXPECT_TRUE(catcher_.Caught().empty());
    SelectInTree(scratch.Path());
    ClickList(NM_DBLCLK, FindRow("Ev"));
    ASSERT_EQ(catcher_.Caught().size(), 1u);
    EXPECT_FALSE(catcher_.Caught()[0].isMessageBox);
    EXPECT_STREQ(AppContext.SelectedPath, event.c_str());
    EXPECT_EQ(StatusText(), "Currently selected:  " + event);
    Command(CMD_PROPERTIES);
    EXPECT_EQ(catcher_.Caught().size(), 2u);

    // A directory made after the tree was built is not in it: its sheet opens.
    const std::string late = scratch.AddDirectory("Late");
    SetFocus(AppContext.namespaceTree);
    ClickList(NM_DBLCLK, FindRow("Late"));
    ASSERT_EQ(catcher_.Caught().size(), 3u);
    EXPECT_FALSE(catcher_.Caught()[2].isMessageBox);
    EXPECT_STREQ(AppContext.SelectedPath, late.c_str());
    EXPECT_STREQ(CurrentDirectory, scratch.Path().c_str());
}

// Positions left of or above the primary monitor are negative, and a click
// there must land on the row under it.
TEST(MessagePositionTest, CoordinatesAreSigned) {
    const struct {
        short x, y;
    } cases[] = {{10, 20}, {-100, -50}, {-1, 300}, {1900, -1080}};
    for (const auto& c : cases) {
        const POINT point = PointOfMessagePos(MAKELONG(static_cast<WORD>(c.x), static_cast<WORD>(c.y)));
        EXPECT_EQ(point.x, c.x);
        EXPECT_EQ(point.y, c.y);
    }
}

}  // namespace
