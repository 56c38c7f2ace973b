// What the snapshot tests share: saves and comparisons run to their end.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "snapshot/snapshot_compare.h"
#include "support/scratch_file.h"

// Saves root to file to its end: "" when complete, else why not.
std::string SaveToFile(const std::string& root, const std::wstring& file,
                       ReplacingFile::WriteProc write = ReplacingFile::WriteAll);

struct ComparisonRun {
    std::string error;
    SnapshotComparison result;
};
// Compares oldFile with newFile, or with the live namespace where newFile is empty.
ComparisonRun CompareToEnd(const std::wstring& oldFile, const std::wstring& newFile, std::wstring within = {});

// A difference as the tests name it: kind, path, old value, new value, in visible forms.
using SeenDifference = std::tuple<std::string, std::string, std::string, std::string>;
std::multiset<SeenDifference> Seen(const SnapshotComparison& comparison);
