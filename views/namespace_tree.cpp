#include "views/namespace_tree.h"

#include <cstring>

#include "common/path_block.h"
#include "namespace/name_lookup.h"
#include "views/directory_fill.h"

HIMAGELIST TreeImageList = nullptr;
int DirectoryImageIndex = 0;
int SelectedDirectoryImageIndex = 0;

namespace {

constexpr int kPaneTop = 27;
constexpr int kTreeBottomMargin = 45;
constexpr DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | WS_BORDER |
                             TVS_HASBUTTONS |   // 0x1
                             TVS_HASLINES |     // 0x2
                             TVS_LINESATROOT;   // 0x4
static_assert(kTreeStyle == 0x50800007);

// While all items are deleted, the control may report selections of items
// that are about to go; such reports are ignored.
bool TreeItemsDeleting = false;

void ShowFailure(const char* text) { MessageBoxA(nullptr, text, nullptr, MB_OK); }

int AddDirectoryBitmap(HINSTANCE instance, const char* name) {
    HBITMAP bitmap = LoadBitmapA(instance, name);
    int index = ImageList_Add(TreeImageList, bitmap, nullptr);
    DeleteObject(bitmap);
    return index;
}

bool IsRootPath(const char* path) { return path[0] == '\\' && path[1] == '\0'; }

// The item's path goes with the item; the root's constant "\" stays.
int OnItemDeleted(const NMHDR* header, AppContextRecord* context) {
    const auto& report = *reinterpret_cast<const NMTREEVIEWA*>(header);
    auto* path = reinterpret_cast<char*>(report.itemOld.lParam);
    if (path == nullptr || IsRootPath(path)) return 0;
    if (context->SelectedPath == path) context->SelectedPath = nullptr;
    FreePathBlock(path);
    return 0;
}

// A report naming no item leaves SelectedPath as it is.
int OnSelectionChanged(const NMHDR* header, AppContextRecord* context) {
    const auto& report = *reinterpret_cast<const NMTREEVIEWA*>(header);
    const auto* path = reinterpret_cast<const char*>(report.itemNew.lParam);
    if (TreeItemsDeleting || report.itemNew.hItem == nullptr || path == nullptr) return 0;
    context->SelectedPath = path;
    return 1;
}

// Every focus gain reports the caret item, whether or not it changed.
int OnFocusGained(AppContextRecord* context) {
    const char* path = TreeItemsDeleting ? nullptr : TreeCaretPath(context->namespaceTree);
    if (path == nullptr) return 0;
    context->SelectedPath = path;
    return 1;
}

}  // namespace

HWND CreateNamespaceTree(HWND parent, HINSTANCE instance) {
    RECT client;
    GetClientRect(parent, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;

    HWND tree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "", kTreeStyle, 0, kPaneTop, width / 4,
                                height - kTreeBottomMargin, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kNamespaceTreeId)), instance, nullptr);
    if (tree == nullptr) {
        ShowFailure("CreateWindow of TreeView failed!");
        return nullptr;
    }

    TreeImageList = ImageList_Create(16, 16, 0, 2, 10);
    if (TreeImageList == nullptr) ShowFailure("ImageList_Create failed!");
    DirectoryImageIndex = AddDirectoryBitmap(instance, "DIRECTORY_BMP");
    SelectedDirectoryImageIndex = AddDirectoryBitmap(instance, "SEL_DIRECTORY_BMP");
    if (ImageList_GetImageCount(TreeImageList) != 2) {
        ShowFailure("TreeView image list not loaded!");
        return nullptr;
    }
    SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(TreeImageList));
    return tree;
}

HTREEITEM InsertTreeItem(HWND tree, HTREEITEM parent, const char* text, char* path) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text);  // the control copies the text
    insert.item.cchTextMax = lstrlenA(text);
    insert.item.iImage = DirectoryImageIndex;
    insert.item.iSelectedImage = SelectedDirectoryImageIndex;
    insert.item.lParam = reinterpret_cast<LPARAM>(path);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item == nullptr) ShowFillFailure("TVM_INSERTITEM failed");
    return item;
}

HTREEITEM InsertRootItem(HWND tree) {
    // RootPath is constant and never freed: the deletion report skips "\".
    return InsertTreeItem(tree, TVI_ROOT, RootPath, const_cast<char*>(RootPath));
}

BOOL DeleteAllTreeItems(HWND tree) {
    TreeItemsDeleting = true;
    auto answer = static_cast<BOOL>(SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)));
    TreeItemsDeleting = false;
    return answer;
}

int HandleTreeNotify(int controlId, const NMHDR* header, AppContextRecord* context) {
    if (controlId != kNamespaceTreeId) return 0;
    switch (header->code) {
        case TVN_DELETEITEMA:
            return OnItemDeleted(header, context);
        case TVN_SELCHANGEDA:
            return OnSelectionChanged(header, context);
        case NM_SETFOCUS:
            return OnFocusGained(context);
        default:
            return 0;
    }
}

HTREEITEM FindTreeItemByPath(HWND tree, HTREEITEM start, char* path) {
    // Split off the first component; a leading "\" is the root item's text.
    const char* component = path;
    char* remainder = nullptr;
    char* cut = nullptr;
    if (path[0] == '\\') {
        component = RootPath;
        if (path[1] != '\0') remainder = path + 1;
    } else if ((cut = std::strchr(path, '\\')) != nullptr) {
        *cut = '\0';
        remainder = cut + 1;
    }

    HTREEITEM found = nullptr;
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(start)));
    while (item != nullptr) {
        char text[kObjectPathBlockSize];
        if (ReadTreeItemText(tree, item, text) && std::strcmp(component, text) == 0) {
            // The first sibling with the text is the only one descended into.
            found = remainder == nullptr ? item : FindTreeItemByPath(tree, item, remainder);
            break;
        }
        item = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }

    if (cut != nullptr) *cut = '\\';
    return found;
}

const char* TreeItemPath(HWND tree, HTREEITEM item) {
    if (item == nullptr) return nullptr;
    TVITEMA read{};
    read.mask = TVIF_PARAM;
    read.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) return nullptr;
    return reinterpret_cast<const char*>(read.lParam);
}

HTREEITEM FindTreeItemByExactPath(HWND tree, const std::wstring& path) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    std::wstring reached = L"\\";
    for (const std::wstring& name : PathNames(path)) {
        reached = JoinPath(reached, name);
        auto child = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        while (child != nullptr && NameOfBlock(TreeItemPath(tree, child)).Wide() != reached)
            child = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
        if (child == nullptr) return nullptr;
        item = child;
    }
    return item;
}

HTREEITEM FindTreeItemByName(HWND tree, const ObjectName& name) {
    if (name.path == nullptr) return nullptr;
    if (name.exact != nullptr) return FindTreeItemByExactPath(tree, *name.exact);
    char path[kObjectPathBlockSize];
    lstrcpynA(path, name.path, kObjectPathBlockSize);
    return FindTreeItemByPath(tree, nullptr, path);
}

const char* TreeCaretPath(HWND tree) {
    return TreeItemPath(tree, reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
}

bool ReadTreeItemText(HWND tree, HTREEITEM item, char (&text)[kObjectPathBlockSize]) {
    TVITEMA read{};
    read.mask = TVIF_TEXT;
    read.hItem = item;
    read.pszText = text;
    read.cchTextMax = kObjectPathBlockSize;
    return SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read)) != 0;
}
