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

// A directory made after the tree was built goes into the tree with its subtree.
HTREEITEM AddDirectoryToTree(HTREEITEM parentItem, const ObjectName& parent, const std::wstring& name) {
    char* block = AllocatePathBlock();
    if (block == nullptr) return nullptr;
    FillChildPath(block, parent, name);
    HTREEITEM item = InsertTreeItem(AppContext.namespaceTree, parentItem, VisibleName(name).c_str(), block);
    if (item == nullptr) {
        FreePathBlock(block);
        return nullptr;
    }
    FillDirectoryTree(AppContext.namespaceTree, item, NameOfBlock(block));
    return item;
}

// The tree item of a resolved directory, each name on the way matched
// exactly as the directory spells it, or added where the tree lacks it; null
// where the directory cannot be shown.
HTREEITEM EnsureTreeItem(const std::wstring& directory) {
    HWND tree = AppContext.namespaceTree;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    std::wstring reached = L"\\";
    for (const std::wstring& name : PathNames(directory)) {
        if (item == nullptr) return nullptr;
        const ObjectName parent = NameOfBlock(TreeItemPath(tree, item));
        reached = JoinPath(reached, name);
        HTREEITEM child = FindTreeItemByExactPath(tree, reached);
        item = child != nullptr ? child : AddDirectoryToTree(item, parent, name);
    }
    return item;
}

// The row of the object whose exact path is path, or -1.
int FindRowOfPath(const std::wstring& path) {
    std::string ansi;
    const bool carried = NarrowPath(path, ansi);
    const int count = static_cast<int>(SendMessageA(AppContext.objectList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const char* rowPath = ObjectRowPath(AppContext.objectList, row);
        if (rowPath == nullptr) continue;
        const std::wstring* exact = ExactPathOf(rowPath);
        if (exact != nullptr ? *exact == path : carried && ansi == rowPath) return row;
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
        RefillObjectList(AppContext.objectList, CurrentDirectoryName());
    }
    if (!target.object.empty()) {
        const int row = FindRowOfPath(target.Path());
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
    ShowGoToProblem(owner, VisiblePath(target.Path()) + " is no longer there.");
    return false;
}

bool GoToPath(const ObjectName& path, HWND owner) {
    return !IsFillRunning() && GoToTarget(ResolvePath(path.Wide()), owner);
}

bool GoToTypedPath(std::wstring_view typed, HWND owner) {
    return !IsFillRunning() && GoToTarget(ResolveTypedPath(typed, CurrentDirectoryName().Wide()), owner);
}

bool FollowLink(const ObjectName& path, HWND owner) {
    if (IsFillRunning()) return false;
    const LinkChain chain = FollowLinkChain(path.Wide());
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
