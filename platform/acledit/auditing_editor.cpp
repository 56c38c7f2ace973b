// The auditing editor: lists the accounts the SACL audits, each with success
// and failure check boxes for the auditing rows, and applies the new SACL.
#include <windowsx.h>

#include <type_traits>

#include "platform/acledit/editor_dialog.h"
#include "platform/acledit/editor_ids.h"

extern "C" DWORD WINAPI SedSystemAclEditor(HWND owner, HINSTANCE instance, LPWSTR server,
                                           const SedObjectTypeDescriptor* objectType,
                                           const SedApplicationAccesses* accesses, LPWSTR objectName,
                                           SedApplyCallback applyCallback, ULONG_PTR callbackContext,
                                           PSECURITY_DESCRIPTOR descriptor, BOOLEAN saclNotEditable,
                                           LPDWORD statusReturn, DWORD flags);
static_assert(std::is_same_v<decltype(&SedSystemAclEditor), SedSystemAclEditorProc>);

namespace {

// Layout of one auditing row, in dialog units.
constexpr int kRowHeight = 12;
constexpr int kLabelWidth = 175;
constexpr int kSuccessX = 197;
constexpr int kFailureX = 247;
constexpr int kCheckWidth = 12;

struct AuditingDialog : EditorSession {
    const SedApplicationAccesses* accesses;
    const GENERIC_MAPPING* mapping;
    AclContents sacl;
    int rows[MAX_CHECK_ROWS];  // the table rows shown, in order
    int rowCount;
};

const SedApplicationAccess& RowOf(const AuditingDialog& state, int i) {
    return state.accesses->accessGroup[state.rows[i]];
}

int SelectedAccount(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_ENTRY_LIST, LB_GETCURSEL, 0, 0));
}

void ShowSelectedAccount(HWND dialog, const AuditingDialog& state) {
    const int selected = SelectedAccount(dialog);
    const bool editable = state.writable && selected >= 0;
    for (int i = 0; i < state.rowCount; ++i) {
        const AclEntry* entry = selected >= 0 ? &state.sacl.entries[selected] : nullptr;
        const bool success = entry != nullptr && GrantsRow(entry->mask, RowOf(state, i), state.mapping);
        const bool failure = entry != nullptr && GrantsRow(entry->failureMask, RowOf(state, i), state.mapping);
        CheckDlgButton(dialog, IDC_FIRST_SUCCESS + i, success ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_FIRST_FAILURE + i, failure ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, IDC_FIRST_SUCCESS + i), editable);
        EnableWindow(GetDlgItem(dialog, IDC_FIRST_FAILURE + i), editable);
    }
    EnableWindow(GetDlgItem(dialog, IDC_REMOVE), editable);
}

void FillAccountList(HWND dialog, const AuditingDialog& state, int selection) {
    HWND list = GetDlgItem(dialog, IDC_ENTRY_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const AclEntry& entry : state.sacl.entries)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.account.name));
    SendMessageW(list, LB_SETCURSEL, selection, 0);
    const bool noList = !state.sacl.present && state.sacl.entries.empty();
    ShowWindow(GetDlgItem(dialog, IDC_NO_ACL_NOTE), noList ? SW_SHOW : SW_HIDE);
    ShowSelectedAccount(dialog, state);
}

// One line per auditing row: its title, then the success and failure boxes.
void AddAuditRows(HWND dialog, AuditingDialog& state) {
    state.rowCount = 0;
    for (ULONG i = 0; i < state.accesses->count && state.rowCount < MAX_CHECK_ROWS; ++i) {
        if (state.accesses->accessGroup[i].type == kSedAuditAccess) state.rows[state.rowCount++] = static_cast<int>(i);
    }
    const POINT origin = RowsOrigin(dialog);
    const int rowHeight = DialogUnits(dialog, 0, 0, 0, kRowHeight).bottom;
    MakeRoom(dialog, origin.y, state.rowCount * rowHeight);
    HWND previous = GetDlgItem(dialog, IDC_ROWS_ANCHOR);
    for (int i = 0; i < state.rowCount; ++i) {
        const int y = origin.y + i * rowHeight;
        RECT label = DialogUnits(dialog, 0, 1, kLabelWidth, kRowHeight - 3);
        OffsetRect(&label, origin.x, y);
        previous = AddControl(dialog, L"STATIC", RowOf(state, i).permissionTitle, 0, -1, label, previous);
        RECT success = DialogUnits(dialog, kSuccessX, 0, kCheckWidth, kRowHeight - 2);
        OffsetRect(&success, 0, y);
        previous = AddControl(dialog, L"BUTTON", L"", BS_AUTOCHECKBOX | WS_TABSTOP, IDC_FIRST_SUCCESS + i, success,
                              previous);
        RECT failure = DialogUnits(dialog, kFailureX, 0, kCheckWidth, kRowHeight - 2);
        OffsetRect(&failure, 0, y);
        previous = AddControl(dialog, L"BUTTON", L"", BS_AUTOCHECKBOX | WS_TABSTOP, IDC_FIRST_FAILURE + i, failure,
                              previous);
    }
}

BOOL OnInitDialog(HWND dialog, HWND, LPARAM lParam) {
    KeepDialogState(dialog, lParam);
    auto& state = *reinterpret_cast<AuditingDialog*>(lParam);
    ShowObjectName(dialog, state.objectName);
    AddAuditRows(dialog, state);
    FillAccountList(dialog, state, state.sacl.entries.empty() ? -1 : 0);
    if (!state.writable) {
        for (int id : {IDC_ACCOUNT_NAME, IDC_ADD, IDOK}) EnableWindow(GetDlgItem(dialog, id), FALSE);
    }
    return TRUE;
}

// The auditing row of a check box's command id, or -1 for an id that names no
// box of this dialog (each row has one id among the success boxes and one
// among the failure boxes, as many as the dialog shows).
int AuditRowOf(const AuditingDialog& state, int id, bool& failure) {
    failure = id >= IDC_FIRST_FAILURE;
    const int i = id - (failure ? IDC_FIRST_FAILURE : IDC_FIRST_SUCCESS);
    return i >= 0 && i < state.rowCount ? i : -1;
}

// A check box changes the selected account's audited rights at once.
void OnAuditCheck(HWND dialog, AuditingDialog& state, int id, int i, bool failure) {
    const int selected = SelectedAccount(dialog);
    if (selected < 0) return;
    AclEntry& entry = state.sacl.entries[selected];
    ACCESS_MASK& mask = failure ? entry.failureMask : entry.mask;
    // Generic rights become specific ones first, so that a box can take one away.
    mask = MapGenericRights(mask, state.mapping);
    const ACCESS_MASK right = MapGenericRights(RowOf(state, i).accessMask1, state.mapping);
    if (IsDlgButtonChecked(dialog, id) == BST_CHECKED)
        mask |= right;
    else
        mask &= ~right;
}

// An account already listed is selected rather than listed twice.
void OnAdd(HWND dialog, AuditingDialog& state) {
    AclEntry entry = {};
    if (!TypedAccount(dialog, entry.account)) return;
    SetDlgItemTextW(dialog, IDC_ACCOUNT_NAME, L"");
    for (std::size_t i = 0; i < state.sacl.entries.size(); ++i) {
        const AclEntry& listed = state.sacl.entries[i];
        if (listed.inheritFlags == 0 && EqualSid(const_cast<BYTE*>(listed.account.sid), entry.account.sid)) {
            FillAccountList(dialog, state, static_cast<int>(i));
            return;
        }
    }
    entry.aceType = SYSTEM_AUDIT_ACE_TYPE;
    state.sacl.entries.push_back(entry);
    FillAccountList(dialog, state, static_cast<int>(state.sacl.entries.size()) - 1);
}

void OnRemove(HWND dialog, AuditingDialog& state) {
    const int selected = SelectedAccount(dialog);
    if (selected < 0) return;
    state.sacl.entries.erase(state.sacl.entries.begin() + selected);
    const int remaining = static_cast<int>(state.sacl.entries.size());
    FillAccountList(dialog, state, selected < remaining ? selected : remaining - 1);
}

void OnOk(HWND dialog, AuditingDialog& state) {
    std::vector<BYTE> descriptor;
    if (!BuildSaclDescriptor(state.descriptor, state.sacl, descriptor)) {
        ShowEditorMessage(dialog, L"The audit list cannot be written: it has too many entries.");
        return;
    }
    ApplyAndClose(dialog, state, descriptor.data());
}

void OnCommand(HWND dialog, int id, HWND, UINT notification) {
    AuditingDialog& state = *DialogState<AuditingDialog>(dialog);
    bool failure = false;
    const int row = AuditRowOf(state, id, failure);
    if (row >= 0) {
        if (notification == BN_CLICKED) OnAuditCheck(dialog, state, id, row, failure);
        return;
    }
    switch (id) {
    case IDC_ENTRY_LIST:
        if (notification == LBN_SELCHANGE) ShowSelectedAccount(dialog, state);
        break;
    case IDC_ADD:
        OnAdd(dialog, state);
        break;
    case IDC_REMOVE:
        OnRemove(dialog, state);
        break;
    case IDOK:
        if (state.writable) OnOk(dialog, state);
        break;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK AuditingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
    default:
        break;
    }
    return FALSE;
}

}  // namespace

extern "C" DWORD WINAPI SedSystemAclEditor(HWND owner, HINSTANCE, LPWSTR, const SedObjectTypeDescriptor* objectType,
                                           const SedApplicationAccesses* accesses, LPWSTR objectName,
                                           SedApplyCallback applyCallback, ULONG_PTR callbackContext,
                                           PSECURITY_DESCRIPTOR descriptor, BOOLEAN saclNotEditable,
                                           LPDWORD statusReturn, DWORD) {
    AuditingDialog state = {};
    const DWORD check = BeginEditorSession(state, objectName, applyCallback, callbackContext, descriptor, FALSE,
                                           saclNotEditable, statusReturn);
    if (check != ERROR_SUCCESS) return check;
    if (accesses == nullptr || accesses->accessGroup == nullptr) return ERROR_INVALID_PARAMETER;
    state.accesses = accesses;
    state.mapping = objectType != nullptr ? objectType->genericMapping : nullptr;
    if (!ReadSaclContents(descriptor, state.sacl)) return ERROR_INVALID_SECURITY_DESCR;

    return RunEditorSession(owner, IDD_AUDITING, AuditingProc, state, statusReturn);
}
