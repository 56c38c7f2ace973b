// Start-up: the window classes, the main window and the message loop.
#pragma once

#include <windows.h>

// Background of both window classes; deleted when the main window is destroyed.
extern HBRUSH BackgroundBrush;

// Registers "TarnelWClass" and "ZezidSplitterWClass"; 1 when both are registered.
int RegisterWindowClasses(HINSTANCE instance);

// Reads the settings, creates the main window, goes to startPath when one is
// given (the program's command line), and shows the window; 1 when it exists.
int CreateMainWindow(HINSTANCE instance, int showCommand, const wchar_t* startPath = nullptr);

// What follows the program's name on a command line, as Unicode text, so
// that a start path may hold any character: the name is skipped as the
// system parses it (quoted, or up to the first blank), then the blanks after it.
const wchar_t* CommandLineAfterProgramName(const wchar_t* commandLine);

// Runs the loop until the quit request; its wParam is the result.
int RunMessageLoop(HACCEL accelerators);
