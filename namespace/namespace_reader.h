// What the path resolver reads of the namespace: the entries of directories and
// the targets of links, by exact UTF-16 paths. The live namespace serves the
// program; tests put in one of their own, to lay the namespace out as other
// systems do (a per-logon \?? beside \GLOBAL??).
#pragma once

#include <functional>
#include <string>
#include <string_view>

class NamespaceReader {
public:
    // Called with each entry's name and type name; returning false ends the reading.
    using EntryVisitor = std::function<bool(std::wstring_view name, std::wstring_view typeName)>;

    virtual ~NamespaceReader() = default;
    // Reads the entries of the directory at path in the directory's own order;
    // false when it cannot be opened as a directory.
    virtual bool ReadDirectory(std::wstring_view path, const EntryVisitor& visit) = 0;
    // The target of the link at path, exactly; false when it cannot be opened as a link or read.
    virtual bool ReadLink(std::wstring_view path, std::wstring& target) = 0;
};

// The namespace itself, through the program's opener and directory walk.
NamespaceReader& LiveNamespace();
