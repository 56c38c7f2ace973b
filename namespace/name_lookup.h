// Names and paths as the object manager reads them. A path is the root "\"
// or "\" followed by names joined by "\"; no name is empty. A name is found
// in a directory by comparing whole names ordinally, letters upper-cased by
// the platform's rule and nothing else folded or ignored; where both exist, a
// name spelled exactly as asked wins over one that differs in letter case.
// Paths and names are UTF-16, exactly as the namespace holds them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "namespace/namespace_reader.h"

// True for "\" and for "\a\b": an absolute path without an empty name. A
// relative path, "\\", "\a\\b" and "\a\" name nothing in the namespace.
bool IsWellFormedPath(std::wstring_view path);

// The names of a well-formed path, in order; none for "\".
std::vector<std::wstring> PathNames(std::wstring_view path);

// parent, "\" unless the parent is the root, and name.
std::wstring JoinPath(std::wstring_view parent, std::wstring_view name);

// Whether two names or paths name the same thing, compared as the object
// manager compares names without regard to case.
bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b);

// A name with every letter upper-cased by the object manager's rule, for
// comparisons without regard to case.
std::wstring UpcaseName(std::wstring_view name);

enum class EntryLookup { Found, Missing, Unopenable };

struct FoundEntry {
    std::wstring name;     // as the directory spells it
    std::string typeName;  // as the directory lists it
};

// Finds name among the entries of the directory at path: an entry spelled
// exactly so, else the first that differs only in letter case.
EntryLookup LookupEntry(NamespaceReader& reader, std::wstring_view directory, std::wstring_view name,
                        FoundEntry& found);
