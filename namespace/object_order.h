// The order of the object list: directories first, then by path bytes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
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
    bool chosen = false;  // set by the user, rather than the list's own order
};

// What one sort knows of each row, gathered once per row instead of once per
// comparison: the directory test, and for a sort by another column than the
// name, that column's text.
class DirectoryTestRecord {
public:
    // Tests every path now: one open per row.
    explicit DirectoryTestRecord(const std::vector<const char*>& paths);
    // Takes the rows a listing walk handed over, with the answers it found.
    explicit DirectoryTestRecord(std::vector<ListedRow> rows);
    std::size_t Size() const { return rows_.size(); }

    // Sorts by order from now on; for a column other than the name, textOf
    // gives each recorded row's text in that column.
    void SortBy(SortOrder order, const std::function<std::string(const char* path)>& textOf = nullptr);
    const SortOrder& Order() const { return order_; }
    // The recorded row's index, or -1.
    int IndexOf(const char* path) const;
    // The stored answer for the row at index; a path not recorded (index -1) is tested now.
    bool IsDirectory(int index, const char* path) const;
    // The column text of a recorded row, for a sort by another column than the name.
    const char* SortText(int index) const;

private:
    void SortByAddress();
    std::vector<ListedRow> rows_;  // sorted by path address
    SortOrder order_;
    std::vector<std::string> sortTexts_;  // beside rows_, while order_ is by another column
};

// The list's sort comparison: lParam values are row paths, the sort parameter
// is the DirectoryTestRecord of this sort. In the record's default order it is
// the same order as CompareObjectEntries.
int CALLBACK CompareObjectEntriesForSort(LPARAM pathA, LPARAM pathB, LPARAM record);
