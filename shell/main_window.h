// The main window's procedure: panes, clean-up, layout, notifications and commands.
#pragma once

#include <windows.h>

// Command id (120 to 123) of the list's current view; its toolbar button shows pressed.
extern UINT CurrentViewCommand;

// Receives tooltip texts; the tooltip reads it after the notification has returned.
inline constexpr int kTipTextSize = 260;
extern char TipText[kTipTextSize];

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
