#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <iterator>

#include "namespace/object_opener.h"
#include "properties/access_tables.h"
#include "properties/security_page.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/test_namespace.h"

namespace {

// One call of a fake editor, with what the page handed over.
struct EditorCall {
    ULONG kind;  // the editor context's kind
    const SedApplicationAccess* table = nullptr;
    ULONG rows = 0;
    const GENERIC_MAPPING* mapping = nullptr;
    std::wstring objectName;
    std::wstring typeName;
    const SedHelpInfo* help = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const SecurityEditorContext* context = nullptr;
};

std::vector<EditorCall> Calls;
DWORD FakeResult = 0;
std::function<void()> DuringEditor;  // runs inside each fake editor call

EditorCall StartCall(ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, LPWSTR objectName) {
    EditorCall call;
    call.context = reinterpret_cast<const SecurityEditorContext*>(context);
    call.kind = call.context->kind;
    call.descriptor = descriptor;
    call.objectName = objectName;
    return call;
}

DWORD Finish(EditorCall call) {
    Calls.push_back(call);
    if (DuringEditor) DuringEditor();
    return FakeResult;
}

DWORD WINAPI FakeDiscretionary(HWND, HINSTANCE, LPWSTR, const SedObjectTypeDescriptor* type,
                               const SedApplicationAccesses* accesses, LPWSTR name, SedApplyCallback, ULONG_PTR context,
                               PSECURITY_DESCRIPTOR descriptor, BOOLEAN, BOOLEAN, LPDWORD, DWORD) {
    EditorCall call = StartCall(context, descriptor, name);
    call.table = accesses->accessGroup;
    call.rows = accesses->count;
    call.mapping = type->genericMapping;
    return Finish(call);
}

DWORD WINAPI FakeSystem(HWND, HINSTANCE, LPWSTR, const SedObjectTypeDescriptor* type,
                        const SedApplicationAccesses* accesses, LPWSTR name, SedApplyCallback, ULONG_PTR context,
                        PSECURITY_DESCRIPTOR descriptor, BOOLEAN, LPDWORD, DWORD) {
    EditorCall call = StartCall(context, descriptor, name);
    call.table = accesses->accessGroup;
    call.rows = accesses->count;
    call.mapping = type->genericMapping;
    return Finish(call);
}

DWORD WINAPI FakeOwnership(HWND, HINSTANCE, LPWSTR, LPWSTR typeName, LPWSTR name, UINT, SedApplyCallback,
                           ULONG_PTR context, PSECURITY_DESCRIPTOR descriptor, BOOLEAN, BOOLEAN, LPDWORD,
                           const SedHelpInfo* help, DWORD) {
    EditorCall call = StartCall(context, descriptor, name);
    call.typeName = typeName;
    call.help = help;
    return Finish(call);
}

class SecurityPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }
    void SetUp() override {
        saved_ = AclEditor;
        AclEditor = {FakeDiscretionary, FakeSystem, FakeOwnership};
        Calls.clear();
        FakeResult = 0;
        DuringEditor = nullptr;
    }
    void TearDown() override {
        AclEditor = saved_;
        DuringEditor = nullptr;
    }

    // Shows the sheet for path, brings up the Security page and presses the
    // given buttons in turn. Returns the message boxes' texts.
    std::vector<std::string> PressOnSecurityPage(const std::string& path, std::initializer_list<int> buttons) {
        std::vector<CaughtDialog> caught = RunPropertySheet(path.c_str(), [&](HWND sheet) {
            HWND page = ShowPage(sheet, 1);
            for (int id : buttons) PressButton(page, id);
        });
        return MessagesOf(caught);
    }

    static std::vector<std::string> MessagesOf(const std::vector<CaughtDialog>& caught) {
        std::vector<std::string> texts;
        for (const CaughtDialog& c : caught) {
            if (!c.isMessageBox) continue;
            EXPECT_EQ(c.caption, "Tarnel");
            EXPECT_FALSE(c.hasOwner);
            texts.push_back(c.text);
        }
        return texts;
    }

    ScratchDirectory scratch;

private:
    AclEditorEntryPoints saved_{};
};

constexpr char kNoSecurityPermission[] =
    "You do not have permission to view the Security Information for\nthis object.";

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
        {scratch.AddSymbolicLink("Link", "\\Device\\Null"), SecurityObjectKind::Other, OtherObjectAccesses, 12,
         &ObjectGenericMapping},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Calls.clear();
        std::vector<std::string> messages =
            PressOnSecurityPage(c.path, {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP});
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(SecurityPage.kind, c.kind);
        ASSERT_EQ(Calls.size(), 3u);

        const EditorCall& permissions = Calls[0];
        EXPECT_EQ(permissions.kind, kPermissionsEditor);
        EXPECT_EQ(permissions.table, c.table);
        EXPECT_EQ(permissions.rows, c.rows);
        EXPECT_EQ(permissions.mapping, c.mapping);
        EXPECT_EQ(permissions.descriptor, SecurityPage.daclDescriptor);
        EXPECT_EQ(permissions.context->descriptorValid, &SecurityPage.daclReadable);
        EXPECT_STREQ(permissions.context->path, c.path.c_str());
        EXPECT_EQ(permissions.objectName, std::wstring(c.path.begin(), c.path.end()));

        const EditorCall& auditing = Calls[1];
        EXPECT_EQ(auditing.kind, kAuditingEditor);
        EXPECT_EQ(auditing.table, AuditAccesses);
        EXPECT_EQ(auditing.rows, 7u);
        EXPECT_EQ(auditing.mapping, c.mapping);
        EXPECT_EQ(auditing.descriptor, SecurityPage.saclDescriptor);
        EXPECT_EQ(auditing.context->descriptorValid, &SecurityPage.saclReadable);

        const EditorCall& ownership = Calls[2];
        EXPECT_EQ(ownership.kind, kOwnershipEditor);
        EXPECT_EQ(ownership.typeName, L"&Object");
        EXPECT_EQ(ownership.help, &SecurityHelpInfo);
        EXPECT_EQ(ownership.descriptor, SecurityPage.daclDescriptor);
    }
}

TEST_F(SecurityPageTest, UnopenableObjectLeavesOnlyOwnershipEnabled) {
    // A key first, so that a kind left over from the last page would show.
    PressOnSecurityPage("\\REGISTRY", {});
    ASSERT_EQ(SecurityPage.kind, SecurityObjectKind::Key);

    bool permissionsEnabled = true, auditingEnabled = true, ownershipEnabled = false;
    std::vector<CaughtDialog> caught =
        RunOnePageSheet("SECURITY", SecurityPageProc, "\\ObjectTypes\\Directory", [&](HWND sheet) {
            HWND page = ShowPage(sheet, 0);
            permissionsEnabled = IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_PERMISSIONS));
            auditingEnabled = IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_AUDITING));
            ownershipEnabled = IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_OWNERSHIP));
            PressButton(page, IDC_SECURITY_OWNERSHIP);
        });
    EXPECT_FALSE(permissionsEnabled);
    EXPECT_FALSE(auditingEnabled);
    EXPECT_TRUE(ownershipEnabled);
    EXPECT_EQ(MessagesOf(caught), std::vector<std::string>{kNoSecurityPermission});
    EXPECT_TRUE(Calls.empty());
    EXPECT_FALSE(SecurityPage.daclReadable);
    EXPECT_FALSE(SecurityPage.saclReadable);
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

    bool permissionsEnabled = false;
    std::vector<CaughtDialog> caught = RunPropertySheet(event.c_str(), [&](HWND sheet) {
        HWND page = ShowPage(sheet, 1);
        permissionsEnabled = IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_PERMISSIONS));
        PressButton(page, IDC_SECURITY_PERMISSIONS);
        PressButton(page, IDC_SECURITY_OWNERSHIP);
    });
    EXPECT_TRUE(permissionsEnabled);
    EXPECT_EQ(MessagesOf(caught), (std::vector<std::string>{kNoSecurityPermission, kNoSecurityPermission}));
    EXPECT_TRUE(Calls.empty());
}

TEST_F(SecurityPageTest, EditorFailuresAreExplained) {
    const std::string event = scratch.AddEvent("Event", true, false);
    FakeResult = 5;
    EXPECT_EQ(PressOnSecurityPage(event, {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP}),
              (std::vector<std::string>{"The ACL Editor does not understand the Security Information.",
                                        "The SACL Editor does not understand the Security Information.",
                                        "The Ownership Editor does not understand the Security Information."}));

    // An editor that spoilt the descriptor: the page tests it, except after auditing.
    DuringEditor = [] {
        SecurityPage.daclDescriptor[0] = 0;
        SecurityPage.saclDescriptor[0] = 0;
    };
    EXPECT_EQ(PressOnSecurityPage(event, {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP}),
              (std::vector<std::string>{"The Security Information is invalid.",
                                        "The SACL Editor does not understand the Security Information.",
                                        "The Security Information is invalid."}));

    FakeResult = 0;
    EXPECT_TRUE(PressOnSecurityPage(event, {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP})
                    .empty());
    EXPECT_EQ(Calls.size(), 9u);
}

TEST_F(SecurityPageTest, MissingEntryPointsAreNeverCalled) {
    AclEditor = {};
    const std::string event = scratch.AddEvent("Event", true, false);
    EXPECT_EQ(PressOnSecurityPage(event, {IDC_SECURITY_PERMISSIONS, IDC_SECURITY_AUDITING, IDC_SECURITY_OWNERSHIP}),
              (std::vector<std::string>{"The ACL Editor is not available.", "The SACL Editor is not available.",
                                        "The Ownership Editor is not available."}));
}

// While an editor runs, the sheet is disabled and a second press starts nothing.
TEST_F(SecurityPageTest, OneEditorAtATime) {
    const std::string event = scratch.AddEvent("Event", true, false);
    HWND page = nullptr;
    bool sheetEnabledDuring = true;
    DuringEditor = [&] {
        sheetEnabledDuring = IsWindowEnabled(GetParent(page));
        PressButton(page, IDC_SECURITY_PERMISSIONS);
        PressButton(page, IDC_SECURITY_OWNERSHIP);
    };
    bool sheetEnabledAfter = false;
    RunPropertySheet(event.c_str(), [&](HWND sheet) {
        page = ShowPage(sheet, 1);
        PressButton(page, IDC_SECURITY_PERMISSIONS);
        sheetEnabledAfter = IsWindowEnabled(sheet);
    });
    EXPECT_EQ(Calls.size(), 1u);
    EXPECT_FALSE(sheetEnabledDuring);
    EXPECT_TRUE(sheetEnabledAfter);
    EXPECT_FALSE(SecurityPage.editorOpen);
}

// Bytes above 0x7F reach the editors as characters of the ANSI code page,
// not as the code points of the same number.
TEST_F(SecurityPageTest, ObjectNameIsWidenedThroughTheAnsiCodePage) {
    const std::string path = scratch.PathOf("Price\x80");
    wchar_t expected[kSecurityPathSize] = {};
    ASSERT_NE(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, expected, kSecurityPathSize), 0);
    const std::wstring widened(expected);
    if (widened.back() == 0x80) GTEST_SKIP() << "the ANSI code page keeps 0x80 as it is";
    RunOnePageSheet("SECURITY", SecurityPageProc, path.c_str(), [](HWND sheet) { ShowPage(sheet, 0); });
    EXPECT_EQ(std::wstring(SecurityPage.objectName), widened);
    EXPECT_STREQ(SecurityPage.path, path.c_str());
}

}  // namespace
