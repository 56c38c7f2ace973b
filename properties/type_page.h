// The Type page, template "TYPE_PAGE": what the object's type is system-wide
// (counts, rights, generic mapping) and what the object itself holds, by its
// type. Filled when first shown and again on Refresh; a directory's entries
// are counted a slice per timer tick, so that a huge one holds nothing up.
#pragma once

#include <windows.h>

// The dialog procedure of the "TYPE_PAGE" page.
INT_PTR CALLBACK TypePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// How many entries the count reads per tick at most, and for about how long;
// tests make the slice small, and 0 restores the default.
inline constexpr long kDefaultCountSlice = 500;
inline constexpr DWORD kCountSliceBudgetMs = 50;
void SetTypePageCountSlice(long entries);
