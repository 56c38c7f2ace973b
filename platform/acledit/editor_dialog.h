// What the stand-in editor's three dialogs share: the module, the state
// record each dialog keeps, messages, and the layout of run-time controls.
#pragma once

#include <windows.h>

#include "platform/acledit/acl_model.h"

extern HINSTANCE EditorModule;

// 0 when the descriptor given to an editor can be shown, else the result the
// entry point returns.
DWORD CheckGivenDescriptor(PSECURITY_DESCRIPTOR descriptor, BOOLEAN notReadable);

// Runs one of this module's dialogs, owned by owner (none is usual), with state in its lParam.
// 0 when the dialog ran, else the reason it could not be made.
DWORD RunEditorDialog(HWND owner, int templateId, DLGPROC procedure, void* state);

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
