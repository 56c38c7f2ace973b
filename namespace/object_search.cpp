#include "namespace/object_search.h"

#include <windows.h>

#include <cstring>
#include <iterator>

#include "common/path_block.h"

namespace {

// Lower case through the ANSI code page, for comparisons without regard to case.
std::string LowerCase(std::string text) {
    if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

void ObjectSearch::Start(const std::string& root, const std::string& namePart) {
    Start(root, [needle = LowerCase(namePart)](const DirectoryReader& entry, SearchResult&) {
        return needle.empty() || LowerCase(entry.Name()).find(needle) != std::string::npos;
    });
}

void ObjectSearch::Start(const std::string& root, SearchTest test) {
    test_ = std::move(test);
    batchTest_ = nullptr;
    Restart(root);
}

void ObjectSearch::Start(const std::string& root, SearchBatchTest test) {
    batchTest_ = std::move(test);
    test_ = nullptr;
    Restart(root);
}

void ObjectSearch::Restart(const std::string& root) {
    levels_.clear();
    unsearched_.clear();
    entriesRead_ = 0;
    Enter(root);
}

bool ObjectSearch::Enter(const std::string& path) {
    auto level = std::make_unique<Level>();
    level->path = path;
    if (!level->reader.Open(path.c_str())) {
        unsearched_.push_back(path);
        return false;
    }
    levels_.push_back(std::move(level));
    return true;
}

bool ObjectSearch::Step(long maxEntries, std::vector<SearchResult>& found) {
    std::vector<SearchResult>& taken = batchTest_ ? batch_ : found;
    batch_.clear();
    for (long read = 0; read < maxEntries && !levels_.empty(); ) {
        Level& level = *levels_.back();
        if (!level.reader.Next()) {
            levels_.pop_back();
            continue;
        }
        ++read;
        ++entriesRead_;
        const DirectoryReader& entry = level.reader;
        const std::string path = ChildPathOf(level.path, entry.Name());
        // Only a path a block can carry addresses the object.
        const bool addressable = entry.NameIsExact() && path.size() <= kMaxObjectPathLength;
        SearchResult candidate{path, entry.TypeName(), addressable};
        if (batchTest_ || test_(entry, candidate)) taken.push_back(std::move(candidate));
        if (std::strcmp(entry.TypeName(), "Directory") != 0) continue;
        // Depth first, as the tree is walked; each level keeps its directory open.
        if (!addressable)
            unsearched_.push_back(path);
        else
            Enter(path);
    }
    if (!batch_.empty()) {
        batchTest_(batch_);
        found.insert(found.end(), std::make_move_iterator(batch_.begin()), std::make_move_iterator(batch_.end()));
    }
    return !levels_.empty();
}
