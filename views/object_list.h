// The right pane: the objects of one directory with their type icons.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "common/list_view.h"

// One row of TypeIconTable: a type name, its icon and the icon's image index
// in both image lists (0 until CreateObjectList has loaded the icons).
struct TypeIconRow {
    const char* typeName;
    const char* iconName;
    int imageIndex;
};
inline constexpr int kTypeIconCount = 13;
extern TypeIconRow TypeIconTable[kTypeIconCount];

// The list's image lists. The list view owns them and destroys them with itself.
extern HIMAGELIST SmallImageList;
extern HIMAGELIST LargeImageList;

// The list's view type: 0 icon, 1 report, 2 small icon, 3 list.
extern LONG ListViewStyle;

// Creates the list control (id 1002), its image lists and its three columns;
// null when the window or a column could not be made.
HWND CreateObjectList(HWND parent, HINSTANCE instance);

// Adds a row at position from rowText ("name\ttype[\tlink target]"), cutting
// rowText at its TABs. On true the row owns path; on false it stays the caller's.
bool AddObjectRow(HWND list, int position, const char* typeName, char* rowText, char* path);

// The path a row owns, or null when there is no such row.
char* ObjectRowPath(HWND list, int row);

// Releases a row's path and deletes the row; false when there is no such row.
bool DeleteObjectRow(HWND list, int index);
void DeleteAllObjectRows(HWND list);

// Has a pane and its children painted anew, frame included, at the next paint.
void RepaintWhole(HWND window);

// Switches the list to the view of a command 120 to 123; other ids change nothing.
void SetListViewStyle(HWND list, WPARAM command);

// Turns clicks and double-clicks on rows into a new SelectedPath, a tree
// selection or the property sheet. 1 when the status text is to be refreshed.
int HandleListNotify(HWND list, HWND tree, int controlId, const NMHDR* header, HINSTANCE instance,
                     const char** selectedPath);
