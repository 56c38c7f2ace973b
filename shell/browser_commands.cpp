#include "shell/browser_commands.h"

#include <commctrl.h>

#include "common/clipboard.h"
#include "common/list_view.h"
#include "common/path_block.h"
#include "common/unique_owner.h"
#include "namespace/visible_name.h"
#include "properties/details_page.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "shell/find_dialog.h"
#include "shell/snapshot_dialogs.h"
#include "shell/toolbar_status.h"
#include "views/directory_fill.h"
#include "views/go_to.h"
#include "views/namespace_tree.h"
#include "views/navigation.h"
#include "views/object_list.h"

namespace {

constexpr int kGoToPathSize = 1024;
// What the box held last, as typed or pasted: a Unicode box, so that a name no
// ANSI text carries reaches its object.
wchar_t GoToText[kGoToPathSize];
// Where the box's path leads, resolved once while the box was up.
ResolvedPath GoToResolved;

// Go To's box: it stays up while what was typed leads nowhere.
INT_PTR CALLBACK GoToDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, IDC_GOTO_PATH, EM_LIMITTEXT, kGoToPathSize - 1, 0);
        SetDlgItemTextW(dialog, IDC_GOTO_PATH, GoToText);
        SendDlgItemMessageA(dialog, IDC_GOTO_PATH, EM_SETSEL, 0, -1);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            // A resolution may fill the tree; a box that fill shows must not start another.
            if (IsFillRunning()) return TRUE;
            GetDlgItemTextW(dialog, IDC_GOTO_PATH, GoToText, kGoToPathSize);
            GoToResolved = ResolveTypedPath(GoToText, CurrentDirectoryName().Wide());
            if (!GoToResolved.found) {
                ShowGoToProblem(dialog, GoToResolved.problem);
                return TRUE;
            }
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// The list's selected row, the focused one of several; -1 when none is.
int SelectedRow() {
    HWND list = AppContext.objectList;
    auto row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
    if (row < 0) row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return row;
}

}  // namespace

void GoToCommand(HWND mainWindow) {
    if (IsFillRunning()) return;
    if (DialogBoxParamW(AppContext.instance, L"GOTO_DLG", mainWindow, GoToDlgProc, 0) == IDOK)
        GoToTarget(GoToResolved, mainWindow);
}

void FollowLinkCommand(HWND mainWindow) {
    const int row = SelectedRow();
    const char* path = ObjectRowPath(AppContext.objectList, row);
    if (path == nullptr || ListCellText(AppContext.objectList, row, 1) != "SymbolicLink") {
        MessageBeep(MB_OK);
        return;
    }
    FollowLink(NameOfBlock(path), mainWindow);
}

void FindCommand(HWND mainWindow) {
    if (IsFillRunning()) return;
    std::wstring chosen;
    if (RunFindDialog(mainWindow, chosen)) GoToPath(ObjectName("", &chosen), mainWindow);
}

void FindAccessibleCommand(HWND mainWindow) {
    if (IsFillRunning()) return;
    std::wstring chosen;
    if (RunFindAccessibleDialog(mainWindow, chosen)) GoToPath(ObjectName("", &chosen), mainWindow);
}

void SaveSnapshotCommand(HWND mainWindow) {
    if (IsFillRunning()) return;
    RunSaveSnapshotDialog(mainWindow);
}

void CompareSnapshotCommand(HWND mainWindow) {
    if (IsFillRunning()) return;
    ResolvedPath chosen;
    if (RunCompareSnapshotDialog(mainWindow, chosen)) GoToTarget(chosen, mainWindow);
}

void FindNextCommand(HWND mainWindow) {
    std::wstring next;
    if (!NextFoundPath(next)) {
        MessageBeep(MB_OK);
        return;
    }
    GoToPath(ObjectName("", &next), mainWindow);
}

void CopyPathCommand(HWND mainWindow) {
    HWND focus = GetFocus();
    const char* path = nullptr;
    if (focus == AppContext.namespaceTree) path = TreeCaretPath(AppContext.namespaceTree);
    else if (focus == AppContext.objectList) path = ObjectRowPath(AppContext.objectList, SelectedRow());
    if (path == nullptr) path = AppContext.SelectedPath != nullptr ? AppContext.SelectedPath : CurrentDirectory;
    const ObjectName name = path == CurrentDirectory ? CurrentDirectoryName() : NameOfBlock(path);
    // A NUL would end clipboard text: such a path goes as its visible form alone.
    const bool asText = name.exact != nullptr && name.exact->find(L'\0') == std::wstring::npos;
    if (!CopyTextToClipboard(mainWindow, path, asText ? name.exact : nullptr)) return;
    if (name.exact == nullptr) return;
    const std::string note = std::string(asText ? "Copied the exact path as Unicode text, as shown as ANSI text: "
                                                : "Copied as shown; a path holding NUL cannot be clipboard text: ") +
                             path;
    SendMessageA(AppContext.statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(note.substr(0, kStatusTextSize - 1).c_str()));
}
