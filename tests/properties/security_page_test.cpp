#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "properties/access_tables.h"
#include "properties/security_page.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/test_namespace.h"

namespace {

// One call of a fake editor, with what the page handed over.
struct EditorCall {
    SecurityEditorContext context;  // as it was during the call
    SedApplicationAccesses accesses;  // none for the ownership editor
    std::optional<SedObjectTypeDescriptor> type;  // none for the ownership editor
    PSECURITY_DESCRIPTOR descriptor;
    std::wstring objectName, typeName;
    const SedHelpInfo* help;
    SedApplyCallback apply;
    bool fixedArguments;  // every argument with a fixed value had it
};

std::vector<EditorCall> Calls;
DWORD FakeResult = 0;
std::function<void()> DuringEditor;

// What every editor call shares: no owner, instance or server, a status word, flags 0.
bool FixedArguments(HWND owner, HINSTANCE instance, LPWSTR server, LPDWORD status, DWORD flags) {
    return owner == nullptr && instance == nullptr && server == nullptr && status != nullptr && flags == 0;
}

DWORD Record(bool fixed, ULONG_PTR context, const SedObjectTypeDescriptor* type,
             const SedApplicationAccesses* accesses, LPWSTR name, SedApplyCallback apply,
             PSECURITY_DESCRIPTOR descriptor, LPWSTR typeName = nullptr, const SedHelpInfo* help = nullptr) {
    Calls.push_back({*reinterpret_cast<const SecurityEditorContext*>(context),
                     accesses != nullptr ? *accesses : SedApplicationAccesses{},
                     type != nullptr ? std::optional<SedObjectTypeDescriptor>(*type) : std::nullopt, descriptor, name,
                     typeName != nullptr ? typeName : L"", help, apply, fixed});
    if (DuringEditor) DuringEditor();
    return FakeResult;
}

DWORD WINAPI FakeDiscretionary(HWND owner, HINSTANCE instance, LPWSTR server, const SedObjectTypeDescriptor* type,
                               const SedApplicationAccesses* accesses, LPWSTR name, SedApplyCallback apply,
                               ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN notReadable,
                               BOOLEAN notWritable, LPDWORD status, DWORD flags) {
    const bool fixed = FixedArguments(owner, instance, server, status, flags) && !notReadable && !notWritable;
    return Record(fixed, context, type, accesses, name, apply, descriptor);
}
DWORD WINAPI FakeSystem(HWND owner, HINSTANCE instance, LPWSTR server, const SedObjectTypeDescriptor* type,
                        const SedApplicationAccesses* accesses, LPWSTR name, SedApplyCallback apply,
                        ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN notEditable, LPDWORD status,
                        DWORD flags) {
    const bool fixed = FixedArguments(owner, instance, server, status, flags) && !notEditable;
    return Record(fixed, context, type, accesses, name, apply, descriptor);
}
DWORD WINAPI FakeOwnership(HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR typeName, LPWSTR name,
                           UINT objectCount, SedApplyCallback apply, ULONG_PTR context,
                           PSECURITY_DESCRIPTOR descriptor, BOOLEAN notReadable, BOOLEAN notWritable,
                           LPDWORD status, const SedHelpInfo* help, DWORD flags) {
    const bool fixed =
        FixedArguments(owner, instance, server, status, flags) && objectCount == 1 && !notReadable && !notWritable;
    return Record(fixed, context, nullptr, nullptr, name, apply, descriptor, typeName, help);
}

// The object type descriptor the permissions and auditing editors get, with
// the generic mapping of the object's kind.
void ExpectObjectTypeDescriptor(const std::optional<SedObjectTypeDescriptor>& type, const GENERIC_MAPPING* mapping) {
    ASSERT_TRUE(type.has_value());
    EXPECT_EQ(type->revision, 1);
    EXPECT_TRUE(type->isContainer);
    EXPECT_FALSE(type->allowNewObjectPermissions);
    EXPECT_FALSE(type->mapSpecificToGeneric);
    EXPECT_EQ(type->genericMapping, mapping);
    EXPECT_EQ(type->genericMappingNewObjects, mapping);
    EXPECT_STREQ(type->objectTypeName, L"Object");
    EXPECT_EQ(type->helpInfo, &SecurityHelpInfo);
    EXPECT_EQ(type->applyToSubcontainersTitle, nullptr);
    EXPECT_EQ(type->applyToObjectsTitle, nullptr);
    EXPECT_EQ(type->applyToSubcontainersConfirmation, nullptr);
    EXPECT_STREQ(type->specialObjectAccessTitle, L"Special Access...");
    EXPECT_EQ(type->specialNewObjectAccessTitle, nullptr);
}

constexpr int kAllButtons[] = {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP};
constexpr char kNoSecurityPermission[] =
    "You do not have permission to view the Security Information for\nthis object.";
constexpr char kNoAuditPermission[] = "You do not have permission to view the Audit Information for\nthis object.";

class SecurityPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    void SetUp() override {
        saved_ = AclEditor;
        AclEditor = {FakeDiscretionary, FakeSystem, FakeOwnership};
        FakeResult = 0;
        DuringEditor = nullptr;
    }
    void TearDown() override {
        AclEditor = saved_;
        Calls.clear();
    }

    // Opens the sheet for path, brings up the Security page and presses the
    // buttons in turn; returns the texts of the messages, all ownerless.
    static std::vector<std::string> Press(const std::string& path, std::vector<int> buttons) {
        std::vector<CaughtDialog> caught = RunPropertySheet(path.c_str(), [&](HWND sheet) {
            HWND page = ShowPage(sheet, 1);
            for (int id : buttons) PressButton(page, id);
        });
        for (const CaughtDialog& c : caught) EXPECT_FALSE(c.isMessageBox && c.hasOwner) << c.text;
        return MessagesOf(caught);
    }

    ScratchDirectory scratch;

private:
    AclEditorEntryPoints saved_{};
};

TEST_F(SecurityPageTest, KindChoosesTableAndMapping) {
    struct Case {
        std::string path;
        SecurityObjectKind kind;
        const SedApplicationAccess* table;
        ULONG rows;
        const GENERIC_MAPPING* mapping;
    };
    const Case cases[] = {
        {"\\", SecurityObjectKind::Directory, DirectoryAccesses, 22, &ObjectGenericMapping},
        {"\\REGISTRY", SecurityObjectKind::Key, KeyAccesses, 12, &KeyGenericMapping},
        {"\\Device\\Null", SecurityObjectKind::Device, DeviceAccesses, 11, &ObjectGenericMapping},
        {"\\NUL", SecurityObjectKind::Device, DeviceAccesses, 11, &ObjectGenericMapping},  // device-name fallback
        {scratch.AddEvent("Event", true, false), SecurityObjectKind::Other, OtherObjectAccesses, 12,
         &ObjectGenericMapping},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Calls.clear();
        EXPECT_TRUE(Press(c.path, {std::begin(kAllButtons), std::end(kAllButtons)}).empty());
        EXPECT_EQ(SecurityPage.kind, c.kind);
        ASSERT_EQ(Calls.size(), 3u);
        for (const EditorCall& call : Calls) {
            EXPECT_TRUE(call.fixedArguments);
            EXPECT_EQ(call.apply, ApplySecurityCallback);
            EXPECT_EQ(call.accesses.defaultPermissionName, nullptr);
        }
        const EditorCall& permissions = Calls[0];
        EXPECT_EQ(permissions.context.kind, kPermissionsEditor);
        EXPECT_EQ(permissions.accesses.accessGroup, c.table);
        EXPECT_EQ(permissions.accesses.count, c.rows);
        ExpectObjectTypeDescriptor(permissions.type, c.mapping);
        EXPECT_EQ(permissions.descriptor, SecurityPage.daclDescriptor);
        EXPECT_EQ(permissions.context.descriptorValid, &SecurityPage.daclReadable);
        EXPECT_STREQ(permissions.context.name.path, c.path.c_str());
        EXPECT_EQ(permissions.objectName, std::wstring(c.path.begin(), c.path.end()));

        const EditorCall& auditing = Calls[1];
        EXPECT_EQ(auditing.context.kind, kAuditingEditor);
        EXPECT_EQ(auditing.accesses.accessGroup, AuditAccesses);
        EXPECT_EQ(auditing.accesses.count, 7u);
        ExpectObjectTypeDescriptor(auditing.type, c.mapping);
        EXPECT_EQ(auditing.descriptor, SecurityPage.saclDescriptor);
        EXPECT_EQ(auditing.context.descriptorValid, &SecurityPage.saclReadable);

        const EditorCall& ownership = Calls[2];
        EXPECT_EQ(ownership.context.kind, kOwnershipEditor);
        EXPECT_EQ(ownership.typeName, L"&Object");
        EXPECT_EQ(ownership.help, &SecurityHelpInfo);
        EXPECT_FALSE(ownership.type.has_value());
        EXPECT_EQ(ownership.descriptor, SecurityPage.daclDescriptor);
        EXPECT_EQ(ownership.context.descriptorValid, &SecurityPage.daclReadable);
    }
}

TEST_F(SecurityPageTest, UnopenableObjectLeavesOnlyOwnershipEnabled) {
    Press("\\REGISTRY", {});  // a kind left over from this page would show below
    ASSERT_EQ(SecurityPage.kind, SecurityObjectKind::Key);
    bool enabled[3] = {};
    std::vector<CaughtDialog> caught =
        RunOnePageSheet("SECURITY", SecurityPageProc, "\\ObjectTypes\\Directory", [&](HWND sheet) {
            HWND page = ShowPage(sheet, 0);
            for (int i = 0; i < 3; ++i) enabled[i] = IsWindowEnabled(GetDlgItem(page, kAllButtons[i]));
            PressButton(page, IDC_SECURITY_OWNERSHIP);
        });
    EXPECT_FALSE(enabled[0]);
    EXPECT_FALSE(enabled[1]);
    EXPECT_TRUE(enabled[2]);
    EXPECT_EQ(MessagesOf(caught), std::vector<std::string>{kNoSecurityPermission});
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(SecurityPage.kind, SecurityObjectKind::Other);
    EXPECT_EQ(SecurityPage.objectTypeDescriptor.genericMapping, &ObjectGenericMapping);
}

// A descriptor too large for the page's buffer reads as not permitted, while
// the buttons stay enabled to say so: clicked as a user clicks them (a
// disabled button would report nothing), each gives its message.
TEST_F(SecurityPageTest, OversizedDescriptorsReportMissingPermission) {
    EnableSecurityPrivileges();
    const std::string event = scratch.AddEvent("Large", true, false);
    std::string dacl = "D:(A;;GA;;;WD)";
    std::string sacl = "S:";
    for (int i = 0; i < 320; ++i) {
        dacl += "(A;;0x1;;;S-1-5-21-1-2-3-" + std::to_string(1000 + i) + ")";
        sacl += "(AU;SA;0x1;;;S-1-5-21-1-2-3-" + std::to_string(1000 + i) + ")";
    }
    ASSERT_TRUE(SetEventSecurity(event, DACL_SECURITY_INFORMATION, DescriptorFromSddl(dacl.c_str())));
    ASSERT_TRUE(SetEventSecurity(event, SACL_SECURITY_INFORMATION, DescriptorFromSddl(sacl.c_str())));
    ASSERT_GT(QueryEventSecurity(event, DACL_SECURITY_INFORMATION).size(), kSecurityDescriptorBufferSize);
    ASSERT_GT(QueryEventSecurity(event, SACL_SECURITY_INFORMATION).size(), kSecurityDescriptorBufferSize);

    std::vector<CaughtDialog> caught = RunPropertySheet(event.c_str(), [](HWND sheet) {
        HWND page = ShowPage(sheet, 1);
        for (int id : kAllButtons) SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(MessagesOf(caught), (std::vector<std::string>{kNoSecurityPermission, kNoAuditPermission,
                                                            kNoSecurityPermission}));
    EXPECT_TRUE(Calls.empty());
}

TEST_F(SecurityPageTest, EditorFailuresAreExplained) {
    const std::string event = scratch.AddEvent("Event", true, false);
    const std::vector<int> buttons(std::begin(kAllButtons), std::end(kAllButtons));
    FakeResult = 5;
    EXPECT_EQ(Press(event, buttons),
              (std::vector<std::string>{"The ACL Editor does not understand the Security Information.",
                                        "The SACL Editor does not understand the Security Information.",
                                        "The Ownership Editor does not understand the Security Information."}));

    // An editor that spoilt the descriptor: the page tests it, except after auditing.
    DuringEditor = [] { SecurityPage.daclDescriptor[0] = SecurityPage.saclDescriptor[0] = 0; };
    EXPECT_EQ(Press(event, buttons),
              (std::vector<std::string>{"The Security Information is invalid.",
                                        "The SACL Editor does not understand the Security Information.",
                                        "The Security Information is invalid."}));

    FakeResult = 0;
    EXPECT_TRUE(Press(event, buttons).empty());
    EXPECT_EQ(Calls.size(), 9u);
}

TEST_F(SecurityPageTest, MissingEntryPointsAreNeverCalled) {
    AclEditor = {};
    EXPECT_EQ(Press(scratch.AddEvent("Event", true, false), {std::begin(kAllButtons), std::end(kAllButtons)}),
              (std::vector<std::string>{"The ACL Editor is not available.", "The SACL Editor is not available.",
                                        "The Ownership Editor is not available."}));
}

// While an editor runs, the sheet is disabled and a second press starts nothing.
TEST_F(SecurityPageTest, OneEditorAtATime) {
    HWND page = nullptr;
    bool sheetEnabledDuring = true, sheetEnabledAfter = false;
    DuringEditor = [&] {
        sheetEnabledDuring = IsWindowEnabled(GetParent(page));
        PressButton(page, IDC_SECURITY_PERMISSIONS);
        PressButton(page, IDC_SECURITY_OWNERSHIP);
    };
    RunPropertySheet(scratch.AddEvent("Event", true, false).c_str(), [&](HWND sheet) {
        page = ShowPage(sheet, 1);
        PressButton(page, IDC_SECURITY_PERMISSIONS);
        sheetEnabledAfter = IsWindowEnabled(sheet);
    });
    EXPECT_EQ(Calls.size(), 1u);
    EXPECT_FALSE(sheetEnabledDuring);
    EXPECT_TRUE(sheetEnabledAfter);
}

// Bytes above 0x7F reach the editors as characters of the ANSI code page,
// not as the code points of the same number.
TEST_F(SecurityPageTest, ObjectNameIsWidenedThroughTheAnsiCodePage) {
    const std::string path = scratch.PathOf("Price\x80");
    wchar_t expected[kSecurityPathSize] = {};
    ASSERT_NE(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, expected, kSecurityPathSize), 0);
    if (expected[path.size() - 1] == 0x80) GTEST_SKIP() << "the ANSI code page keeps 0x80 as it is";
    RunOnePageSheet("SECURITY", SecurityPageProc, path.c_str(), [](HWND sheet) { ShowPage(sheet, 0); });
    EXPECT_EQ(std::wstring(SecurityPage.objectName), std::wstring(expected));
}

}  // namespace
