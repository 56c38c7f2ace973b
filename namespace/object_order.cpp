#include "namespace/object_order.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "namespace/object_opener.h"

namespace {

// Unsigned bytes, so upper case sorts before lower case.
int CompareBytes(const char* textA, const char* textB) {
    const auto* a = reinterpret_cast<const unsigned char*>(textA);
    const auto* b = reinterpret_cast<const unsigned char*>(textB);
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    if (*a == *b) return 0;
    return *a < *b ? -1 : 1;
}

// Directories first; otherwise the paths' bytes.
int CompareOrdered(bool directoryA, const char* pathA, bool directoryB, const char* pathB) {
    if (directoryA != directoryB) return directoryA ? -1 : 1;
    return CompareBytes(pathA, pathB);
}

bool ByAddress(const ListedRow& a, const ListedRow& b) { return std::less<const char*>()(a.path, b.path); }

// The column's text of a recorded row; rows not recorded have none.
const char* ColumnText(const ListedRow* row, SortColumn column) {
    if (row == nullptr) return "";
    return column == SortColumn::Type ? row->typeName.c_str() : row->target.c_str();
}

}  // namespace

bool IsOpenableDirectory(const char* path) {
    HANDLE handle = nullptr;
    if (OpenObjectByType(kTypeDirectory, path, 0, false, &handle) != kStatusSuccess) return false;
    NtClose(handle);
    return true;
}

int CompareObjectEntries(const char* pathA, const char* pathB) {
    return CompareOrdered(IsOpenableDirectory(pathA), pathA, IsOpenableDirectory(pathB), pathB);
}

DirectoryTestRecord::DirectoryTestRecord(const std::vector<const char*>& paths) {
    rows_.reserve(paths.size());
    for (const char* path : paths) rows_.push_back({path, IsOpenableDirectory(path), {}, {}});
    SortByAddress();
}

DirectoryTestRecord::DirectoryTestRecord(std::vector<ListedRow> rows) : rows_(std::move(rows)) { SortByAddress(); }

void DirectoryTestRecord::SortByAddress() { std::sort(rows_.begin(), rows_.end(), ByAddress); }

const ListedRow* DirectoryTestRecord::Find(const char* path) const {
    const ListedRow key{path, false, {}, {}};
    auto found = std::lower_bound(rows_.begin(), rows_.end(), key, ByAddress);
    return found != rows_.end() && found->path == path ? &*found : nullptr;
}

bool DirectoryTestRecord::IsDirectory(const char* path) const {
    const ListedRow* row = Find(path);
    return row != nullptr ? row->isDirectory : IsOpenableDirectory(path);
}

int CALLBACK CompareObjectEntriesForSort(LPARAM pathA, LPARAM pathB, LPARAM record) {
    const auto* a = reinterpret_cast<const char*>(pathA);
    const auto* b = reinterpret_cast<const char*>(pathB);
    const auto* tests = reinterpret_cast<const DirectoryTestRecord*>(record);
    if (tests == nullptr) return CompareObjectEntries(a, b);

    const ListedRow* rowA = tests->Find(a);
    const ListedRow* rowB = tests->Find(b);
    const bool directoryA = rowA != nullptr ? rowA->isDirectory : IsOpenableDirectory(a);
    const bool directoryB = rowB != nullptr ? rowB->isDirectory : IsOpenableDirectory(b);
    if (directoryA != directoryB) return directoryA ? -1 : 1;
    int result = 0;
    if (tests->order.column != SortColumn::Name)
        result = CompareBytes(ColumnText(rowA, tests->order.column), ColumnText(rowB, tests->order.column));
    if (result == 0) result = CompareBytes(a, b);
    return tests->order.descending ? -result : result;
}
