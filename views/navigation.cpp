#include "views/navigation.h"

#include <cstring>

#include "common/path_block.h"
#include "views/directory_fill.h"
#include "views/list_sort.h"
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

// Within one navigation command the tree's selection report lists the new
// directory, and the command then asks for the same listing again. With no
// user input in between, the second refill keeps the rows just listed.
struct ListingMemo {
    bool commandRunning;
    bool valid;
    HWND list;
    char path[kCurrentDirectorySize];
};
ListingMemo Listing;

// Marks the extent of one navigation command; outside it every refill lists afresh.
class NavigationCommand {
public:
    NavigationCommand() : outermost_(!Listing.commandRunning) {
        if (outermost_) Listing.commandRunning = true;
        Listing.valid = false;
    }
    ~NavigationCommand() {
        if (!outermost_) return;
        Listing.commandRunning = false;
        Listing.valid = false;
    }
    NavigationCommand(const NavigationCommand&) = delete;
    NavigationCommand& operator=(const NavigationCommand&) = delete;

private:
    bool outermost_;
};

bool IsListedInThisCommand(HWND list, const char* path) {
    return Listing.commandRunning && Listing.valid && Listing.list == list && std::strcmp(Listing.path, path) == 0;
}

void RememberListing(HWND list, const char* path) {
    Listing.valid = Listing.commandRunning && std::strlen(path) < kCurrentDirectorySize;
    if (!Listing.valid) return;
    Listing.list = list;
    CopyPath(Listing.path, path);
}

// Empties the list outside a refill; whatever was listed is gone with it.
void ClearObjectList() {
    DeleteAllObjectRows(AppContext.objectList);
    Listing.valid = false;
}

}  // namespace

void RefillObjectList(HWND list, const char* path) {
    // A fill under way owns the rows; nothing started from a message box it shows may replace them.
    if (IsFillRunning() || IsListedInThisCommand(list, path)) return;
    SetRedraw(list, FALSE);
    DeleteAllObjectRows(list);
    FillObjectList(list, path);
    SetRedraw(list, TRUE);
    RememberListing(list, path);
}

int InitializeBrowser() {
    if (IsFillRunning()) return 1;
    NavigationCommand command;
    SendMessageA(AppContext.toolbar, TB_PRESSBUTTON, CurrentViewCommand, MAKELPARAM(TRUE, 0));
    AppContext.SelectedPath = nullptr;
    DeleteAllTreeItems(AppContext.namespaceTree);
    ClearObjectList();
    CopyPath(CurrentDirectory, RootPath);
    FillTreeFromRoot();

    HTREEITEM item = FindTreeItemByPath(AppContext.namespaceTree, nullptr, CurrentDirectory);
    if (item == nullptr) return 1;
    // The selection report lists the root; the refill below keeps those rows.
    SelectTreeItem(item);
    ExpandTreeItem(item);
    ShowCurrentDirectory();
    SetFocus(AppContext.namespaceTree);
    return 1;
}

void UpOneLevel() {
    if (IsFillRunning()) return;
    NavigationCommand command;
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
    if (IsFillRunning()) return;
    NavigationCommand command;
    SetRedraw(AppContext.namespaceTree, FALSE);
    SetRedraw(AppContext.objectList, FALSE);
    CopyPath(SavedDirectory, CurrentDirectory);
    DeleteAllTreeItems(AppContext.namespaceTree);
    ClearObjectList();
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
    // While a fill runs only deletions are handled: each frees its item's path.
    if (IsFillRunning() && header->code != TVN_DELETEITEMA) return;
    if (HandleTreeNotify(controlId, header, &AppContext) == 1) {
        RefillObjectList(AppContext.objectList, AppContext.SelectedPath);
        CopyPath(CurrentDirectory, AppContext.SelectedPath);
        SetStatusText(AppContext.instance, AppContext.statusBar, AppContext.SelectedPath);
    }
    if (HandleListNotify(AppContext.objectList, AppContext.namespaceTree, controlId, header, AppContext.instance,
                         &AppContext.SelectedPath) == 1) {
        SetStatusText(AppContext.instance, AppContext.statusBar, AppContext.SelectedPath);
    }
    // A click on a column's header sorts by that column.
    if (controlId == kObjectListId && header->code == LVN_COLUMNCLICK) {
        SortObjectListByColumn(AppContext.objectList, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
    }
}
