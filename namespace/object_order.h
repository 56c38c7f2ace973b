// The order of the object list: directories first, then by path bytes.
#pragma once

#include <windows.h>

#include <vector>

#include "namespace/directory_walk.h"

// The directory test: the path opens as a "Directory" (no extra access).
bool IsOpenableDirectory(const char* path);

// Compares two rows' paths, testing both for being a directory on every call.
int CompareObjectEntries(const char* pathA, const char* pathB);

// Which column a sort goes by. The list's own order is by name, ascending;
// directories come first in every order.
enum class SortColumn { Name, Type, SymLink };
struct SortOrder {
    SortColumn column = SortColumn::Name;
    bool descending = false;
};

// What one sort knows of each row, the directory test among it, gathered
// once per row instead of once per comparison.
class DirectoryTestRecord {
public:
    // Tests every path now: one open per row.
    explicit DirectoryTestRecord(const std::vector<const char*>& paths);
    // Takes the rows a listing walk handed over, with the answers it found.
    explicit DirectoryTestRecord(std::vector<ListedRow> rows);
    // The stored answer for a row's path; a path not recorded is tested now.
    bool IsDirectory(const char* path) const;
    // The recorded row of a path, or null.
    const ListedRow* Find(const char* path) const;
    std::size_t Size() const { return rows_.size(); }

    SortOrder order;

private:
    void SortByAddress();
    std::vector<ListedRow> rows_;  // sorted by path address
};

// The list's sort comparison: lParam values are row paths, the sort parameter
// is the DirectoryTestRecord of this sort. In the record's default order it is
// the same order as CompareObjectEntries.
int CALLBACK CompareObjectEntriesForSort(LPARAM pathA, LPARAM pathB, LPARAM record);
