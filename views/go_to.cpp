#include "views/go_to.h"

#include <commctrl.h>

#include <string>

#include "common/path_block.h"
#include "namespace/directory_walk.h"
#include "namespace/link_chain.h"
#include "namespace/name_lookup.h"
#include "namespace/path_resolver.h"
#include "namespace/visible_name.h"
#include "shell/app_context.h"
#include "shell/toolbar_status.h"
#include "views/directory_fill.h"
#include "views/namespace_tree.h"
#include "views/navigation.h"
#include "views/object_list.h"

namespace {

// The child item of parent whose text is exactly name, as the directory spells it.
HTREEITEM FindChildItem(HWND tree, HTREEITEM parent, const std::string& name) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
    for (; item != nullptr;
         item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        char text[kObjectPathBlockSize];
        if (ReadTreeItemText(tree, item, text) && name == text) return item;
    }
    return nullptr;
}

// A directory made after the tree was built goes into the tree with its subtree.
HTREEITEM AddDirectoryToTree(HTREEITEM parentItem, const std::string& parentPath, const std::string& name) {
    char* block = AllocatePathBlock();
    if (block == nullptr) return nullptr;
    if (!MakeChildPath(block, kObjectPathBlockSize, parentPath.c_str(), name.c_str())) {
        FreePathBlock(block);
        return nullptr;
    }
    HTREEITEM item = InsertTreeItem(AppContext.namespaceTree, parentItem, name.c_str(), block);
    if (item == nullptr) {
        FreePathBlock(block);
        return nullptr;
    }
    FillDirectoryTree(AppContext.namespaceTree, item, block);
    return item;
}

// The tree item of a resolved directory, each name on the way found among the
// items as the directory spells it, or added where the tree lacks it; null
// where the directory cannot be shown.
HTREEITEM EnsureTreeItem(const std::wstring& directory) {
    HWND tree = AppContext.namespaceTree;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    std::string path = RootPath;
    for (const std::wstring& wideName : PathNames(directory)) {
        std::string name;
        if (item == nullptr || !NarrowPath(wideName, name)) return nullptr;
        HTREEITEM child = FindChildItem(tree, item, name);
        if (child == nullptr) child = AddDirectoryToTree(item, path, name);
        item = child;
        path = ChildPathOf(path, name);
    }
    return item;
}

// The row whose path is path, or -1. A row holding only the visible form of
// a name addresses nothing, whatever its text.
int FindRowOfPath(const std::string& path) {
    const int count = static_cast<int>(SendMessageA(AppContext.objectList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const char* rowPath = ObjectRowPath(AppContext.objectList, row);
        if (rowPath != nullptr && IsPathAddressable(rowPath) && path == rowPath) return row;
    }
    return -1;
}

void SelectRow(int row) {
    HWND list = AppContext.objectList;
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
    // As a click on the row would: it is the selected object.
    AppContext.SelectedPath = ObjectRowPath(list, row);
    SetStatusText(AppContext.instance, AppContext.statusBar, AppContext.SelectedPath);
    SetFocus(list);
}

// Where \GLOBAL?? answered for a name \?? lacks, the status bar says so after the path.
void ShowFallback(const ResolvedPath& target) {
    if (target.fallback.empty()) return;
    const std::string text = VisiblePath(target.Path()) + ": " + target.fallback;
    SendMessageA(AppContext.statusBar, SB_SETTEXTA, 0,
                 reinterpret_cast<LPARAM>(text.substr(0, kStatusTextSize - 1).c_str()));
}

}  // namespace

bool ShowPath(const ResolvedPath& target) {
    HTREEITEM item = EnsureTreeItem(target.directory);
    if (item == nullptr) return false;
    const auto selected =
        reinterpret_cast<HTREEITEM>(SendMessageA(AppContext.namespaceTree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (selected != item) {
        // As a click in the tree: the list, CurrentDirectory and the status follow.
        SendMessageA(AppContext.namespaceTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    } else if (!target.object.empty()) {
        // Shown already: listed afresh, so that an object made since is there.
        RefillObjectList(AppContext.objectList, CurrentDirectory);
    }
    if (!target.object.empty()) {
        std::string path;
        if (!NarrowPath(target.Path(), path)) return false;
        const int row = FindRowOfPath(path);
        if (row < 0) return false;
        SelectRow(row);
    }
    ShowFallback(target);
    return true;
}

void ShowGoToProblem(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), "Tarnel", MB_OK | MB_ICONERROR);
}

bool GoToTarget(const ResolvedPath& target, HWND owner) {
    if (IsFillRunning()) return false;
    if (!target.found) {
        ShowGoToProblem(owner, target.problem);
        return false;
    }
    if (ShowPath(target)) return true;
    std::string path;
    if (NarrowPath(target.Path(), path) && path.size() > kMaxObjectPathLength)
        ShowGoToProblem(owner, path + " exists, but its path is too long to show.");
    else if (NarrowPath(target.Path(), path))
        ShowGoToProblem(owner, path + " is no longer there.");
    else
        ShowGoToProblem(owner, path + " exists, but no path the program shows carries its name.");
    return false;
}

bool GoToPath(const std::string& path, HWND owner) {
    return !IsFillRunning() && GoToTarget(ResolvePath(WidenPath(path)), owner);
}

bool GoToTypedPath(const std::string& typed, HWND owner) {
    return !IsFillRunning() && GoToTarget(ResolveTypedPath(WidenPath(typed), WidenPath(CurrentDirectory)), owner);
}

bool FollowLink(const std::string& path, HWND owner) {
    if (IsFillRunning()) return false;
    const LinkChain chain = FollowLinkChain(WidenPath(path));
    std::string headline;
    std::string problem;
    switch (chain.end) {
    case LinkChain::End::Loop:
        headline = "These links lead round in a loop:";
        break;
    case LinkChain::End::TooLong:
        headline = "This chain runs longer than " + std::to_string(kMaxLinksFollowed) + " links:";
        break;
    case LinkChain::End::Unreadable:
        headline = "A link of this chain cannot be read:";
        break;
    case LinkChain::End::Nothing:
        headline = "This chain of links ends at nothing:";
        problem = WhyPathNamesNothing(chain.paths.back());
        break;
    case LinkChain::End::Target:
        if (chain.last.found && ShowPath(chain.last)) return true;
        headline = "This chain of links ends at nothing:";
        problem = chain.last.problem;
        break;
    }
    std::string text = headline + "\n\n" + DescribeChain(chain);
    if (!problem.empty()) text += "\n\n" + problem;
    ShowGoToProblem(owner, text);
    return false;
}
