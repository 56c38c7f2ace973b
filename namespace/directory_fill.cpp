#include "namespace/directory_fill.h"

#include "namespace/directory_walk.h"
#include "namespace/object_order.h"
#include "views/namespace_tree.h"
#include "views/object_list.h"

namespace {

void* InsertIntoTree(void* tree, void* parent, const char* name, char* childPath) {
    return InsertTreeItem(static_cast<HWND>(tree), static_cast<HTREEITEM>(parent), name, childPath);
}

bool AddToList(void* list, int position, const char* typeName, char* rowText, char* childPath) {
    if (AddObjectRow(static_cast<HWND>(list), position, typeName, rowText, childPath)) return true;
    MessageBoxA(nullptr, "LV_AddItem failed!", nullptr, MB_OK);
    return false;
}

}  // namespace

void FillDirectoryTree(HWND tree, HTREEITEM parent, const char* path) {
    WalkDirectoryTree(path, parent, InsertIntoTree, tree);
}

void FillObjectList(HWND list, const char* path) {
    // Each insert would otherwise repaint the list; a refill already has
    // redrawing off, and turning it on again at the end does no harm there.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    std::vector<const char*> rowPaths = WalkObjectRows(path, AddToList, list);
    // Each row is tested for being a directory once, not on every comparison.
    DirectoryTestRecord directoryTests(rowPaths);
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&directoryTests),
                 reinterpret_cast<LPARAM>(CompareObjectEntriesForSort));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}
