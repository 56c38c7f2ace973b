#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

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
    const GENERIC_MAPPING* mapping;
    PSECURITY_DESCRIPTOR descriptor;
    std::wstring objectName, typeName;
    const SedHelpInfo* help;
};

std::vector<EditorCall> Calls;
DWORD FakeResult = 0;
std::function<void()> DuringEditor;

DWORD Record(ULONG_PTR context, const SedObjectTypeDescriptor* type, const SedApplicationAccesses* accesses,
             LPWSTR name, PSECURITY_DESCRIPTOR descriptor, LPWSTR typeName = nullptr,
             const SedHelpInfo* help = nullptr) {
    Calls.push_back({*reinterpret_cast<const SecurityEditorContext*>(context),
                     accesses != nullptr ? *accesses : SedApplicationAccesses{},
                     type != nullptr ? type->genericMapping : nullptr, descriptor, name,
                     typeName != nullptr ? typeName : L"", help});
    if (DuringEditor) DuringEditor();
    return FakeResult;
}

DWORD WINAPI FakeDiscretionary(HWND, HINSTANCE, LPWSTR, const SedObjectTypeDescriptor* type,
                               const SedApplicationAccesses* accesses, LPWSTR name, SedApplyCallback, ULONG_PTR context,
                               PSECURITY_DESCRIPTOR descriptor, BOOLEAN, BOOLEAN, LPDWORD, DWORD) {
    return Record(context, type, accesses, name, descriptor);
}
DWORD WINAPI FakeSystem(HWND, HINSTANCE, LPWSTR, const SedObjectTypeDescriptor* type,
                        const SedApplicationAccesses* accesses, LPWSTR name, SedApplyCallback, ULONG_PTR context,
                        PSECURITY_DESCRIPTOR descriptor, BOOLEAN, LPDWORD, DWORD) {
    return Record(context, type, accesses, name, descriptor);
}
DWORD WINAPI FakeOwnership(HWND, HINSTANCE, LPWSTR, LPWSTR typeName, LPWSTR name, UINT, SedApplyCallback,
                           ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN, BOOLEAN, LPDWORD,
                           const SedHelpInfo* help, DWORD) {
    return Record(context, nullptr, nullptr, name, descriptor, typeName, help);
}

constexpr int kAllButtons[] = {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP};
constexpr char kNoSecurityPermission[] =
    "You do not have permission to view the Security Information for\nthis object.";

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
        const EditorCall& permissions = Calls[0];
        EXPECT_EQ(permissions.context.kind, kPermissionsEditor);
        EXPECT_EQ(permissions.accesses.accessGroup, c.table);
        EXPECT_EQ(permissions.accesses.count, c.rows);
        EXPECT_EQ(permissions.mapping, c.mapping);
        EXPECT_EQ(permissions.descriptor, SecurityPage.daclDescriptor);
        EXPECT_EQ(permissions.context.descriptorValid, &SecurityPage.daclReadable);
        EXPECT_STREQ(permissions.context.path, c.path.c_str());
        EXPECT_EQ(permissions.objectName, std::wstring(c.path.begin(), c.path.end()));

        const EditorCall& auditing = Calls[1];
        EXPECT_EQ(auditing.context.kind, kAuditingEditor);
        EXPECT_EQ(auditing.accesses.accessGroup, AuditAccesses);
        EXPECT_EQ(auditing.accesses.count, 7u);
        EXPECT_EQ(auditing.mapping, c.mapping);
        EXPECT_EQ(auditing.descriptor, SecurityPage.saclDescriptor);
        EXPECT_EQ(auditing.context.descriptorValid, &SecurityPage.saclReadable);

        const EditorCall& ownership = Calls[2];
        EXPECT_EQ(ownership.context.kind, kOwnershipEditor);
        EXPECT_EQ(ownership.typeName, L"&Object");
        EXPECT_EQ(ownership.help, &SecurityHelpInfo);
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
// the button stays enabled to say so.
TEST_F(SecurityPageTest, OversizedDescriptorReportsMissingPermission) {
    const std::string event = scratch.AddEvent("Large", true, false);
    std::string sddl = "D:(A;;GA;;;WD)";
    for (int i = 0; i < 320; ++i) sddl += "(A;;0x1;;;S-1-5-21-1-2-3-" + std::to_string(1000 + i) + ")";
    ASSERT_TRUE(SetEventSecurity(event, DACL_SECURITY_INFORMATION, DescriptorFromSddl(sddl.c_str())));
    ASSERT_GT(QueryEventSecurity(event, DACL_SECURITY_INFORMATION).size(), kSecurityDescriptorBufferSize);

    EXPECT_EQ(Press(event, {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_OWNERSHIP}),
              (std::vector<std::string>{kNoSecurityPermission, kNoSecurityPermission}));
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
