// What the snapshot tests share: files of their own in the temporary folder,
// and saves and comparisons run to their end.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "snapshot/snapshot_compare.h"

// A path in the temporary folder that no other test uses; the file, and a
// save's temporary file beside it, go with the record.
class ScratchFile {
public:
    explicit ScratchFile(const char* stem);
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();
    const std::wstring& Path() const { return path_; }
    // The bytes the file holds; empty when it is missing.
    std::string Bytes() const;
    void Write(std::string_view bytes) const;
    bool Exists() const;
    // Whether anything but the file itself lies beside it under its name (a save's leftovers).
    bool LeftOvers() const;

private:
    std::wstring path_;
};

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
