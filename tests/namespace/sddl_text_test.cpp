// The program's SDDL writer against the platform's own converter, which the
// program cannot use (NT 4.0 has none) but the tests can.
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
