#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "properties/security_apply.h"
#include "sheet_driver.h"
#include "support/beside_program.h"
#include "support/test_namespace.h"

namespace {

constexpr char kEveryone[] = "S-1-1-0";
constexpr char kAdministrators[] = "S-1-5-32-544";

// A page buffer and its flag, as the Security page keeps them.
struct PageBuffer {
    alignas(8) BYTE bytes[kSecurityDescriptorBufferSize];
    bool valid = false;
    PageBuffer() { std::memset(bytes, 0xCD, sizeof bytes); }
};

struct ApplyOutcome {
    DWORD result;
    DWORD status = 0xDEAD;
    std::vector<std::string> messages;
};

ApplyOutcome Apply(SecurityEditorKind kind, const std::string& path, PageBuffer& buffer, std::vector<BYTE> descriptor) {
    SecurityEditorContext context = {kind, path.c_str(), buffer.bytes, &buffer.valid};
    ApplyOutcome outcome{};
    DialogCatcher catcher;
    outcome.result = ApplySecurityCallback(nullptr, nullptr, reinterpret_cast<ULONG_PTR>(&context), descriptor.data(),
                                           nullptr, FALSE, FALSE, &outcome.status);
    for (const CaughtDialog& c : catcher.Caught()) EXPECT_FALSE(c.hasOwner);
    outcome.messages = MessagesOf(catcher.Caught());
    return outcome;
}

bool HasAce(PSECURITY_DESCRIPTOR descriptor, bool sacl, BYTE type, const std::string& sid, ACCESS_MASK mask) {
    for (const AceView& ace : AcesOf(descriptor, sacl)) {
        if (ace.type == type && ace.sid == sid && ace.mask == mask) return true;
    }
    return false;
}

// Whether the process token has the privilege enabled; set first when `enable` is 0 or 1.
bool PrivilegeEnabled(const char* name, int enable = -1) {
    HANDLE token = nullptr;
    LUID luid{};
    if (!LookupPrivilegeValueA(nullptr, name, &luid) ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token))
        return false;
    UniqueWin32Handle owner(token);
    TOKEN_PRIVILEGES request = {1, {{luid, enable == 1 ? static_cast<DWORD>(SE_PRIVILEGE_ENABLED) : 0}}};
    if (enable >= 0) AdjustTokenPrivileges(token, FALSE, &request, 0, nullptr, nullptr);
    alignas(8) BYTE buffer[4096];
    DWORD length = 0;
    if (!GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &length)) return false;
    const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < held->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = held->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart)
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return false;
}

class SecurityApplyTest : public ::testing::Test {
protected:
    ScratchDirectory scratch;
};

TEST_F(SecurityApplyTest, PermissionsWriteTheDaclAndReadItBack) {
    const std::string event = scratch.AddEvent("Event", true, false);
    PageBuffer buffer;
    ApplyOutcome outcome = Apply(kPermissionsEditor, event, buffer, DescriptorFromSddl("D:(A;;GA;;;WD)(D;;0x1;;;BA)"));
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.status, 1u);
    EXPECT_TRUE(outcome.messages.empty());

    std::vector<BYTE> onObject = QueryEventSecurity(event, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                                               DACL_SECURITY_INFORMATION);
    ASSERT_FALSE(onObject.empty());
    EXPECT_TRUE(HasAce(onObject.data(), false, ACCESS_ALLOWED_ACE_TYPE, kEveryone, GENERIC_ALL));
    EXPECT_TRUE(HasAce(onObject.data(), false, ACCESS_DENIED_ACE_TYPE, kAdministrators, 0x1));
    // The page's buffer now holds owner, group and DACL as the object has them.
    ASSERT_TRUE(buffer.valid);
    EXPECT_EQ(std::vector<BYTE>(buffer.bytes, buffer.bytes + onObject.size()), onObject);
}

TEST_F(SecurityApplyTest, AuditingWritesTheSaclAndReadsBackWithoutTheDacl) {
    EnableSecurityPrivileges();
    const std::string event = scratch.AddEvent("Event", true, false);
    ASSERT_TRUE(SetEventSecurity(event, DACL_SECURITY_INFORMATION, DescriptorFromSddl("D:(A;;GA;;;WD)")));
    PageBuffer buffer;
    ApplyOutcome outcome = Apply(kAuditingEditor, event, buffer, DescriptorFromSddl("S:(AU;SA;SD;;;WD)"));
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.status, 1u);
    EXPECT_TRUE(outcome.messages.empty());

    std::vector<BYTE> onObject = QueryEventSecurity(event, SACL_SECURITY_INFORMATION);
    ASSERT_FALSE(onObject.empty());
    std::vector<AceView> aces = AcesOf(onObject.data(), true);
    ASSERT_EQ(aces.size(), 1u);
    EXPECT_EQ(aces[0].type, SYSTEM_AUDIT_ACE_TYPE);
    EXPECT_EQ(aces[0].flags, SUCCESSFUL_ACCESS_ACE_FLAG);
    EXPECT_EQ(aces[0].mask, static_cast<ACCESS_MASK>(DELETE));
    // Owner, group and SACL came back; the object's DACL did not.
    ASSERT_TRUE(buffer.valid);
    EXPECT_EQ(AcesOf(buffer.bytes, true).size(), 1u);
    EXPECT_TRUE(AcesOf(buffer.bytes, false).empty());
    EXPECT_FALSE(OwnerOf(buffer.bytes).empty());
}

TEST_F(SecurityApplyTest, OwnershipWritesTheOwnerAndReadsBackTheDacl) {
    const std::string event = scratch.AddEvent("Event", true, false);
    ASSERT_TRUE(SetEventSecurity(event, DACL_SECURITY_INFORMATION, DescriptorFromSddl("D:(A;;GA;;;WD)")));
    PageBuffer buffer;
    ApplyOutcome outcome = Apply(kOwnershipEditor, event, buffer, DescriptorFromSddl("O:BA"));
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.status, 1u);
    EXPECT_EQ(OwnerOf(QueryEventSecurity(event, OWNER_SECURITY_INFORMATION).data()), kAdministrators);
    ASSERT_TRUE(buffer.valid);
    EXPECT_EQ(OwnerOf(buffer.bytes), kAdministrators);
    EXPECT_TRUE(HasAce(buffer.bytes, false, ACCESS_ALLOWED_ACE_TYPE, kEveryone, GENERIC_ALL));
}

// A failed open or write is reported once; the editor still sees status 1 and
// result 0, and the page's buffer and flag stay as they were.
TEST_F(SecurityApplyTest, FailuresAreReportedAndLeaveThePageAlone) {
    const std::string event = scratch.AddEvent("Event", true, false);
    std::vector<BYTE> spoilt = DescriptorFromSddl("D:(A;;GA;;;WD)");
    spoilt[0] = 0;  // a revision no one knows: the write fails
    const std::pair<std::string, std::vector<BYTE>> cases[] = {
        {event, spoilt},
        {"\\ObjectTypes\\Directory", DescriptorFromSddl("D:(A;;GA;;;WD)")},  // nothing opens
    };
    for (const auto& [path, descriptor] : cases) {
        SCOPED_TRACE(path);
        PageBuffer buffer;
        buffer.valid = true;
        ApplyOutcome outcome = Apply(kPermissionsEditor, path, buffer, descriptor);
        EXPECT_EQ(outcome.result, 0u);
        EXPECT_EQ(outcome.status, 1u);
        EXPECT_EQ(outcome.messages, std::vector<std::string>{"Unable to modify the object's Security Information."});
        EXPECT_TRUE(buffer.valid);
        EXPECT_EQ(buffer.bytes[0], 0xCD);
    }
    EXPECT_TRUE(AcesOf(QueryEventSecurity(event, DACL_SECURITY_INFORMATION).data(), false).empty());
}

// A context that names no editor, or none at all, is reported as a failed
// write; the editor still sees status 1 and result 0.
TEST_F(SecurityApplyTest, CallbackWithoutAUsableContextReportsAFailure) {
    std::vector<BYTE> descriptor = DescriptorFromSddl("D:(A;;GA;;;WD)");
    PageBuffer buffer;
    SecurityEditorContext unknownKind = {7, "\\", buffer.bytes, &buffer.valid};
    for (const SecurityEditorContext* context : {static_cast<const SecurityEditorContext*>(nullptr),
                                                 static_cast<const SecurityEditorContext*>(&unknownKind)}) {
        DWORD status = 0xDEAD;
        DialogCatcher catcher;
        EXPECT_EQ(ApplySecurityCallback(nullptr, nullptr, reinterpret_cast<ULONG_PTR>(context), descriptor.data(),
                                        nullptr, FALSE, FALSE, &status),
                  0u);
        EXPECT_EQ(status, 1u);
        EXPECT_EQ(MessagesOf(catcher.Caught()),
                  std::vector<std::string>{"Unable to modify the object's Security Information."});
    }
    EXPECT_EQ(buffer.bytes[0], 0xCD);
}

// An object that only its device name opens is written through that handle.
TEST_F(SecurityApplyTest, DeviceNameFallbackIsWrittenThroughItsHandle) {
    PageBuffer buffer;
    ApplyOutcome outcome = Apply(kOwnershipEditor, "\\NUL", buffer, DescriptorFromSddl("O:BA"));
    EXPECT_EQ(outcome.status, 1u);
    EXPECT_TRUE(outcome.messages.empty());
    ASSERT_TRUE(buffer.valid);
    EXPECT_EQ(OwnerOf(buffer.bytes), kAdministrators);
}

TEST(SecurityStartupTest, PrivilegesAreEnabled) {
    ASSERT_FALSE(PrivilegeEnabled("SeSecurityPrivilege", 0));
    ASSERT_FALSE(PrivilegeEnabled("SeTakeOwnershipPrivilege", 0));
    EnableSecurityPrivileges();
    EXPECT_TRUE(PrivilegeEnabled("SeSecurityPrivilege"));
    EXPECT_TRUE(PrivilegeEnabled("SeTakeOwnershipPrivilege"));
}

// The module an address lies in.
HMODULE ModuleOf(const void* address) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) != sizeof region) return nullptr;
    return static_cast<HMODULE>(region.AllocationBase);
}

// The system's acledit.dll is used where it works. Wine's (the system's here)
// exports the three names as stubs, so the program's own editor stands in for
// it; a system editor that is not one of Wine's builtins is taken as it is.
TEST(AclEditorChoiceTest, SystemEditorUnlessItIsWinesStubs) {
    const std::string standIn = BesideThisProgram("tarnel-acledit.dll");

    HMODULE system = LoadLibraryA("acledit.dll");
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(IsWineBuiltinModule(system));
    EXPECT_FALSE(IsWineBuiltinModule(LoadLibraryA(standIn.c_str())));
    BindAclEditor();
    EXPECT_EQ(ModuleOf(reinterpret_cast<const void*>(AclEditor.discretionaryAclEditor)), GetModuleHandleA(standIn.c_str()));
    EXPECT_EQ(ModuleOf(reinterpret_cast<const void*>(AclEditor.takeOwnership)), GetModuleHandleA(standIn.c_str()));

    // A working editor where the system keeps its own: here, the stand-in under the system's name.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "tarnel-system-editor-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string working = folder + "\\acledit.dll";
    ASSERT_TRUE(CopyFileA(standIn.c_str(), working.c_str(), FALSE));
    HMODULE chosen = ChooseAclEditorLibrary(working.c_str(), standIn.c_str());
    EXPECT_EQ(chosen, GetModuleHandleA(working.c_str()));
    EXPECT_NE(chosen, GetModuleHandleA(standIn.c_str()));
    const AclEditorEntryPoints entryPoints = AclEditorEntryPointsOf(chosen);
    EXPECT_EQ(ModuleOf(reinterpret_cast<const void*>(entryPoints.systemAclEditor)), chosen);
    FreeLibrary(chosen);
    DeleteFileA(working.c_str());
    RemoveDirectoryA(folder.c_str());
    FreeLibrary(system);
}

}  // namespace
