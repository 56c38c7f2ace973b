#include "namespace/visible_name.h"

#include <cstdio>

#include "namespace/native_services.h"

namespace {

// Control characters always; a backslash in a name, where it cannot belong.
bool NeedsEscape(WCHAR c, bool inName) { return c < 0x20 || c == 0x7F || (inName && c == L'\\'); }

bool HasEscapedCharacters(const UNICODE_STRING& text, bool inName) {
    for (USHORT i = 0; i < text.Length / sizeof(WCHAR); ++i) {
        if (NeedsEscape(text.Buffer[i], inName)) return true;
    }
    return false;
}

void AppendEscape(std::string& out, WCHAR c) {
    char escape[8];
    switch (c) {
    case 0: out += "\\0"; return;
    case L'\t': out += "\\t"; return;
    case L'\n': out += "\\n"; return;
    case L'\r': out += "\\r"; return;
    case L'\\': out += "\\\\"; return;
    default: break;
    }
    if (c < 0x80) {
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
    } else {
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
    }
    out += escape;
}

// One character through the code page, kept only when it comes back unchanged.
bool AppendExactCharacter(std::string& out, WCHAR c) {
    char bytes[4];
    ULONG written = 0;
    if (RtlUnicodeToMultiByteN(bytes, sizeof bytes, &written, &c, sizeof c) != kStatusSuccess || written == 0)
        return false;
    WCHAR back = 0;
    ULONG backWritten = 0;
    if (RtlMultiByteToUnicodeN(&back, sizeof back, &backWritten, bytes, written) != kStatusSuccess ||
        backWritten != sizeof back || back != c)
        return false;
    out.append(bytes, written);
    return true;
}

bool Describe(const UNICODE_STRING& text, std::string& out, bool inName) {
    // The usual case costs one conversion and one check.
    if (!HasEscapedCharacters(text, inName) && ConvertToAnsi(text, out) == kStatusSuccess && IsExactAnsi(text, out))
        return true;
    out.clear();
    for (USHORT i = 0; i < text.Length / sizeof(WCHAR); ++i) {
        const WCHAR c = text.Buffer[i];
        if (NeedsEscape(c, inName) || !AppendExactCharacter(out, c)) AppendEscape(out, c);
    }
    return false;
}

}  // namespace

bool DescribeName(const UNICODE_STRING& name, std::string& out) { return Describe(name, out, true); }

bool DescribePath(const UNICODE_STRING& path, std::string& out) { return Describe(path, out, false); }

UNICODE_STRING CountedView(std::wstring_view text) {
    constexpr std::size_t kMaxUnits = 0x7FFF;
    UNICODE_STRING counted{};
    counted.Buffer = const_cast<PWSTR>(text.data());
    counted.Length = static_cast<USHORT>((text.size() < kMaxUnits ? text.size() : kMaxUnits) * sizeof(WCHAR));
    counted.MaximumLength = counted.Length;
    return counted;
}

std::wstring WidenPath(std::string_view ansi) {
    // A code page's character is at most one UTF-16 unit per byte.
    std::wstring wide(ansi.size(), L'\0');
    ULONG written = 0;
    if (RtlMultiByteToUnicodeN(wide.data(), static_cast<ULONG>(wide.size() * sizeof(WCHAR)), &written, ansi.data(),
                               static_cast<ULONG>(ansi.size())) != kStatusSuccess)
        return {};
    wide.resize(written / sizeof(WCHAR));
    return wide;
}

bool NarrowPath(std::wstring_view path, std::string& out) {
    const UNICODE_STRING counted = CountedView(path);
    return DescribePath(counted, out);
}

std::string VisiblePath(std::wstring_view path) {
    std::string out;
    NarrowPath(path, out);
    return out;
}

std::string VisibleName(std::wstring_view name) {
    std::string out;
    DescribeName(CountedView(name), out);
    return out;
}
