// Finding objects, a few entries at a time, so that a window can show results
// and stay responsive while a search runs: by a part of their name, or by any
// test of each entry, such as what the object grants this account.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "namespace/directory_walk.h"

struct SearchResult {
    std::string path;      // the object's path, or its visible form
    std::string typeName;
    bool addressable;      // false when the path is a visible form that opens nothing
    ACCESS_MASK granted = 0;  // for a search by access: what an open was granted
    std::wstring exactPath;   // the object's path exactly, in UTF-16, whatever its names
};

// A directory the search could not read, and why.
struct UnreadDirectory {
    std::wstring exactPath;
    NTSTATUS status;
};

// Decides whether the entry the walk has just read is a result, and may add to what it records.
using SearchTest = std::function<bool(const DirectoryReader& entry, SearchResult& result)>;
// Decides at once which of the entries a step has read are results: keeps
// those in candidates, in order, and may add to what they record. For a test
// that may wait on each entry (an open), so that it can hand them on together.
using SearchBatchTest = std::function<void(std::vector<SearchResult>& candidates)>;

// The test of a search by name: the exact name holds namePart, compared
// ordinally without regard to case as the object manager compares names; a
// name ANSI cannot carry matches by its visible form as well, where ANSI
// carries namePart. An ANSI namePart is widened by the code page.
SearchTest NameMatch(std::wstring_view namePart);
SearchTest NameMatch(const std::string& namePart);

class ObjectSearch {
public:
    // Searches the directory at root and every directory below it for names
    // that hold namePart, compared without regard to case.
    void Start(const std::string& root, const std::string& namePart);
    // Searches the same way for entries that pass test.
    void Start(const std::string& root, SearchTest test);
    void Start(const std::string& root, SearchBatchTest test);
    // The same from a root given exactly; false when the root cannot be read.
    bool Start(std::wstring_view root, SearchTest test);
    bool Start(std::wstring_view root, SearchBatchTest test);
    // Reads up to maxEntries more entries, appending what matches to found.
    // False once every directory has been read.
    bool Step(long maxEntries, std::vector<SearchResult>& found);
    long EntriesRead() const { return entriesRead_; }
    // Directories that could not be opened, as shown.
    const std::vector<std::string>& Unsearched() const { return unsearched_; }
    // The same directories exactly, with the status of their open.
    const std::vector<UnreadDirectory>& UnreadDirectories() const { return unread_; }

private:
    // A directory being read. Below the root each is opened by its own name in
    // its parent, so that names no ANSI path carries are searched too.
    struct Level {
        DirectoryReader reader;
        std::string path;  // as shown: a visible form where a name needs one
        std::wstring exactPath;
        bool addressable;  // path is the directory's path, not a visible form
        bool root = false;             // the namespace's root, which may not list this logon's \??
        bool listsLogonDevices = false;
    };
    bool Restart(std::wstring_view root);
    void Enter(std::unique_ptr<Level> level, NTSTATUS status, UniqueNtHandle directory);

    SearchTest test_;
    SearchBatchTest batchTest_;
    std::vector<SearchResult> batch_;  // a step's entries, for the batch test
    std::vector<std::unique_ptr<Level>> levels_;  // the directories being read, outermost first
    std::vector<std::string> unsearched_;
    std::vector<UnreadDirectory> unread_;
    long entriesRead_ = 0;
};
