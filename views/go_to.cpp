#include "views/go_to.h"

#include <commctrl.h>

#include <vector>

#include "common/path_block.h"
#include "namespace/directory_walk.h"
#include "namespace/link_chain.h"
#include "namespace/object_opener.h"
#include "shell/app_context.h"
#include "shell/toolbar_status.h"
#include "views/directory_fill.h"
#include "views/namespace_tree.h"
#include "views/navigation.h"
#include "views/object_list.h"

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\"");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\"") - first + 1);
}

// The child of parent whose text is name without regard to case; exact gets its text.
HTREEITEM FindChildItem(HWND tree, HTREEITEM parent, const std::string& name, std::string& exact) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
    for (; item != nullptr;
         item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        char text[kObjectPathBlockSize];
        if (ReadTreeItemText(tree, item, text) && lstrcmpiA(text, name.c_str()) == 0) {
            exact = text;
            return item;
        }
    }
    return nullptr;
}

enum class Lookup { Found, Missing, Unopenable };

// The entry of directory named name without regard to case, as the directory spells it.
Lookup FindEntry(const std::string& directory, const std::string& name, std::string& exact, std::string& typeName) {
    DirectoryReader reader;
    if (!reader.Open(directory.c_str())) return Lookup::Unopenable;
    while (reader.Next()) {
        if (!reader.NameIsExact() || lstrcmpiA(reader.Name(), name.c_str()) != 0) continue;
        exact = reader.Name();
        typeName = reader.TypeName();
        return Lookup::Found;
    }
    return Lookup::Missing;
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

// The row whose path is path, or -1.
int FindRowOfPath(const std::string& path) {
    const int count = static_cast<int>(SendMessageA(AppContext.objectList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const char* rowPath = ObjectRowPath(AppContext.objectList, row);
        if (rowPath != nullptr && path == rowPath) return row;
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

}  // namespace

PathTarget ResolvePath(const std::string& typed) {
    PathTarget result;
    std::string path = Trimmed(typed);
    if (path.empty()) {
        result.problem = "Type the path of a directory or an object, such as \\BaseNamedObjects.";
        return result;
    }
    if (path[0] != '\\') path = ChildPathOf(CurrentDirectory, path);

    HWND tree = AppContext.namespaceTree;
    const auto root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    std::vector<std::string> pending = SplitPath(path);
    HTREEITEM item = root;
    std::string directory = "\\";
    int linksFollowed = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const std::string component = pending[i];
        std::string exact;
        if (HTREEITEM child = FindChildItem(tree, item, component, exact)) {
            item = child;
            directory = ChildPathOf(directory, exact);
            continue;
        }
        std::string typeName;
        const Lookup lookup = FindEntry(directory, component, exact, typeName);
        if (lookup != Lookup::Found) {
            result.problem = lookup == Lookup::Missing
                                 ? directory + " exists, but holds nothing named \"" + component + "\"."
                                 : directory + " exists, but cannot be opened to look for \"" + component + "\".";
            return result;
        }
        const std::string found = ChildPathOf(directory, exact);
        if (typeName == "Directory") {
            HTREEITEM added = AddDirectoryToTree(item, directory, exact);
            if (added == nullptr) {
                result.problem = found + " exists, but its path is too long to show.";
                return result;
            }
            item = added;
            directory = found;
            continue;
        }
        if (i + 1 == pending.size()) {
            result.found = true;
            result.directory = directory;
            result.object = exact;
            return result;
        }
        if (typeName != "SymbolicLink") {
            result.problem = found + " exists, but its type is " + typeName + ", not Directory: \"" +
                             pending[i + 1] + "\" cannot be in it.";
            return result;
        }
        // A link in the middle of a path: its target takes its place.
        std::string target;
        if (++linksFollowed > kMaxLinksFollowed || ReadLinkTarget(found, target) != LinkRead::Read) {
            result.problem = "The link " + found + " cannot be followed.";
            return result;
        }
        std::vector<std::string> next = SplitPath(target);
        next.insert(next.end(), pending.begin() + static_cast<std::ptrdiff_t>(i) + 1, pending.end());
        pending = std::move(next);
        item = root;
        directory = "\\";
        i = static_cast<std::size_t>(-1);  // the loop's step starts the new path at its first component
    }
    result.found = true;
    result.directory = directory;
    return result;
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
