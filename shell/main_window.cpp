#include "shell/main_window.h"

#include <windowsx.h>
#include <commctrl.h>

#include "properties/object_properties.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "shell/browser_commands.h"
#include "shell/pane_layout.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "shell/toolbar_status.h"
#include "views/directory_fill.h"
#include "views/namespace_tree.h"
#include "views/navigation.h"
#include "views/object_list.h"

AppContextRecord AppContext = {};
UINT CurrentViewCommand = CMD_DETAILS_VIEW;
char TipText[kTipTextSize];

namespace {

// Builds the panes and fills them; a missing pane skips the fill but not the window.
LRESULT OnCreate(HWND window) {
    AppContext.SelectedPath = nullptr;
    if (!CreatePanes(window)) return 0;
    return InitializeBrowser();
}

// Frees what the program made, saves the settings and ends the loop.
void OnDestroy(HWND window) {
    DeleteAllObjectRows(AppContext.objectList);
    DeleteObject(ToolbarBitmap);
    ToolbarBitmap = nullptr;
    // The list view owns SmallImageList and LargeImageList and destroys them
    // with itself; the tree does not own its image list.
    SmallImageList = nullptr;
    LargeImageList = nullptr;
    ImageList_Destroy(TreeImageList);
    TreeImageList = nullptr;
    DeleteObject(BackgroundBrush);
    BackgroundBrush = nullptr;
    SaveSettings(window);
    PostQuitMessage(0);
}

void OnSize(HWND window, UINT, int, int) {
    if (!LayoutPanes(window)) MessageBoxA(nullptr, "Window resizing failed!", nullptr, MB_OK);
}

// Tooltip texts first, then the tree's and the list's reports.
LRESULT OnNotify(WPARAM wParam, NMHDR* header) {
    if (header->code == TTN_NEEDTEXTA) {
        LoadStringA(AppContext.instance, static_cast<UINT>(header->idFrom), TipText, kTipTextSize);
        reinterpret_cast<TOOLTIPTEXTA*>(header)->lpszText = TipText;
    }
    HandleBrowserNotify(static_cast<int>(wParam), header);
    return 0;
}

// The view buttons are push buttons whose pressed state the program drives.
void ChooseView(UINT command) {
    SendMessageA(AppContext.toolbar, TB_PRESSBUTTON, CurrentViewCommand, MAKELPARAM(FALSE, 0));
    SendMessageA(AppContext.toolbar, TB_PRESSBUTTON, command, MAKELPARAM(TRUE, 0));
    CurrentViewCommand = command;
    SetListViewStyle(AppContext.objectList, command);
}

void ShowSelectedProperties() {
    if (AppContext.SelectedPath == nullptr || IsFillRunning()) return;
    ShowObjectProperties(AppContext.objectList, AppContext.instance, NameOfBlock(AppContext.SelectedPath));
}

// Any row's holders, access and type facts, whatever its type and whatever
// it grants: the objects the Properties sheet cannot open reach this sheet too.
void InspectSelectedObject() {
    if (AppContext.SelectedPath == nullptr || IsFillRunning()) return;
    ShowObjectInspection(AppContext.objectList, AppContext.instance, NameOfBlock(AppContext.SelectedPath));
}

// Menu, toolbar and accelerators give the same ids; unknown ids go to the default procedure.
LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT command = LOWORD(wParam);
    switch (command) {
        case CMD_EXIT:
            // Leaves the window in place: nothing is freed and nothing saved.
            PostQuitMessage(0);
            return 0;
        case CMD_LARGE_ICON_VIEW:
        case CMD_SMALL_ICON_VIEW:
        case CMD_LIST_VIEW:
        case CMD_DETAILS_VIEW:
            ChooseView(command);
            return 0;
        case CMD_UP_ONE_LEVEL:
            UpOneLevel();
            return 0;
        case CMD_PROPERTIES:
            ShowSelectedProperties();
            return 0;
        case CMD_REFRESH:
            RefreshBrowser();
            return 0;
        case CMD_ABOUT:
            DialogBoxParamA(AppContext.instance, "AboutBox", window, AboutDlgProc, 0);
            return 0;
        case CMD_HELP:
            WinHelpA(window, "tarnel.hlp", HELP_CONTENTS, 0);
            return 0;
        case CMD_GO_TO:
            GoToCommand(window);
            return 0;
        case CMD_FOLLOW_LINK:
            FollowLinkCommand(window);
            return 0;
        case CMD_FIND:
            FindCommand(window);
            return 0;
        case CMD_FIND_NEXT:
            FindNextCommand(window);
            return 0;
        case CMD_COPY_PATH:
            CopyPathCommand(window);
            return 0;
        case CMD_FIND_ACCESSIBLE:
            FindAccessibleCommand(window);
            return 0;
        case CMD_INSPECT_OBJECT:
            InspectSelectedObject();
            return 0;
        case CMD_SAVE_SNAPSHOT:
            SaveSnapshotCommand(window);
            return 0;
        case CMD_COMPARE_SNAPSHOT:
            CompareSnapshotCommand(window);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        // By hand: the cracker would turn a 0 from the creation into -1 and end the window.
        case WM_CREATE:
            return OnCreate(window);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        case WM_NOTIFY:
            return OnNotify(wParam, reinterpret_cast<NMHDR*>(lParam));
        case WM_COMMAND:
            return OnCommand(window, message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Only OK (or Enter) closes the box; Esc and the close box send IDCANCEL, which it ignores.
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) != IDOK) return FALSE;
            EndDialog(dialog, IDOK);
            return TRUE;
        default:
            return FALSE;
    }
}
