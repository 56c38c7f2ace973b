// The toolbar along the top and the status text along the bottom.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The strip "TOOLBAR_BMP": seven 16 x 16 images; deleted with the main window.
extern HBITMAP ToolbarBitmap;
inline constexpr int kToolbarImageCount = 7;

struct ToolbarLayout {
    DWORD style;
    const TBBUTTON* buttons;
    int buttonCount;
};

// The flat layout from common controls 4.70 on, the classic one before.
const ToolbarLayout& ChooseToolbarLayout(DWORD major, DWORD minor);

// The version of a common controls library: E_FAIL when it does not load,
// 0 and version 4.0 when it has no "DllGetVersion", else that call's result.
HRESULT GetCommonControlsVersion(const char* libraryName, DWORD* major, DWORD* minor);

// Creates the toolbar (id 1001) with the layout for the platform's version.
HWND CreateMainToolbar(HWND mainWindow);

// Adds to the toolbar's images those of strip it does not have yet, so that
// all seven are drawn whatever count the platform took at creation.
void AddMissingToolbarImages(HWND toolbar, HBITMAP strip);

// The longest status text, terminator included. SB_GETTEXT takes no buffer
// size, so every text the program sets stays within this.
inline constexpr int kStatusTextSize = 260;

// "Currently selected: " and one more blank, then path or "None"; cut to the buffer.
void SetStatusText(HINSTANCE instance, HWND statusBar, const char* path);
