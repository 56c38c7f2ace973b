// The one path resolver: how a typed or stored path becomes an object. Each
// name is looked up among its directory's own entries as the object manager
// matches names; a symbolic link met on the way is followed; the last name is
// the object itself, link or not. Later systems keep \?? per logon: a name it
// lacks is looked up in \GLOBAL??, as the object manager does, and the root
// may not list "??" at all.
#pragma once

#include <string>
#include <string_view>

#include "namespace/name_lookup.h"
#include "namespace/namespace_reader.h"

inline constexpr wchar_t kLogonDevicesPath[] = L"\\??";
inline constexpr wchar_t kGlobalDevicesPath[] = L"\\GLOBAL??";

// Where a path leads: a directory, or an object listed in one.
struct ResolvedPath {
    bool found = false;
    std::wstring directory;  // the directory to show, spelled as the namespace spells it
    std::wstring object;     // the object's name in it; empty when the path is the directory itself
    std::string typeName;    // as the directory lists the object; "Directory" for a directory
    std::string problem;     // when not found: what exists and what does not, in the user's words
    std::string fallback;    // where \GLOBAL?? answered for a name \?? lacks: which one did
    std::wstring Path() const { return object.empty() ? directory : JoinPath(directory, object); }
};

// Resolves a path the program made (a row's, a search result's, a link's
// target) exactly as it stands.
ResolvedPath ResolvePath(std::wstring_view path, NamespaceReader& reader = LiveNamespace());

// Resolves text the user typed: a relative path starts at shownDirectory.
// The text is taken exactly as typed first; only where that names nothing,
// and the text is wrapped in quotes, without them.
ResolvedPath ResolveTypedPath(std::wstring_view typed, std::wstring_view shownDirectory,
                              NamespaceReader& reader = LiveNamespace());

// Why a path the namespace cannot resolve (relative, or with an empty name) names nothing.
std::string WhyPathNamesNothing(std::wstring_view path);

// Whether the tree shows a "??" under the root that the root does not list:
// where \?? opens as a directory of its own, as on later systems.
bool ShowsLogonDevicesUnderRoot(bool rootListsThem, NamespaceReader& reader = LiveNamespace());
