// Start-up preparation for the security editors, and the callback that writes
// an edited security descriptor back to its object.
#pragma once

#include <windows.h>

// Enables the security and take-ownership privileges in the process token.
void EnableSecurityPrivileges();

// Loads acledit.dll and looks up the three editor entry points.
void BindAclEditor();
