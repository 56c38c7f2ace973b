// Filling the namespace tree and the object list from the directory walks.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "namespace/object_opener.h"

class DirectoryTestRecord;

// Adds the subtree of directories below path under the tree item parent.
void FillDirectoryTree(HWND tree, HTREEITEM parent, const ObjectName& path);

// Appends one row per entry of path to the list, then sorts the list.
void FillObjectList(HWND list, const ObjectName& path);

// True while a fill runs. A message box shown during a fill runs a message
// loop; nothing that deletes or adds rows or items may start from it.
bool IsFillRunning();

// Reports a refused row or item in the panes' failure style (the system's
// caption, OK alone), owned by the active window, with the main window
// disabled while the box is up.
void ShowFillFailure(const char* text);

// The record the list's rows were last sorted with (their directory tests,
// types and targets), or null. It lives until the rows are deleted.
DirectoryTestRecord* CurrentListingRecord();
void ForgetListingRecord();
