#include "namespace/object_order.h"

#include <algorithm>
#include <functional>

#include "namespace/object_opener.h"

namespace {

// Directories first; otherwise unsigned bytes, so upper case sorts before lower case.
int CompareOrdered(bool directoryA, const char* pathA, bool directoryB, const char* pathB) {
    if (directoryA != directoryB) return directoryA ? -1 : 1;
    const auto* a = reinterpret_cast<const unsigned char*>(pathA);
    const auto* b = reinterpret_cast<const unsigned char*>(pathB);
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    if (*a == *b) return 0;
    return *a < *b ? -1 : 1;
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
    entries_.reserve(paths.size());
    for (const char* path : paths) entries_.push_back({path, IsOpenableDirectory(path)});
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return std::less<const char*>()(a.path, b.path); });
}

bool DirectoryTestRecord::IsDirectory(const char* path) const {
    auto found = std::lower_bound(entries_.begin(), entries_.end(), path, [](const Entry& entry, const char* key) {
        return std::less<const char*>()(entry.path, key);
    });
    if (found != entries_.end() && found->path == path) return found->isDirectory;
    return IsOpenableDirectory(path);
}

int CALLBACK CompareObjectEntriesForSort(LPARAM pathA, LPARAM pathB, LPARAM record) {
    const auto* a = reinterpret_cast<const char*>(pathA);
    const auto* b = reinterpret_cast<const char*>(pathB);
    const auto* tests = reinterpret_cast<const DirectoryTestRecord*>(record);
    if (tests == nullptr) return CompareObjectEntries(a, b);
    return CompareOrdered(tests->IsDirectory(a), a, tests->IsDirectory(b), b);
}
