// The order of the object list: directories first, then by path bytes.
#pragma once

#include <windows.h>

#include <vector>

// The directory test: the path opens as a "Directory" (no extra access).
bool IsOpenableDirectory(const char* path);

// Compares two rows' paths, testing both for being a directory on every call.
int CompareObjectEntries(const char* pathA, const char* pathB);

// The directory test of every row of one sort, made once per row, so that
// sorting n rows costs n opens instead of n log n.
class DirectoryTestRecord {
public:
    explicit DirectoryTestRecord(const std::vector<const char*>& paths);
    // The stored answer for a row's path; a path not recorded is tested now.
    bool IsDirectory(const char* path) const;

private:
    struct Entry {
        const char* path;
        bool isDirectory;
    };
    std::vector<Entry> entries_;  // sorted by path address
};

// The list's sort comparison: lParam values are row paths, the sort parameter
// is the DirectoryTestRecord of this sort. Same order as CompareObjectEntries.
int CALLBACK CompareObjectEntriesForSort(LPARAM pathA, LPARAM pathB, LPARAM record);
