#include <gtest/gtest.h>

#include <cstring>

#include "properties/security_apply.h"
#include "sheet_driver.h"
#include "support/test_namespace.h"

namespace {

constexpr char kEveryone[] = "S-1-1-0";
constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kModifyFailed[] = "Unable to modify the object's Security Information.";

// A page buffer and its flag, as the Security page keeps them.
struct PageBuffer {
    alignas(8) BYTE bytes[kSecurityDescriptorBufferSize];
    bool valid = false;
    PageBuffer() { std::memset(bytes, 0xCD, sizeof bytes); }
};

struct ApplyResult {
    DWORD result;
    DWORD status;
    std::vector<CaughtDialog> caught;
};

ApplyResult Apply(SecurityEditorKind kind, const std::string& path, PageBuffer& buffer, std::vector<BYTE> descriptor) {
    SecurityEditorContext context = {kind, path.c_str(), buffer.bytes, &buffer.valid};
    ApplyResult outcome{};
    outcome.status = 0xDEAD;
    DialogCatcher catcher;
    outcome.result = ApplySecurityCallback(nullptr, nullptr, reinterpret_cast<ULONG_PTR>(&context), descriptor.data(),
                                           nullptr, FALSE, FALSE, &outcome.status);
    outcome.caught = catcher.Caught();
    return outcome;
}

bool HasAce(const std::vector<AceView>& aces, BYTE type, const std::string& sid, ACCESS_MASK mask) {
    for (const AceView& ace : aces) {
        if (ace.type == type && ace.sid == sid && ace.mask == mask) return true;
    }
    return false;
}

bool TokenHasEnabled(const char* privilege) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    std::vector<BYTE> buffer(4096);
    DWORD length = 0;
    const BOOL read = GetTokenInformation(token, TokenPrivileges, buffer.data(), 4096, &length);
    CloseHandle(token);
    LUID wanted{};
    if (!read || !LookupPrivilegeValueA(nullptr, privilege, &wanted)) return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == wanted.LowPart && entry.Luid.HighPart == wanted.HighPart)
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return false;
}

void DisablePrivilege(const char* privilege) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES request = {};
    request.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, privilege, &request.Privileges[0].Luid);
    AdjustTokenPrivileges(token, FALSE, &request, 0, nullptr, nullptr);
    CloseHandle(token);
}

class SecurityApplyTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;
};

TEST_F(SecurityApplyTest, PermissionsWriteTheDaclAndReadItBack) {
    const std::string event = scratch.AddEvent("Event", true, false);
    PageBuffer buffer;
    ApplyResult outcome = Apply(kPermissionsEditor, event, buffer, DescriptorFromSddl("D:(A;;GA;;;WD)(D;;0x1;;;BA)"));
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.status, 1u);
    EXPECT_TRUE(outcome.caught.empty());

    std::vector<BYTE> onObject = QueryEventSecurity(event, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                                               DACL_SECURITY_INFORMATION);
    ASSERT_FALSE(onObject.empty());
    std::vector<AceView> aces = AcesOf(onObject.data(), false);
    EXPECT_TRUE(HasAce(aces, ACCESS_ALLOWED_ACE_TYPE, kEveryone, GENERIC_ALL));
    EXPECT_TRUE(HasAce(aces, ACCESS_DENIED_ACE_TYPE, kAdministrators, 0x1));
    // The page's buffer now holds owner, group and DACL as the object has them.
    ASSERT_TRUE(buffer.valid);
    EXPECT_EQ(std::vector<BYTE>(buffer.bytes, buffer.bytes + onObject.size()), onObject);
}

TEST_F(SecurityApplyTest, AuditingWritesTheSaclAndReadsBackOwnerGroupAndSacl) {
    EnableSecurityPrivileges();
    const std::string event = scratch.AddEvent("Event", true, false);
    PageBuffer buffer;
    ApplyResult outcome = Apply(kAuditingEditor, event, buffer, DescriptorFromSddl("S:(AU;SA;DT;;;WD)"));
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.status, 1u);
    EXPECT_TRUE(outcome.caught.empty());

    std::vector<BYTE> onObject = QueryEventSecurity(event, SACL_SECURITY_INFORMATION);
    ASSERT_FALSE(onObject.empty());
    std::vector<AceView> aces = AcesOf(onObject.data(), true);
    ASSERT_EQ(aces.size(), 1u);
    EXPECT_EQ(aces[0].type, SYSTEM_AUDIT_ACE_TYPE);
    EXPECT_EQ(aces[0].flags & SUCCESSFUL_ACCESS_ACE_FLAG, SUCCESSFUL_ACCESS_ACE_FLAG);
    EXPECT_EQ(aces[0].mask, static_cast<ACCESS_MASK>(DELETE));

    ASSERT_TRUE(buffer.valid);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(buffer.bytes, &control, &revision));
    EXPECT_TRUE(control & SE_SACL_PRESENT);
    EXPECT_FALSE(control & SE_DACL_PRESENT);  // 0x0B: no DACL in the auditing buffer
    EXPECT_EQ(AcesOf(buffer.bytes, true).size(), 1u);
    EXPECT_FALSE(OwnerOf(buffer.bytes).empty());
}

TEST_F(SecurityApplyTest, OwnershipWritesTheOwnerAndReadsBackTheDacl) {
    const std::string event = scratch.AddEvent("Event", true, false);
    ASSERT_TRUE(SetEventSecurity(event, DACL_SECURITY_INFORMATION, DescriptorFromSddl("D:(A;;GA;;;WD)")));
    PageBuffer buffer;
    ApplyResult outcome = Apply(kOwnershipEditor, event, buffer, DescriptorFromSddl("O:BA"));
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.status, 1u);
    EXPECT_TRUE(outcome.caught.empty());

    EXPECT_EQ(OwnerOf(QueryEventSecurity(event, OWNER_SECURITY_INFORMATION).data()), kAdministrators);
    ASSERT_TRUE(buffer.valid);
    EXPECT_EQ(OwnerOf(buffer.bytes), kAdministrators);
    EXPECT_TRUE(HasAce(AcesOf(buffer.bytes, false), ACCESS_ALLOWED_ACE_TYPE, kEveryone, GENERIC_ALL));
}

// A failed open or write is reported once; the editor still sees status 1 and
// result 0, and the page's buffer and flag stay as they were.
TEST_F(SecurityApplyTest, FailuresAreReportedAndLeaveThePageAlone) {
    const std::string event = scratch.AddEvent("Event", true, false);
    std::vector<BYTE> spoilt = DescriptorFromSddl("D:(A;;GA;;;WD)");
    spoilt[0] = 0;  // a revision no one knows
    struct Case {
        std::string path;
        std::vector<BYTE> descriptor;
    };
    const Case cases[] = {
        {event, spoilt},                                                        // the write fails
        {"\\ObjectTypes\\Directory", DescriptorFromSddl("D:(A;;GA;;;WD)")},     // nothing opens
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        PageBuffer buffer;
        buffer.valid = true;
        ApplyResult outcome = Apply(kPermissionsEditor, c.path, buffer, c.descriptor);
        EXPECT_EQ(outcome.result, 0u);
        EXPECT_EQ(outcome.status, 1u);
        ASSERT_EQ(outcome.caught.size(), 1u);
        EXPECT_TRUE(outcome.caught[0].isMessageBox);
        EXPECT_EQ(outcome.caught[0].text, kModifyFailed);
        EXPECT_EQ(outcome.caught[0].caption, "Tarnel");
        EXPECT_FALSE(outcome.caught[0].hasOwner);
        EXPECT_TRUE(buffer.valid);
        EXPECT_EQ(buffer.bytes[0], 0xCD);
    }
    EXPECT_TRUE(AcesOf(QueryEventSecurity(event, DACL_SECURITY_INFORMATION).data(), false).empty());
}

TEST(SecurityStartupTest, PrivilegesAreEnabled) {
    DisablePrivilege("SeSecurityPrivilege");
    DisablePrivilege("SeTakeOwnershipPrivilege");
    ASSERT_FALSE(TokenHasEnabled("SeSecurityPrivilege"));
    EnableSecurityPrivileges();
    EXPECT_TRUE(TokenHasEnabled("SeSecurityPrivilege"));
    EXPECT_TRUE(TokenHasEnabled("SeTakeOwnershipPrivilege"));
}

// The editor found is the stand-in beside the program, not the platform's own.
TEST(SecurityStartupTest, EditorIsBoundFromBesideTheProgram) {
    BindAclEditor();
    ASSERT_NE(AclEditor.discretionaryAclEditor, nullptr);
    ASSERT_NE(AclEditor.systemAclEditor, nullptr);
    ASSERT_NE(AclEditor.takeOwnership, nullptr);
    HMODULE editor = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(AclEditor.takeOwnership), &editor));
    char editorPath[MAX_PATH] = {};
    char programPath[MAX_PATH] = {};
    GetModuleFileNameA(editor, editorPath, MAX_PATH);
    GetModuleFileNameA(nullptr, programPath, MAX_PATH);
    std::string folder(programPath);
    folder.erase(folder.find_last_of('\\') + 1);
    EXPECT_STRCASEEQ(editorPath, (folder + "acledit.dll").c_str());
    EXPECT_EQ(GetModuleHandleA("acledit.dll"), editor);
}

}  // namespace
