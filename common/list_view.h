// Small wrappers over the list-view messages the program's lists share.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <span>
#include <string>

// Inserts a left-aligned column; false when the list refuses it.
bool InsertListColumn(HWND list, int index, const char* title, int width);

// A column of a list in a dialog, its width in dialog units.
struct DialogListColumn {
    const char* title;
    int width;
};

// Inserts the columns in order, their widths measured in the dialog's units.
void InsertDialogListColumns(HWND dialog, HWND list, std::span<const DialogListColumn> columns);

// Inserts a row at index with text in its first column and param as its
// data; the row's index, or -1 when the list refuses it.
int InsertListRow(HWND list, int index, const char* text, LPARAM param = 0);
// The same at the end of the list.
int AppendListRow(HWND list, const char* text, LPARAM param = 0);

// Sets the text of one column of a row.
void SetListCell(HWND list, int row, int subItem, const char* text);

// The text of one column of a row, cut to 255 characters; empty when there is no such row.
std::string ListCellText(HWND list, int row, int subItem);

// The screen point of a GetMessagePos value.
POINT PointOfMessagePos(DWORD position);

// The row under the position of the message being handled, read by
// hit-testing: -1 when it is on no row, kNoMessagePosition when the position
// cannot be taken into the list's coordinates.
inline constexpr int kNoMessagePosition = -2;
int ListRowAtMessagePos(HWND list);
