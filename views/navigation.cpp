#include "views/navigation.h"

#include <cstring>

#include "common/path_block.h"
#include "namespace/directory_fill.h"
#include "shell/app_context.h"
#include "shell/main_window.h"
#include "shell/toolbar_status.h"
#include "views/namespace_tree.h"
#include "views/object_list.h"

char CurrentDirectory[kCurrentDirectorySize] = "\\";

namespace {

// Refresh keeps CurrentDirectory here while the notifications of the rebuild may overwrite it.
char SavedDirectory[kCurrentDirectorySize];

void CopyPath(char* target, const char* path) { lstrcpynA(target, path, kCurrentDirectorySize); }

void SelectTreeItem(HTREEITEM item) {
    SendMessageA(AppContext.namespaceTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void ExpandTreeItem(HTREEITEM item) {
    SendMessageA(AppContext.namespaceTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

void ShowCurrentDirectory() {
    RefillObjectList(AppContext.objectList, CurrentDirectory);
    SetStatusText(AppContext.instance, AppContext.statusBar, CurrentDirectory);
}

void FillTreeFromRoot() {
    HTREEITEM root = InsertRootItem(AppContext.namespaceTree);
    FillDirectoryTree(AppContext.namespaceTree, root, RootPath);
}

void SetRedraw(HWND window, BOOL redraw) { SendMessageA(window, WM_SETREDRAW, redraw, 0); }

}  // namespace

void RefillObjectList(HWND list, const char* path) {
    SetRedraw(list, FALSE);
    DeleteAllObjectRows(list);
    FillObjectList(list, path);
    SetRedraw(list, TRUE);
}

int InitializeBrowser() {
    SendMessageA(AppContext.toolbar, TB_PRESSBUTTON, CurrentViewCommand, MAKELPARAM(TRUE, 0));
    AppContext.SelectedPath = nullptr;
    DeleteAllTreeItems(AppContext.namespaceTree);
    DeleteAllObjectRows(AppContext.objectList);
    CopyPath(CurrentDirectory, RootPath);
    FillTreeFromRoot();

    HTREEITEM item = FindTreeItemByPath(AppContext.namespaceTree, nullptr, CurrentDirectory);
    if (item == nullptr) return 1;
    // The selection report already refills the list; the explicit refill follows the Part.
    SelectTreeItem(item);
    ExpandTreeItem(item);
    ShowCurrentDirectory();
    SetFocus(AppContext.namespaceTree);
    return 1;
}

void UpOneLevel() {
    if (lstrlenA(CurrentDirectory) <= 1) return;
    char* last = std::strrchr(CurrentDirectory, '\\');
    if (last == nullptr) return;
    // A directory right below the root keeps its leading "\".
    if (last == CurrentDirectory) ++last;
    *last = '\0';

    HTREEITEM item = FindTreeItemByPath(AppContext.namespaceTree, nullptr, CurrentDirectory);
    if (item == nullptr) return;
    SelectTreeItem(item);
    ShowCurrentDirectory();
}

void RefreshBrowser() {
    SetRedraw(AppContext.namespaceTree, FALSE);
    SetRedraw(AppContext.objectList, FALSE);
    CopyPath(SavedDirectory, CurrentDirectory);
    DeleteAllTreeItems(AppContext.namespaceTree);
    DeleteAllObjectRows(AppContext.objectList);
    AppContext.SelectedPath = nullptr;
    FillTreeFromRoot();
    CopyPath(CurrentDirectory, SavedDirectory);

    if (HTREEITEM item = FindTreeItemByPath(AppContext.namespaceTree, nullptr, CurrentDirectory)) {
        SelectTreeItem(item);
        ExpandTreeItem(item);
        ShowCurrentDirectory();
    }
    SetRedraw(AppContext.namespaceTree, TRUE);
    SetRedraw(AppContext.objectList, TRUE);
}

void HandleBrowserNotify(int controlId, const NMHDR* header) {
    if (HandleTreeNotify(controlId, header, &AppContext) == 1) {
        RefillObjectList(AppContext.objectList, AppContext.SelectedPath);
        CopyPath(CurrentDirectory, AppContext.SelectedPath);
        SetStatusText(AppContext.instance, AppContext.statusBar, AppContext.SelectedPath);
    }
    if (HandleListNotify(AppContext.objectList, AppContext.namespaceTree, controlId, header, AppContext.instance,
                         &AppContext.SelectedPath) == 1) {
        SetStatusText(AppContext.instance, AppContext.statusBar, AppContext.SelectedPath);
    }
}
