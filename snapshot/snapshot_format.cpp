#include "snapshot/snapshot_format.h"


#include "common/system_error.h"
#include "common/unique_owner.h"
#include "namespace/name_lookup.h"
#include "namespace/visible_name.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// Far beyond any namespace's snapshot; a bound on what a file may make the program hold.
constexpr DWORD kMaxSnapshotBytes = 512u << 20;
constexpr DWORD kReadChunk = 1u << 20;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendHex(std::string& out, unsigned value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHexDigits[(value >> shift) & 0xF];
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// count hex digits at text[at]; -1 when they are not all there.
long ReadHex(std::string_view text, std::size_t at, int count) {
    if (at + count > text.size()) return -1;
    long value = 0;
    for (int i = 0; i < count; ++i) {
        const int digit = HexValue(text[at + i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

// One UTF-8 sequence of two to four bytes at text[at], as strictly as the
// standard has it: no overlong forms, no encoded surrogates, nothing past
// U+10FFFF. Its length, or 0.
std::size_t ReadUtf8(std::string_view text, std::size_t at, unsigned& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned next = byte(at + i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    return length;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

std::string FactField(const SnapshotFact& fact) {
    std::string field(1, static_cast<char>(fact.state));
    if (fact.state != SnapshotFact::State::NotAsked) field += EscapeText(fact.text);
    return field;
}

bool ReadFact(std::string_view field, SnapshotFact& fact) {
    if (field == "-") {
        fact = {};
        return true;
    }
    if (field.empty() || (field[0] != '=' && field[0] != '!')) return false;
    fact.state = static_cast<SnapshotFact::State>(field[0]);
    return UnescapeText(field.substr(1), fact.text);
}

std::string Numbered(long line, const std::string& why) { return "line " + std::to_string(line) + ": " + why; }

// The value of "key=value"; false when the field names another key.
bool KeyValue(std::string_view field, std::string_view key, std::string_view& value) {
    if (field.size() <= key.size() || field.substr(0, key.size()) != key || field[key.size()] != '=') return false;
    value = field.substr(key.size() + 1);
    return true;
}

bool ReadCount(std::string_view text, long& count) {
    if (text.empty() || text.size() > 9) return false;
    count = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        count = count * 10 + (c - '0');
    }
    return true;
}

}  // namespace

std::string EscapeText(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'%' || c < 0x20 || c == 0x7F) {
            out += '%';
            AppendHex(out, c, 2);
        } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((static_cast<unsigned>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            out += "%u";
            AppendHex(out, c, 4);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

bool UnescapeText(std::string_view escaped, std::wstring& text) {
    text.clear();
    for (std::size_t i = 0; i < escaped.size();) {
        const auto byte = static_cast<unsigned char>(escaped[i]);
        if (byte == '%') {
            if (i + 1 < escaped.size() && escaped[i + 1] == 'u') {
                const long unit = ReadHex(escaped, i + 2, 4);
                if (unit < 0xD800 || unit > 0xDFFF) return false;
                text += static_cast<wchar_t>(unit);
                i += 6;
                continue;
            }
            // Only the characters the rule escapes this way.
            const long unit = ReadHex(escaped, i + 1, 2);
            if (unit < 0 || (unit >= 0x20 && unit != '%' && unit != 0x7F)) return false;
            text += static_cast<wchar_t>(unit);
            i += 3;
        } else if (byte < 0x20 || byte == 0x7F) {
            return false;
        } else if (byte < 0x80) {
            text += static_cast<wchar_t>(byte);
            ++i;
        } else {
            unsigned code = 0;
            const std::size_t length = ReadUtf8(escaped, i, code);
            if (length == 0) return false;
            if (code >= 0x10000) {
                text += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
                text += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                text += static_cast<wchar_t>(code);
            }
            i += length;
        }
    }
    return true;
}

std::string HeaderLine(const SnapshotHeader& header) {
    return std::string(kSnapshotFormatName) + '\t' + std::to_string(kSnapshotVersion) +
           "\troot=" + EscapeText(header.root) + "\twindows=" + EscapeText(header.windows) +
           "\taccount=" + EscapeText(header.account) + "\ttime=" + EscapeText(header.time) +
           "\tdevices=" + (header.devices ? "yes" : "no");
}

std::string ObjectLine(const SnapshotObject& object) {
    return "object\t" + EscapeText(object.path) + '\t' + EscapeText(object.typeName) + '\t' +
           FactField(object.target) + '\t' + FactField(object.descriptor) + '\t' + FactField(object.sacl) + '\t' +
           FactField(object.rights);
}

std::string UnreadLine(const UnreadDirectoryRecord& unread) {
    return "unread\t" + EscapeText(unread.path) + '\t' + EscapeText(unread.why);
}

std::string EndLine(long objects, long unread) {
    return "end\tobjects=" + std::to_string(objects) + "\tunread=" + std::to_string(unread);
}

std::wstring RightsText(ACCESS_MASK mask) {
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += static_cast<wchar_t>(kHexDigits[(mask >> shift) & 0xF]);
    return text;
}

bool ParseRights(std::wstring_view text, ACCESS_MASK& mask) {
    if (text.size() != 10 || text[0] != L'0' || text[1] != L'x') return false;
    mask = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const int digit = text[i] < 0x80 ? HexValue(static_cast<char>(text[i])) : -1;
        if (digit < 0) return false;
        mask = (mask << 4) | static_cast<ACCESS_MASK>(digit);
    }
    return true;
}

void SnapshotParser::Reset(std::string text) {
    text_ = std::move(text);
    offset_ = text_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte order mark an editor may add
    line_ = 0;
    ended_ = false;
    error_.clear();
    contents_ = {};
}

bool SnapshotParser::Refuse(std::string why) {
    error_ = std::move(why);
    contents_ = {};
    return false;
}

bool SnapshotParser::Step(long maxLines) {
    if (Refused()) return false;
    for (long read = 0; read < maxLines; ++read) {
        if (offset_ >= text_.size()) {
            if (line_ == 0) return Refuse(Numbered(1, "not a snapshot: the file is empty"));
            if (!ended_)
                return Refuse("the file ends after line " + std::to_string(line_) +
                              " without its end line: it was cut short");
            return false;
        }
        ++line_;
        const std::size_t newline = text_.find('\n', offset_);
        if (newline == std::string::npos && line_ > 1)
            return Refuse(Numbered(line_, "the line has no line end: the file was cut short"));
        std::string_view line(text_.data() + offset_,
                              (newline == std::string::npos ? text_.size() : newline) - offset_);
        offset_ = newline == std::string::npos ? text_.size() : newline + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!ReadLine(line)) return false;
    }
    return true;
}

bool SnapshotParser::ReadLine(std::string_view line) {
    const std::vector<std::string_view> fields = SplitFields(line);
    if (line_ == 1) return ReadHeader(fields);
    if (ended_) return Refuse(Numbered(line_, "a line after the end line"));
    if (fields[0] == "object") return ReadObject(fields);
    if (fields[0] == "end") return ReadEnd(fields);
    if (fields[0] != "unread") return Refuse(Numbered(line_, "not an object, unread or end line"));
    UnreadDirectoryRecord unread;
    unread.line = line_;
    if (fields.size() != 3) return Refuse(Numbered(line_, "an unread line has 3 fields"));
    if (!ReadPath(fields[1], unread.path)) return false;
    if (!UnescapeText(fields[2], unread.why)) return Refuse(Numbered(line_, "the reason is not escaped text"));
    contents_.unread.push_back(std::move(unread));
    return true;
}

bool SnapshotParser::ReadHeader(const std::vector<std::string_view>& fields) {
    if (fields[0] != kSnapshotFormatName)
        return Refuse(Numbered(line_, std::string("not a snapshot: it does not begin with ") + kSnapshotFormatName));
    long version = 0;
    if (fields.size() < 2 || !ReadCount(fields[1], version))
        return Refuse(Numbered(line_, "the header has no version number"));
    if (version != kSnapshotVersion)
        return Refuse(Numbered(line_, "snapshot version " + std::to_string(version) +
                                          ", which this program does not read (it reads version " +
                                          std::to_string(kSnapshotVersion) + ")"));
    static constexpr const char* kKeys[] = {"root", "windows", "account", "time", "devices"};
    if (fields.size() != 2 + std::size(kKeys))
        return Refuse(Numbered(line_, "the header has 7 fields: name, version, root, windows, account, time, devices"));
    std::wstring* texts[] = {&contents_.header.root, &contents_.header.windows, &contents_.header.account,
                             &contents_.header.time};
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        std::string_view value;
        if (!KeyValue(fields[2 + i], kKeys[i], value))
            return Refuse(Numbered(line_, std::string("the header's field ") + std::to_string(3 + i) + " is not " +
                                              kKeys[i] + "=..."));
        if (i < std::size(texts)) {
            if (!UnescapeText(value, *texts[i]))
                return Refuse(Numbered(line_, std::string("the header's ") + kKeys[i] + " is not escaped text"));
        } else if (value == "yes" || value == "no") {
            contents_.header.devices = value == "yes";
        } else {
            return Refuse(Numbered(line_, "devices= is yes or no"));
        }
    }
    if (!IsWellFormedPath(contents_.header.root))
        return Refuse(Numbered(line_, "the header's root is not a namespace path"));
    return true;
}

bool SnapshotParser::ReadPath(std::string_view field, std::wstring& path) {
    if (!UnescapeText(field, path)) return Refuse(Numbered(line_, "the path is not escaped text"));
    if (!IsWellFormedPath(path)) return Refuse(Numbered(line_, "the path is not a namespace path"));
    if (!PathIsWithin(path, contents_.header.root))
        return Refuse(Numbered(line_, "the path is not below the snapshot's root"));
    return true;
}

bool SnapshotParser::ReadObject(const std::vector<std::string_view>& fields) {
    if (fields.size() != 7) return Refuse(Numbered(line_, "an object line has 7 fields"));
    SnapshotObject object;
    object.line = line_;
    if (!ReadPath(fields[1], object.path)) return false;
    if (contents_.objects.empty() && object.path != contents_.header.root)
        return Refuse(Numbered(line_, "the first object is not the snapshot's root"));
    if (!UnescapeText(fields[2], object.typeName) || object.typeName.empty())
        return Refuse(Numbered(line_, "the type is not escaped text"));
    static constexpr const char* kFactNames[] = {"target", "descriptor", "SACL", "rights"};
    SnapshotFact* facts[] = {&object.target, &object.descriptor, &object.sacl, &object.rights};
    for (std::size_t i = 0; i < std::size(facts); ++i) {
        if (!ReadFact(fields[3 + i], *facts[i]))
            return Refuse(Numbered(line_, std::string("the ") + kFactNames[i] + " is not -, =value or !why"));
    }
    ACCESS_MASK mask = 0;
    if (object.rights.state == SnapshotFact::State::Read && !ParseRights(object.rights.text, mask))
        return Refuse(Numbered(line_, "the rights are not 0x and eight hex digits"));
    contents_.objects.push_back(std::move(object));
    return true;
}

bool SnapshotParser::ReadEnd(const std::vector<std::string_view>& fields) {
    std::string_view objectsText;
    std::string_view unreadText;
    long objects = 0;
    long unread = 0;
    if (fields.size() != 3 || !KeyValue(fields[1], "objects", objectsText) || !KeyValue(fields[2], "unread", unreadText) ||
        !ReadCount(objectsText, objects) || !ReadCount(unreadText, unread))
        return Refuse(Numbered(line_, "the end line is end, objects=<count>, unread=<count>"));
    if (objects != static_cast<long>(contents_.objects.size()) || unread != static_cast<long>(contents_.unread.size()))
        return Refuse(Numbered(line_, "the end line counts " + std::to_string(objects) + " objects and " +
                                          std::to_string(unread) + " unread directories; the file holds " +
                                          std::to_string(contents_.objects.size()) + " and " +
                                          std::to_string(contents_.unread.size())));
    ended_ = true;
    return true;
}

bool PathIsWithin(std::wstring_view path, std::wstring_view root) {
    if (root == L"\\") return !path.empty() && path[0] == L'\\';
    return path.size() >= root.size() && path.substr(0, root.size()) == root &&
           (path.size() == root.size() || path[root.size()] == L'\\');
}

bool ReadSnapshotFile(const std::wstring& file, std::string& text, std::string& why) {
    text.clear();
    const UniqueWin32Handle handle = OwnFileHandle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) {
        why = "cannot open " + VisiblePath(file) + ": " + SystemErrorText(GetLastError());
        return false;
    }
    DWORD high = 0;
    const DWORD size = GetFileSize(handle.get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        why = "cannot read " + VisiblePath(file) + ": " + SystemErrorText(GetLastError());
        return false;
    }
    if (high != 0 || size > kMaxSnapshotBytes) {
        why = VisiblePath(file) + " is larger than a snapshot can be (" + std::to_string(kMaxSnapshotBytes >> 20) +
              " MB)";
        return false;
    }
    text.resize(size);
    for (DWORD done = 0; done < size;) {
        DWORD read = 0;
        const DWORD chunk = size - done < kReadChunk ? size - done : kReadChunk;
        if (!ReadFile(handle.get(), text.data() + done, chunk, &read, nullptr)) {
            why = "cannot read " + VisiblePath(file) + ": " + SystemErrorText(GetLastError());
            text.clear();
            return false;
        }
        if (read == 0) {
            text.resize(done);  // the file shrank meanwhile; what was read is judged
            break;
        }
        done += read;
    }
    return true;
}
