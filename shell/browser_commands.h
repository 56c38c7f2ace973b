// The commands beyond the menu's first ones: Go To (Ctrl+G), Follow Link
// (Ctrl+Enter), Find (Ctrl+F), Find Next (F3) and Copy Path (Ctrl+C).
#pragma once

#include <windows.h>

#include <string>

void GoToCommand(HWND mainWindow);
void FollowLinkCommand(HWND mainWindow);
void FindCommand(HWND mainWindow);
void FindNextCommand(HWND mainWindow);
void CopyPathCommand(HWND mainWindow);

// The path of the list's selected row (the focused one of several), or null.
const char* SelectedRowPath();

// Puts text on the clipboard as ANSI and as Unicode text; false when the
// clipboard could not be had.
bool CopyTextToClipboard(HWND owner, const std::string& text);
