// The Type page, template "TYPE_PAGE": what the object's type is system-wide
// (counts, rights, generic mapping) and what the object itself holds, by its
// type. Filled when first shown and again on Refresh; a directory's entries
// are counted a slice per timer tick, so that a huge one holds nothing up.
#pragma once

#include <windows.h>

// The dialog procedure of the "TYPE_PAGE" page.
INT_PTR CALLBACK TypePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// How many entries the count reads per tick; tests make it small.
void SetTypePageCountSlice(long entries);
