#include "properties/object_properties.h"

#include <commctrl.h>

#include <cstddef>

#include "common/disabled_window.h"
#include "common/path_block.h"
#include "namespace/object_opener.h"
#include "properties/access_page.h"
#include "properties/details_page.h"
#include "properties/handles_page.h"
#include "properties/sheet_object.h"
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

// The top-level window a child window belongs to (GetAncestor is newer than NT 4.0).
HWND TopLevelWindowOf(HWND window) {
    while (window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) window = GetParent(window);
    return window;
}

// Runs the modal sheet over a copy of path, its owner disabled meanwhile.
template <std::size_t N>
void RunObjectSheet(HWND parent, HINSTANCE instance, const ObjectName& path, const char* caption,
                    const PageDescription (&pageTable)[N], UINT startPage = 0) {
    // The pages work on this copy: the row that lent the path may be deleted
    // while the sheet is up, and a later sheet must not overwrite it.
    SheetObject sheetObject;
    sheetObject.Assign(path);
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
        pages[i].lParam = reinterpret_cast<LPARAM>(&sheetObject);  // every page shares the sheet's copy
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

void ShowObjectProperties(HWND parent, HINSTANCE instance, const ObjectName& path) {
    // Nothing selected: there is nothing to open or to name.
    if (path.path == nullptr) return;
    // The pre-check only establishes that the object opens; its handle
    // closes at once. A name no ANSI path carries opens by its exact path.
    if (!OpenAnyObject(path, 0)) {
        ShowOpenFailure(nullptr, path.path);
        return;
    }
    RunObjectSheet(parent, instance, path, "Object Properties", kPages);
}

void ShowObjectInspection(HWND parent, HINSTANCE instance, const ObjectName& path) {
    // No pre-check: each page opens the object as far as it lets itself be
    // opened (the Type page by its type's own service, the others with
    // MAXIMUM_ALLOWED) and says what it cannot read.
    if (path.path != nullptr) RunObjectSheet(parent, instance, path, "Inspect Object", kInspectionPages, kInspectionStartPage);
}
