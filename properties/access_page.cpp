#include "properties/access_page.h"

#include <windowsx.h>
#include <commctrl.h>

#include <cstdio>
#include <string_view>

#include "common/clipboard.h"
#include "common/list_view.h"
#include "namespace/access_names.h"
#include "namespace/sddl_text.h"
#include "properties/sheet_object.h"
#include "resource_ids.h"

namespace {

constexpr char kGranted[] = "granted";
constexpr char kNotGranted[] = "not granted";
constexpr char kWhenAskedFor[] = "when asked for";

// The page's state: set at page creation; the first read waits for the
// first time the page is shown.
struct AccessPageState {
    SheetObject object;  // the page's own copy of the object's name
    bool read;
    std::string sddl;  // what Copy copies
};
AccessPageState AccessPage = {};

constexpr DialogListColumn kColumns[] = {
    {"Right", 130},
    {"Mask", 50},
    {"This account", 60},
};

constexpr ACCESS_MASK kGenericRights = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;

ACCESS_MASK MapGenerics(ACCESS_MASK mask, const GENERIC_MAPPING& mapping) {
    ACCESS_MASK mapped = mask & ~kGenericRights;
    if (mask & GENERIC_READ) mapped |= mapping.GenericRead;
    if (mask & GENERIC_WRITE) mapped |= mapping.GenericWrite;
    if (mask & GENERIC_EXECUTE) mapped |= mapping.GenericExecute;
    if (mask & GENERIC_ALL) mapped |= mapping.GenericAll;
    return mapped;
}

const char* StateOf(ACCESS_MASK mask, const AccessPicture& picture) {
    // An open asking for MAXIMUM_ALLOWED is never given the audit right; one
    // asking for it by name is, to a holder of the security privilege.
    if (mask == ACCESS_SYSTEM_SECURITY) return picture.auditOpened ? kWhenAskedFor : kNotGranted;
    return (picture.access.granted & mask) == mask ? kGranted : kNotGranted;
}

// The type the object opened as, by which its rights are named.
std::string_view TypeNameOf(const AccessPicture& picture) {
    return picture.access.typeName != nullptr ? picture.access.typeName : "";
}

// The type's own rights and the standard ones, those the type knows (where
// its valid rights are known) and those granted; the generic rights as the
// type maps them; then the granted rights that nothing names.
std::vector<AccessRightLine> RightLines(const AccessPicture& picture) {
    std::vector<AccessRightLine> lines;
    if (picture.access.typeName == nullptr) return lines;
    const ACCESS_MASK valid = picture.typeKnown ? picture.type.validAccessMask | ACCESS_SYSTEM_SECURITY : ~0u;
    ACCESS_MASK named = 0;
    for (const auto rights : {SpecificRightsOf(TypeNameOf(picture)), StandardRights()}) {
        for (const NamedRight& right : rights) {
            if ((right.mask & (kGenericRights | MAXIMUM_ALLOWED)) != 0) continue;
            // A right the type does not know is listed only where a handle holds it all the same.
            const bool listed = (right.mask & valid) == right.mask || (picture.access.granted & right.mask) == right.mask;
            if (!listed) continue;
            named |= right.mask;
            lines.push_back({right.name, right.mask, StateOf(right.mask, picture)});
        }
    }
    if (picture.typeKnown) {
        for (const NamedRight& right : StandardRights()) {
            if ((right.mask & kGenericRights) == 0) continue;
            const ACCESS_MASK mapped = MapGenerics(right.mask, picture.type.genericMapping);
            if (mapped == 0) continue;
            lines.push_back({right.name, mapped, StateOf(mapped, picture)});
        }
    }
    if (const ACCESS_MASK rest = picture.access.granted & ~named)
        lines.push_back({"Rights without a name here", rest, kGranted});
    return lines;
}

std::string DescribeSummary(const AccessPicture& picture, const char* path) {
    if (picture.access.status == kStatusSuccess) return "Granted to this account: " + FormatAccessMask(picture.access.granted);
    if (picture.access.status == kStatusAccessDenied) return "Refused: the object grants this account no right.";
    char status[32];
    std::snprintf(status, sizeof status, " (status 0x%08lX)", static_cast<unsigned long>(picture.access.status));
    return std::string("Unable to open ") + path + status;
}

// The access check beside the open: the same, or what each grants beyond the
// other. Both are limited to the rights the type knows (and the SACL's): the
// object manager limits a handle's rights so, an access check does not.
std::string DescribeCheck(const AccessPicture& picture) {
    char text[96];
    if (picture.access.status != kStatusSuccess) return {};
    if (picture.descriptorStatus != kStatusSuccess) {
        std::snprintf(text, sizeof text, "No access check: the descriptor cannot be read (status 0x%08lX).",
                      static_cast<unsigned long>(picture.descriptorStatus));
        return text;
    }
    if (!picture.typeKnown) return "No access check: the type's generic mapping cannot be read.";
    if (!picture.check.done) {
        std::snprintf(text, sizeof text, "No access check: AccessCheck failed (error %lu).",
                      static_cast<unsigned long>(picture.check.error));
        return text;
    }
    const ACCESS_MASK valid = picture.type.validAccessMask | ACCESS_SYSTEM_SECURITY;
    const ACCESS_MASK opened = picture.access.granted & valid;
    const ACCESS_MASK checked = picture.check.granted & valid;
    const std::string_view type = TypeNameOf(picture);
    if (opened == checked) return "An access check of this account's token against the DACL grants the same.";
    std::string line;
    if (const ACCESS_MASK more = opened & ~checked) {
        // Only a right a privilege of this account grants of itself is put down to it.
        const bool byPrivilege = (more & ~picture.privilegeRights) == 0;
        line = std::string(byPrivilege ? "This account's privileges grant more than the DACL: "
                                       : "The open was granted more than the access check against the DACL gives: ") +
               DescribeAccess(more, type) + "; the access check against the DACL gives " +
               DescribeAccess(checked, type) + ".";
    }
    if (const ACCESS_MASK more = checked & ~opened)
        line += std::string(line.empty() ? "" : " ") +
                "The access check against the DACL gives more than the open was granted: " +
                DescribeAccess(more, type) + ".";
    return line;
}

void DescribeDescriptor(const AccessPicture& picture, AccessPageTexts& texts) {
    if (picture.descriptorStatus != kStatusSuccess) {
        texts.sddlLabel = "The security descriptor cannot be read.";
        return;
    }
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                       DACL_SECURITY_INFORMATION |
                                       (picture.saclRead ? SACL_SECURITY_INFORMATION : 0);
    if (!WriteSddl(picture.descriptor.data(), picture.descriptor.size(), parts, texts.sddl)) {
        texts.sddlLabel = "The security descriptor is malformed; it has no SDDL text.";
        return;
    }
    if (texts.sddl.empty())
        texts.sddlLabel = "The security descriptor has no owner, group, DACL or SACL.";
    else if (picture.saclRead)
        texts.sddlLabel = "The security descriptor as SDDL:";
    else
        texts.sddlLabel = "The security descriptor as SDDL, without the SACL, which cannot be read:";
}

// Reads the object's access and descriptor and shows them.
void ReadAndShow(HWND page) {
    const AccessPageTexts texts = DescribeAccessPicture(ReadAccessPicture(AccessPage.object.Name()), AccessPage.object.path);
    SetDlgItemTextA(page, IDC_ACCESS_SUMMARY, texts.summary.c_str());
    HWND list = GetDlgItem(page, IDC_ACCESS_RIGHTS);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (const AccessRightLine& line : texts.rights) {
        const int row = AppendListRow(list, line.name.c_str());
        if (row == -1) continue;
        SetListCell(list, row, 1, FormatAccessMask(line.mask).c_str());
        SetListCell(list, row, 2, line.state);
    }
    SetDlgItemTextA(page, IDC_ACCESS_CHECK, texts.check.c_str());
    SetDlgItemTextA(page, IDC_ACCESS_SDDL_LABEL, texts.sddlLabel.c_str());
    SetDlgItemTextA(page, IDC_ACCESS_SDDL, texts.sddl.c_str());
    EnableWindow(GetDlgItem(page, IDC_ACCESS_COPY), !texts.sddl.empty());
    AccessPage.sddl = texts.sddl;
    AccessPage.read = true;
}

// Keeps the path and makes the columns; the reading waits for the page to be
// shown. lParam is the page record.
BOOL OnInitDialog(HWND page, HWND, LPARAM lParam) {
    AccessPage.object = SheetObjectOf(lParam);
    AccessPage.read = false;
    AccessPage.sddl.clear();
    InsertDialogListColumns(page, GetDlgItem(page, IDC_ACCESS_RIGHTS), kColumns);
    // A descriptor's text can outgrow the edit box's default limit.
    SendDlgItemMessageA(page, IDC_ACCESS_SDDL, EM_LIMITTEXT, 0, 0);
    return TRUE;
}

void OnCommand(HWND page, int id, HWND, UINT code) {
    if (code != BN_CLICKED) return;
    if (id == IDC_ACCESS_REFRESH) ReadAndShow(page);
    if (id == IDC_ACCESS_COPY && !CopyTextToClipboard(page, AccessPage.sddl)) MessageBeep(MB_OK);
}

// The first activation reads; later ones show the last reading.
void OnNotify(HWND page, const NMHDR* header) {
    if (header->code == static_cast<UINT>(PSN_SETACTIVE) && !AccessPage.read) ReadAndShow(page);
}

}  // namespace

AccessPageTexts DescribeAccessPicture(const AccessPicture& picture, const char* path) {
    AccessPageTexts texts;
    texts.summary = DescribeSummary(picture, path);
    texts.rights = RightLines(picture);
    texts.check = DescribeCheck(picture);
    DescribeDescriptor(picture, texts);
    return texts;
}

INT_PTR CALLBACK AccessPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(page, WM_COMMAND, OnCommand);
    case WM_NOTIFY:
        // Nothing is answered: PSN_SETACTIVE's result 0 lets the page show.
        OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
        break;
    default:
        break;
    }
    return FALSE;
}
