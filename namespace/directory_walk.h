// Walking directory objects: entries one at a time, the depth-first tree walk,
// the list rows and the child-path rule.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "namespace/native_services.h"

// Forms parent + separator + name into block (size bytes). The separator is
// "\" when the parent is longer than one character, empty otherwise. False,
// with nothing written past the block, when the path does not fit.
bool MakeChildPath(char* block, std::size_t size, const char* parent, const char* name);

// Reads the entries of one directory in the order the service returns them.
class DirectoryReader {
public:
    // Opens the directory as type "Directory" with no extra access; false when it cannot be opened.
    bool Open(const char* path);
    // Moves to the next entry whose name the ANSI code page holds; false at
    // the end of the directory or at a failed query.
    bool Next();
    const char* Name() const { return name_.c_str(); }
    const char* TypeName() const { return typeName_.c_str(); }

private:
    NTSTATUS QueryEntry();

    UniqueNtHandle directory_;
    ULONG context_ = 0;
    bool restart_ = true;
    // Starts at 256 bytes and grows to whatever one entry needs.
    std::vector<ULONG_PTR> buffer_;
    std::string name_;
    std::string typeName_;
};

// Called for each sub-directory found by WalkDirectoryTree. Taking the child
// path block means returning non-null: the new node, under which the walk
// descends. On null the walk frees the block and does not descend.
using AddDirectoryProc = void* (*)(void* context, void* parentNode, const char* name, char* childPath);

// Hands every "Directory" entry below path to add, depth first, in service order.
void WalkDirectoryTree(const char* path, void* parentNode, AddDirectoryProc add, void* context);

// Reads a symbolic link's whole target, however long, as ANSI.
NTSTATUS ReadSymbolicLinkTarget(HANDLE link, std::string& target);

// "name\ttype", and for a symbolic link a third field: its target, or "Invalid"
// when the link cannot be opened.
std::string ComposeObjectRowText(const char* name, const char* typeName, const char* childPath);

// Called once per entry of the listed directory. Returning true means the row
// took the child path block; on false the walk frees it.
using AddRowProc = bool (*)(void* context, int position, const char* typeName, char* rowText, char* childPath);

// Lists one directory through add; returns the child paths of the accepted rows.
std::vector<const char*> WalkObjectRows(const char* path, AddRowProc add, void* context);
