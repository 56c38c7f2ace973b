#include "views/go_to.h"

#include <commctrl.h>

#include <vector>

#include "common/path_block.h"
#include "namespace/directory_walk.h"
#include "namespace/link_chain.h"
#include "namespace/name_lookup.h"
#include "namespace/object_order.h"
#include "shell/app_context.h"
#include "shell/toolbar_status.h"
#include "views/directory_fill.h"
#include "views/namespace_tree.h"
#include "views/navigation.h"
#include "views/object_list.h"

namespace {

// The directory of the session's own device names.
constexpr char kSessionDevicesName[] = "??";
constexpr char kSessionDevicesPath[] = "\\??";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Why a path the namespace cannot resolve names nothing.
std::string WhyNothing(const std::string& path) {
    if (path.empty() || path[0] != '\\')
        return Quoted(path) + " does not begin with \"\\\": the namespace resolves it to nothing.";
    return Quoted(path) + " has an empty name in it (\"\\\\\", or a \"\\\" at its end): the namespace resolves it to nothing.";
}

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

// The entry name is in directory, looked up as the namespace looks it up;
// problem says why not where it is missing.
bool FindNamedEntry(const std::string& directory, const std::string& name, FoundEntry& entry, std::string& problem) {
    // Later systems give each session a "\??" of its own, which the root
    // does not list: it is followed wherever it opens.
    if (directory == RootPath && name == kSessionDevicesName) {
        if (IsOpenableDirectory(kSessionDevicesPath)) {
            entry = {kSessionDevicesName, "Directory"};
            return true;
        }
        problem = "\\?? (this session's own device names) cannot be opened.";
        return false;
    }
    switch (LookupEntry(directory, name, entry)) {
    case EntryLookup::Found:
        return true;
    case EntryLookup::Unopenable:
        problem = directory + " exists, but cannot be opened to look for " + Quoted(name) + ".";
        return false;
    case EntryLookup::Missing:
        break;
    }
    problem = directory + " exists, but holds nothing named " + Quoted(name) + ".";
    return false;
}

// Typed text taken as it stands; a relative path starts at the shown directory.
PathTarget ResolveTypedText(const std::string& text) {
    if (text.empty()) {
        PathTarget result;
        result.problem = "Type the path of a directory or an object, such as \\BaseNamedObjects.";
        return result;
    }
    return ResolvePath(text[0] == '\\' ? text : ChildPathOf(CurrentDirectory, text));
}

}  // namespace

PathTarget ResolvePath(const std::string& path) {
    PathTarget result;
    if (!IsWellFormedPath(path)) {
        result.problem = WhyNothing(path);
        return result;
    }
    HWND tree = AppContext.namespaceTree;
    const auto root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    std::vector<std::string> pending = PathNames(path);
    HTREEITEM item = root;
    std::string directory = RootPath;
    int linksFollowed = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        FoundEntry entry;
        if (!FindNamedEntry(directory, pending[i], entry, result.problem)) return result;
        const std::string found = ChildPathOf(directory, entry.name);
        if (found.size() > kMaxObjectPathLength) {
            result.problem = found + " exists, but its path is too long to show.";
            return result;
        }
        if (entry.typeName == "Directory") {
            HTREEITEM child = FindChildItem(tree, item, entry.name);
            if (child == nullptr) child = AddDirectoryToTree(item, directory, entry.name);
            if (child == nullptr) {
                result.problem = found + " exists, but cannot be shown in the tree.";
                return result;
            }
            item = child;
            directory = found;
            continue;
        }
        if (i + 1 == pending.size()) {
            result.found = true;
            result.directory = directory;
            result.object = entry.name;
            return result;
        }
        if (entry.typeName != "SymbolicLink") {
            result.problem = found + " exists, but its type is " + entry.typeName + ", not Directory: " +
                             Quoted(pending[i + 1]) + " cannot be in it.";
            return result;
        }
        // A link in the middle of a path: its target takes its place.
        std::string target;
        if (++linksFollowed > kMaxLinksFollowed || ReadLinkTarget(found, target) != LinkRead::Read) {
            result.problem = "The link " + found + " cannot be followed.";
            return result;
        }
        if (!IsWellFormedPath(target)) {
            result.problem = "The link " + found + " cannot be followed: " + WhyNothing(target);
            return result;
        }
        std::vector<std::string> next = PathNames(target);
        next.insert(next.end(), pending.begin() + static_cast<std::ptrdiff_t>(i) + 1, pending.end());
        pending = std::move(next);
        item = root;
        directory = RootPath;
        i = static_cast<std::size_t>(-1);  // the loop's step starts the new path at its first name
    }
    result.found = true;
    result.directory = directory;
    return result;
}

PathTarget ResolveTypedPath(const std::string& typed) {
    PathTarget exact = ResolveTypedText(typed);
    if (exact.found || typed.size() < 2 || typed.front() != '"' || typed.back() != '"') return exact;
    PathTarget unquoted = ResolveTypedText(typed.substr(1, typed.size() - 2));
    return unquoted.found ? unquoted : exact;
}

bool ShowPath(const PathTarget& target) {
    std::string directory = target.directory;  // FindTreeItemByPath writes into its buffer
    HTREEITEM item = FindTreeItemByPath(AppContext.namespaceTree, nullptr, directory.data());
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
    if (target.object.empty()) return true;
    const int row = FindRowOfPath(ChildPathOf(target.directory, target.object));
    if (row < 0) return false;
    SelectRow(row);
    return true;
}

void ShowGoToProblem(HWND owner, const std::string& text) {
    MessageBoxA(owner, text.c_str(), "Tarnel", MB_OK | MB_ICONERROR);
}

bool GoToTarget(const PathTarget& target, HWND owner) {
    if (IsFillRunning()) return false;
    if (!target.found) {
        ShowGoToProblem(owner, target.problem);
        return false;
    }
    if (ShowPath(target)) return true;
    ShowGoToProblem(owner, ChildPathOf(target.directory, target.object) + " is no longer there.");
    return false;
}

bool GoToPath(const std::string& path, HWND owner) { return !IsFillRunning() && GoToTarget(ResolvePath(path), owner); }

bool GoToTypedPath(const std::string& typed, HWND owner) {
    return !IsFillRunning() && GoToTarget(ResolveTypedPath(typed), owner);
}

bool FollowLink(const std::string& path, HWND owner) {
    if (IsFillRunning()) return false;
    const LinkChain chain = FollowLinkChain(path);
    PathTarget target;
    std::string headline;
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
        target.problem = WhyNothing(chain.paths.back());
        break;
    case LinkChain::End::Target:
        target = ResolvePath(chain.paths.back());
        if (target.found && ShowPath(target)) return true;
        headline = "This chain of links ends at nothing:";
        break;
    }
    std::string text = headline + "\n\n" + chain.paths.front();
    for (std::size_t i = 1; i < chain.paths.size(); ++i) text += "\n  -> " + chain.paths[i];
    if (!target.problem.empty()) text += "\n\n" + target.problem;
    ShowGoToProblem(owner, text);
    return false;
}
