#include "namespace/name_lookup.h"

#include "namespace/directory_walk.h"
#include "namespace/native_services.h"

namespace {

// A counted UTF-16 view of an ANSI text through the code page, as an open widens a path.
class WideText {
public:
    explicit WideText(std::string_view text) { wide_.AssignAnsi(std::string(text).c_str()); }
    // Null when the conversion failed: such a text matches nothing.
    const UNICODE_STRING* Get() { return wide_.Get(); }

private:
    CountedUnicode wide_;
};

bool SameCounted(const UNICODE_STRING* a, const UNICODE_STRING* b, bool ignoreCase) {
    return a != nullptr && b != nullptr && RtlEqualUnicodeString(a, b, ignoreCase ? TRUE : FALSE);
}

}  // namespace

bool IsWellFormedPath(std::string_view path) {
    if (path.empty() || path[0] != '\\') return false;
    if (path.size() == 1) return true;
    // After the leading "\", every "\" must stand between two names.
    return path.back() != '\\' && path.find("\\\\") == std::string_view::npos;
}

std::vector<std::string> PathNames(std::string_view path) {
    std::vector<std::string> names;
    std::size_t start = 1;
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    WideText wideA(a), wideB(b);
    return SameCounted(wideA.Get(), wideB.Get(), true);
}

EntryLookup LookupEntry(const std::string& directory, std::string_view name, FoundEntry& found) {
    DirectoryReader reader;
    if (!reader.Open(directory.c_str())) return EntryLookup::Unopenable;
    WideText wanted(name);
    bool haveCaseMatch = false;
    while (reader.Next()) {
        if (!reader.NameIsExact()) continue;
        const bool exact = SameCounted(&reader.WideName(), wanted.Get(), false);
        if (!exact && (haveCaseMatch || !SameCounted(&reader.WideName(), wanted.Get(), true))) continue;
        found = {reader.Name(), reader.TypeName()};
        if (exact) return EntryLookup::Found;
        haveCaseMatch = true;
    }
    return haveCaseMatch ? EntryLookup::Found : EntryLookup::Missing;
}
