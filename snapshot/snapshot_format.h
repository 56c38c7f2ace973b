// The snapshot file: what a save writes and a comparison reads back.
//
// A snapshot is UTF-8 text, one record per line, each line ended by CR LF (a
// bare LF reads too), its fields separated by one TAB:
//
//   TarnelSnapshot 1 root=<path> windows=<text> account=<text> time=<UTC> devices=yes|no
//   object <path> <type> <target> <descriptor> <sacl> <rights>
//   unread <path> <why>
//   end objects=<count> unread=<count>
//
// The header line comes first: the format's name, its version (1), the
// directory saved, the Windows version, the account that saved and the time
// (YYYY-MM-DDThh:mm:ssZ), and whether devices were opened. Then an object
// line for the directory saved and one for every object below it, in the
// order walked; an unread line for each directory whose entries could not be
// read (nothing below it is known); last the end line, counting the object
// and unread lines, so that a file cut short is known as such.
//
// Escaping: every text (paths, type names, targets, descriptors, reasons,
// header values) is written by one rule, so that any UTF-16 text reads back
// exactly:
//   %                                 %25
//   a unit below U+0020, and U+007F   %HH (NUL %00, TAB %09, LF %0A, CR %0D)
//   a surrogate unit without its pair %uHHHH
//   any other character               its UTF-8 bytes
// Hex digits are written in upper case and read in either. Nothing else is
// escaped: a backslash, a space (a trailing one too) and any character beyond
// ANSI stand for themselves, so the text "\u0416" in a name stays those six
// characters while U+0416 is its two UTF-8 bytes.
//
// An object's last four fields each hold a fact or why it is missing:
//   -        not asked for: the target of an object that is not a link, the
//            SACL where the account may not read SACLs, every fact of a
//            device when devices were not included
//   =<value> the target; the descriptor's owner, group and DACL as SDDL; the
//            SACL as SDDL ("S:..."); the rights an open asking for
//            MAXIMUM_ALLOWED was granted, as 0x and eight hex digits
//            (0x00000000 where the open was refused: nothing is granted)
//   !<why>   not read, and why
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

inline constexpr char kSnapshotFormatName[] = "TarnelSnapshot";
inline constexpr int kSnapshotVersion = 1;

// One of an object's facts, or why it is missing.
struct SnapshotFact {
    enum class State : char { NotAsked = '-', Read = '=', Failed = '!' };
    State state = State::NotAsked;
    std::wstring text;  // the value where read, why not where failed
    bool operator==(const SnapshotFact&) const = default;

    static SnapshotFact Value(std::wstring text) { return {State::Read, std::move(text)}; }
    static SnapshotFact Missing(std::wstring why) { return {State::Failed, std::move(why)}; }
};

struct SnapshotHeader {
    std::wstring root;  // the directory saved, spelled as the namespace spells it
    std::wstring windows;
    std::wstring account;
    std::wstring time;
    bool devices = false;
};

struct SnapshotObject {
    std::wstring path;
    std::wstring typeName;
    SnapshotFact target;
    SnapshotFact descriptor;
    SnapshotFact sacl;
    SnapshotFact rights;
    long line = 0;  // the file's line that held it; 0 for the live namespace
};

struct UnreadDirectoryRecord {
    std::wstring path;
    std::wstring why;
    long line = 0;
};

struct SnapshotContents {
    SnapshotHeader header;
    std::vector<SnapshotObject> objects;
    std::vector<UnreadDirectoryRecord> unread;
};

// The escaping rule above, both ways. Unescaping is false for text the rule
// cannot have written: a bad escape, bytes that are not UTF-8, a control
// character standing for itself.
std::string EscapeText(std::wstring_view text);
bool UnescapeText(std::string_view escaped, std::wstring& text);

// The lines, without their line end.
std::string HeaderLine(const SnapshotHeader& header);
std::string ObjectLine(const SnapshotObject& object);
std::string UnreadLine(const UnreadDirectoryRecord& unread);
std::string EndLine(long objects, long unread);

// Whether path is root or lies below it; "\" holds every path.
bool PathIsWithin(std::wstring_view path, std::wstring_view root);

// The rights field's value for a mask, and the mask of a value; false when it is not one.
std::wstring RightsText(ACCESS_MASK mask);
bool ParseRights(std::wstring_view text, ACCESS_MASK& mask);

// Reads a snapshot a slice of lines at a time. A file that is not a snapshot,
// of another version, cut short or with a line the format does not allow is
// refused with the number of the line at fault, and its contents are emptied.
class SnapshotParser {
public:
    void Reset(std::string text);
    // Reads up to maxLines more lines; false once the whole text is read or refused.
    bool Step(long maxLines);
    bool Refused() const { return !error_.empty(); }
    // "line 12: ..." where refused.
    const std::string& Error() const { return error_; }
    long LinesRead() const { return line_; }
    SnapshotContents& Contents() { return contents_; }

private:
    bool Refuse(std::string why);
    bool ReadLine(std::string_view line);
    bool ReadHeader(const std::vector<std::string_view>& fields);
    bool ReadObject(const std::vector<std::string_view>& fields);
    bool ReadEnd(const std::vector<std::string_view>& fields);
    bool ReadPath(std::string_view field, std::wstring& path);

    std::string text_;
    std::size_t offset_ = 0;
    long line_ = 0;
    bool ended_ = false;
    std::string error_;
    SnapshotContents contents_;
};

// Reads a whole file into text; false with why (the file's error) when it
// cannot be read or is larger than a snapshot can be.
bool ReadSnapshotFile(const std::wstring& file, std::string& text, std::string& why);
