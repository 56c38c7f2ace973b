#include "shell/toolbar_status.h"

#include <shlwapi.h>

#include <cstdio>
#include <iterator>

#include "common/unique_owner.h"
#include "resource_ids.h"
#include "shell/app_context.h"

HBITMAP ToolbarBitmap = nullptr;

namespace {

static_assert(sizeof(void*) != 4 || sizeof(TBBUTTON) == 20);
static_assert(sizeof(DLLVERSIONINFO) == 20);

constexpr BYTE kEnabled = TBSTATE_ENABLED;  // 4
constexpr BYTE kDisabled = 0;
constexpr BYTE kSeparator = TBSTYLE_SEP;    // 1
constexpr BYTE kButton = TBSTYLE_BUTTON;    // 0
constexpr int kDividerImage = 6;

// Groups divided by disabled buttons that show the etched divider image.
constexpr TBBUTTON FlatToolbarButtons[] = {
    {0, 0, kEnabled, kSeparator, {}, 0, 0},
    {0, CMD_LARGE_ICON_VIEW, kEnabled, kButton, {}, 0, 0},
    {1, CMD_SMALL_ICON_VIEW, kEnabled, kButton, {}, 0, 0},
    {2, CMD_LIST_VIEW, kEnabled, kButton, {}, 0, 0},
    {3, CMD_DETAILS_VIEW, kEnabled, kButton, {}, 0, 0},
    {kDividerImage, 0, kDisabled, kButton, {}, 0, 0},
    {4, CMD_UP_ONE_LEVEL, kEnabled, kButton, {}, 0, 0},
    {kDividerImage, 0, kDisabled, kButton, {}, 0, 0},
    {5, CMD_PROPERTIES, kEnabled, kButton, {}, 0, 0},
    {kDividerImage, 0, kDisabled, kButton, {}, 0, 0},
};

// Groups divided by separators.
constexpr TBBUTTON ClassicToolbarButtons[] = {
    {0, 0, kEnabled, kSeparator, {}, 0, 0},
    {0, CMD_LARGE_ICON_VIEW, kEnabled, kButton, {}, 0, 0},
    {1, CMD_SMALL_ICON_VIEW, kEnabled, kButton, {}, 0, 0},
    {2, CMD_LIST_VIEW, kEnabled, kButton, {}, 0, 0},
    {3, CMD_DETAILS_VIEW, kEnabled, kButton, {}, 0, 0},
    {0, 0, kEnabled, kSeparator, {}, 0, 0},
    {4, CMD_UP_ONE_LEVEL, kEnabled, kButton, {}, 0, 0},
    {0, 0, kEnabled, kSeparator, {}, 0, 0},
    {5, CMD_PROPERTIES, kEnabled, kButton, {}, 0, 0},
};

constexpr DWORD kClassicToolbarStyle = WS_CHILD | WS_VISIBLE | WS_BORDER |
                                       TBSTYLE_TOOLTIPS;  // 0x100
constexpr DWORD kFlatToolbarStyle = kClassicToolbarStyle |
                                    TBSTYLE_FLAT;         // 0x800
static_assert(kClassicToolbarStyle == 0x50800100 && kFlatToolbarStyle == 0x50800900);

constexpr ToolbarLayout kFlatLayout = {kFlatToolbarStyle, FlatToolbarButtons, 10};
constexpr ToolbarLayout kClassicLayout = {kClassicToolbarStyle, ClassicToolbarButtons, 9};
static_assert(std::size(FlatToolbarButtons) == 10 && std::size(ClassicToolbarButtons) == 9);

// The image count given at creation, although the strip holds seven images.
constexpr int kCreationImageCount = 4;
constexpr int kImageSize = 16;

constexpr int kStatusPrefixSize = 32;
char StatusPrefix[kStatusPrefixSize];

using UniqueDeviceContext = UniqueOwner<HDC, DeleteDC>;

// The strip is drawn on light grey, while the toolbar masks its images on the
// button face of the colour scheme: the grey becomes that face, as it does in
// the bitmaps the toolbar loads itself.
void MapStripBackground(HBITMAP strip) {
    constexpr COLORREF kStripBackground = RGB(192, 192, 192);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    BITMAP size{};
    if (face == kStripBackground || !GetObjectA(strip, sizeof size, &size)) return;
    HDC screen = GetDC(nullptr);
    UniqueDeviceContext context(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    if (!context) return;
    HGDIOBJ old = SelectObject(context.get(), strip);
    for (int y = 0; y < size.bmHeight; ++y) {
        for (int x = 0; x < size.bmWidth; ++x) {
            if (GetPixel(context.get(), x, y) == kStripBackground) SetPixel(context.get(), x, y, face);
        }
    }
    SelectObject(context.get(), old);
}

}  // namespace

const ToolbarLayout& ChooseToolbarLayout(DWORD major, DWORD minor) {
    if (major > 4 || (major == 4 && minor >= 70)) return kFlatLayout;
    return kClassicLayout;
}

HRESULT GetCommonControlsVersion(const char* libraryName, DWORD* major, DWORD* minor) {
    *major = 0;
    *minor = 0;
    UniqueModule library(LoadLibraryA(libraryName));
    if (!library) return E_FAIL;
    // Through the generic function type, so the cast says it is deliberate.
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void (*)()>(GetProcAddress(library.get(), "DllGetVersion")));
    if (getVersion == nullptr) {
        *major = 4;
        *minor = 0;
        return S_OK;
    }
    DLLVERSIONINFO version{};
    version.cbSize = sizeof version;
    HRESULT status = getVersion(&version);
    if (SUCCEEDED(status)) {
        *major = version.dwMajorVersion;
        *minor = version.dwMinorVersion;
    }
    return status;
}

void AddMissingToolbarImages(HWND toolbar, HBITMAP strip) {
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
    const int present = ImageList_GetImageCount(images);
    if (images == nullptr || strip == nullptr || present >= kToolbarImageCount) return;

    // Copy the missing images out of the strip and append them, masked on the
    // button face as the toolbar masks its own.
    const int missing = kToolbarImageCount - present;
    HDC screen = GetDC(nullptr);
    UniqueDeviceContext source(CreateCompatibleDC(screen));
    UniqueDeviceContext target(CreateCompatibleDC(screen));
    UniqueGdiObject part(CreateCompatibleBitmap(screen, missing * kImageSize, kImageSize));
    ReleaseDC(nullptr, screen);
    if (!source || !target || !part) return;

    HGDIOBJ oldSource = SelectObject(source.get(), strip);
    HGDIOBJ oldTarget = SelectObject(target.get(), part.get());
    BitBlt(target.get(), 0, 0, missing * kImageSize, kImageSize, source.get(), present * kImageSize, 0, SRCCOPY);
    SelectObject(target.get(), oldTarget);
    SelectObject(source.get(), oldSource);
    ImageList_AddMasked(images, static_cast<HBITMAP>(part.get()), GetSysColor(COLOR_BTNFACE));
}

HWND CreateMainToolbar(HWND mainWindow) {
    ToolbarBitmap = LoadBitmapA(AppContext.instance, "TOOLBAR_BMP");
    MapStripBackground(ToolbarBitmap);
    DWORD major = 0;
    DWORD minor = 0;
    GetCommonControlsVersion("comctl32.dll", &major, &minor);
    const ToolbarLayout& layout = ChooseToolbarLayout(major, minor);

    HWND toolbar = CreateToolbarEx(mainWindow, layout.style, kToolbarId, kCreationImageCount, nullptr,
                                   reinterpret_cast<UINT_PTR>(ToolbarBitmap), layout.buttons, layout.buttonCount,
                                   kImageSize, kImageSize, kImageSize, kImageSize, sizeof(TBBUTTON));
    if (toolbar != nullptr) AddMissingToolbarImages(toolbar, ToolbarBitmap);
    return toolbar;
}

void SetStatusText(HINSTANCE instance, HWND statusBar, const char* path) {
    // A failed load leaves the prefix empty and is tried again next time.
    if (StatusPrefix[0] == '\0') LoadStringA(instance, STR_STATUS_PREFIX, StatusPrefix, kStatusPrefixSize);
    if (path == nullptr) path = "None";
    // A path too long for the text is cut at the buffer's end.
    char text[kStatusTextSize];
    std::snprintf(text, sizeof text, "%s %s", StatusPrefix, path);
    SendMessageA(statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}
