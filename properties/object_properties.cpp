#include "properties/object_properties.h"

#include <commctrl.h>

#include <cstddef>

#include "common/disabled_window.h"
#include "common/path_block.h"
#include "namespace/object_opener.h"
#include "properties/access_page.h"
#include "properties/details_page.h"
#include "properties/handles_page.h"
#include "properties/security_page.h"
#include "properties/type_page.h"

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
    {"TYPE_PAGE", "Type", TypePageProc},
};
// The sheet of the Inspect Object command: objects of any type reach it,
// whatever they grant; it opens on the Access page.
constexpr PageDescription kInspectionPages[] = {
    {"HANDLES", "Handles", HandlesPageProc},
    {"ACCESS_PAGE", "Access", AccessPageProc},
    {"TYPE_PAGE", "Type", TypePageProc},
};
constexpr UINT kInspectionStartPage = 1;

// The sheet's own copy of the path, as long as the security page's.
constexpr int kSheetPathSize = 1024;

// The top-level window a child window belongs to (GetAncestor is newer than NT 4.0).
HWND TopLevelWindowOf(HWND window) {
    while (window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) window = GetParent(window);
    return window;
}

// Runs the modal sheet over a copy of path, its owner disabled meanwhile.
template <std::size_t N>
void RunObjectSheet(HWND parent, HINSTANCE instance, const char* path, const char* caption,
                    const PageDescription (&pageTable)[N], UINT startPage = 0) {
    // The pages work on this copy: the row that lent the path may be deleted
    // while the sheet is up, and a later sheet must not overwrite it.
    char sheetPath[kSheetPathSize];
    lstrcpynA(sheetPath, path, kSheetPathSize);
    // The platform's sheet disables its owner only where its parent is a
    // top-level window; the program gives it the object list, a child window.
    DisabledWindow owner(TopLevelWindowOf(parent));

    // The array is walked by dwSize, so the pages are first-version records.
    PROPSHEETPAGEA_V1 pages[N] = {};
    for (std::size_t i = 0; i < N; ++i) {
        pages[i].dwSize = PROPSHEETPAGEA_V1_SIZE;
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = pageTable[i].templateName;
        pages[i].pszTitle = pageTable[i].title;
        pages[i].pfnDlgProc = pageTable[i].procedure;
        pages[i].lParam = reinterpret_cast<LPARAM>(sheetPath);  // every page shares the sheet's copy
    }

    PROPSHEETHEADERA header = {};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE  // pages given as records
                     | PSH_NOAPPLYNOW;  // no Apply button
    header.hwndParent = parent;
    header.hInstance = instance;
    header.pszCaption = caption;
    header.nPages = N;
    header.nStartPage = startPage;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    PropertySheetA(&header);
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
    RunObjectSheet(parent, instance, path, "Object Properties", kPages);
}

void ShowObjectInspection(HWND parent, HINSTANCE instance, const char* path) {
    // No pre-check: each page opens the object as far as it lets itself be
    // opened (the Type page by its type's own service, the others with
    // MAXIMUM_ALLOWED) and says what it cannot read.
    if (path != nullptr) RunObjectSheet(parent, instance, path, "Inspect Object", kInspectionPages, kInspectionStartPage);
}
