// The Access page of the object property sheet, template "ACCESS_PAGE": the
// rights the object grants the account running the program, what an access
// check of its token against the DACL says of them, and the descriptor as
// SDDL text. Read when the page is first shown and again on Refresh.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "namespace/effective_access.h"

// One line of the rights list: a right of the object's permission table (a
// generic one as the type maps it), a standard right the table leaves out,
// or the granted rights that nothing names.
struct AccessRightLine {
    std::string name;
    ACCESS_MASK mask;
    const char* state;  // "granted", "not granted", or "when asked for" (audits, with the privilege)
};

struct AccessPageTexts {
    std::string summary;    // the granted mask, or why there is none
    std::vector<AccessRightLine> rights;
    std::string check;      // the access check's answer beside the open's
    std::string sddlLabel;  // what the text holds, or why there is none
    std::string sddl;
};

AccessPageTexts DescribeAccessPicture(const AccessPicture& picture, const char* path);

// The dialog procedure of the "ACCESS_PAGE" page.
INT_PTR CALLBACK AccessPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
