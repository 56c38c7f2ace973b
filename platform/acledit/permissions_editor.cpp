// The permissions editor: lists the DACL's entries, lets the user add, remove
// and change them, and hands the new descriptor to the apply callback.
#include <windowsx.h>

#include <cwchar>
#include <iterator>
#include <type_traits>

#include "platform/acledit/editor_dialog.h"
#include "platform/acledit/editor_ids.h"

extern "C" DWORD WINAPI SedDiscretionaryAclEditor(
    HWND owner, HINSTANCE instance, LPWSTR server, const SedObjectTypeDescriptor* objectType,
    const SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback applyCallback,
    ULONG_PTR callbackContext, PSECURITY_DESCRIPTOR descriptor, BOOLEAN daclNotReadable, BOOLEAN daclNotWritable,
    LPDWORD statusReturn, DWORD flags);
static_assert(std::is_same_v<decltype(&SedDiscretionaryAclEditor), SedDiscretionaryAclEditorProc>);

namespace {

constexpr wchar_t kAllow[] = L"Allow";
constexpr wchar_t kDeny[] = L"Deny";
constexpr wchar_t kSpecialAccess[] = L"Special Access";
constexpr wchar_t kSpecialAccessButton[] = L"Special Access...";
constexpr int kKindAllow = 0;
constexpr int kKindDeny = 1;
constexpr int kTitleSize = 128;

struct PermissionsDialog : EditorSession {
    const SedApplicationAccesses* accesses;
    const GENERIC_MAPPING* mapping;
    const wchar_t* specialTitle;
    AclContents dacl;
};

struct SpecialAccessDialog {
    const SedApplicationAccesses* accesses;
    const GENERIC_MAPPING* mapping;
    const wchar_t* title;
    const wchar_t* accountName;
    ACCESS_MASK mask;
    int rows[MAX_CHECK_ROWS] = {};  // the table rows of the check boxes, in order
    int rowCount = 0;
};

const SedApplicationAccess& RowOf(const SedApplicationAccesses& accesses, int index) {
    return accesses.accessGroup[index];
}

int SelectedEntry(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_ENTRY_LIST, LB_GETCURSEL, 0, 0));
}

int ChosenRow(HWND dialog) {
    const LRESULT item = SendDlgItemMessageW(dialog, IDC_ACCESS_COMBO, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) return -1;
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_ACCESS_COMBO, CB_GETITEMDATA, item, 0));
}

// Shows the combo item of a table row; no item for a special access.
void ChooseRow(HWND dialog, int row) {
    HWND combo = GetDlgItem(dialog, IDC_ACCESS_COMBO);
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    int item = -1;
    for (int i = 0; i < count && item < 0; ++i) {
        if (SendMessageW(combo, CB_GETITEMDATA, i, 0) == row) item = i;
    }
    SendMessageW(combo, CB_SETCURSEL, item, 0);
}

// The row new entries start from: the first main-list row that grants something.
int DefaultRow(const SedApplicationAccesses& accesses) {
    int first = -1;
    for (ULONG i = 0; i < accesses.count; ++i) {
        const SedApplicationAccess& row = accesses.accessGroup[i];
        if (!IsGeneralRow(row)) continue;
        if (row.accessMask1 != 0) return static_cast<int>(i);
        if (first < 0) first = static_cast<int>(i);
    }
    return first;
}

void EntryLine(const PermissionsDialog& state, const AclEntry& entry, wchar_t* line, int size) {
    wchar_t access[kTitleSize];
    const int row = FindGeneralRow(*state.accesses, state.mapping, entry.mask);
    StripAccelerator(row >= 0 ? RowOf(*state.accesses, row).permissionTitle : kSpecialAccess, access, kTitleSize);
    std::swprintf(line, size, L"%ls\t%ls\t%ls", entry.account.name,
                  entry.aceType == ACCESS_DENIED_ACE_TYPE ? kDeny : kAllow, access);
}

// Brings the access and kind choices and the buttons in line with the selected entry.
void ShowSelectedEntry(HWND dialog, const PermissionsDialog& state) {
    const int selected = SelectedEntry(dialog);
    if (selected >= 0) {
        const AclEntry& entry = state.dacl.entries[selected];
        ChooseRow(dialog, FindGeneralRow(*state.accesses, state.mapping, entry.mask));
        SendDlgItemMessageW(dialog, IDC_KIND_COMBO, CB_SETCURSEL,
                            entry.aceType == ACCESS_DENIED_ACE_TYPE ? kKindDeny : kKindAllow, 0);
    }
    EnableWindow(GetDlgItem(dialog, IDC_REMOVE), state.writable && selected >= 0);
    EnableWindow(GetDlgItem(dialog, IDC_SPECIAL_ACCESS), state.writable && selected >= 0);
}

void FillEntryList(HWND dialog, const PermissionsDialog& state, int selection) {
    HWND list = GetDlgItem(dialog, IDC_ENTRY_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const AclEntry& entry : state.dacl.entries) {
        wchar_t line[kAccountNameSize + 2 * kTitleSize];
        EntryLine(state, entry, line, static_cast<int>(std::size(line)));
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    SendMessageW(list, LB_SETCURSEL, selection, 0);
    const bool noList = !state.dacl.present && state.dacl.entries.empty();
    ShowWindow(GetDlgItem(dialog, IDC_NO_ACL_NOTE), noList ? SW_SHOW : SW_HIDE);
    ShowSelectedEntry(dialog, state);
}

void FillChoices(HWND dialog, const PermissionsDialog& state) {
    HWND access = GetDlgItem(dialog, IDC_ACCESS_COMBO);
    for (ULONG i = 0; i < state.accesses->count; ++i) {
        const SedApplicationAccess& row = state.accesses->accessGroup[i];
        if (!IsGeneralRow(row)) continue;
        wchar_t title[kTitleSize];
        StripAccelerator(row.permissionTitle, title, kTitleSize);
        const LRESULT item = SendMessageW(access, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
        SendMessageW(access, CB_SETITEMDATA, item, static_cast<LPARAM>(i));
    }
    ChooseRow(dialog, DefaultRow(*state.accesses));
    HWND kind = GetDlgItem(dialog, IDC_KIND_COMBO);
    SendMessageW(kind, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kAllow));
    SendMessageW(kind, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kDeny));
    SendMessageW(kind, CB_SETCURSEL, kKindAllow, 0);
}

// A view-only editor offers nothing that changes the list.
void DisableChanges(HWND dialog) {
    constexpr int kChangingControls[] = {IDC_ACCESS_COMBO, IDC_KIND_COMBO, IDC_SPECIAL_ACCESS, IDC_REMOVE,
                                         IDC_ACCOUNT_NAME, IDC_ADD, IDOK};
    for (int id : kChangingControls) EnableWindow(GetDlgItem(dialog, id), FALSE);
}

// ---- Special access: the type-2 rows as check boxes ----

BOOL OnSpecialInitDialog(HWND dialog, HWND, LPARAM lParam) {
    KeepDialogState(dialog, lParam);
    auto& state = *reinterpret_cast<SpecialAccessDialog*>(lParam);
    wchar_t text[kTitleSize + kAccountNameSize];
    StripAccelerator(state.title, text, kTitleSize);
    for (int end = static_cast<int>(std::wcslen(text)); end > 0 && text[end - 1] == L'.'; --end) text[end - 1] = L'\0';
    SetWindowTextW(dialog, text);
    std::swprintf(text, std::size(text), L"Rights of %ls:", state.accountName);
    SetDlgItemTextW(dialog, IDC_ACCOUNT_LABEL, text);

    state.rowCount = 0;
    for (ULONG i = 0; i < state.accesses->count && state.rowCount < MAX_CHECK_ROWS; ++i) {
        if (state.accesses->accessGroup[i].type == kSedSpecialAccess)
            state.rows[state.rowCount++] = static_cast<int>(i);
    }
    // Two columns, read down then across.
    const int perColumn = (state.rowCount + 1) / 2;
    const POINT origin = RowsOrigin(dialog);
    const RECT cell = DialogUnits(dialog, 0, 0, 123, 12);
    MakeRoom(dialog, origin.y, perColumn * cell.bottom);
    HWND previous = GetDlgItem(dialog, IDC_ROWS_ANCHOR);
    for (int i = 0; i < state.rowCount; ++i) {
        const SedApplicationAccess& row = RowOf(*state.accesses, state.rows[i]);
        const int x = origin.x + (i / perColumn) * cell.right;
        const int y = origin.y + (i % perColumn) * cell.bottom;
        const RECT place = {x, y, x + cell.right - 4, y + cell.bottom - 2};
        previous = AddControl(dialog, L"BUTTON", row.permissionTitle, BS_AUTOCHECKBOX | WS_TABSTOP,
                              IDC_FIRST_RIGHT + i, place, previous);
        const bool granted = GrantsRow(state.mask, row, state.mapping);
        CheckDlgButton(dialog, IDC_FIRST_RIGHT + i, granted ? BST_CHECKED : BST_UNCHECKED);
    }
    return TRUE;
}

// The special access is exactly the rights checked.
void OnSpecialOk(HWND dialog, SpecialAccessDialog& state) {
    ACCESS_MASK mask = 0;
    for (int i = 0; i < state.rowCount; ++i) {
        if (IsDlgButtonChecked(dialog, IDC_FIRST_RIGHT + i) == BST_CHECKED)
            mask |= RowOf(*state.accesses, state.rows[i]).accessMask1;
    }
    state.mask = mask;
    EndDialog(dialog, IDOK);
}

void OnSpecialCommand(HWND dialog, int id, HWND, UINT) {
    if (id == IDOK) OnSpecialOk(dialog, *DialogState<SpecialAccessDialog>(dialog));
    if (id == IDCANCEL) EndDialog(dialog, IDCANCEL);
}

INT_PTR CALLBACK SpecialAccessProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnSpecialInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnSpecialCommand);
    default:
        break;
    }
    return FALSE;
}

// ---- The permissions dialog ----

BOOL OnInitDialog(HWND dialog, HWND, LPARAM lParam) {
    KeepDialogState(dialog, lParam);
    const auto& state = *reinterpret_cast<const PermissionsDialog*>(lParam);
    ShowObjectName(dialog, state.objectName);
    ShowOwner(dialog, state.descriptor);
    SetDlgItemTextW(dialog, IDC_SPECIAL_ACCESS, state.specialTitle);
    int tabStops[] = {150, 190};  // dialog units: account, allow or deny, access
    SendDlgItemMessageW(dialog, IDC_ENTRY_LIST, LB_SETTABSTOPS, std::size(tabStops),
                        reinterpret_cast<LPARAM>(tabStops));
    FillChoices(dialog, state);
    FillEntryList(dialog, state, state.dacl.entries.empty() ? -1 : 0);
    if (!state.writable) DisableChanges(dialog);
    return TRUE;
}

void OnAccessChosen(HWND dialog, PermissionsDialog& state) {
    const int selected = SelectedEntry(dialog);
    const int row = ChosenRow(dialog);
    if (selected < 0 || row < 0) return;
    state.dacl.entries[selected].mask = RowOf(*state.accesses, row).accessMask1;
    FillEntryList(dialog, state, selected);
}

void OnKindChosen(HWND dialog, PermissionsDialog& state) {
    const int selected = SelectedEntry(dialog);
    if (selected < 0) return;
    const bool deny = SendDlgItemMessageW(dialog, IDC_KIND_COMBO, CB_GETCURSEL, 0, 0) == kKindDeny;
    state.dacl.entries[selected].aceType = deny ? ACCESS_DENIED_ACE_TYPE : ACCESS_ALLOWED_ACE_TYPE;
    FillEntryList(dialog, state, selected);
}

// A new entry takes the access and kind currently chosen.
void OnAdd(HWND dialog, PermissionsDialog& state) {
    AclEntry entry = {};
    if (!TypedAccount(dialog, entry.account)) return;
    const int row = ChosenRow(dialog) >= 0 ? ChosenRow(dialog) : DefaultRow(*state.accesses);
    const bool deny = SendDlgItemMessageW(dialog, IDC_KIND_COMBO, CB_GETCURSEL, 0, 0) == kKindDeny;
    entry.aceType = deny ? ACCESS_DENIED_ACE_TYPE : ACCESS_ALLOWED_ACE_TYPE;
    entry.mask = row >= 0 ? RowOf(*state.accesses, row).accessMask1 : 0;
    state.dacl.entries.push_back(entry);
    SetDlgItemTextW(dialog, IDC_ACCOUNT_NAME, L"");
    FillEntryList(dialog, state, static_cast<int>(state.dacl.entries.size()) - 1);
}

void OnRemove(HWND dialog, PermissionsDialog& state) {
    const int selected = SelectedEntry(dialog);
    if (selected < 0) return;
    state.dacl.entries.erase(state.dacl.entries.begin() + selected);
    const int remaining = static_cast<int>(state.dacl.entries.size());
    FillEntryList(dialog, state, selected < remaining ? selected : remaining - 1);
}

void OnSpecialAccess(HWND dialog, PermissionsDialog& state) {
    const int selected = SelectedEntry(dialog);
    if (selected < 0) return;
    AclEntry& entry = state.dacl.entries[selected];
    SpecialAccessDialog special = {.accesses = state.accesses,
                                   .mapping = state.mapping,
                                   .title = state.specialTitle,
                                   .accountName = entry.account.name,
                                   .mask = entry.mask};
    if (DialogBoxParamW(EditorModule, MAKEINTRESOURCEW(IDD_SPECIAL_ACCESS), dialog, SpecialAccessProc,
                        reinterpret_cast<LPARAM>(&special)) != IDOK)
        return;
    entry.mask = special.mask;
    FillEntryList(dialog, state, selected);
}

void OnOk(HWND dialog, PermissionsDialog& state) {
    std::vector<BYTE> descriptor;
    if (!BuildDaclDescriptor(state.descriptor, state.dacl, descriptor)) {
        ShowEditorMessage(dialog, L"The permission list cannot be written: it has too many entries.");
        return;
    }
    ApplyAndClose(dialog, state, descriptor.data());
}

void OnCommand(HWND dialog, int id, HWND, UINT notification) {
    PermissionsDialog& state = *DialogState<PermissionsDialog>(dialog);
    switch (id) {
    case IDC_ENTRY_LIST:
        if (notification == LBN_SELCHANGE) ShowSelectedEntry(dialog, state);
        break;
    case IDC_ACCESS_COMBO:
        if (notification == CBN_SELCHANGE) OnAccessChosen(dialog, state);
        break;
    case IDC_KIND_COMBO:
        if (notification == CBN_SELCHANGE) OnKindChosen(dialog, state);
        break;
    case IDC_ADD:
        OnAdd(dialog, state);
        break;
    case IDC_REMOVE:
        OnRemove(dialog, state);
        break;
    case IDC_SPECIAL_ACCESS:
        OnSpecialAccess(dialog, state);
        break;
    case IDOK:
        if (state.writable) OnOk(dialog, state);
        break;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);  // nothing is applied
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK PermissionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
    default:
        break;
    }
    return FALSE;
}

}  // namespace

extern "C" DWORD WINAPI SedDiscretionaryAclEditor(HWND owner, HINSTANCE, LPWSTR,
                                                  const SedObjectTypeDescriptor* objectType,
                                                  const SedApplicationAccesses* accesses, LPWSTR objectName,
                                                  SedApplyCallback applyCallback, ULONG_PTR callbackContext,
                                                  PSECURITY_DESCRIPTOR descriptor, BOOLEAN daclNotReadable,
                                                  BOOLEAN daclNotWritable, LPDWORD statusReturn, DWORD) {
    PermissionsDialog state = {};
    const DWORD check = BeginEditorSession(state, objectName, applyCallback, callbackContext, descriptor,
                                           daclNotReadable, daclNotWritable, statusReturn);
    if (check != ERROR_SUCCESS) return check;
    if (accesses == nullptr || accesses->accessGroup == nullptr) return ERROR_INVALID_PARAMETER;
    state.accesses = accesses;
    state.mapping = objectType != nullptr ? objectType->genericMapping : nullptr;
    state.specialTitle = objectType != nullptr && objectType->specialObjectAccessTitle != nullptr
                             ? objectType->specialObjectAccessTitle
                             : kSpecialAccessButton;
    if (!ReadDaclContents(descriptor, state.dacl)) return ERROR_INVALID_SECURITY_DESCR;

    return RunEditorSession(owner, IDD_PERMISSIONS, PermissionsProc, state, statusReturn);
}
