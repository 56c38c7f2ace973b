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
    for (const char* path : paths) rows_.push_back({path, IsOpenableDirectory(path)});
    SortByAddress();
}

DirectoryTestRecord::DirectoryTestRecord(std::vector<ListedRow> rows) : rows_(std::move(rows)) { SortByAddress(); }

void DirectoryTestRecord::SortByAddress() { std::sort(rows_.begin(), rows_.end(), ByAddress); }

int DirectoryTestRecord::IndexOf(const char* path) const {
    const ListedRow key{path, false};
    auto found = std::lower_bound(rows_.begin(), rows_.end(), key, ByAddress);
    return found != rows_.end() && found->path == path ? static_cast<int>(found - rows_.begin()) : -1;
}

bool DirectoryTestRecord::IsDirectory(int index, const char* path) const {
    return index >= 0 ? rows_[index].isDirectory : IsOpenableDirectory(path);
}

void DirectoryTestRecord::SortBy(SortOrder order, const std::function<std::string(const char* path)>& textOf) {
    order_ = order;
    sortTexts_.clear();
    if (order.column == SortColumn::Name || !textOf) return;
    sortTexts_.reserve(rows_.size());
    for (const ListedRow& row : rows_) sortTexts_.push_back(textOf(row.path));
}

const char* DirectoryTestRecord::SortText(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < sortTexts_.size() ? sortTexts_[index].c_str() : "";
}

int CALLBACK CompareObjectEntriesForSort(LPARAM pathA, LPARAM pathB, LPARAM record) {
    const auto* a = reinterpret_cast<const char*>(pathA);
    const auto* b = reinterpret_cast<const char*>(pathB);
    const auto* tests = reinterpret_cast<const DirectoryTestRecord*>(record);
    if (tests == nullptr) return CompareObjectEntries(a, b);

    const int indexA = tests->IndexOf(a);
    const int indexB = tests->IndexOf(b);
    const bool directoryA = tests->IsDirectory(indexA, a);
    const bool directoryB = tests->IsDirectory(indexB, b);
    if (directoryA != directoryB) return directoryA ? -1 : 1;
    int result = 0;
    if (tests->Order().column != SortColumn::Name) result = CompareBytes(tests->SortText(indexA), tests->SortText(indexB));
    if (result == 0) result = CompareBytes(a, b);
    return tests->Order().descending ? -result : result;
}
