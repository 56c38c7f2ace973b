// The commands beyond the menu's first ones: Go To (Ctrl+G), Follow Link
// (Ctrl+Enter), Find (Ctrl+F), Find Next (F3), Copy Path (Ctrl+C) and Find
// Accessible (Ctrl+Shift+F), Save Snapshot (Ctrl+S) and Compare with Snapshot
// (Ctrl+D).
#pragma once

#include <windows.h>

void GoToCommand(HWND mainWindow);
void FollowLinkCommand(HWND mainWindow);
void FindCommand(HWND mainWindow);
void FindNextCommand(HWND mainWindow);
void CopyPathCommand(HWND mainWindow);
void FindAccessibleCommand(HWND mainWindow);
void SaveSnapshotCommand(HWND mainWindow);
void CompareSnapshotCommand(HWND mainWindow);
