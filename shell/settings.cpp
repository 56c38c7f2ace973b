#include "shell/settings.h"

#include "common/unique_owner.h"
#include "shell/main_window.h"
#include "shell/pane_layout.h"
#include "views/object_list.h"

WindowSettingsRecord WindowSettings = kDefaultWindowSettings;

namespace {

// The rectangle the window has when it is neither minimised nor maximised. A
// minimised window's own rectangle is the icon's, far off screen; stored, it
// would bring the next run up where no one can see it.
RECT RestoredRectangle(HWND window) {
    RECT outer{};
    GetWindowRect(window, &outer);
    if (!IsIconic(window) && !IsZoomed(window)) return outer;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return outer;
    // The placement is in workspace coordinates, which begin at the work area.
    RECT restored = placement.rcNormalPosition;
    RECT workArea{};
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0)) OffsetRect(&restored, workArea.left, workArea.top);
    return restored;
}

}  // namespace

void LoadSettings() {
    WindowSettings = kDefaultWindowSettings;
    UniqueRegistryKey key;
    RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put());
    if (key) {
        // A shorter value replaces only the fields it covers, whatever its type.
        // A longer one does not fit; the buffer is then undefined, so the
        // defaults stay.
        WindowSettingsRecord stored = WindowSettings;
        DWORD size = sizeof stored;
        if (RegQueryValueExA(key.get(), kSettingsValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size) ==
            ERROR_SUCCESS) {
            WindowSettings = stored;
        }
    }
    SplitPercent = WindowSettings.splitPercent;
    ListViewStyle = WindowSettings.listViewStyle;
    CurrentViewCommand = static_cast<UINT>(WindowSettings.viewCommand);
}

void SaveSettings(HWND mainWindow) {
    const RECT outer = RestoredRectangle(mainWindow);
    WindowSettings.x = outer.left;
    WindowSettings.y = outer.top;
    WindowSettings.width = outer.right - outer.left;
    WindowSettings.height = outer.bottom - outer.top;
    WindowSettings.splitPercent = SplitPercent;
    WindowSettings.listViewStyle = ListViewStyle;
    WindowSettings.viewCommand = static_cast<std::int32_t>(CurrentViewCommand);

    // Only opened: a key removed meanwhile is not created again.
    UniqueRegistryKey key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()) != ERROR_SUCCESS) return;
    RegSetValueExA(key.get(), kSettingsValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&WindowSettings),
                   sizeof WindowSettings);
}
