#include "platform/acledit/editor_dialog.h"

#include <cwchar>
#include <iterator>

#include "platform/acledit/editor_ids.h"

HINSTANCE EditorModule = nullptr;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        EditorModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

DWORD BeginEditorSession(EditorSession& session, LPWSTR objectName, SedApplyCallback apply, ULONG_PTR callbackContext,
                         PSECURITY_DESCRIPTOR descriptor, BOOLEAN notReadable, BOOLEAN notWritable,
                         LPDWORD statusReturn) {
    if (statusReturn != nullptr) *statusReturn = kSedStatusNotModified;
    if (notReadable) return ERROR_ACCESS_DENIED;
    if (descriptor == nullptr || !IsValidSecurityDescriptor(descriptor)) return ERROR_INVALID_SECURITY_DESCR;
    if (apply == nullptr) return ERROR_INVALID_PARAMETER;
    session = {objectName, apply, callbackContext, descriptor, !notWritable, kSedStatusNotModified};
    return ERROR_SUCCESS;
}

void ApplyAndClose(HWND dialog, EditorSession& session, PSECURITY_DESCRIPTOR edited) {
    session.apply(dialog, EditorModule, session.callbackContext, edited, nullptr, FALSE, FALSE, &session.status);
    EndDialog(dialog, IDOK);
}

DWORD RunEditorDialog(HWND owner, int templateId, DLGPROC procedure, void* state) {
    SetLastError(ERROR_SUCCESS);
    const INT_PTR result = DialogBoxParamW(EditorModule, MAKEINTRESOURCEW(templateId), owner, procedure,
                                           reinterpret_cast<LPARAM>(state));
    if (result != -1) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_INVALID_FUNCTION;
}

void KeepDialogState(HWND dialog, LPARAM state) { SetWindowLongPtrW(dialog, DWLP_USER, state); }

void ShowEditorMessage(HWND dialog, const wchar_t* text) {
    wchar_t caption[128] = {};
    GetWindowTextW(dialog, caption, static_cast<int>(std::size(caption)));
    MessageBoxW(dialog, text, caption, MB_OK | MB_ICONWARNING);
}

bool TypedAccount(HWND dialog, Account& account) {
    wchar_t typed[kAccountNameSize] = {};
    GetDlgItemTextW(dialog, IDC_ACCOUNT_NAME, typed, kAccountNameSize);
    if (typed[0] == L'\0') {
        ShowEditorMessage(dialog, L"Type the name of the account to add.");
        return false;
    }
    if (AccountFromName(typed, account)) return true;
    wchar_t text[kAccountNameSize + 64];
    std::swprintf(text, std::size(text), L"No account named \"%ls\" was found.", typed);
    ShowEditorMessage(dialog, text);
    return false;
}

void ShowObjectName(HWND dialog, const wchar_t* objectName) {
    SetDlgItemTextW(dialog, IDC_OBJECT_NAME, objectName != nullptr ? objectName : L"");
}

void ShowOwner(HWND dialog, PSECURITY_DESCRIPTOR descriptor) {
    Account owner;
    SetDlgItemTextW(dialog, IDC_OWNER_NAME, DescriptorOwner(descriptor, owner) ? owner.name : L"(no owner)");
}

RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT place = {x, y, x + width, y + height};
    MapDialogRect(dialog, &place);
    return place;
}

POINT RowsOrigin(HWND dialog) {
    RECT anchor = {};
    GetWindowRect(GetDlgItem(dialog, IDC_ROWS_ANCHOR), &anchor);
    POINT origin = {anchor.left, anchor.top};
    ScreenToClient(dialog, &origin);
    return origin;
}

void MakeRoom(HWND dialog, int y, int height) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place = {};
        GetWindowRect(child, &place);
        POINT topLeft = {place.left, place.top};
        ScreenToClient(dialog, &topLeft);
        if (topLeft.y >= y)
            SetWindowPos(child, nullptr, topLeft.x, topLeft.y + height, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    RECT frame = {};
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + height,
                 SWP_NOMOVE | SWP_NOZORDER);
}

HWND AddControl(HWND dialog, const wchar_t* className, const wchar_t* text, DWORD style, int id, const RECT& place,
                HWND previous) {
    HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                                   place.right - place.left, place.bottom - place.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), EditorModule, nullptr);
    SendMessageW(control, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return control;
}
