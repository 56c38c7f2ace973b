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
std::wstring CurrentDirectoryExact;

namespace {

void CopyPath(char* target, const char* path) { lstrcpynA(target, path, kCurrentDirectorySize); }

// The directory the list shows: its text, and its exact path where it has one.
void KeepCurrentDirectory(const ObjectName& name) {
    CopyPath(CurrentDirectory, name.path);
    if (name.exact != nullptr)
        CurrentDirectoryExact = *name.exact;
    else
        CurrentDirectoryExact.clear();
}

void SelectTreeItem(HTREEITEM item) {
    SendMessageA(AppContext.namespaceTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void ExpandTreeItem(HTREEITEM item) {
    SendMessageA(AppContext.namespaceTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

void ShowCurrentDirectory() {
    RefillObjectList(AppContext.objectList, CurrentDirectoryName());
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
    std::wstring exact;
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

bool IsListedInThisCommand(HWND list, const ObjectName& path) {
    return Listing.commandRunning && Listing.valid && Listing.list == list && std::strcmp(Listing.path, path.path) == 0 &&
           Listing.exact == (path.exact != nullptr ? *path.exact : std::wstring());
}

void RememberListing(HWND list, const ObjectName& path) {
    Listing.valid = Listing.commandRunning && std::strlen(path.path) < kCurrentDirectorySize;
    if (!Listing.valid) return;
    Listing.list = list;
    CopyPath(Listing.path, path.path);
    Listing.exact = path.exact != nullptr ? *path.exact : std::wstring();
}

// Empties the list outside a refill; whatever was listed is gone with it.
void ClearObjectList() {
    DeleteAllObjectRows(AppContext.objectList);
    Listing.valid = false;
}

}  // namespace

ObjectName CurrentDirectoryName() {
    return {CurrentDirectory, CurrentDirectoryExact.empty() ? nullptr : &CurrentDirectoryExact};
}

void RefillObjectList(HWND list, const ObjectName& path) {
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
    KeepCurrentDirectory(RootPath);
    FillTreeFromRoot();

    HTREEITEM item = FindTreeItemByName(AppContext.namespaceTree, CurrentDirectoryName());
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
    if (!CurrentDirectoryExact.empty()) {
        // A visible form's escapes hold backslashes of their own: the parent is the exact path's.
        std::wstring parent = CurrentDirectoryExact.substr(0, CurrentDirectoryExact.rfind(L'\\'));
        if (parent.empty()) parent = L"\\";
        HTREEITEM item = FindTreeItemByExactPath(AppContext.namespaceTree, parent);
        const char* block = TreeItemPath(AppContext.namespaceTree, item);
        if (block == nullptr) return;
        KeepCurrentDirectory(NameOfBlock(block));
        SelectTreeItem(item);
        ShowCurrentDirectory();
        return;
    }
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
    // Kept while the notifications of the rebuild may overwrite CurrentDirectory.
    char savedDirectory[kCurrentDirectorySize];
    CopyPath(savedDirectory, CurrentDirectory);
    const std::wstring savedExact = CurrentDirectoryExact;
    DeleteAllTreeItems(AppContext.namespaceTree);
    ClearObjectList();
    AppContext.SelectedPath = nullptr;
    FillTreeFromRoot();
    KeepCurrentDirectory({savedDirectory, savedExact.empty() ? nullptr : &savedExact});

    if (HTREEITEM item = FindTreeItemByName(AppContext.namespaceTree, CurrentDirectoryName())) {
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
        RefillObjectList(AppContext.objectList, NameOfBlock(AppContext.SelectedPath));
        KeepCurrentDirectory(NameOfBlock(AppContext.SelectedPath));
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
