// Filling the namespace tree and the object list from the directory walks.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Adds the subtree of directories below path under the tree item parent.
void FillDirectoryTree(HWND tree, HTREEITEM parent, const char* path);

// Appends one row per entry of path to the list, then sorts the list.
void FillObjectList(HWND list, const char* path);
