#include "namespace/sddl_text.h"

#include "namespace/sddl_condition.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>

namespace {

using Bytes = std::span<const BYTE>;

// Control bits of a descriptor; the SACL's inheritance bits are the DACL's shifted by one.
constexpr WORD kDaclPresent = 0x0004;
constexpr WORD kSaclPresent = 0x0010;
constexpr WORD kDaclAutoInheritRequired = 0x0100;
constexpr WORD kDaclAutoInherited = 0x0400;
constexpr WORD kDaclProtected = 0x1000;
constexpr WORD kSelfRelative = 0x8000;

// A self-relative descriptor's head: revision, padding, control, then the
// offsets of owner, group, SACL and DACL (0: none).
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kAclHeaderSize = 8;
constexpr std::size_t kAceHeaderSize = 4;
constexpr std::size_t kGuidSize = 16;
constexpr int kMaxSubAuthorities = 15;

struct WellKnownSid {
    char abbreviation[3];
    BYTE authority;  // the last byte of the identifier authority; the others are 0
    BYTE count;
    DWORD subAuthorities[6];
};
// The SIDs the format abbreviates without a domain, in the order of the
// format's own list. Domain-relative ones (LA, DA, DU...) are written in full.
constexpr WellKnownSid kWellKnownSids[] = {
    {"WD", 1, 1, {0}},
    {"CO", 3, 1, {0}},
    {"CG", 3, 1, {1}},
    {"OW", 3, 1, {4}},
    {"NU", 5, 1, {2}},
    {"IU", 5, 1, {4}},
    {"SU", 5, 1, {6}},
    {"AN", 5, 1, {7}},
    {"ED", 5, 1, {9}},
    {"PS", 5, 1, {10}},
    {"AU", 5, 1, {11}},
    {"RC", 5, 1, {12}},
    {"SY", 5, 1, {18}},
    {"LS", 5, 1, {19}},
    {"NS", 5, 1, {20}},
    {"WR", 5, 1, {33}},
    {"BA", 5, 2, {32, 544}},
    {"BU", 5, 2, {32, 545}},
    {"BG", 5, 2, {32, 546}},
    {"PU", 5, 2, {32, 547}},
    {"AO", 5, 2, {32, 548}},
    {"SO", 5, 2, {32, 549}},
    {"PO", 5, 2, {32, 550}},
    {"BO", 5, 2, {32, 551}},
    {"RE", 5, 2, {32, 552}},
    {"RU", 5, 2, {32, 554}},
    {"RD", 5, 2, {32, 555}},
    {"NO", 5, 2, {32, 556}},
    {"MU", 5, 2, {32, 558}},
    {"LU", 5, 2, {32, 559}},
    {"IS", 5, 2, {32, 568}},
    {"CY", 5, 2, {32, 569}},
    {"ER", 5, 2, {32, 573}},
    {"CD", 5, 2, {32, 574}},
    {"RA", 5, 2, {32, 575}},
    {"ES", 5, 2, {32, 576}},
    {"MS", 5, 2, {32, 577}},
    {"HA", 5, 2, {32, 578}},
    {"AA", 5, 2, {32, 579}},
    {"RM", 5, 2, {32, 580}},
    {"UD", 5, 6, {84, 0, 0, 0, 0, 0}},
    {"AC", 15, 2, {2, 1}},
    {"LW", 16, 1, {4096}},
    {"ME", 16, 1, {8192}},
    {"MP", 16, 1, {8448}},
    {"HI", 16, 1, {12288}},
    {"SI", 16, 1, {16384}},
    {"AS", 18, 1, {1}},
    {"SS", 18, 1, {2}},
};

struct NamedMask {
    const char* letters;
    ACCESS_MASK mask;
};
// Combinations the format names, used only for a mask that is exactly one of
// them. KEY_EXECUTE equals KEY_READ, which comes first.
constexpr NamedMask kExactRights[] = {
    {"FA", 0x001F01FF},
    {"FR", 0x00120089},
    {"FW", 0x00120116},
    {"FX", 0x001200A0},
    {"KA", 0x000F003F},
    {"KR", 0x00020019},
    {"KW", 0x00020006},
    {"KX", 0x00020019},
};

// The letters of single rights by bit number, lowest first, the order the text lists them in.
constexpr const char* kRightLetters[32] = {
    "CC", "DC", "LC", "SW", "RP", "WP", "DT", "LO",       // 0-7: the directory service's specific rights
    "CR", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 8-15
    "SD", "RC", "WD", "WO", nullptr, nullptr, nullptr, nullptr,  // 16-23: standard rights; no SYNCHRONIZE
    nullptr, nullptr, nullptr, nullptr, "GA", "GX", "GW", "GR",  // 24-31: no ACCESS_SYSTEM_SECURITY
};
// A mandatory label's mask: no write up, no read up, no execute up.
constexpr const char* kLabelLetters[3] = {"NW", "NR", "NX"};

constexpr NamedMask kAceFlags[] = {
    {"OI", OBJECT_INHERIT_ACE},
    {"CI", CONTAINER_INHERIT_ACE},
    {"NP", NO_PROPAGATE_INHERIT_ACE},
    {"IO", INHERIT_ONLY_ACE},
    {"ID", INHERITED_ACE},
    {"SA", SUCCESSFUL_ACCESS_ACE_FLAG},
    {"FA", FAILED_ACCESS_ACE_FLAG},
    {"CR", 0x20},  // critical: the ACE cannot be removed
};

constexpr BYTE kMandatoryLabelAce = 0x11;
constexpr BYTE kAccessFilterAce = 0x15;

// What follows an ACE's mask.
enum class AceLayout : BYTE {
    Plain,           // the trustee's SID
    Object,          // object flags, up to two GUIDs, the SID
    Callback,        // the SID, then application data: a condition
    CallbackObject,  // object flags, up to two GUIDs, the SID, application data
    Attribute,       // the SID, then a claim attribute
    NotRead,         // a layout the writer does not read
};

struct AceTypeName {
    BYTE type;
    const char* letters;  // nullptr: the format has none, the type is written as its code
    AceLayout layout;
};
// Every type up to the access filter, by code. A compound ACE (0x04) holds
// two SIDs the format cannot write, so it is shown by type and flags only,
// as are types beyond this table.
constexpr AceTypeName kAceTypes[] = {
    {0x00, "A", AceLayout::Plain},               // allowed
    {0x01, "D", AceLayout::Plain},               // denied
    {0x02, "AU", AceLayout::Plain},              // audit
    {0x03, "AL", AceLayout::Plain},              // alarm
    {0x04, nullptr, AceLayout::NotRead},         // allowed, compound
    {0x05, "OA", AceLayout::Object},             // allowed, object
    {0x06, "OD", AceLayout::Object},             // denied, object
    {0x07, "OU", AceLayout::Object},             // audit, object
    {0x08, "OL", AceLayout::Object},             // alarm, object
    {0x09, "XA", AceLayout::Callback},           // allowed, callback
    {0x0A, "XD", AceLayout::Callback},           // denied, callback
    {0x0B, "ZA", AceLayout::CallbackObject},     // allowed, callback object
    {0x0C, nullptr, AceLayout::CallbackObject},  // denied, callback object
    {0x0D, "XU", AceLayout::Callback},           // audit, callback
    {0x0E, nullptr, AceLayout::CallbackObject},  // audit, callback object
    {0x0F, nullptr, AceLayout::Callback},        // alarm, callback
    {0x10, nullptr, AceLayout::CallbackObject},  // alarm, callback object
    {kMandatoryLabelAce, "ML", AceLayout::Plain},
    {0x12, "RA", AceLayout::Attribute},             // resource attribute
    {0x13, "SP", AceLayout::Plain},                 // scoped policy id
    {0x14, "TL", AceLayout::Plain},                 // process trust label
    {kAccessFilterAce, "FL", AceLayout::Callback},  // its condition follows the SID
};

template <typename T>
bool ReadAt(Bytes bytes, std::size_t offset, T& value) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

void AppendHex(std::string& text, unsigned long value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%lx", value);
    text += hex;
}

// Appends the SID at the start of bytes; false when it does not fit.
bool AppendSid(Bytes bytes, std::string& text, std::size_t& used) {
    BYTE revision = 0;
    BYTE count = 0;
    if (!ReadAt(bytes, 0, revision) || !ReadAt(bytes, 1, count) || count > kMaxSubAuthorities) return false;
    if (bytes.size() < 8 + 4u * count) return false;
    used = 8 + 4u * count;
    const BYTE* authority = bytes.data() + 2;
    DWORD subAuthorities[kMaxSubAuthorities] = {};
    for (int i = 0; i < count; ++i) ReadAt(bytes, 8 + 4u * i, subAuthorities[i]);

    for (const WellKnownSid& known : kWellKnownSids) {
        if (revision != 1 || count != known.count || authority[5] != known.authority) continue;
        if (authority[0] | authority[1] | authority[2] | authority[3] | authority[4]) continue;
        if (std::memcmp(subAuthorities, known.subAuthorities, 4u * count) != 0) continue;
        text += known.abbreviation;
        return true;
    }
    char part[32];
    std::snprintf(part, sizeof part, "S-%u-", revision);
    text += part;
    // An authority beyond 32 bits is written as 48 bits of hex.
    if (authority[0] != 0 || authority[1] != 0) {
        std::snprintf(part, sizeof part, "0x%02x%02x%02x%02x%02x%02x", authority[0], authority[1], authority[2],
                      authority[3], authority[4], authority[5]);
    } else {
        const unsigned long value = (static_cast<unsigned long>(authority[2]) << 24) | (authority[3] << 16) |
                                    (authority[4] << 8) | authority[5];
        std::snprintf(part, sizeof part, "%lu", value);
    }
    text += part;
    for (int i = 0; i < count; ++i) {
        std::snprintf(part, sizeof part, "-%lu", static_cast<unsigned long>(subAuthorities[i]));
        text += part;
    }
    return true;
}

// The descriptor's SID at the offset in its head (4 for owner, 8 for group).
bool AppendPartSid(Bytes descriptor, std::size_t headOffset, const char* prefix, std::string& text) {
    DWORD offset = 0;
    ReadAt(descriptor, headOffset, offset);
    if (offset == 0) return true;
    if (offset >= descriptor.size()) return false;
    text += prefix;
    std::size_t used = 0;
    return AppendSid(descriptor.subspan(offset), text, used);
}

void AppendGuid(Bytes guid, std::string& text) {
    DWORD first = 0;
    WORD second = 0;
    WORD third = 0;
    ReadAt(guid, 0, first);
    ReadAt(guid, 4, second);
    ReadAt(guid, 6, third);
    char part[40];
    std::snprintf(part, sizeof part, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned long>(first), second, third, guid[8], guid[9], guid[10], guid[11], guid[12],
                  guid[13], guid[14], guid[15]);
    text += part;
}

// On an access filter ACE the success audit's bit says the filter is
// protected by the trust label, and has letters of its own.
void AppendAceFlags(BYTE flags, bool accessFilter, std::string& text) {
    BYTE named = 0;
    for (const NamedMask& flag : kAceFlags) {
        if ((flags & flag.mask) == 0) continue;
        text += accessFilter && flag.mask == SUCCESSFUL_ACCESS_ACE_FLAG ? "TP" : flag.letters;
        named |= static_cast<BYTE>(flag.mask);
    }
    if ((flags & ~named) != 0) AppendHex(text, flags & ~named);
}

const AceTypeName* FindAceType(BYTE type) {
    for (const AceTypeName& row : kAceTypes) {
        if (row.type == type) return &row;
    }
    return nullptr;
}

// The letters for a mask: one combination the format names, or the letters
// of its single rights where every bit has one, or hex ("0x1f0003"). A
// mandatory label's mask has letters of its own.
std::string SddlRights(ACCESS_MASK mask, bool labelAce) {
    std::string text;
    if (mask == 0) return text;
    if (labelAce) {
        if ((mask & ~0x7u) != 0) {
            AppendHex(text, mask);
            return text;
        }
        for (int bit = 0; bit < 3; ++bit) {
            if (mask & (1u << bit)) text += kLabelLetters[bit];
        }
        return text;
    }
    for (const NamedMask& exact : kExactRights) {
        if (mask == exact.mask) return exact.letters;
    }
    for (int bit = 0; bit < 32; ++bit) {
        if ((mask & (1u << bit)) != 0 && kRightLetters[bit] == nullptr) {
            AppendHex(text, mask);
            return text;
        }
    }
    for (int bit = 0; bit < 32; ++bit) {
        if (mask & (1u << bit)) text += kRightLetters[bit];
    }
    return text;
}

// Appends the object flags' GUIDs as "object;inherited object;" and moves
// offset past them; false when they do not fit.
bool AppendObjectGuids(Bytes ace, std::size_t& offset, std::string& text) {
    DWORD objectFlags = 0;
    if (!ReadAt(ace, offset, objectFlags)) return false;
    offset += sizeof objectFlags;
    for (DWORD present : {ACE_OBJECT_TYPE_PRESENT, ACE_INHERITED_OBJECT_TYPE_PRESENT}) {
        if ((objectFlags & present) != 0) {
            if (ace.size() - offset < kGuidSize) return false;
            AppendGuid(ace.subspan(offset, kGuidSize), text);
            offset += kGuidSize;
        }
        text += ';';
    }
    return true;
}

// One ACE of ace.size() bytes: "(type;flags;rights;object;inherited
// object;sid)", then ";(condition)" or ";(claim)" where its type has one.
bool AppendAce(Bytes ace, std::string& text) {
    BYTE type = 0;
    BYTE flags = 0;
    ACCESS_MASK mask = 0;
    if (!ReadAt(ace, 0, type) || !ReadAt(ace, 1, flags) || !ReadAt(ace, kAceHeaderSize, mask)) return false;
    const AceTypeName* name = FindAceType(type);
    const AceLayout layout = name != nullptr ? name->layout : AceLayout::NotRead;
    std::string written = "(";
    if (name != nullptr && name->letters != nullptr) written += name->letters;
    else AppendHex(written, type);  // a type the format has no letters for
    written += ';';
    AppendAceFlags(flags, type == kAccessFilterAce, written);
    if (layout == AceLayout::NotRead) {
        text += written + ";(contents not shown))";
        return true;
    }
    written += ';';
    written += SddlRights(mask, type == kMandatoryLabelAce);
    written += ';';
    std::size_t offset = kAceHeaderSize + sizeof(ACCESS_MASK);
    if (layout == AceLayout::Object || layout == AceLayout::CallbackObject) {
        if (!AppendObjectGuids(ace, offset, written)) return false;
    } else {
        written += ";;";
    }
    std::size_t sidSize = 0;
    if (offset >= ace.size() || !AppendSid(ace.subspan(offset), written, sidSize)) return false;
    const Bytes data = ace.subspan(offset + sidSize);
    // Data after a callback's SID is kept even where it cannot be decoded:
    // a condition that is not shown still limits the ACE.
    if ((layout == AceLayout::Callback || layout == AceLayout::CallbackObject) && !data.empty()) {
        written += ';';
        if (!AppendSddlCondition(data.data(), data.size(), written)) written += "(condition not shown)";
    } else if (layout == AceLayout::Attribute) {
        written += ';';
        if (!AppendSddlClaim(data.data(), data.size(), written)) written += "(attribute not shown)";
    }
    text += written + ')';
    return true;
}

// "D:" or "S:", the inheritance flags, then the ACEs; a present ACL at offset
// 0 grants everything and is written NO_ACCESS_CONTROL.
bool AppendAcl(Bytes descriptor, WORD control, bool sacl, std::string& text) {
    const WORD shift = sacl ? 1 : 0;
    if ((control & (sacl ? kSaclPresent : kDaclPresent)) == 0) return true;
    DWORD offset = 0;
    ReadAt(descriptor, sacl ? 12 : 16, offset);
    text += sacl ? "S:" : "D:";
    if (control & (kDaclProtected << shift)) text += 'P';
    if (control & (kDaclAutoInheritRequired << shift)) text += "AR";
    if (control & (kDaclAutoInherited << shift)) text += "AI";
    if (offset == 0) {
        text += "NO_ACCESS_CONTROL";
        return true;
    }
    if (offset >= descriptor.size()) return false;
    WORD aclSize = 0;
    WORD aceCount = 0;
    if (!ReadAt(descriptor, offset + 2, aclSize) || !ReadAt(descriptor, offset + 4, aceCount)) return false;
    if (aclSize < kAclHeaderSize || descriptor.size() - offset < aclSize) return false;
    const Bytes acl = descriptor.subspan(offset, aclSize);
    std::size_t aceOffset = kAclHeaderSize;
    for (WORD i = 0; i < aceCount; ++i) {
        WORD aceSize = 0;
        if (!ReadAt(acl, aceOffset + 2, aceSize) || aceSize < kAceHeaderSize + sizeof(ACCESS_MASK) ||
            acl.size() - aceOffset < aceSize)
            return false;
        if (!AppendAce(acl.subspan(aceOffset, aceSize), text)) return false;
        aceOffset += aceSize;
    }
    return true;
}

}  // namespace

bool WriteSddl(const BYTE* descriptor, std::size_t size, SECURITY_INFORMATION parts, std::string& text) {
    const Bytes bytes(descriptor, size);
    BYTE revision = 0;
    WORD control = 0;
    if (size < kHeaderSize || !ReadAt(bytes, 0, revision) || !ReadAt(bytes, 2, control)) return false;
    if (revision != SECURITY_DESCRIPTOR_REVISION || (control & kSelfRelative) == 0) return false;
    std::string written;
    if ((parts & OWNER_SECURITY_INFORMATION) && !AppendPartSid(bytes, 4, "O:", written)) return false;
    if ((parts & GROUP_SECURITY_INFORMATION) && !AppendPartSid(bytes, 8, "G:", written)) return false;
    if ((parts & DACL_SECURITY_INFORMATION) && !AppendAcl(bytes, control, false, written)) return false;
    if ((parts & SACL_SECURITY_INFORMATION) && !AppendAcl(bytes, control, true, written)) return false;
    text = std::move(written);
    return true;
}

bool AppendSddlSid(const BYTE* sid, std::size_t size, std::string& text, std::size_t& used) {
    return AppendSid(Bytes(sid, size), text, used);
}
