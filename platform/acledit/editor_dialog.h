// What the stand-in editor's three dialogs share: the module, the state
// record each dialog keeps, messages, and the layout of run-time controls.
#pragma once

#include <windows.h>

#include "platform/acledit/acl_model.h"

extern HINSTANCE EditorModule;

// What each editor dialog works on: the descriptor it was given, where an
// edit is applied, and the status word the entry point hands back.
struct EditorSession {
    const wchar_t* objectName;
    SedApplyCallback apply;
    ULONG_PTR callbackContext;
    PSECURITY_DESCRIPTOR descriptor;
    bool writable;
    DWORD status;
};

// Checks what an entry point was given and fills the session from it; 0 when
// the descriptor can be shown, else the result the entry point returns.
DWORD BeginEditorSession(EditorSession& session, LPWSTR objectName, SedApplyCallback apply, ULONG_PTR callbackContext,
                         PSECURITY_DESCRIPTOR descriptor, BOOLEAN notReadable, BOOLEAN notWritable,
                         LPDWORD statusReturn);

// Hands the edited descriptor to the caller's callback and closes the dialog.
void ApplyAndClose(HWND dialog, EditorSession& session, PSECURITY_DESCRIPTOR edited);

// Runs one of this module's dialogs, owned by owner (none is usual), with state in its lParam.
// 0 when the dialog ran, else the reason it could not be made.
DWORD RunEditorDialog(HWND owner, int templateId, DLGPROC procedure, void* state);

// Runs a session's dialog and reports the session's status through statusReturn.
template <typename Dialog>
DWORD RunEditorSession(HWND owner, int templateId, DLGPROC procedure, Dialog& state, LPDWORD statusReturn) {
    const DWORD result = RunEditorDialog(owner, templateId, procedure, &state);
    if (statusReturn != nullptr) *statusReturn = state.status;
    return result;
}

// The state record a dialog was started with; kept at WM_INITDIALOG.
void KeepDialogState(HWND dialog, LPARAM state);
template <typename State>
State* DialogState(HWND dialog) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// A message owned by the dialog, under the dialog's own caption.
void ShowEditorMessage(HWND dialog, const wchar_t* text);

// Looks up the account typed into IDC_ACCOUNT_NAME; says so when there is none.
bool TypedAccount(HWND dialog, Account& account);

void ShowObjectName(HWND dialog, const wchar_t* objectName);
void ShowOwner(HWND dialog, PSECURITY_DESCRIPTOR descriptor);

// A rectangle in dialog units, in the dialog's client pixels.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height);
// The client pixel where the run-time rows begin (the IDC_ROWS_ANCHOR control).
POINT RowsOrigin(HWND dialog);
// Moves every control from pixel row y down by height pixels and grows the dialog to match.
void MakeRoom(HWND dialog, int y, int height);
// A control made at run time, in the dialog's font, after `previous` in the tab order.
HWND AddControl(HWND dialog, const wchar_t* className, const wchar_t* text, DWORD style, int id, const RECT& place,
                HWND previous);
