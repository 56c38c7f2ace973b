#include "namespace/directory_fill.h"

#include <string>
#include <vector>

#include "common/path_block.h"
#include "namespace/directory_walk.h"
#include "namespace/object_order.h"
#include "views/namespace_tree.h"
#include "views/object_list.h"

namespace {

void* InsertIntoTree(void* tree, void* parent, const char* name, char* childPath) {
    return InsertTreeItem(static_cast<HWND>(tree), static_cast<HTREEITEM>(parent), name, childPath);
}

// One entry of the listed directory, held until the list has room for all.
struct PendingRow {
    int position;
    std::string typeName;
    std::string text;
    char* childPath;
};

bool CollectRow(void* rows, int position, const char* typeName, char* rowText, char* childPath) {
    static_cast<std::vector<PendingRow>*>(rows)->push_back({position, typeName, rowText, childPath});
    return true;
}

}  // namespace

void FillDirectoryTree(HWND tree, HTREEITEM parent, const char* path) {
    WalkDirectoryTree(path, parent, InsertIntoTree, tree);
}

void FillObjectList(HWND list, const char* path) {
    // Each insert would otherwise repaint the list; a refill already has
    // redrawing off, and turning it on again at the end does no harm there.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    // The whole directory is read first, so the list can make room for every
    // row at once instead of growing with each insert.
    std::vector<PendingRow> pending;
    WalkObjectRows(path, CollectRow, &pending);
    const auto shown = static_cast<std::size_t>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    SendMessageA(list, LVM_SETITEMCOUNT, shown + pending.size(), LVSICF_NOINVALIDATEALL);

    std::vector<const char*> rowPaths;
    rowPaths.reserve(pending.size());
    for (PendingRow& row : pending) {
        if (AddObjectRow(list, row.position, row.typeName.c_str(), row.text.data(), row.childPath)) {
            rowPaths.push_back(row.childPath);
            continue;
        }
        MessageBoxA(nullptr, "LV_AddItem failed!", nullptr, MB_OK);
        FreePathBlock(row.childPath);
    }
    // Each row is tested for being a directory once, not on every comparison.
    DirectoryTestRecord directoryTests(rowPaths);
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&directoryTests),
                 reinterpret_cast<LPARAM>(CompareObjectEntriesForSort));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}
