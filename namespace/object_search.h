// Finding objects by a part of their name, a few entries at a time, so that
// a window can show results and stay responsive while a search runs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "namespace/directory_walk.h"

struct SearchResult {
    std::string path;      // the object's path, or its visible form
    std::string typeName;
    bool addressable;      // false when the path is a visible form that opens nothing
};

class ObjectSearch {
public:
    // Searches the directory at root and every directory below it for names
    // that hold namePart, compared without regard to case.
    void Start(const std::string& root, const std::string& namePart);
    // Reads up to maxEntries more entries, appending what matches to found.
    // False once every directory has been read.
    bool Step(long maxEntries, std::vector<SearchResult>& found);
    long EntriesRead() const { return entriesRead_; }
    // Directories that could not be opened, or whose names no path can carry.
    const std::vector<std::string>& Unsearched() const { return unsearched_; }

private:
    struct Level {
        DirectoryReader reader;
        std::string path;
    };
    bool Enter(const std::string& path);

    std::string needle_;  // lower case
    std::vector<std::unique_ptr<Level>> levels_;  // the directories being read, outermost first
    std::vector<std::string> unsearched_;
    long entriesRead_ = 0;
};
