// Names and paths as the object manager reads them. A path is the root "\"
// or "\" followed by names joined by "\"; no name is empty. A name is found
// in a directory by comparing whole names ordinally, letters upper-cased by
// the platform's rule and nothing else folded or ignored; where both exist, a
// name spelled exactly as asked wins over one that differs in letter case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// True for "\" and for "\a\b": an absolute path without an empty name. A
// relative path, "\\", "\a\\b" and "\a\" name nothing in the namespace.
bool IsWellFormedPath(std::string_view path);

// The names of a well-formed path, in order; none for "\".
std::vector<std::string> PathNames(std::string_view path);

// Whether two ANSI names or paths name the same thing, compared as the
// object manager compares names without regard to case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

enum class EntryLookup { Found, Missing, Unopenable };

struct FoundEntry {
    std::string name;      // as the directory spells it
    std::string typeName;
};

// Finds name among the entries of the directory at path: an entry spelled
// exactly so, else the first that differs only in letter case. Entries whose
// names no ANSI path carries are never found.
EntryLookup LookupEntry(const std::string& directory, std::string_view name, FoundEntry& found);
