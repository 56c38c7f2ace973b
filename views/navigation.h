// Keeps the tree, the list, CurrentDirectory, SelectedPath and the status text in step.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>

#include "namespace/object_opener.h"

// The directory the list shows; always begins with "\" and is writable, as
// FindTreeItemByPath needs.
inline constexpr std::size_t kCurrentDirectorySize = 1024;
extern char CurrentDirectory[kCurrentDirectorySize];
// Its exact path where CurrentDirectory holds only the visible form of a name
// no ANSI path carries (or a path too long for a block); else empty.
extern std::wstring CurrentDirectoryExact;
// CurrentDirectory as a name to open or look up.
ObjectName CurrentDirectoryName();

// The first fill: the whole tree from "\", the root selected, expanded and listed.
int InitializeBrowser();

// Lists the objects of path, with the list's redrawing off meanwhile.
void RefillObjectList(HWND list, const ObjectName& path);

// Command 124: shows the parent of CurrentDirectory.
void UpOneLevel();

// Command 126: rebuilds the tree and shows CurrentDirectory again.
void RefreshBrowser();

// What follows a tree or list notification: the refill, CurrentDirectory and
// the status text.
void HandleBrowserNotify(int controlId, const NMHDR* header);
