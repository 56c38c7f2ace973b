#include "properties/object_properties.h"

#include <commctrl.h>

#include <cstddef>
#include <iterator>

#include "common/disabled_window.h"
#include "common/path_block.h"
#include "namespace/object_opener.h"
#include "properties/access_page.h"
#include "properties/details_page.h"
#include "properties/handles_page.h"
#include "properties/security_page.h"

namespace {

// The sheet is described with the first-version records, 40 bytes each on i386.
// PROPSHEETHEADERA_V1_SIZE and PROPSHEETPAGEA_V1_SIZE are no constant
// expressions, so the checks spell out what they measure.
static_assert(sizeof(void*) != 4 || offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK) == 40);
static_assert(sizeof(void*) != 4 || offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(UINT*) == 40);
static_assert(sizeof(PROPSHEETPAGEA_V1) == offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(UINT*));

struct PageDescription {
    const char* templateName;
    const char* title;
    DLGPROC procedure;
};
constexpr PageDescription kPages[] = {
    {"DETAIL_DLG", "Details", DetailsPageProc},
    {"SECURITY", "Security", SecurityPageProc},
    {"HANDLES", "Handles", HandlesPageProc},
    {"ACCESS_PAGE", "Access", AccessPageProc},
};

// The sheet's own copy of the path, as long as the security page's.
constexpr int kSheetPathSize = 1024;

// The top-level window a child window belongs to (GetAncestor is newer than NT 4.0).
HWND TopLevelWindowOf(HWND window) {
    while (window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) window = GetParent(window);
    return window;
}

}  // namespace

void ShowObjectProperties(HWND parent, HINSTANCE instance, const char* path) {
    // Nothing selected: there is nothing to open or to name.
    if (path == nullptr) return;
    // A path that shows a name no ANSI path carries would open another
    // object, or none: it cannot be opened. Otherwise the pre-check only
    // establishes that the object opens; its handle closes at once.
    if (!IsPathAddressable(path) || !OpenAnyObject(path, 0)) {
        ShowOpenFailure(nullptr, path);
        return;
    }
    // The pages work on this copy: the row that lent the path may be deleted
    // while the sheet is up, and a later sheet must not overwrite it.
    char sheetPath[kSheetPathSize];
    lstrcpynA(sheetPath, path, kSheetPathSize);
    // The platform's sheet disables its owner only where its parent is a
    // top-level window; the program gives it the object list, a child window.
    DisabledWindow owner(TopLevelWindowOf(parent));

    // The array is walked by dwSize, so the pages are first-version records.
    PROPSHEETPAGEA_V1 pages[std::size(kPages)] = {};
    for (std::size_t i = 0; i < std::size(kPages); ++i) {
        pages[i].dwSize = PROPSHEETPAGEA_V1_SIZE;
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = kPages[i].templateName;
        pages[i].pszTitle = kPages[i].title;
        pages[i].pfnDlgProc = kPages[i].procedure;
        pages[i].lParam = reinterpret_cast<LPARAM>(sheetPath);  // every page shares the sheet's copy
    }

    PROPSHEETHEADERA header = {};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE  // pages given as records
                     | PSH_NOAPPLYNOW;  // no Apply button
    header.hwndParent = parent;
    header.hInstance = instance;
    header.pszCaption = "Object Properties";
    header.nPages = std::size(kPages);
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    PropertySheetA(&header);
}
