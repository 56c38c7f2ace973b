#include "namespace/object_search.h"

#include <windows.h>

#include <cstring>
#include <iterator>

#include "common/path_block.h"
#include "namespace/name_lookup.h"
#include "namespace/object_opener.h"
#include "namespace/path_resolver.h"
#include "namespace/visible_name.h"

namespace {

// Lower case through the ANSI code page, for the visible forms.
std::string LowerCase(std::string text) {
    if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Opens a directory the walk reads for its listing alone: one that lets the
// account list it but not read its descriptor is searched too.
NTSTATUS OpenForListing(OBJECT_ATTRIBUTES& attributes, HANDLE* handle) {
    return OpenObjectExactlyWith(kTypeDirectory, attributes, kQueryRight, handle);
}

NTSTATUS OpenForListing(std::wstring_view path, HANDLE* handle) {
    UNICODE_STRING name = CountedView(path);
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(&name);
    return OpenForListing(attributes, handle);
}

}  // namespace

SearchTest NameMatch(std::wstring_view namePart) {
    std::string shown;
    // Visible forms are ANSI text: a needle ANSI cannot carry is matched by the exact names alone.
    const bool carried = NarrowPath(namePart, shown);
    return [needle = UpcaseName(namePart), shownNeedle = LowerCase(std::move(shown)), carried](
               const DirectoryReader& entry, SearchResult&) {
        if (needle.empty()) return true;
        const UNICODE_STRING& name = entry.WideName();
        if (UpcaseName(std::wstring_view(name.Buffer, name.Length / sizeof(WCHAR))).find(needle) != std::wstring::npos)
            return true;
        return carried && !entry.NameIsExact() && LowerCase(entry.Name()).find(shownNeedle) != std::string::npos;
    };
}

SearchTest NameMatch(const std::string& namePart) { return NameMatch(WidenPath(namePart)); }

void ObjectSearch::Start(const std::string& root, const std::string& namePart) { Start(root, NameMatch(namePart)); }

void ObjectSearch::Start(const std::string& root, SearchTest test) { Start(WidenPath(root), std::move(test)); }

void ObjectSearch::Start(const std::string& root, SearchBatchTest test) { Start(WidenPath(root), std::move(test)); }

bool ObjectSearch::Start(std::wstring_view root, SearchTest test) {
    test_ = std::move(test);
    batchTest_ = nullptr;
    return Restart(root);
}

bool ObjectSearch::Start(std::wstring_view root, SearchBatchTest test) {
    batchTest_ = std::move(test);
    test_ = nullptr;
    return Restart(root);
}

bool ObjectSearch::Restart(std::wstring_view root) {
    levels_.clear();
    unsearched_.clear();
    unread_.clear();
    entriesRead_ = 0;
    std::string shown;
    const bool addressable = NarrowPath(root, shown);
    HANDLE handle = nullptr;
    const NTSTATUS status = OpenForListing(root, &handle);
    auto level = std::unique_ptr<Level>(new Level{{}, std::move(shown), std::wstring(root), addressable});
    level->root = root == L"\\";
    Enter(std::move(level), status, UniqueNtHandle(handle));
    return !levels_.empty();
}

void ObjectSearch::Enter(std::unique_ptr<Level> level, NTSTATUS status, UniqueNtHandle directory) {
    if (status != kStatusSuccess) {
        unsearched_.push_back(level->path);
        unread_.push_back({level->exactPath, status});
        return;
    }
    level->reader.Adopt(std::move(directory));
    levels_.push_back(std::move(level));
}

bool ObjectSearch::Step(long maxEntries, std::vector<SearchResult>& found) {
    std::vector<SearchResult>& taken = batchTest_ ? batch_ : found;
    batch_.clear();
    for (long read = 0; read < maxEntries && !levels_.empty(); ) {
        Level& level = *levels_.back();
        if (!level.reader.Next()) {
            const bool addLogonDevices = level.root && ShowsLogonDevicesUnderRoot(level.listsLogonDevices);
            levels_.pop_back();
            // Later systems keep \?? per logon, and the root does not list it: it is searched last.
            if (addLogonDevices) {
                HANDLE handle = nullptr;
                const NTSTATUS status = OpenForListing(kLogonDevicesPath, &handle);
                Enter(std::unique_ptr<Level>(new Level{{}, "\\??", kLogonDevicesPath, true}), status,
                      UniqueNtHandle(handle));
            }
            continue;
        }
        ++read;
        ++entriesRead_;
        const DirectoryReader& entry = level.reader;
        const UNICODE_STRING& wideName = entry.WideName();
        std::string path = ChildPathOf(level.path, entry.Name());
        std::wstring exactPath =
            JoinPath(level.exactPath, std::wstring_view(wideName.Buffer, wideName.Length / sizeof(WCHAR)));
        // Only a path a block can carry addresses the object.
        const bool addressable = level.addressable && entry.NameIsExact() && path.size() <= kMaxObjectPathLength;
        SearchResult candidate{path, entry.TypeName(), addressable, 0, exactPath};
        if (batchTest_ || test_(entry, candidate)) taken.push_back(std::move(candidate));
        if (std::strcmp(entry.TypeName(), "Directory") != 0) continue;
        if (level.root && std::strcmp(entry.Name(), "??") == 0) level.listsLogonDevices = true;
        // Depth first, as the tree is walked; each level keeps its directory
        // open, and the next is opened by its own name in it.
        HANDLE handle = nullptr;
        UNICODE_STRING name;
        OBJECT_ATTRIBUTES attributes = entry.EntryAttributes(name);
        const NTSTATUS status = OpenForListing(attributes, &handle);
        Enter(std::unique_ptr<Level>(new Level{{}, std::move(path), std::move(exactPath), addressable}), status,
              UniqueNtHandle(handle));
    }
    if (!batch_.empty()) {
        batchTest_(batch_);
        found.insert(found.end(), std::make_move_iterator(batch_.begin()), std::make_move_iterator(batch_.end()));
    }
    return !levels_.empty();
}
