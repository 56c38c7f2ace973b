#include "namespace/path_resolver.h"

#include <vector>

#include "namespace/link_chain.h"
#include "namespace/visible_name.h"

namespace {

constexpr wchar_t kRoot[] = L"\\";
constexpr wchar_t kLogonDevicesName[] = L"??";
constexpr char kDirectoryType[] = "Directory";

std::string Quoted(std::wstring_view name) { return "\"" + VisibleName(name) + "\""; }

bool OpensAsDirectory(NamespaceReader& reader, std::wstring_view path) {
    return reader.ReadDirectory(path, [](std::wstring_view, std::wstring_view) { return false; });
}

// Finds name in directory as the namespace does; where reports the directory
// that holds it, which is \GLOBAL?? for a name \?? lacks.
bool FindNamedEntry(NamespaceReader& reader, const std::wstring& directory, const std::wstring& name,
                    FoundEntry& entry, std::wstring& where, ResolvedPath& result) {
    where = directory;
    const EntryLookup lookup = LookupEntry(reader, directory, name, entry);
    if (lookup == EntryLookup::Found) return true;
    if (lookup == EntryLookup::Unopenable) {
        result.problem = VisiblePath(directory) + " exists, but cannot be opened to look for " + Quoted(name) + ".";
        return false;
    }
    // A root that does not list "??" still leads to this logon's \??.
    if (directory == kRoot && name == kLogonDevicesName && OpensAsDirectory(reader, kLogonDevicesPath)) {
        entry = {kLogonDevicesName, kDirectoryType};
        return true;
    }
    if (SameNameIgnoringCase(directory, kLogonDevicesPath)) {
        if (LookupEntry(reader, kGlobalDevicesPath, name, entry) == EntryLookup::Found) {
            where = kGlobalDevicesPath;
            result.fallback = "found in \\GLOBAL??: \\?? (this logon's device names) holds no " + Quoted(name);
            return true;
        }
        result.problem = "\\?? (this logon's device names) holds nothing named " + Quoted(name) +
                         ", nor does \\GLOBAL??.";
        return false;
    }
    result.problem = VisiblePath(directory) + " exists, but holds nothing named " + Quoted(name) + ".";
    return false;
}

ResolvedPath ResolveTypedText(std::wstring_view text, std::wstring_view shownDirectory, NamespaceReader& reader) {
    if (text.empty()) {
        ResolvedPath result;
        result.problem = "Type the path of a directory or an object, such as \\BaseNamedObjects.";
        return result;
    }
    return ResolvePath(text[0] == L'\\' ? std::wstring(text) : JoinPath(shownDirectory, text), reader);
}

}  // namespace

std::string WhyPathNamesNothing(std::wstring_view path) {
    const std::string shown = "\"" + VisiblePath(path) + "\"";
    if (path.empty() || path[0] != L'\\') return shown + " does not begin with \"\\\": the namespace resolves it to nothing.";
    return shown + " has an empty name in it (\"\\\\\", or a \"\\\" at its end): the namespace resolves it to nothing.";
}

ResolvedPath ResolvePath(std::wstring_view path, NamespaceReader& reader) {
    ResolvedPath result;
    if (!IsWellFormedPath(path)) {
        result.problem = WhyPathNamesNothing(path);
        return result;
    }
    std::vector<std::wstring> pending = PathNames(path);
    std::wstring directory = kRoot;
    int linksFollowed = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        FoundEntry entry;
        std::wstring where;
        if (!FindNamedEntry(reader, directory, pending[i], entry, where, result)) return result;
        const std::wstring found = JoinPath(where, entry.name);
        if (entry.typeName == kDirectoryType) {
            directory = found;
            continue;
        }
        if (i + 1 == pending.size()) {
            result.found = true;
            result.directory = where;
            result.object = entry.name;
            result.typeName = entry.typeName;
            return result;
        }
        if (entry.typeName != "SymbolicLink") {
            result.problem = VisiblePath(found) + " exists, but its type is " + entry.typeName +
                             ", not Directory: " + Quoted(pending[i + 1]) + " cannot be in it.";
            return result;
        }
        // A link in the middle of a path: its target takes its place.
        std::wstring target;
        if (++linksFollowed > kMaxLinksFollowed || !reader.ReadLink(found, target)) {
            result.problem = "The link " + VisiblePath(found) + " cannot be followed.";
            return result;
        }
        if (!IsWellFormedPath(target)) {
            result.problem = "The link " + VisiblePath(found) + " cannot be followed: " + WhyPathNamesNothing(target);
            return result;
        }
        std::vector<std::wstring> next = PathNames(target);
        next.insert(next.end(), pending.begin() + static_cast<std::ptrdiff_t>(i) + 1, pending.end());
        pending = std::move(next);
        directory = kRoot;
        i = static_cast<std::size_t>(-1);  // the loop's step starts the new path at its first name
    }
    result.found = true;
    result.directory = directory;
    result.typeName = kDirectoryType;
    return result;
}

ResolvedPath ResolveTypedPath(std::wstring_view typed, std::wstring_view shownDirectory, NamespaceReader& reader) {
    ResolvedPath exact = ResolveTypedText(typed, shownDirectory, reader);
    if (exact.found || typed.size() < 2 || typed.front() != L'"' || typed.back() != L'"') return exact;
    ResolvedPath unquoted = ResolveTypedText(typed.substr(1, typed.size() - 2), shownDirectory, reader);
    return unquoted.found ? unquoted : exact;
}

bool ShowsLogonDevicesUnderRoot(bool rootListsThem, NamespaceReader& reader) {
    return !rootListsThem && OpensAsDirectory(reader, kLogonDevicesPath);
}
