// The system's own words for a Win32 error, for messages to the user.
#pragma once

#include <windows.h>

#include <string>

// "error 112: There is not enough space on the disk", or just the number
// where the system has no text for it.
std::string SystemErrorText(DWORD error);
