// The program's SDDL writer against the platform's own converter, which the
// program cannot use (NT 4.0 has none) but the tests can, and against
// descriptors built byte by byte where the converter lacks the ACE types.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "namespace/object_opener.h"
#include "namespace/sddl_text.h"
#include "support/test_namespace.h"

namespace {

constexpr SECURITY_INFORMATION kAllParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;

std::string OwnText(const std::vector<BYTE>& descriptor, SECURITY_INFORMATION parts = kAllParts) {
    std::string text = "(not written)";
    WriteSddl(descriptor.data(), descriptor.size(), parts, text);
    return text;
}

// Little-endian pieces of hand-built descriptors, ACEs, conditions and claims.
using Bytes = std::vector<BYTE>;
Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}
Bytes Le(unsigned long long value, int size) {
    Bytes bytes;
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<BYTE>(value >> (8 * i)));
    return bytes;
}
Bytes Utf16(const char* text) {
    Bytes bytes;
    for (; *text != '\0'; ++text) bytes.insert(bytes.end(), {static_cast<BYTE>(*text), 0});
    return bytes;
}
Bytes Counted(BYTE code, const Bytes& data) { return Bytes{code} + Le(data.size(), 4) + data; }
Bytes Str(const char* text) { return Counted(0x10, Utf16(text)); }
Bytes Int(long long value, BYTE sign, BYTE base) { return Bytes{0x04} + Le(value, 8) + Bytes{sign, base}; }
Bytes Condition(const Bytes& tokens) {
    Bytes data = Bytes{'a', 'r', 't', 'x'} + tokens;
    data.resize((data.size() + 3) & ~std::size_t{3});  // zero padding to the ACE's DWORD end
    return data;
}
// A claim attribute: its head, the offsets of its values, its name, its values.
Bytes Claim(WORD type, const char* name, const std::vector<Bytes>& values) {
    const std::size_t nameOffset = 16 + 4 * values.size();
    Bytes head = Le(nameOffset, 4) + Le(type, 2) + Le(0, 2) + Le(0, 4) + Le(values.size(), 4);
    Bytes tail = Utf16(name) + Le(0, 2);
    for (const Bytes& value : values) {
        head = head + Le(nameOffset + tail.size(), 4);
        tail = tail + value;
    }
    return head + tail;
}
const Bytes kWorld = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};                  // S-1-1-0
const Bytes kAdmins = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};  // S-1-5-32-544
const Bytes kGuid = {0x53, 0x1a, 0x72, 0xab, 0x2f, 0x1e, 0xd0, 0x11, 0x98, 0x19, 0x00, 0xaa, 0x00, 0x40, 0x52, 0x9b};
constexpr const char* kGuidText = "ab721a53-1e2f-11d0-9819-00aa0040529b";

// A descriptor whose DACL holds one ACE: its head, the mask, then body;
// tail lies after the ACL, inside the descriptor.
Bytes OneAce(BYTE type, BYTE flags, DWORD mask, const Bytes& body, const Bytes& tail = {}) {
    const Bytes ace = Bytes{type, flags} + Le(8 + body.size(), 2) + Le(mask, 4) + body;
    const Bytes acl = Bytes{4, 0} + Le(8 + ace.size(), 2) + Le(1, 2) + Le(0, 2) + ace;
    return Bytes{1, 0} + Le(SE_SELF_RELATIVE | SE_DACL_PRESENT, 2) + Le(0, 12) + Le(20, 4) + acl + tail;
}

// Descriptors the tests write as text, made by the platform's converter and
// written back by it and by the program: the two texts must agree.
TEST(SddlTextTest, WritesWhatThePlatformWrites) {
    const char* const cases[] = {
        "O:BAG:SYD:PAI(A;OICIID;FA;;;WD)(D;CIIO;0x1f0003;;;S-1-5-21-1-2-3-1000)(A;;GRGX;;;BU)",
        "O:SYG:SYD:",                                         // empty DACL
        "D:(D;;WD;;;WD)(A;;GA;;;AU)(A;;0x100000;;;IU)",        // a denied right before a grant
        "O:SYD:(A;ID;0x1f0001;;;SY)(A;NP;KR;;;BA)(A;IO;KA;;;CO)(A;;KW;;;CG)(A;;FR;;;LS)(A;;FW;;;NS)(A;;FX;;;SU)",
        "S:(AU;SA;0x2;;;WD)(AU;FA;SDRCWDWO;;;AN)(AL;SAFA;CCDCLCSWRPWPDTLOCR;;;BG)",  // audit and alarm ACEs
        "G:PUD:AR(A;;0x3;;;PO)(A;;GXGW;;;RE)(A;;0x1;;;NO)(A;;0x20019;;;OW)",
        "D:(A;;0x1f001f;;;WD)(A;;0x20003;;;BU)(A;;0x1000000;;;RU)(A;;0xf0001;;;RD)",  // object-specific masks
        "O:S-1-5-21-3623811015-3361044348-30300820-1013G:S-1-5-5-0-1234D:(A;;GA;;;S-1-5-80-1-2-3-4-5)",
        "O:ACG:MED:P(A;;SWRP;;;ED)(A;;WPDT;;;PS)(A;;LOCR;;;NU)(A;;0x80000000;;;SI)",
    };
    for (const char* sddl : cases) {
        SCOPED_TRACE(sddl);
        std::vector<BYTE> descriptor = DescriptorFromSddl(sddl);
        ASSERT_FALSE(descriptor.empty());
        EXPECT_EQ(OwnText(descriptor), PlatformSddl(descriptor));
    }
}

// What Windows' converter writes where Wine's writes otherwise or cannot be
// given the descriptor: a null DACL, the SACL's own inheritance flags, label
// and object ACEs, abbreviations Wine does not know, a 48-bit authority.
TEST(SddlTextTest, WritesWhatWindowsWritesWhereWineDiffers) {
    EXPECT_EQ(OwnText(DescriptorWithNullDacl("O:SYG:SY")), "O:SYG:SYD:NO_ACCESS_CONTROL");

    std::vector<BYTE> saclFlags = DescriptorFromSddl("D:(A;;GA;;;WD)S:(AU;SA;GA;;;WD)");
    ASSERT_TRUE(SetSecurityDescriptorControl(saclFlags.data(), SE_SACL_PROTECTED | SE_SACL_AUTO_INHERITED,
                                             SE_SACL_PROTECTED | SE_SACL_AUTO_INHERITED));
    EXPECT_EQ(OwnText(saclFlags), "D:(A;;GA;;;WD)S:PAI(AU;SA;GA;;;WD)");

    // Wine makes no label ACE: an audit ACE of the same layout is turned into one.
    std::vector<BYTE> label = DescriptorFromSddl("O:S-1-5-32-559G:S-1-16-8448S:(AU;;0x3;;;LW)");
    ASSERT_FALSE(label.empty());
    label[*reinterpret_cast<const DWORD*>(&label[12]) + 8] = SYSTEM_MANDATORY_LABEL_ACE_TYPE;
    EXPECT_EQ(OwnText(label), "O:LUG:MPS:(ML;;NWNR;;;LW)");

    // Nor an object ACE: a descriptor laid out by hand, with an owner of a 48-bit authority.
    const std::vector<BYTE> objectAce = {
        0x01, 0x00, 0x04, 0x80, 68, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0,  // head: owner at 68, DACL at 20
        0x04, 0x00, 48, 0, 1, 0, 0, 0,                                           // ACL: 48 bytes, one ACE
        0x05, 0x02, 40, 0, 0x00, 0x01, 0x00, 0x00, 0x01, 0, 0, 0,                // allowed object ACE, CI, 0x100
        0x53, 0x1a, 0x72, 0xab, 0x2f, 0x1e, 0xd0, 0x11, 0x98, 0x19, 0x00, 0xaa, 0x00, 0x40, 0x52, 0x9b,
        0x01, 0x01, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0,                                // S-1-1-0
        0x01, 0x01, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 7, 0, 0, 0,              // S-1-0x123456789abc-7
    };
    EXPECT_EQ(OwnText(objectAce), "O:S-1-0x123456789abc-7D:(OA;CI;CR;ab721a53-1e2f-11d0-9819-00aa0040529b;;WD)");
}

// Only the parts asked for are written; a descriptor cut short anywhere, or
// not self-relative, is refused without reading past its end.
TEST(SddlTextTest, PartsAndMalformedDescriptors) {
    const std::vector<BYTE> descriptor = DescriptorFromSddl("O:BAG:SYD:(A;;GA;;;WD)S:(AU;FA;GA;;;WD)");
    ASSERT_FALSE(descriptor.empty());
    EXPECT_EQ(OwnText(descriptor, GROUP_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION), "G:SYS:(AU;FA;GA;;;WD)");
    for (std::size_t size = 0; size < descriptor.size(); ++size)
        EXPECT_EQ(OwnText({descriptor.begin(), descriptor.begin() + static_cast<std::ptrdiff_t>(size)}),
                  "(not written)")
            << size;
    std::vector<BYTE> absolute = descriptor;
    absolute[3] &= 0x7F;  // SE_SELF_RELATIVE cleared: the offsets would be pointers
    EXPECT_EQ(OwnText(absolute), "(not written)");
    std::vector<BYTE> badAce = descriptor;
    const DWORD daclOffset = *reinterpret_cast<const DWORD*>(&descriptor[16]);
    badAce[daclOffset + 8 + 2] = 0xFF;  // the first ACE claims more than its ACL holds
    EXPECT_EQ(OwnText(badAce), "(not written)");
}

// Each ACE type read with its own layout and written with the format's
// letters, or its code where the format has none; never a SID read from the
// wrong bytes.
TEST(SddlTextTest, WritesEveryAceTypeWithItsLayout) {
    const Bytes condition = Condition(Counted(0xF9, Utf16("Title")) + Str("PM") + Bytes{0x80});
    const std::string withGuid = std::string("D:(ZA;;FA;") + kGuidText + ";;WD;(@User.Title == \"PM\"))";
    const std::string inheritedGuid = std::string("D:(0xc;;FA;;") + kGuidText + ";BA)";
    const struct {
        BYTE type;
        BYTE flags;
        DWORD mask;
        Bytes body;
        std::string text;
    } cases[] = {
        {0x09, 0, FILE_ALL_ACCESS, kWorld, "D:(XA;;FA;;;WD)"},
        {0x0A, CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS, kWorld + condition, "D:(XD;CI;FA;;;WD;(@User.Title == \"PM\"))"},
        {0x0B, 0, FILE_ALL_ACCESS, Le(0, 4) + kWorld, "D:(ZA;;FA;;;WD)"},  // object flags, no GUIDs
        {0x0B, 0, FILE_ALL_ACCESS, Le(1, 4) + kGuid + kWorld + condition, withGuid},
        {0x0C, 0, FILE_ALL_ACCESS, Le(2, 4) + kGuid + kAdmins, inheritedGuid},
        {0x0D, SUCCESSFUL_ACCESS_ACE_FLAG, GENERIC_ALL, kWorld, "D:(XU;SA;GA;;;WD)"},
        {0x0E, FAILED_ACCESS_ACE_FLAG, GENERIC_ALL, Le(0, 4) + kAdmins + condition,
         "D:(0xe;FA;GA;;;BA;(@User.Title == \"PM\"))"},
        {0x0F, 0, READ_CONTROL, kAdmins, "D:(0xf;;RC;;;BA)"},
        {0x10, 0, READ_CONTROL, Le(0, 4) + kWorld, "D:(0x10;;RC;;;WD)"},
        {0x12, 0, 0, kWorld + Claim(3, "Project", {Utf16("Alpha") + Le(0, 2)}),
         "D:(RA;;;;;WD;(\"Project\",TS,0x0,\"Alpha\"))"},
        {0x13, 0, 0, {1, 1, 0, 0, 0, 0, 0, 17, 1, 0, 0, 0}, "D:(SP;;;;;S-1-17-1)"},
        {0x14, 0, READ_CONTROL, {1, 2, 0, 0, 0, 0, 0, 19, 0, 2, 0, 0, 0, 0x20, 0, 0}, "D:(TL;;RC;;;S-1-19-512-8192)"},
        {0x15, 0x40 | 0x20, 1, kWorld + Condition(Counted(0xF8, Utf16("WIN://SYSAPPID")) + Str("x") + Bytes{0x86}),
         "D:(FL;TPCR;CC;;;WD;(WIN://SYSAPPID Contains \"x\"))"},
        {0x04, CONTAINER_INHERIT_ACE, 1, Le(1, 4) + kWorld + kAdmins, "D:(0x4;CI;(contents not shown))"},
        {0x16, 0, 1, kWorld, "D:(0x16;;(contents not shown))"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(OwnText(OneAce(row.type, row.flags, row.mask, row.body)), row.text);
    }
}

// A callback ACE's data after its SID: a conditional expression written as
// its text, anything else as a placeholder, never dropped.
TEST(SddlTextTest, WritesConditionsOrSaysTheyAreNotShown) {
    const Bytes title = Counted(0xF9, Utf16("Title"));
    const struct {
        Bytes data;
        const char* condition;
    } cases[] = {
        {Condition(title + Str("PM") + Bytes{0x80}), "(@User.Title == \"PM\")"},
        {Condition(Counted(0x50, Counted(0x51, kAdmins)) + Bytes{0x89} + Counted(0xFB, Utf16("managed")) +
                   Bytes{0x87, 0xA0}),
         "((Member_of {SID(BA)}) && (Exists @Device.managed))"},
        {Condition(Counted(0xFA, Utf16("Level")) + Int(-5, 2, 2) + Bytes{0x85} + Counted(0xFA, Utf16("Mask")) +
                   Int(31, 3, 3) + Bytes{0x80, 0xA2, 0xA1}),
         "((@Resource.Level >= -5) || (!(@Resource.Mask == 0x1f)))"},
        {Condition(Counted(0xF8, Utf16("a b")) + Counted(0x50, Str("x") + Str("y")) + Bytes{0x88}),
         "(a%0020b Any_of {\"x\", \"y\"})"},
        {Condition(title + Int(8, 1, 1) + Bytes{0x82}), "(@User.Title < +010)"},
        {Condition(title + Counted(0x18, {0x01, 0xAB}) + Bytes{0x81}), "(@User.Title != #01ab)"},
        {Condition(title), "(@User.Title)"},
        {{1, 2, 3, 4}, "(condition not shown)"},                                          // no signature
        {Condition(Bytes{0x30}), "(condition not shown)"},                                // no such token
        {Condition(title + Bytes{0x80}), "(condition not shown)"},                        // an operand short
        {Condition(title + Str("PM")), "(condition not shown)"},                          // two results
        {Condition(title + Str("a\"b") + Bytes{0x80}), "(condition not shown)"},          // a quote in a string
        {Condition(title + Int(1, 7, 2) + Bytes{0x80}), "(condition not shown)"},         // no such sign
        {Condition(title + Bytes{0, 0x87}), "(condition not shown)"},                     // a token after padding
        {Condition(Counted(0x51, kWorld + Le(0, 4)) + Bytes{0x89}), "(condition not shown)"},  // a SID short of its length
        {Condition(Counted(0x50, Counted(0x50, Str("x"))) + title + Bytes{0x88}), "(condition not shown)"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.condition);
        EXPECT_EQ(OwnText(OneAce(0x09, 0, FILE_ALL_ACCESS, kWorld + row.data)),
                  std::string("D:(XA;;FA;;;WD;") + row.condition + ")");
    }
    // A string whose length runs past its ACE is not completed from the bytes after it.
    Bytes cut = Condition(title + Str("PMPM") + Bytes{0x80});
    cut.resize(4 + title.size() + 9);
    EXPECT_EQ(OwnText(OneAce(0x09, 0, FILE_ALL_ACCESS, kWorld + cut, Utf16("PM") + Bytes{0x80, 0, 0, 0})),
              "D:(XA;;FA;;;WD;(condition not shown))");
}

// A resource attribute ACE's claim in each value type, or the placeholder.
TEST(SddlTextTest, WritesResourceAttributes) {
    const struct {
        Bytes claim;
        const char* attribute;
    } cases[] = {
        {Claim(1, "Level", {Le(-3, 8), Le(7, 8)}), "(\"Level\",TI,0x0,-3,7)"},
        {Claim(2, "Size", {Le(5, 8)}), "(\"Size\",TU,0x0,5)"},
        {Claim(3, "Project", {Utf16("A") + Le(0, 2), Utf16("B c") + Le(0, 2)}), "(\"Project\",TS,0x0,\"A\",\"B c\")"},
        {Claim(5, "Owner", {Le(16, 4) + kAdmins}), "(\"Owner\",TD,0x0,BA)"},
        {Claim(6, "Secret", {Le(1, 8)}), "(\"Secret\",TB,0x0,1)"},
        {Claim(0x10, "Blob", {Le(2, 4) + Bytes{0x0A, 0x0B}}), "(\"Blob\",TX,0x0,0a0b)"},
        {Claim(4, "Path", {Utf16("x") + Le(0, 2)}), "(attribute not shown)"},  // a type the text has no letters for
        {Claim(6, "Secret", {Le(2, 8)}), "(attribute not shown)"},           // neither true nor false
        {Claim(1, "Level", {Le(1, 4)}), "(attribute not shown)"},            // a value cut short
        {Claim(3, "Project", {Utf16("A")}), "(attribute not shown)"},        // a string without its end
        {{}, "(attribute not shown)"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.attribute);
        EXPECT_EQ(OwnText(OneAce(0x12, 0, 0, kWorld + row.claim)), std::string("D:(RA;;;;;WD;") + row.attribute + ")");
    }
}

// An ACE too short for its own layout makes the whole descriptor malformed,
// as does every cut of one with a condition.
TEST(SddlTextTest, RefusesAcesShortOfTheirLayout) {
    const struct {
        BYTE type;
        Bytes body;
    } cases[] = {
        {0x0B, Le(1, 4) + Bytes(kGuid.begin(), kGuid.begin() + 8)},  // a GUID cut
        {0x0B, Le(0, 4)},                                          // no SID after the object flags
        {0x0C, {1, 0}},                                            // object flags cut
        {0x09, Bytes(kWorld.begin(), kWorld.begin() + 10)},        // a SID cut
        {0x12, {}},                                                // no SID
    };
    for (const auto& row : cases) EXPECT_EQ(OwnText(OneAce(row.type, 0, 1, row.body)), "(not written)") << int(row.type);
    const Bytes whole = OneAce(0x0B, 0, 1, Le(1, 4) + kGuid + kWorld + Condition(Str("x")));
    ASSERT_NE(OwnText(whole), "(not written)");
    for (std::size_t size = 0; size < whole.size(); ++size)
        EXPECT_EQ(OwnText({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)}), "(not written)") << size;
}

// Descriptors of real objects, read from the object manager.
TEST(SddlTextTest, RealObjectsAgreeWithThePlatform) {
    ScratchDirectory scratch;
    const std::string paths[] = {"\\", "\\REGISTRY", "\\Device\\Null", "\\BaseNamedObjects",
                                 scratch.AddEvent("Event", true, false), scratch.AddDirectory("Directory")};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        OpenedObject opened = OpenAnyObject(path.c_str(), 0);
        ASSERT_TRUE(opened);
        std::vector<BYTE> descriptor(65536);
        ULONG needed = 0;
        ASSERT_EQ(NtQuerySecurityObject(opened.handle.get(), kAllParts & ~SACL_SECURITY_INFORMATION,
                                        descriptor.data(), static_cast<ULONG>(descriptor.size()), &needed),
                  kStatusSuccess);
        descriptor.resize(needed);
        EXPECT_EQ(OwnText(descriptor), PlatformSddl(descriptor));
    }
}

}  // namespace
