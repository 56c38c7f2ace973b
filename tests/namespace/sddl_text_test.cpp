// The program's SDDL writer against the platform's own converter, which the
// program cannot use (NT 4.0 has none) but the tests can.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "namespace/object_opener.h"
#include "namespace/sddl_text.h"
#include "support/test_namespace.h"

namespace {

constexpr SECURITY_INFORMATION kAllParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;

struct LocalBlock {
    void operator()(void* block) const { LocalFree(block); }
};

std::string PlatformText(std::vector<BYTE>& descriptor) {
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1, kAllParts, &text,
                                                              nullptr))
        return "(the platform's converter failed)";
    std::unique_ptr<char, LocalBlock> owner(text);
    return text;
}

std::string OwnText(const std::vector<BYTE>& descriptor, SECURITY_INFORMATION parts = kAllParts) {
    std::string text = "(not written)";
    WriteSddl(descriptor.data(), descriptor.size(), parts, text);
    return text;
}

// A self-relative copy of a descriptor the test assembled.
std::vector<BYTE> SelfRelative(SECURITY_DESCRIPTOR& absolute) {
    std::vector<BYTE> bytes(4096);
    DWORD size = static_cast<DWORD>(bytes.size());
    if (!MakeSelfRelativeSD(&absolute, bytes.data(), &size)) return {};
    bytes.resize(size);
    return bytes;
}

// Owner and group of a descriptor made from text, put into an absolute one.
struct Assembled {
    explicit Assembled(const char* ownerAndGroup) : source(DescriptorFromSddl(ownerAndGroup)) {
        InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
        PSID sid = nullptr;
        BOOL defaulted = FALSE;
        if (GetSecurityDescriptorOwner(source.data(), &sid, &defaulted) && sid)
            SetSecurityDescriptorOwner(&absolute, sid, FALSE);
        if (GetSecurityDescriptorGroup(source.data(), &sid, &defaulted) && sid)
            SetSecurityDescriptorGroup(&absolute, sid, FALSE);
        InitializeAcl(reinterpret_cast<ACL*>(acl), sizeof acl, ACL_REVISION_DS);
    }
    ACL* Acl() { return reinterpret_cast<ACL*>(acl); }
    std::vector<BYTE> source;
    SECURITY_DESCRIPTOR absolute{};
    alignas(8) BYTE acl[512];
};

// SIDs as bytes: Everyone (S-1-1-0), and the low integrity label (S-1-16-4096).
const std::vector<BYTE> kWorld = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
const std::vector<BYTE> kLowLabel = {1, 1, 0, 0, 0, 0, 0, 16, 0, 0x10, 0, 0};

// An object ACE's part between mask and SID: its flags and one GUID.
std::vector<BYTE> ObjectPart(DWORD flags, const GUID& guid) {
    std::vector<BYTE> part(sizeof flags + sizeof guid);
    std::memcpy(part.data(), &flags, sizeof flags);
    std::memcpy(part.data() + sizeof flags, &guid, sizeof guid);
    return part;
}

// Appends an ACE laid out by hand: header, mask, the type's own part, SID.
void AddRawAce(ACL* acl, BYTE type, BYTE flags, ACCESS_MASK mask, const std::vector<BYTE>& part,
               const std::vector<BYTE>& sid) {
    std::vector<BYTE> ace(8);
    ace[0] = type;
    ace[1] = flags;
    ace.insert(ace.end(), part.begin(), part.end());
    ace.insert(ace.end(), sid.begin(), sid.end());
    const WORD size = static_cast<WORD>(ace.size());
    std::memcpy(&ace[2], &size, sizeof size);
    std::memcpy(&ace[4], &mask, sizeof mask);
    ASSERT_TRUE(AddAce(acl, ACL_REVISION_DS, MAXDWORD, ace.data(), size));
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
        EXPECT_EQ(OwnText(descriptor), PlatformText(descriptor));
    }
}

// What Windows' converter writes where Wine's writes otherwise or cannot be
// given the descriptor: a null DACL, the SACL's own inheritance flags,
// object and label ACEs, abbreviations Wine does not know, a wide authority.
TEST(SddlTextTest, WritesWhatWindowsWritesWhereWineDiffers) {
    Assembled nullDacl("O:SYG:SY");
    SetSecurityDescriptorDacl(&nullDacl.absolute, TRUE, nullptr, FALSE);
    SetSecurityDescriptorControl(&nullDacl.absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    EXPECT_EQ(OwnText(SelfRelative(nullDacl.absolute)), "O:SYG:SYD:PNO_ACCESS_CONTROL");

    std::vector<BYTE> saclFlags = DescriptorFromSddl("D:(A;;GA;;;WD)S:(AU;SA;GA;;;WD)");
    ASSERT_TRUE(SetSecurityDescriptorControl(saclFlags.data(), SE_SACL_PROTECTED | SE_SACL_AUTO_INHERITED,
                                             SE_SACL_PROTECTED | SE_SACL_AUTO_INHERITED));
    EXPECT_EQ(OwnText(saclFlags), "D:(A;;GA;;;WD)S:PAI(AU;SA;GA;;;WD)");

    // Object and label ACEs, laid out by hand: Wine builds neither.
    const GUID right = {0xab721a53, 0x1e2f, 0x11d0, {0x98, 0x19, 0x00, 0xaa, 0x00, 0x40, 0x52, 0x9b}};
    Assembled objectAce("G:BA");
    AddRawAce(objectAce.Acl(), ACCESS_ALLOWED_OBJECT_ACE_TYPE, CONTAINER_INHERIT_ACE, 0x100,
              ObjectPart(ACE_OBJECT_TYPE_PRESENT, right), kWorld);
    AddRawAce(objectAce.Acl(), ACCESS_DENIED_OBJECT_ACE_TYPE, 0, 0x30,
              ObjectPart(ACE_INHERITED_OBJECT_TYPE_PRESENT, right), kWorld);
    SetSecurityDescriptorDacl(&objectAce.absolute, TRUE, objectAce.Acl(), FALSE);
    EXPECT_EQ(OwnText(SelfRelative(objectAce.absolute)),
              "G:BAD:(OA;CI;CR;ab721a53-1e2f-11d0-9819-00aa0040529b;;WD)"
              "(OD;;RPWP;;ab721a53-1e2f-11d0-9819-00aa0040529b;WD)");

    Assembled label("O:S-1-5-32-559G:S-1-16-8448");
    AddRawAce(label.Acl(), SYSTEM_MANDATORY_LABEL_ACE_TYPE, 0,
              SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP, {}, kLowLabel);
    SetSecurityDescriptorSacl(&label.absolute, TRUE, label.Acl(), FALSE);
    EXPECT_EQ(OwnText(SelfRelative(label.absolute)), "O:LUG:MPS:(ML;;NWNR;;;LW)");

    Assembled wide("D:");
    SID_IDENTIFIER_AUTHORITY authority = {{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};
    PSID wideSid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&authority, 1, 7, 0, 0, 0, 0, 0, 0, 0, &wideSid));
    SetSecurityDescriptorOwner(&wide.absolute, wideSid, FALSE);
    EXPECT_EQ(OwnText(SelfRelative(wide.absolute)), "O:S-1-0x123456789abc-7");
    FreeSid(wideSid);
}

TEST(SddlTextTest, RightsUseLettersOnlyWhereEveryBitHasOne) {
    struct Case {
        ACCESS_MASK mask;
        bool label;
        const char* text;
    };
    const Case cases[] = {
        {0x001F01FF, false, "FA"},        {0x001F01FE, false, "0x1f01fe"},  {0x000F0000, false, "SDRCWDWO"},
        {0x00100000, false, "0x100000"},  {0xF0000000, false, "GAGXGWGR"},  {0x00020019, false, "KR"},
        {0x00000001, true, "NW"},         {0x00000007, true, "NWNRNX"},     {0x00000008, true, "0x8"},
        {0, false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(SddlRights(c.mask, c.label), c.text) << std::hex << c.mask;
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
        EXPECT_EQ(OwnText(descriptor), PlatformText(descriptor));
    }
}

}  // namespace
