// Walking directory objects: entries one at a time, the depth-first tree walk,
// the list rows and the child-path rule.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "namespace/native_services.h"
#include "namespace/object_opener.h"

// The child-path rule for paths held as strings: parent, "\" when the parent
// is longer than one character, and name.
std::string ChildPathOf(const std::string& parent, const std::string& name);

// Forms parent + separator + name into block (size bytes). The separator is
// "\" when the parent is longer than one character, empty otherwise. False,
// with nothing written past the block, when the path does not fit.
bool MakeChildPath(char* block, std::size_t size, const char* parent, const char* name);

// Reads the entries of one directory in the order the service returns them.
class DirectoryReader {
public:
    // Opens the directory as type "Directory" with no extra access; false when it cannot be opened.
    bool Open(const ObjectName& path);
    // Reads the directory of a handle opened with DIRECTORY_QUERY; the reader takes it.
    void Adopt(UniqueNtHandle directory);
    // Moves to the next entry; false at the end of the directory or at a failed query.
    bool Next();
    // The entry's name: exactly, or its visible form when ANSI cannot carry it.
    const char* Name() const { return name_.c_str(); }
    bool NameIsExact() const { return nameIsExact_; }
    // The entry's name as the directory holds it, in UTF-16.
    const UNICODE_STRING& WideName() const { return reinterpret_cast<const DirectoryEntry*>(buffer_.data())->name; }
    const char* TypeName() const { return typeName_.c_str(); }
    const UNICODE_STRING& WideTypeName() const {
        return reinterpret_cast<const DirectoryEntry*>(buffer_.data())->typeName;
    }
    // Opens the current entry by its own UTF-16 name, relative to the directory,
    // as OpenObjectByType would open its path.
    NTSTATUS OpenEntry(int typeIndex, ACCESS_MASK desiredAccess, bool wantReadControl, HANDLE* handle) const;
    // Attributes naming the current entry the same way, for open services of
    // other types; name receives the entry's name and must outlive their use.
    OBJECT_ATTRIBUTES EntryAttributes(UNICODE_STRING& name) const;

private:
    NTSTATUS QueryEntry();

    UniqueNtHandle directory_;
    ULONG context_ = 0;
    bool restart_ = true;
    // Starts at 256 bytes and grows to whatever one entry needs.
    std::vector<ULONG_PTR> buffer_;
    std::string name_;
    bool nameIsExact_ = false;
    std::string typeName_;
};

// Told now and then how many entries a walk has read, so that a long walk can
// show how far it has got. Called on the walking thread; it must not dispatch
// messages, which could start another walk over the same controls.
struct WalkProgress {
    void (*report)(void* context, long entries) = nullptr;
    void* context = nullptr;
    void Report(long entries) const {
        if (report != nullptr) report(context, entries);
    }
};

// Called for each sub-directory found by WalkDirectoryTree. Taking the child
// path block means returning non-null: the new node, under which the walk
// descends. On null the walk frees the block and does not descend.
using AddDirectoryProc = void* (*)(void* context, void* parentNode, const char* name, char* childPath);

// Hands every "Directory" entry below path to add, depth first, in service
// order, whatever its name: a directory whose path no block can carry exactly
// gets a block with its visible form and its exact path (path_block.h).
// Below the root, a \?? that the root does not list but that opens comes last.
void WalkDirectoryTree(const ObjectName& path, void* parentNode, AddDirectoryProc add, void* context,
                       const WalkProgress& progress = {});

// Reads a symbolic link's whole target, however long, as ANSI; what ANSI
// cannot carry shows in its visible form, and exact (when given) says
// whether it is the target exactly.
NTSTATUS ReadSymbolicLinkTarget(HANDLE link, std::string& target, bool* exact = nullptr);
// The same target exactly, as UTF-16.
NTSTATUS ReadSymbolicLinkTargetExactly(HANDLE link, std::wstring& target);

// Called once per entry of the listed directory with "name\ttype" (and a
// third field, the target, for a symbolic link). Returning true means the row
// took the child path block; on false the walk frees it.
using AddRowProc = bool (*)(void* context, int position, const char* typeName, char* rowText, char* childPath);

// One accepted row of a listing, with what its sort needs. Kept small: a
// listing of tens of thousands of rows keeps one for each while it is shown.
struct ListedRow {
    const char* path;  // the row's path block, owned by the row
    bool isDirectory;  // opens as a directory, so it sorts with the directories
};

// Lists one directory through add: every entry becomes a row. An entry whose
// name ANSI cannot carry, or whose path does not fit a block, gets a path
// block holding its visible form and its exact path. Only rows of type
// "Directory" or "SymbolicLink" are opened to learn whether they are
// directories: an object of any other type never opens as one.
std::vector<ListedRow> WalkObjectRows(const ObjectName& path, AddRowProc add, void* context,
                                      const WalkProgress& progress = {});

// Fills block with the path of the reader's entry in the directory parent:
// the ANSI path where it carries the entry exactly and fits, as
// MakeChildPath forms it (true); otherwise as much of its visible form as
// the block holds, with the exact path attached (false).
bool FillChildPath(char* block, const ObjectName& parent, const DirectoryReader& reader);
// The same for an entry known by its exact name.
bool FillChildPath(char* block, const ObjectName& parent, std::wstring_view name);
