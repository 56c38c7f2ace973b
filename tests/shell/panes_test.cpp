#include <functional>

#include "browser_fixture.h"
#include "resource_ids.h"
#include "shell/pane_layout.h"
#include "shell/toolbar_status.h"
#include "support/test_namespace.h"

namespace {

using PanesTest = BrowserTest;

void SetClientSize(int width) {
    RECT outer;
    RECT client;
    GetWindowRect(AppContext.mainWindow, &outer);
    GetClientRect(AppContext.mainWindow, &client);
    SetWindowPos(AppContext.mainWindow, nullptr, 0, 0, width + outer.right - outer.left - client.right,
                 outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
}

// Tree, splitter and list side by side between the toolbar's and the status bar's bands.
void ExpectSplitAt(int x, int width) {
    RECT client;
    GetClientRect(AppContext.mainWindow, &client);
    const HWND panes[] = {AppContext.namespaceTree, AppContext.splitter, AppContext.objectList};
    const int edges[] = {0, x, x, x + 3, x + 3, width};
    for (int index = 0; index < 3; ++index) {
        RECT rect;
        GetWindowRect(panes[index], &rect);
        MapWindowPoints(nullptr, AppContext.mainWindow, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, edges[2 * index]);
        EXPECT_EQ(rect.right, edges[2 * index + 1]);
        EXPECT_EQ(rect.top, 27);
        EXPECT_EQ(rect.bottom, client.bottom - 19);
    }
}

// Presses the splitter, moves the mouse to client x target and releases.
void DragSplitterTo(int target) {
    SendMessageA(AppContext.splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(AppContext.splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<short>(target - SplitX), 5));
    SendMessageA(AppContext.splitter, WM_LBUTTONUP, 0, 0);
}

TEST_F(PanesTest, SplitKeepsItsPercentageAndDragsStayWithinTheLimits) {
    ASSERT_TRUE(OpenBrowser());
    const HWND panes[] = {AppContext.statusBar, AppContext.toolbar, AppContext.objectList, AppContext.namespaceTree,
                          AppContext.splitter};
    for (int index = 0; index < 5; ++index) EXPECT_EQ(GetDlgCtrlID(panes[index]), 1000 + index);
    SetClientSize(600);
    ExpectSplitAt(300, 600);
    SetClientSize(1000);
    ExpectSplitAt(500, 1000);

    DragSplitterTo(-4000);
    ExpectSplitAt(20, 1000);
    DragSplitterTo(4000);
    ExpectSplitAt(980, 1000);
    DragSplitterTo(333);
    EXPECT_EQ(SplitPercent, 33);
    ExpectSplitAt(330, 1000);
    // A click without a move changes nothing; a resize keeps the percentage.
    SendMessageA(AppContext.splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(AppContext.splitter, WM_LBUTTONUP, 0, 0);
    SetClientSize(600);
    ExpectSplitAt(198, 600);
    // A stored percentage outside 0 to 100 is limited by the layout alone;
    // the lower limit holds at 20.
    SplitPercent = 250;
    SetClientSize(620);
    ExpectSplitAt(600, 620);
    SplitPercent = 1;
    SetClientSize(600);
    ExpectSplitAt(20, 600);

    // In a client narrower than 40 the upper limit, applied last, wins.
    HWND narrow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 30, 100, nullptr, nullptr, instance_, nullptr);
    RECT client;
    GetClientRect(narrow, &client);
    ASSERT_EQ(client.right, 30);
    SplitPercent = 50;
    EXPECT_TRUE(LayoutPanes(narrow));
    EXPECT_EQ(SplitX, 10);
    DestroyWindow(narrow);
}

TEST(ToolbarVersionTest, LayoutFollowsTheVersionOfTheLibrary) {
    EXPECT_EQ(ChooseToolbarLayout(4, 70).buttonCount, 10);
    EXPECT_EQ(ChooseToolbarLayout(5, 0).buttonCount, 10);
    EXPECT_EQ(ChooseToolbarLayout(4, 69).buttonCount, 9);
    EXPECT_EQ(ChooseToolbarLayout(3, 99).buttonCount, 9);
    // The stand-in libraries answer 4.70 and a failure; kernel32 has no "DllGetVersion".
    const struct {
        const char* library;
        HRESULT status;
        DWORD major;
        DWORD minor;
    } libraries[] = {{"tarnel_no_such_library.dll", E_FAIL, 0, 0},
                     {"kernel32.dll", S_OK, 4, 0},
                     {"tarnel_test_version_470.dll", S_OK, 4, 70},
                     {"tarnel_test_version_fail.dll", E_NOTIMPL, 0, 0}};
    for (const auto& c : libraries) {
        DWORD version[2] = {99, 99};
        EXPECT_EQ(GetCommonControlsVersion(c.library, &version[0], &version[1]), c.status) << c.library;
        EXPECT_EQ(version[0] * 100 + version[1], c.major * 100 + c.minor) << c.library;
    }
}

int ImageCount(HWND toolbar) {
    return ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0)));
}

// All seven images are there, the current view shows pressed (not checked),
// and each button's tip comes from the string table.
TEST_F(PanesTest, ToolbarButtonsImagesAndTips) {
    ASSERT_TRUE(OpenBrowser());
    // The platform's common controls are 4.70 or later: the flat layout, its
    // groups divided by disabled buttons showing the divider image.
    EXPECT_NE(GetWindowLongA(AppContext.toolbar, GWL_STYLE) & TBSTYLE_FLAT, 0);
    ASSERT_EQ(SendMessageA(AppContext.toolbar, TB_BUTTONCOUNT, 0, 0), 10);
    for (int entry : {5, 7, 9}) {
        TBBUTTON button{};
        SendMessageA(AppContext.toolbar, TB_GETBUTTON, entry, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(button.iBitmap, 6) << entry;
        EXPECT_EQ(button.fsState & TBSTATE_ENABLED, 0) << entry;
    }
    EXPECT_EQ(ImageCount(AppContext.toolbar), kToolbarImageCount);
    // The strip's light grey became the button face, on which the images are masked.
    HDC context = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(context, ToolbarBitmap);
    EXPECT_EQ(GetPixel(context, 0, 0), GetSysColor(COLOR_BTNFACE));
    SelectObject(context, old);
    DeleteDC(context);
    EXPECT_NE(SendMessageA(AppContext.toolbar, TB_ISBUTTONPRESSED, CMD_DETAILS_VIEW, 0), 0);
    EXPECT_EQ(SendMessageA(AppContext.toolbar, TB_ISBUTTONCHECKED, CMD_DETAILS_VIEW, 0), 0);
    HWND tooltip = reinterpret_cast<HWND>(SendMessageA(AppContext.toolbar, TB_GETTOOLTIPS, 0, 0));
    const char* const tips[] = {"Large icon", "Small icon", "List", "Details", "Up One Level", "Properties"};
    for (UINT id = CMD_LARGE_ICON_VIEW; id <= CMD_PROPERTIES; ++id) {
        char shown[80] = {};
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = AppContext.toolbar;
        tool.uId = id;
        tool.lpszText = shown;
        SendMessageA(tooltip, TTM_GETTEXTA, sizeof shown, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(shown, tips[id - CMD_LARGE_ICON_VIEW]);
    }

    // A toolbar that took only four images of the strip gets the other three from it.
    HWND partial = CreateToolbarEx(AppContext.mainWindow, WS_CHILD, 1999, 4, nullptr,
                                   reinterpret_cast<UINT_PTR>(ToolbarBitmap), nullptr, 0, 16, 16, 16, 16,
                                   sizeof(TBBUTTON));
    ImageList_SetImageCount(reinterpret_cast<HIMAGELIST>(SendMessageA(partial, TB_GETIMAGELIST, 0, 0)), 4);
    AddMissingToolbarImages(partial, ToolbarBitmap);
    EXPECT_EQ(ImageCount(partial), kToolbarImageCount);
    DestroyWindow(partial);
}

TEST_F(PanesTest, StatusTextNamesTheSelectionWithinItsBuffer) {
    ASSERT_TRUE(OpenBrowser());
    EXPECT_EQ(StatusText(), "Currently selected:  \\");
    SetStatusText(instance_, AppContext.statusBar, nullptr);
    EXPECT_EQ(StatusText(), "Currently selected:  None");
    const std::string longPath = "\\" + std::string(300, 'x');
    SetStatusText(instance_, AppContext.statusBar, longPath.c_str());
    EXPECT_EQ(StatusText(), ("Currently selected:  " + longPath).substr(0, 259));
}

// Lets every pending paint and message of the thread run.
void Settle() {
    MSG message;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
}

// A window's pixels as the screen has them, its frame included.
std::vector<COLORREF> WindowPixels(HWND shown) {
    RECT frame;
    GetWindowRect(shown, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC window = GetWindowDC(shown);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(shown, window);
    return pixels;
}

std::vector<COLORREF> ListPixels() { return WindowPixels(AppContext.objectList); }

// After each step the list on screen is exactly what a full repaint draws.
TEST_F(PanesTest, ListIsRepaintedWholeAfterViewChangesDragsAndResizes) {
    ScratchDirectory scratch;
    for (const char* name : {"Global", "Session", "A rather long object name", "Another"})
        scratch.AddEvent(name, true, false);
    scratch.AddDirectory("Directory");
    ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));
    SelectInTree(scratch.Path());
    Settle();

    const struct {
        const char* what;
        std::function<void()> step;
    } steps[] = {
        {"small icons", [] { Command(CMD_SMALL_ICON_VIEW); }},
        {"list", [] { Command(CMD_LIST_VIEW); }},
        {"details", [] { Command(CMD_DETAILS_VIEW); }},
        {"large icons", [] { Command(CMD_LARGE_ICON_VIEW); }},
        {"details again", [] { Command(CMD_DETAILS_VIEW); }},
        {"splitter to the right", [] { DragSplitterTo(SplitX + 150); }},
        {"splitter to the left", [] { DragSplitterTo(SplitX - 250); }},
        {"narrower window", [] { SetClientSize(520); }},
        {"wider window", [] { SetClientSize(900); }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.step();
        Settle();
        const std::vector<COLORREF> shown = ListPixels();
        RedrawWindow(AppContext.objectList, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Settle();
        EXPECT_TRUE(shown == ListPixels());
    }
}

// Capture lost in the middle of a drag (Alt+Tab, a message box): the drag
// ends where it began and the bar drawn last is erased; the release that
// follows changes nothing.
TEST_F(PanesTest, LostCaptureEndsTheDragAndErasesItsBar) {
    ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));
    SetClientSize(800);
    Settle();
    const LONG percent = SplitPercent;
    const LONG x = SplitX;
    const std::vector<COLORREF> before = WindowPixels(AppContext.mainWindow);

    SendMessageA(AppContext.splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(AppContext.splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 5));
    ASSERT_NE(DragBar.left, 0);
    ASSERT_FALSE(WindowPixels(AppContext.mainWindow) == before);  // the bar shows
    ReleaseCapture();
    EXPECT_EQ(SplitterDragging, 0);
    EXPECT_EQ(DragBar.left, 0);
    EXPECT_TRUE(WindowPixels(AppContext.mainWindow) == before);
    SendMessageA(AppContext.splitter, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(SplitPercent, percent);
    EXPECT_EQ(SplitX, x);
}

}  // namespace
