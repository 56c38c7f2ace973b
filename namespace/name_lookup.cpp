#include "namespace/name_lookup.h"

#include "namespace/native_services.h"
#include "namespace/visible_name.h"

bool IsWellFormedPath(std::wstring_view path) {
    if (path.empty() || path[0] != L'\\') return false;
    if (path.size() == 1) return true;
    // After the leading "\", every "\" must stand between two names.
    return path.back() != L'\\' && path.find(L"\\\\") == std::wstring_view::npos;
}

std::vector<std::wstring> PathNames(std::wstring_view path) {
    std::vector<std::wstring> names;
    std::size_t start = 1;
    while (start < path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos) end = path.size();
        names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::wstring JoinPath(std::wstring_view parent, std::wstring_view name) {
    std::wstring path(parent);
    if (path.size() > 1) path += L'\\';
    path += name;
    return path;
}

bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    const UNICODE_STRING countedA = CountedView(a);
    const UNICODE_STRING countedB = CountedView(b);
    return a.size() == b.size() && RtlEqualUnicodeString(&countedA, &countedB, TRUE);
}

std::wstring UpcaseName(std::wstring_view name) {
    std::wstring upper(name);
    for (wchar_t& c : upper) c = RtlUpcaseUnicodeChar(c);
    return upper;
}

EntryLookup LookupEntry(NamespaceReader& reader, std::wstring_view directory, std::wstring_view name,
                        FoundEntry& found) {
    bool haveCaseMatch = false;
    bool haveExact = false;
    const bool opened = reader.ReadDirectory(directory, [&](std::wstring_view entry, std::wstring_view typeName) {
        const bool exact = entry == name;
        if (!exact && (haveCaseMatch || !SameNameIgnoringCase(entry, name))) return true;
        found.name.assign(entry);
        found.typeName = VisibleName(typeName);
        haveExact = exact;
        haveCaseMatch = true;
        return !exact;
    });
    if (!opened) return EntryLookup::Unopenable;
    return haveExact || haveCaseMatch ? EntryLookup::Found : EntryLookup::Missing;
}
