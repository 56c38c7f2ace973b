// Text for other programs, through the clipboard.
#pragma once

#include <windows.h>

#include <string>

// Puts text on the clipboard as ANSI text and as Unicode text: unicode
// where given, else text widened by the code page; false when the clipboard
// could not be had.
bool CopyTextToClipboard(HWND owner, const std::string& text, const std::wstring* unicode = nullptr);
