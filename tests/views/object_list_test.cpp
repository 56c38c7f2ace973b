#include "browser_fixture.h"
#include "resource_ids.h"
#include "shell/main_window.h"
#include "support/test_namespace.h"
#include "views/navigation.h"
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
