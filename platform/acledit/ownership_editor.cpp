// The ownership editor: shows the owner and makes the current user the owner
// through the apply callback.
#include <windowsx.h>

#include <cwchar>
#include <iterator>
#include <type_traits>

#include "platform/acledit/editor_dialog.h"
#include "platform/acledit/editor_ids.h"

extern "C" DWORD WINAPI SedTakeOwnership(HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR objectTypeName,
                                         LPWSTR objectName, UINT objectCount, SedApplyCallback applyCallback,
                                         ULONG_PTR callbackContext, PSECURITY_DESCRIPTOR descriptor,
                                         BOOLEAN ownerNotReadable, BOOLEAN ownerNotWritable, LPDWORD statusReturn,
                                         const SedHelpInfo* helpInfo, DWORD flags);
static_assert(std::is_same_v<decltype(&SedTakeOwnership), SedTakeOwnershipProc>);

namespace {

struct OwnershipDialog : EditorSession {
    const wchar_t* typeName;
};

BOOL OnInitDialog(HWND dialog, HWND, LPARAM lParam) {
    KeepDialogState(dialog, lParam);
    const auto& state = *reinterpret_cast<const OwnershipDialog*>(lParam);
    // The type name given ("&Object") labels the object's name.
    if (state.typeName != nullptr && state.typeName[0] != L'\0') {
        wchar_t label[64];
        StripAccelerator(state.typeName, label, static_cast<int>(std::size(label)) - 1);
        std::wcsncat(label, L":", 1);
        SetDlgItemTextW(dialog, IDC_OBJECT_LABEL, label);
    }
    ShowObjectName(dialog, state.objectName);
    ShowOwner(dialog, state.descriptor);
    EnableWindow(GetDlgItem(dialog, IDC_TAKE_OWNERSHIP), state.writable);
    return TRUE;
}

void OnTakeOwnership(HWND dialog, OwnershipDialog& state) {
    Account user;
    std::vector<BYTE> descriptor;
    if (!CurrentUserAccount(user) || !BuildOwnerDescriptor(user, descriptor)) {
        ShowEditorMessage(dialog, L"The current user's account cannot be read.");
        return;
    }
    ApplyAndClose(dialog, state, descriptor.data());
}

void OnCommand(HWND dialog, int id, HWND, UINT) {
    OwnershipDialog& state = *DialogState<OwnershipDialog>(dialog);
    if (id == IDC_TAKE_OWNERSHIP && state.writable) OnTakeOwnership(dialog, state);
    if (id == IDCANCEL) EndDialog(dialog, IDCANCEL);
}

INT_PTR CALLBACK OwnershipProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
    default:
        break;
    }
    return FALSE;
}

}  // namespace

extern "C" DWORD WINAPI SedTakeOwnership(HWND owner, HINSTANCE, LPWSTR, LPWSTR objectTypeName, LPWSTR objectName,
                                         UINT, SedApplyCallback applyCallback, ULONG_PTR callbackContext,
                                         PSECURITY_DESCRIPTOR descriptor, BOOLEAN ownerNotReadable,
                                         BOOLEAN ownerNotWritable, LPDWORD statusReturn, const SedHelpInfo*, DWORD) {
    OwnershipDialog state = {};
    const DWORD check = BeginEditorSession(state, objectName, applyCallback, callbackContext, descriptor,
                                           ownerNotReadable, ownerNotWritable, statusReturn);
    if (check != ERROR_SUCCESS) return check;
    state.typeName = objectTypeName;
    return RunEditorSession(owner, IDD_OWNERSHIP, OwnershipProc, state, statusReturn);
}
