// Sorting the list by a column the user clicks: Name, Type or SymLink, a
// second click on the same column reversing it. Directories stay first.
#pragma once

#include <windows.h>

// Sorts the list's rows by the column of subItem (0 to 2). The directory
// tests of the current listing are reused: a sort opens nothing.
void SortObjectListByColumn(HWND list, int subItem);
