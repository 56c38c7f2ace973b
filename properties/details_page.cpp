#include "properties/details_page.h"

#include <windowsx.h>
#include <commctrl.h>

#include <cstdio>

#include "namespace/object_details.h"
#include "namespace/object_opener.h"
#include "properties/sheet_object.h"
#include "resource_ids.h"

namespace {

constexpr int kPathSize = 1024;

void ShowBasicInformation(HWND page, const char* path, const char* typeName, const ObjectDetails& details) {
    SetDlgItemTextA(page, IDC_DETAIL_NAME, path);
    SetDlgItemTextA(page, IDC_DETAIL_TYPE, typeName);
    if (details.permanent) CheckDlgButton(page, IDC_DETAIL_PERMANENT, BST_CHECKED);
    SetDlgItemTextA(page, IDC_DETAIL_HANDLES, details.handles.c_str());
    SetDlgItemTextA(page, IDC_DETAIL_REFERENCES, details.references.c_str());
    SetDlgItemTextA(page, IDC_DETAIL_PAGED, details.paged.c_str());
    SetDlgItemTextA(page, IDC_DETAIL_NONPAGED, details.nonPaged.c_str());
}

// Without a section the group box goes and the empty labels and values stay,
// so nothing of the section area shows.
void ShowTypeSection(HWND page, const ObjectDetails& details) {
    if (!details.section) {
        ShowWindow(GetDlgItem(page, IDC_DETAIL_SECTION_GROUP), SW_HIDE);
        return;
    }
    const TypeInfoSection& section = *details.section;
    SetDlgItemTextA(page, IDC_DETAIL_SECTION_GROUP, section.caption.c_str());
    SetDlgItemTextA(page, IDC_DETAIL_SECTION_LABEL1, section.firstLabel.c_str());
    SetDlgItemTextA(page, IDC_DETAIL_SECTION_VALUE1, section.firstValue.c_str());
    SetDlgItemTextA(page, IDC_DETAIL_SECTION_LABEL2, section.secondLabel.c_str());
    SetDlgItemTextA(page, IDC_DETAIL_SECTION_VALUE2, section.secondValue.c_str());
}

// Opens the object again and shows what it is now; lParam is the page record.
BOOL OnInitDialog(HWND page, HWND, LPARAM lParam) {
    SendMessageA(GetParent(page), PSM_CANCELTOCLOSE, 0, 0);

    const SheetObject& shown = SheetObjectOf(lParam);
    const char* path = shown.path;

    OpenedObject object = OpenAnyObject(shown.Name(), 0);
    if (!object) {
        ShowOpenFailure(page, path);
        EndDialog(page, 0);
        return FALSE;
    }
    ObjectDetails details = QueryObjectDetails(object.handle.get(), object.typeIndex, shown.Name());
    ShowBasicInformation(page, path, ObjectTypeName(object.typeIndex), details);
    ShowTypeSection(page, details);
    return TRUE;
}

}  // namespace

void ShowOpenFailure(HWND owner, const char* path) {
    char text[kPathSize + 32];
    std::snprintf(text, sizeof text, "Unable to open %s", path);
    MessageBoxA(owner, text, "Tarnel", MB_ICONERROR);
}

INT_PTR CALLBACK DetailsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnInitDialog);
    default:
        break;
    }
    return FALSE;
}
