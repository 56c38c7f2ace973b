// Keeps the tree, the list, CurrentDirectory, SelectedPath and the status text in step.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>

// The directory the list shows; always begins with "\" and is writable, as
// FindTreeItemByPath needs.
inline constexpr std::size_t kCurrentDirectorySize = 1024;
extern char CurrentDirectory[kCurrentDirectorySize];

// The first fill: the whole tree from "\", the root selected, expanded and listed.
int InitializeBrowser();

// Lists the objects of path, with the list's redrawing off meanwhile.
void RefillObjectList(HWND list, const char* path);

// Command 124: shows the parent of CurrentDirectory.
void UpOneLevel();

// Command 126: rebuilds the tree and shows CurrentDirectory again.
void RefreshBrowser();

// What follows a tree or list notification: the refill, CurrentDirectory and
// the status text.
void HandleBrowserNotify(int controlId, const NMHDR* header);
