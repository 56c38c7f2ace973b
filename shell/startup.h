// Start-up: the window classes, the main window and the message loop.
#pragma once

#include <windows.h>

#include <string_view>

// Background of both window classes; deleted when the main window is destroyed.
extern HBRUSH BackgroundBrush;

// Registers "TarnelWClass" and "ZezidSplitterWClass"; 1 when both are registered.
int RegisterWindowClasses(HINSTANCE instance);

// Reads the settings, creates the main window, goes to startPath when one is
// given (the program's command line), and shows the window; 1 when it exists.
int CreateMainWindow(HINSTANCE instance, int showCommand, std::wstring_view startPath = {});

// Runs the loop until the quit request; its wParam is the result.
int RunMessageLoop(HACCEL accelerators);
