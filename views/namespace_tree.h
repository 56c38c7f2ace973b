// The left pane: the tree of directory objects under the root "\".
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "common/path_block.h"
#include "namespace/object_opener.h"
#include "shell/app_context.h"

// 16 x 16 images of a directory and of the selected directory; destroyed by
// the main window when it is destroyed (the tree does not own it).
extern HIMAGELIST TreeImageList;
extern int DirectoryImageIndex;
extern int SelectedDirectoryImageIndex;

// Creates the tree control (id 1003) and its image list; null on failure.
HWND CreateNamespaceTree(HWND parent, HINSTANCE instance);

// Appends an item under parent. From a non-null result on, the item owns path
// and releases it when the control reports the item's deletion.
HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const char* text, char* path);

// The root item "\", whose path is RootPath.
HTREEITEM InsertRootItem(HWND tree);

// Deletes every item; each item's path is released through its deletion report.
BOOL DeleteAllTreeItems(HWND tree);

// Frees deleted items' paths and turns selection and focus reports into a new
// SelectedPath. 1 when SelectedPath was set from the tree (the list is then
// refilled), else 0.
int HandleTreeNotify(int controlId, const NMHDR* header, AppContextRecord* context);

// The item whose path is path, searched from the children of start (null: the
// top level). Writes zero bytes into path while it searches and restores them.
HTREEITEM FindTreeItemByPath(HWND tree, HTREEITEM start, char* path);

// The item of the directory whose exact path is path, each name matched
// exactly as the directory spells it; null where the tree has none.
HTREEITEM FindTreeItemByExactPath(HWND tree, const std::wstring& path);

// The item of the directory name names: by its exact path where it has one,
// else by its text as FindTreeItemByPath finds it.
HTREEITEM FindTreeItemByName(HWND tree, const ObjectName& name);

// The path block an item owns (the root's constant "\" for the root), or null.
const char* TreeItemPath(HWND tree, HTREEITEM item);

// The path of the tree's caret item, or null when there is none.
const char* TreeCaretPath(HWND tree);

// Reads an item's text into a block-sized buffer, as the tree's lookups do:
// a longer text is cut. False when the item cannot be read.
bool ReadTreeItemText(HWND tree, HTREEITEM item, char (&text)[kObjectPathBlockSize]);
