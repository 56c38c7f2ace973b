// The modal "Object Properties" sheet with its Details, Security, Handles, Access and Type pages.
#pragma once

#include <windows.h>

// Opens the sheet for path when the object can be opened; otherwise says so.
// A null path opens nothing.
void ShowObjectProperties(HWND parent, HINSTANCE instance, const char* path);

// Opens a sheet with only the Type page, for an object of any type, the
// types that no open of the full sheet accepts included.
void ShowTypeInformation(HWND parent, HINSTANCE instance, const char* path);
