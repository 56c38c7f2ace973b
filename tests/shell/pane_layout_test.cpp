#include "browser_fixture.h"
#include "shell/app_context.h"
#include "shell/pane_layout.h"

namespace {

using PaneLayoutTest = BrowserTest;

int ClientHeight() {
    RECT client;
    GetClientRect(AppContext.mainWindow, &client);
    return client.bottom;
}

// Presses the splitter, moves the mouse to client x target, releases.
void DragSplitterTo(int target) {
    HWND splitter = AppContext.splitter;
    SendMessageA(splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<short>(target - SplitX), 5));
    SendMessageA(splitter, WM_LBUTTONUP, 0, 0);
}

// Tree, splitter and list side by side between the toolbar and status bands.
void ExpectSplitAt(int x, int width) {
    const int bottom = ClientHeight() - 19;
    RECT tree = BrowserTest::PaneRect(AppContext.namespaceTree);
    RECT splitter = BrowserTest::PaneRect(AppContext.splitter);
    RECT list = BrowserTest::PaneRect(AppContext.objectList);
    EXPECT_EQ(tree.left, 0);
    EXPECT_EQ(tree.top, 27);
    EXPECT_EQ(tree.right, x);
    EXPECT_EQ(tree.bottom, bottom);
    EXPECT_EQ(splitter.left, x);
    EXPECT_EQ(splitter.right, x + 3);
    EXPECT_EQ(splitter.bottom, bottom);
    EXPECT_EQ(list.left, x + 3);
    EXPECT_EQ(list.right, width);
    EXPECT_EQ(list.top, 27);
    EXPECT_EQ(list.bottom, bottom);
}

TEST_F(PaneLayoutTest, PanesHaveTheirIdsClassesAndStyles) {
    ASSERT_TRUE(OpenBrowser());
    struct Pane {
        HWND window;
        int id;
        const char* className;
        LONG style;
    };
    const Pane panes[] = {
        {AppContext.statusBar, 1000, "msctls_statusbar32", 0x50800000},
        {AppContext.toolbar, 1001, "ToolbarWindow32", 0x50800900},
        {AppContext.objectList, 1002, "SysListView32", 0x50800101},
        {AppContext.namespaceTree, 1003, "SysTreeView32", 0x50800007},
        {AppContext.splitter, 1004, "ZezidSplitterWClass", 0x50000000},
    };
    for (const Pane& pane : panes) {
        char className[64] = {};
        GetClassNameA(pane.window, className, sizeof className);
        EXPECT_STREQ(className, pane.className);
        EXPECT_EQ(GetDlgCtrlID(pane.window), pane.id);
        EXPECT_EQ(GetWindowLongA(pane.window, GWL_STYLE) & pane.style, pane.style) << pane.className;
    }
    const LONG mainStyle = GetWindowLongA(AppContext.mainWindow, GWL_STYLE);
    EXPECT_EQ(mainStyle & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(mainStyle & WS_CLIPCHILDREN, 0);
    EXPECT_EQ(GetMenuItemCount(GetMenu(AppContext.mainWindow)), 3);
}

TEST_F(PaneLayoutTest, SplitKeepsItsPercentageAcrossSizes) {
    ASSERT_TRUE(OpenBrowser());
    SetClientSize(600, 400);
    ExpectSplitAt(300, 600);
    SetClientSize(1000, 400);
    ExpectSplitAt(500, 1000);
}

TEST_F(PaneLayoutTest, DragStoresAWholePercentageWithinTheLimits) {
    ASSERT_TRUE(OpenBrowser());
    SetClientSize(1000, 500);
    DragSplitterTo(-4000);
    EXPECT_EQ(SplitPercent, 2);
    ExpectSplitAt(20, 1000);
    DragSplitterTo(4000);
    EXPECT_EQ(SplitPercent, 98);
    ExpectSplitAt(980, 1000);

    DragSplitterTo(333);
    EXPECT_EQ(SplitPercent, 33);
    ExpectSplitAt(330, 1000);
    EXPECT_EQ(SplitterDragging, 0);
    EXPECT_EQ(DragBar.left, 0);

    // A click without a move changes nothing; a resize keeps the percentage.
    SendMessageA(AppContext.splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(AppContext.splitter, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(SplitPercent, 33);
    SetClientSize(600, 500);
    ExpectSplitAt(198, 600);
}

TEST_F(PaneLayoutTest, StoredSplitIsLimitedOnlyByTheLayout) {
    WindowSettingsRecord record = kTestPlacement;
    record.splitPercent = 0;
    WriteSettingsValue(REG_BINARY, &record, sizeof record);
    ASSERT_TRUE(OpenBrowser());
    SetClientSize(600, 400);
    ExpectSplitAt(20, 600);
    SplitPercent = 250;
    SetClientSize(620, 400);
    ExpectSplitAt(600, 620);
}

}  // namespace
