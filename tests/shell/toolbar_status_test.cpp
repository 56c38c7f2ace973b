#include <string>

#include "browser_fixture.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "shell/main_window.h"
#include "shell/toolbar_status.h"

namespace {

TEST(ToolbarVersionTest, FlatLayoutFromVersion470On) {
    struct Case {
        DWORD major;
        DWORD minor;
        int buttons;
    };
    const Case cases[] = {{4, 70, 10}, {4, 71, 10}, {5, 0, 10}, {6, 10, 10}, {4, 69, 9}, {4, 0, 9}, {0, 0, 9}, {3, 99, 9}};
    for (const Case& c : cases) {
        const ToolbarLayout& layout = ChooseToolbarLayout(c.major, c.minor);
        EXPECT_EQ(layout.buttonCount, c.buttons) << c.major << "." << c.minor;
        EXPECT_EQ((layout.style & TBSTYLE_FLAT) != 0, c.buttons == 10);
    }
}

// The stand-in libraries answer 4.70 and a failure; kernel32 has no "DllGetVersion".
TEST(ToolbarVersionTest, VersionOfTheLibrary) {
    struct Case {
        const char* library;
        HRESULT status;
        DWORD major;
        DWORD minor;
    };
    const Case cases[] = {
        {"tarnel_no_such_library.dll", E_FAIL, 0, 0},
        {"kernel32.dll", S_OK, 4, 0},
        {"tarnel_test_version_470.dll", S_OK, 4, 70},
        {"tarnel_test_version_fail.dll", E_NOTIMPL, 0, 0},
    };
    for (const Case& c : cases) {
        DWORD major = 99;
        DWORD minor = 99;
        EXPECT_EQ(GetCommonControlsVersion(c.library, &major, &minor), c.status) << c.library;
        EXPECT_EQ(major, c.major) << c.library;
        EXPECT_EQ(minor, c.minor) << c.library;
    }
}

using ToolbarTest = BrowserTest;

int ImageCount(HWND toolbar) {
    return ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0)));
}

TEST_F(ToolbarTest, ButtonsOfThePlatformsLayoutWithAllSevenImages) {
    ASSERT_TRUE(OpenBrowser());
    DWORD major = 0;
    DWORD minor = 0;
    GetCommonControlsVersion("comctl32.dll", &major, &minor);
    const ToolbarLayout& layout = ChooseToolbarLayout(major, minor);
    HWND toolbar = AppContext.toolbar;
    ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), layout.buttonCount);
    EXPECT_EQ(ImageCount(toolbar), kToolbarImageCount);
    for (int index = 0; index < layout.buttonCount; ++index) {
        TBBUTTON button{};
        SendMessageA(toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(button.iBitmap, layout.buttons[index].iBitmap) << index;
        EXPECT_EQ(button.idCommand, layout.buttons[index].idCommand) << index;
        EXPECT_EQ(button.fsStyle, layout.buttons[index].fsStyle) << index;
    }
    // The current view shows pressed, not checked.
    EXPECT_NE(SendMessageA(toolbar, TB_ISBUTTONPRESSED, CMD_DETAILS_VIEW, 0), 0);
    EXPECT_EQ(SendMessageA(toolbar, TB_ISBUTTONCHECKED, CMD_DETAILS_VIEW, 0), 0);
}

// A toolbar that took only four images of the strip gets the other three,
// the same images the program's own toolbar draws.
TEST_F(ToolbarTest, MissingImagesAreAddedFromTheStrip) {
    ASSERT_TRUE(OpenBrowser());
    HDC screen = GetDC(nullptr);
    HDC source = CreateCompatibleDC(screen);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP four = CreateCompatibleBitmap(screen, 64, 16);
    HGDIOBJ oldSource = SelectObject(source, ToolbarBitmap);
    HGDIOBJ oldTarget = SelectObject(target, four);
    BitBlt(target, 0, 0, 64, 16, source, 0, 0, SRCCOPY);
    SelectObject(target, oldTarget);
    SelectObject(source, oldSource);

    HWND partial = CreateToolbarEx(AppContext.mainWindow, WS_CHILD, 1999, 4, nullptr, reinterpret_cast<UINT_PTR>(four),
                                   nullptr, 0, 16, 16, 16, 16, sizeof(TBBUTTON));
    ASSERT_EQ(ImageCount(partial), 4);
    AddMissingToolbarImages(partial, ToolbarBitmap);
    ASSERT_EQ(ImageCount(partial), kToolbarImageCount);

    auto pixels = [&](HWND toolbar, int image) {
        HBITMAP canvas = CreateCompatibleBitmap(screen, 16, 16);
        HGDIOBJ old = SelectObject(target, canvas);
        RECT all{0, 0, 16, 16};
        FillRect(target, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ImageList_Draw(reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0)), image, target, 0, 0,
                       ILD_NORMAL);
        std::vector<COLORREF> colours;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) colours.push_back(GetPixel(target, x, y));
        }
        SelectObject(target, old);
        DeleteObject(canvas);
        return colours;
    };
    for (int image = 4; image < kToolbarImageCount; ++image) {
        EXPECT_EQ(pixels(partial, image), pixels(AppContext.toolbar, image)) << image;
    }
    EXPECT_NE(pixels(partial, 4), pixels(partial, 6));
    DestroyWindow(partial);
    DeleteObject(four);
    DeleteDC(source);
    DeleteDC(target);
    ReleaseDC(nullptr, screen);
}

TEST_F(ToolbarTest, TooltipsComeFromTheStringTable) {
    ASSERT_TRUE(OpenBrowser());
    const char* const texts[] = {"Large icon", "Small icon", "List", "Details", "Up One Level", "Properties"};
    HWND tooltip = reinterpret_cast<HWND>(SendMessageA(AppContext.toolbar, TB_GETTOOLTIPS, 0, 0));
    for (UINT id = CMD_LARGE_ICON_VIEW; id <= CMD_PROPERTIES; ++id) {
        TOOLTIPTEXTA request{};
        request.hdr = {tooltip, id, TTN_NEEDTEXTA};
        SendMessageA(AppContext.mainWindow, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&request));
        EXPECT_EQ(request.lpszText, TipText);
        EXPECT_STREQ(TipText, texts[id - CMD_LARGE_ICON_VIEW]);

        // The toolbar's own tooltip asks the main window the same way.
        char shown[80] = {};
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = AppContext.toolbar;
        tool.uId = id;
        tool.lpszText = shown;
        SendMessageA(tooltip, TTM_GETTEXTA, sizeof shown, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(shown, texts[id - CMD_LARGE_ICON_VIEW]);
    }
}

TEST_F(ToolbarTest, StatusTextNamesTheSelection) {
    ASSERT_TRUE(OpenBrowser());
    EXPECT_EQ(StatusText(), "Currently selected:  \\");
    SetStatusText(instance_, AppContext.statusBar, nullptr);
    EXPECT_EQ(StatusText(), "Currently selected:  None");
    // A path longer than the text's buffer is cut at its end.
    const std::string longPath = "\\" + std::string(300, 'x');
    SetStatusText(instance_, AppContext.statusBar, longPath.c_str());
    const std::string shown = StatusText();
    EXPECT_EQ(shown.size(), 259u);
    EXPECT_EQ(shown, ("Currently selected:  " + longPath).substr(0, 259));
}

}  // namespace
