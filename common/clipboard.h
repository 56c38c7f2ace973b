// Text for other programs, through the clipboard.
#pragma once

#include <windows.h>

#include <string>

// Puts text on the clipboard as ANSI and as Unicode text; false when the
// clipboard could not be had.
bool CopyTextToClipboard(HWND owner, const std::string& text);
