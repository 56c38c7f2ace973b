#include "properties/object_properties.h"

#include <commctrl.h>

#include <cstddef>
#include <iterator>

#include "namespace/object_opener.h"
#include "properties/details_page.h"
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
};

}  // namespace

void ShowObjectProperties(HWND parent, HINSTANCE instance, const char* path) {
    // Nothing selected: there is nothing to open or to name.
    if (path == nullptr) return;
    // The pre-check only establishes that the object opens; its handle closes at once.
    if (!OpenAnyObject(path, 0)) {
        ShowOpenFailure(nullptr, path);
        return;
    }

    // The array is walked by dwSize, so the pages are first-version records.
    PROPSHEETPAGEA_V1 pages[std::size(kPages)] = {};
    for (std::size_t i = 0; i < std::size(kPages); ++i) {
        pages[i].dwSize = PROPSHEETPAGEA_V1_SIZE;
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = kPages[i].templateName;
        pages[i].pszTitle = kPages[i].title;
        pages[i].pfnDlgProc = kPages[i].procedure;
        pages[i].lParam = reinterpret_cast<LPARAM>(path);  // both pages share the caller's path
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
