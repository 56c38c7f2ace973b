// The modal "Object Properties" sheet with its Details, Security, Handles,
// Access and Type pages, and the "Inspect Object" sheet with the last three.
#pragma once

#include <windows.h>

#include "namespace/object_opener.h"

// Opens the sheet for path when the object can be opened; otherwise says so.
// A null path opens nothing. Every page opens the object by the exact path
// where path carries one.
void ShowObjectProperties(HWND parent, HINSTANCE instance, const ObjectName& path);

// Opens a sheet with the Handles, Access and Type pages, on the Access page,
// for an object of any type and whatever it grants: those the full sheet's
// opener refuses included. Each page says what it cannot read.
void ShowObjectInspection(HWND parent, HINSTANCE instance, const ObjectName& path);
