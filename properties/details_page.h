// The Details page of the object property sheet, template "DETAIL_DLG".
#pragma once

#include <windows.h>

// Shows "Unable to open <path>" in the program's error style, owned by owner.
void ShowOpenFailure(HWND owner, const char* path);

// The dialog procedure of the "DETAIL_DLG" page: fills it once, at creation.
INT_PTR CALLBACK DetailsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
