#include "namespace/sddl_condition.h"

#include "namespace/sddl_text.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

namespace {

using Bytes = std::span<const BYTE>;

// A conditional expression is a postfix run of tokens after this signature,
// padded with zero bytes to the end of its ACE.
constexpr BYTE kConditionSignature[4] = {'a', 'r', 't', 'x'};
constexpr BYTE kPadding = 0x00;
constexpr BYTE kFirstInteger = 0x01;  // signed integers of 8, 16, 32 and 64 bits share a layout
constexpr BYTE kLastInteger = 0x04;
constexpr BYTE kUnicodeString = 0x10;
constexpr BYTE kOctetString = 0x18;
constexpr BYTE kComposite = 0x50;
constexpr BYTE kSidLiteral = 0x51;

// An integer's sign and base bytes.
constexpr BYTE kSignPlus = 0x01;
constexpr BYTE kSignNone = 0x03;
constexpr BYTE kBaseOctal = 0x01;
constexpr BYTE kBaseDecimal = 0x02;
constexpr BYTE kBaseHex = 0x03;

struct Operator {
    BYTE code;
    const char* text;  // with the spaces the text puts around or after it
    int operands;
};
constexpr Operator kOperators[] = {
    {0x80, " == ", 2},
    {0x81, " != ", 2},
    {0x82, " < ", 2},
    {0x83, " <= ", 2},
    {0x84, " > ", 2},
    {0x85, " >= ", 2},
    {0x86, " Contains ", 2},
    {0x87, "Exists ", 1},
    {0x88, " Any_of ", 2},
    {0x89, "Member_of ", 1},
    {0x8A, "Device_Member_of ", 1},
    {0x8B, "Member_of_Any ", 1},
    {0x8C, "Device_Member_of_Any ", 1},
    {0x8D, "Not_Exists ", 1},
    {0x8E, " Not_Contains ", 2},
    {0x8F, " Not_Any_of ", 2},
    {0x90, "Not_Member_of ", 1},
    {0x91, "Not_Device_Member_of ", 1},
    {0x92, "Not_Member_of_Any ", 1},
    {0x93, "Not_Device_Member_of_Any ", 1},
    {0xA0, " && ", 2},
    {0xA1, " || ", 2},
    {0xA2, "!", 1},
};

struct AttributeKind {
    BYTE code;
    const char* prefix;
};
constexpr AttributeKind kAttributeKinds[] = {
    {0xF8, ""},  // local: named by the access check's caller
    {0xF9, "@User."},
    {0xFA, "@Resource."},
    {0xFB, "@Device."},
};

// Claim value types and their letters, in the order the format lists them.
struct ClaimType {
    WORD type;
    const char* letters;
};
constexpr ClaimType kClaimTypes[] = {
    {0x0001, "TI"},  // signed 64-bit
    {0x0002, "TU"},  // unsigned 64-bit
    {0x0003, "TS"},  // string
    {0x0005, "TD"},  // SID
    {0x0010, "TX"},  // octet string
    {0x0006, "TB"},  // boolean
};

// Reads forward through bytes; every read checks what is left.
class Cursor {
public:
    explicit Cursor(Bytes bytes) : bytes_(bytes) {}
    bool AtEnd() const { return at_ == bytes_.size(); }
    Bytes Rest() const { return bytes_.subspan(at_); }

    template <typename T>
    bool Read(T& value) {
        if (bytes_.size() - at_ < sizeof(T)) return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return true;
    }
    // A DWORD length, then that many bytes.
    bool ReadCounted(Bytes& counted) {
        DWORD length = 0;
        if (!Read(length) || bytes_.size() - at_ < length) return false;
        counted = bytes_.subspan(at_, length);
        at_ += length;
        return true;
    }

private:
    Bytes bytes_;
    std::size_t at_ = 0;
};

template <typename T, std::size_t N>
const T* FindCode(const T (&table)[N], BYTE code) {
    for (const T& row : table) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

void AppendDigits(unsigned long long value, unsigned base, std::string& text) {
    char digits[24];  // 22 octal digits at most
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    while (count > 0) text += digits[--count];
}

unsigned long long Magnitude(long long value) {
    return value < 0 ? 0 - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
}

void AppendOctets(Bytes octets, std::string& text) {
    for (BYTE octet : octets) {
        text += "0123456789abcdef"[octet >> 4];
        text += "0123456789abcdef"[octet & 0xF];
    }
}

// A string between quotes; the text has no escape for a quote, and a
// character beyond printable ASCII would not survive the ANSI text.
bool AppendQuoted(Bytes utf16, std::string& text) {
    if (utf16.size() % 2 != 0) return false;
    std::string quoted = "\"";
    for (std::size_t i = 0; i < utf16.size(); i += 2) {
        const unsigned unit = utf16[i] | (utf16[i + 1] << 8);
        if (unit < 0x20 || unit > 0x7E || unit == '"') return false;
        quoted += static_cast<char>(unit);
    }
    text += quoted + '"';
    return true;
}

// An attribute's name; characters beyond the plain ones become %XXXX escapes.
bool AppendAttributeName(Bytes utf16, std::string& text) {
    if (utf16.empty() || utf16.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < utf16.size(); i += 2) {
        const unsigned unit = utf16[i] | (utf16[i + 1] << 8);
        const bool plain = (unit >= 'a' && unit <= 'z') || (unit >= 'A' && unit <= 'Z') ||
                           (unit >= '0' && unit <= '9') || unit == ':' || unit == '.' || unit == '/' || unit == '_';
        if (plain) {
            text += static_cast<char>(unit);
        } else {
            text += '%';
            for (int shift = 12; shift >= 0; shift -= 4) text += "0123456789abcdef"[(unit >> shift) & 0xF];
        }
    }
    return true;
}

// A SID that fills its bytes exactly.
bool AppendExactSid(Bytes sid, std::string& text) {
    std::size_t used = 0;
    std::string written;
    if (!AppendSddlSid(sid.data(), sid.size(), written, used) || used != sid.size()) return false;
    text += written;
    return true;
}

// An integer literal: its value, then the sign and base it was written with.
bool AppendInteger(Cursor& at, std::string& text) {
    long long value = 0;
    BYTE sign = 0;
    BYTE base = 0;
    if (!at.Read(value) || !at.Read(sign) || !at.Read(base)) return false;
    if (sign < kSignPlus || sign > kSignNone || base < kBaseOctal || base > kBaseHex) return false;
    if (value < 0) text += '-';
    else if (sign == kSignPlus) text += '+';
    if (base == kBaseOctal && value != 0) text += '0';
    if (base == kBaseHex) text += "0x";
    AppendDigits(Magnitude(value), base == kBaseOctal ? 8 : base == kBaseDecimal ? 10 : 16, text);
    return true;
}

// The literal whose code was just read. A composite holds literals that are
// not composites themselves.
bool AppendLiteral(BYTE code, Cursor& at, std::string& text, bool inComposite) {
    Bytes counted;
    if (code >= kFirstInteger && code <= kLastInteger) return AppendInteger(at, text);
    if (code == kUnicodeString) return at.ReadCounted(counted) && AppendQuoted(counted, text);
    if (code == kOctetString) {
        if (!at.ReadCounted(counted)) return false;
        text += '#';
        AppendOctets(counted, text);
        return true;
    }
    if (code == kSidLiteral) {
        if (!at.ReadCounted(counted)) return false;
        text += "SID(";
        if (!AppendExactSid(counted, text)) return false;
        text += ')';
        return true;
    }
    if (code != kComposite || inComposite || !at.ReadCounted(counted)) return false;
    Cursor element(counted);
    const char* separator = "{";
    while (!element.AtEnd()) {
        BYTE elementCode = 0;
        text += separator;
        separator = ", ";
        if (!element.Read(elementCode) || !AppendLiteral(elementCode, element, text, true)) return false;
    }
    text += counted.empty() ? "{}" : "}";
    return true;
}

// A node of the expression: a written operand, or an operator over one or two nodes.
struct Node {
    std::string operand;
    const Operator* op = nullptr;
    std::size_t left = 0;
    std::size_t right = 0;
};

// Writes the tree from its root, each operator in parentheses. An explicit
// stack: a deep expression never runs the thread's stack out.
std::string WriteExpression(const std::vector<Node>& nodes, std::size_t root) {
    struct Piece {
        std::size_t node;
        const char* text;  // written as is when not null
    };
    std::string written;
    std::vector<Piece> pending = {{root, nullptr}};
    while (!pending.empty()) {
        const Piece piece = pending.back();
        pending.pop_back();
        const Node& node = nodes[piece.node];
        if (piece.text != nullptr) {
            written += piece.text;
        } else if (node.op == nullptr) {
            written += node.operand;
        } else if (node.op->operands == 1) {
            pending.insert(pending.end(), {{0, ")"}, {node.left, nullptr}, {0, node.op->text}, {0, "("}});
        } else {
            pending.insert(pending.end(),
                           {{0, ")"}, {node.right, nullptr}, {0, node.op->text}, {node.left, nullptr}, {0, "("}});
        }
    }
    return written;
}

bool OnlyPadding(Bytes rest) {
    for (BYTE byte : rest) {
        if (byte != kPadding) return false;
    }
    return true;
}

// A null-terminated UTF-16 string at offset in the claim's bytes.
bool ReadTerminated(Bytes claim, DWORD offset, Bytes& utf16) {
    if (offset > claim.size()) return false;
    for (std::size_t end = offset; claim.size() - end >= 2; end += 2) {
        if (claim[end] == 0 && claim[end + 1] == 0) {
            utf16 = claim.subspan(offset, end - offset);
            return true;
        }
    }
    return false;
}

// One claim value at offset, written as its type's text.
bool AppendClaimValue(Bytes claim, WORD type, DWORD offset, std::string& text) {
    if (offset > claim.size()) return false;
    Cursor at(claim.subspan(offset));
    unsigned long long number = 0;
    Bytes counted;
    switch (type) {
        case 0x0001:
            if (!at.Read(number)) return false;
            if (static_cast<long long>(number) < 0) text += '-';
            AppendDigits(Magnitude(static_cast<long long>(number)), 10, text);
            return true;
        case 0x0002:
            if (!at.Read(number)) return false;
            AppendDigits(number, 10, text);
            return true;
        case 0x0006:
            if (!at.Read(number) || number > 1) return false;
            text += number != 0 ? '1' : '0';
            return true;
        case 0x0003:
            return ReadTerminated(claim, offset, counted) && AppendQuoted(counted, text);
        case 0x0005:
            return at.ReadCounted(counted) && AppendExactSid(counted, text);
        case 0x0010:
            if (!at.ReadCounted(counted)) return false;
            AppendOctets(counted, text);
            return true;
        default:
            return false;
    }
}

}  // namespace

bool AppendSddlCondition(const BYTE* data, std::size_t size, std::string& text) {
    const Bytes bytes(data, size);
    if (size < sizeof kConditionSignature || std::memcmp(data, kConditionSignature, sizeof kConditionSignature) != 0)
        return false;
    Cursor at(bytes.subspan(sizeof kConditionSignature));
    std::vector<Node> nodes;
    std::vector<std::size_t> stack;  // nodes not yet taken by an operator
    BYTE code = 0;
    while (at.Read(code) && code != kPadding) {
        Node node;
        const AttributeKind* attribute = FindCode(kAttributeKinds, code);
        node.op = FindCode(kOperators, code);
        Bytes name;
        if (attribute != nullptr) {
            node.operand = attribute->prefix;
            if (!at.ReadCounted(name) || !AppendAttributeName(name, node.operand)) return false;
        } else if (node.op != nullptr) {
            if (stack.size() < static_cast<std::size_t>(node.op->operands)) return false;
            if (node.op->operands == 2) {
                node.right = stack.back();
                stack.pop_back();
            }
            node.left = stack.back();
            stack.pop_back();
        } else if (!AppendLiteral(code, at, node.operand, false)) {
            return false;
        }
        stack.push_back(nodes.size());
        nodes.push_back(std::move(node));
    }
    if (stack.size() != 1 || !OnlyPadding(at.Rest())) return false;
    const std::string expression = WriteExpression(nodes, stack.back());
    // An operator's text is already in parentheses; a lone operand is put in them.
    text += nodes[stack.back()].op != nullptr ? expression : '(' + expression + ')';
    return true;
}

bool AppendSddlClaim(const BYTE* data, std::size_t size, std::string& text) {
    const Bytes claim(data, size);
    Cursor at(claim);
    DWORD nameOffset = 0;
    WORD type = 0;
    WORD reserved = 0;
    DWORD flags = 0;
    DWORD count = 0;
    Bytes name;
    if (!at.Read(nameOffset) || !at.Read(type) || !at.Read(reserved) || !at.Read(flags) || !at.Read(count))
        return false;
    const ClaimType* claimType = nullptr;
    for (const ClaimType& row : kClaimTypes) {
        if (row.type == type) claimType = &row;
    }
    if (claimType == nullptr || !ReadTerminated(claim, nameOffset, name)) return false;
    std::string written = "(";
    char head[24];
    std::snprintf(head, sizeof head, ",%s,0x%lx", claimType->letters, static_cast<unsigned long>(flags));
    if (!AppendQuoted(name, written)) return false;
    written += head;
    // The offsets of the values follow the head; count is bounded by the bytes they take.
    for (DWORD i = 0; i < count; ++i) {
        DWORD valueOffset = 0;
        written += ',';
        if (!at.Read(valueOffset) || !AppendClaimValue(claim, type, valueOffset, written)) return false;
    }
    text += written + ')';
    return true;
}
