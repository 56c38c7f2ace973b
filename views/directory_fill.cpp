#include "views/directory_fill.h"

#include <optional>

#include "common/disabled_window.h"
#include "namespace/directory_walk.h"
#include "namespace/object_order.h"
#include "shell/app_context.h"
#include "views/namespace_tree.h"
#include "views/object_list.h"
#include "views/work_progress.h"

namespace {

int FillDepth = 0;

// Marks the extent of one fill.
class FillScope {
public:
    FillScope() { ++FillDepth; }
    ~FillScope() { --FillDepth; }
    FillScope(const FillScope&) = delete;
    FillScope& operator=(const FillScope&) = delete;
};

// What the list's current rows were sorted with; its paths are the rows' own,
// so it goes whenever the rows go.
std::optional<DirectoryTestRecord> ListingRecord;

void* InsertIntoTree(void* tree, void* parent, const char* name, char* childPath) {
    return InsertTreeItem(static_cast<HWND>(tree), static_cast<HTREEITEM>(parent), name, childPath);
}

bool AddToList(void* list, int position, const char* typeName, char* rowText, char* childPath) {
    if (AddObjectRow(static_cast<HWND>(list), position, typeName, rowText, childPath)) return true;
    ShowFillFailure("LV_AddItem failed!");
    return false;
}

}  // namespace

bool IsFillRunning() { return FillDepth > 0; }

void ShowFillFailure(const char* text) {
    // The box is owned by the thread's active window (the main window, or a
    // box of the program's over it such as Go To), which it disables while
    // it is up; the main window is disabled as well. So no click reaches a
    // fill that is still running under the box, and the activation returns
    // to the program when the box goes.
    HWND owner = GetActiveWindow();
    DisabledWindow main(AppContext.mainWindow);
    MessageBoxA(owner, text, nullptr, MB_OK);
}

void FillDirectoryTree(HWND tree, HTREEITEM parent, const ObjectName& path) {
    FillScope fill;
    WorkProgress progress("Reading", "the directory tree", "entries");
    WalkDirectoryTree(path, parent, InsertIntoTree, tree, progress.ForWalk());
}

void FillObjectList(HWND list, const ObjectName& path) {
    FillScope fill;
    WorkProgress progress("Listing", path.path, "objects");
    // Each insert would otherwise repaint the list; a refill already has
    // redrawing off, and turning it on again at the end does no harm there.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    std::vector<ListedRow> rows = WalkObjectRows(path, AddToList, list, progress.ForWalk());
    // The walk answered the directory test of every row that needs one; the
    // record keeps the answers for this sort and for later sorts by column.
    const long count = static_cast<long>(rows.size());
    ListingRecord.emplace(std::move(rows));
    progress.Stage("Sorting");
    progress.Report(count);
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&*ListingRecord),
                 reinterpret_cast<LPARAM>(CompareObjectEntriesForSort));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

DirectoryTestRecord* CurrentListingRecord() { return ListingRecord ? &*ListingRecord : nullptr; }

void ForgetListingRecord() { ListingRecord.reset(); }
