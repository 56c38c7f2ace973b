// The Handles page of the object property sheet, template "HANDLES": the
// handles other processes hold to the object, searched when the page is
// first shown and again on Refresh. The search runs off the window's thread:
// the page shows how far it has got and lists each handle as it is found.
// This process's own handles are not listed; the note line counts them where
// the Details page's count differs.
#pragma once

#include <windows.h>

#include <string>

#include "namespace/holder_search.h"

// The text lines of the page for one finished search.
struct HandlesPageTexts {
    std::string summary;       // "3 handles in 2 processes", or why there is nothing to list
    std::string uninspected;   // "2 processes could not be inspected: a.exe (12), b.exe (34)", or empty
    std::string notAnswering;  // "1 handle not answering: c.exe (56) 0x1A4", or empty
    std::string note;          // where the Details page counts other than the list shows, why; or empty
};
HandlesPageTexts DescribeHolders(const HolderSearch& search, const char* path);

// The summary line while a search runs: "Searching: 1200 of 30000 handles, 3 processes".
std::string DescribeProgress(const HolderProgress& progress);


// The dialog procedure of the "HANDLES" page.
INT_PTR CALLBACK HandlesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
