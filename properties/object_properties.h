// The modal "Object Properties" sheet with its Details, Security, Handles and Access pages.
#pragma once

#include <windows.h>

// Opens the sheet for path when the object can be opened; otherwise says so.
// A null path opens nothing.
void ShowObjectProperties(HWND parent, HINSTANCE instance, const char* path);
