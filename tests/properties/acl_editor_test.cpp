#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "platform/acledit/editor_ids.h"
#include "properties/access_tables.h"
#include "properties/security_page.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/test_namespace.h"

namespace {

constexpr char kEveryone[] = "S-1-1-0";
constexpr char kUnknownAccount[] = "S-1-5-21-1-2-3-4444";

// What the apply callback was handed, for editors run without the page.
std::vector<std::vector<BYTE>> Applied;

DWORD WINAPI RecordApply(HWND, HINSTANCE, ULONG_PTR, PSECURITY_DESCRIPTOR descriptor, PSECURITY_DESCRIPTOR, BOOLEAN,
                         BOOLEAN, LPDWORD status) {
    const BYTE* bytes = static_cast<const BYTE*>(descriptor);
    Applied.emplace_back(bytes, bytes + GetSecurityDescriptorLength(descriptor));
    *status = kSedStatusModified;
    return 0;
}

std::wstring ItemText(HWND dialog, int id, int item) {
    wchar_t text[512] = {};
    SendDlgItemMessageW(dialog, id, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::wstring> ListLines(HWND dialog) {
    std::vector<std::wstring> lines;
    const int count = static_cast<int>(SendDlgItemMessageW(dialog, IDC_ENTRY_LIST, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) lines.push_back(ItemText(dialog, IDC_ENTRY_LIST, i));
    return lines;
}

void SelectEntry(HWND dialog, int item) {
    SendDlgItemMessageW(dialog, IDC_ENTRY_LIST, LB_SETCURSEL, item, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ENTRY_LIST, LBN_SELCHANGE), 0);
}

void ChooseAccess(HWND dialog, const wchar_t* title) {
    SendDlgItemMessageW(dialog, IDC_ACCESS_COMBO, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(title));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ACCESS_COMBO, CBN_SELCHANGE), 0);
}

void AddAccount(HWND dialog, const wchar_t* name) {
    SetDlgItemTextW(dialog, IDC_ACCOUNT_NAME, name);
    PressButton(dialog, IDC_ADD);
}

// Runs onDialog on the first dialog with the given caption; closes other windows.
DialogCatcher::Handler OnDialog(const std::string& caption, std::function<void(HWND)> onDialog) {
    return [caption, onDialog](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox || caught.caption != caption) return false;
        RunSoon([dialog, onDialog] { onDialog(dialog); });
        return true;
    };
}

class AclEditorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitCommonControls();
        EnableSecurityPrivileges();
        BindAclEditor();
    }
    void SetUp() override {
        ASSERT_NE(AclEditor.discretionaryAclEditor, nullptr);
        Applied.clear();
    }

    DWORD RunPermissions(std::vector<BYTE>& descriptor, std::function<void(HWND)> onDialog,
                         std::vector<CaughtDialog>* caught = nullptr) {
        SedObjectTypeDescriptor type = {1, TRUE, FALSE, FALSE, &ObjectGenericMapping, &ObjectGenericMapping,
                                        L"Object", &SecurityHelpInfo, nullptr, nullptr, nullptr,
                                        L"Special Access...", nullptr};
        SedApplicationAccesses accesses = {12, OtherObjectAccesses, nullptr};
        DWORD status = 0;
        DialogCatcher catcher(OnDialog("Permissions", onDialog));
        DWORD result = AclEditor.discretionaryAclEditor(
            nullptr, nullptr, nullptr, &type, &accesses, const_cast<LPWSTR>(L"\\Test\\Object"), RecordApply, 0,
            descriptor.empty() ? nullptr : descriptor.data(), FALSE, FALSE, &status, 0);
        if (caught != nullptr) *caught = catcher.Caught();
        return result;
    }

    ScratchDirectory scratch;
};

// The whole road: the Security page's Permissions button, the editor's
// dialog, the apply callback, and the object's DACL.
TEST_F(AclEditorTest, EveryoneFullControlAddedThroughTheDialogReachesTheObject) {
    const std::string event = scratch.AddEvent("Event", true, false);
    std::vector<std::wstring> linesAfterAdd;
    std::vector<CaughtDialog> caught = RunPropertySheet(
        event.c_str(), [](HWND sheet) { PressButton(ShowPage(sheet, 1), IDC_SECURITY_PERMISSIONS); },
        OnDialog("Permissions", [&](HWND dialog) {
            ChooseAccess(dialog, L"Full Control");
            AddAccount(dialog, L"Everyone");
            linesAfterAdd = ListLines(dialog);
            PressButton(dialog, IDOK);
        }));

    EXPECT_EQ(linesAfterAdd, std::vector<std::wstring>{L"Everyone\tAllow\tFull Control"});
    for (const CaughtDialog& c : caught) EXPECT_FALSE(c.isMessageBox) << c.text;
    std::vector<AceView> aces = AcesOf(QueryEventSecurity(event, DACL_SECURITY_INFORMATION).data(), false);
    ASSERT_EQ(aces.size(), 1u);
    EXPECT_EQ(aces[0].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(aces[0].sid, kEveryone);
    EXPECT_EQ(aces[0].mask, static_cast<ACCESS_MASK>(GENERIC_ALL));
    // The page's buffer was refreshed from the object.
    EXPECT_TRUE(SecurityPage.daclReadable);
    EXPECT_EQ(AcesOf(SecurityPage.daclDescriptor, false).size(), 1u);
}

// Each entry shows as its account, allow or deny, and the row whose access it
// is, exactly or once generic rights are mapped; any other access is special.
TEST_F(AclEditorTest, EntriesShowAccountKindAndAccess) {
    std::vector<BYTE> descriptor = DescriptorFromSddl(
        "O:WDD:(A;;GA;;;WD)(A;;0x0;;;S-1-5-21-1-2-3-4444)(D;;0x1F01FF;;;WD)(A;;0x1;;;S-1-5-21-1-2-3-4444)");
    std::vector<std::wstring> lines;
    std::wstring owner;
    std::wstring objectName;
    std::vector<CaughtDialog> caught;
    EXPECT_EQ(RunPermissions(descriptor,
                             [&](HWND dialog) {
                                 lines = ListLines(dialog);
                                 wchar_t text[128] = {};
                                 GetDlgItemTextW(dialog, IDC_OBJECT_NAME, text, 128);
                                 objectName = text;
                                 GetDlgItemTextW(dialog, IDC_OWNER_NAME, text, 128);
                                 owner = text;
                                 PressButton(dialog, IDCANCEL);
                             },
                             &caught),
              0u);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"Everyone\tAllow\tFull Control",
                                                L"S-1-5-21-1-2-3-4444\tAllow\tNo Access",
                                                L"Everyone\tDeny\tFull Control",
                                                L"S-1-5-21-1-2-3-4444\tAllow\tSpecial Access"}));
    EXPECT_EQ(owner, L"Everyone");
    EXPECT_EQ(objectName, L"\\Test\\Object");
    EXPECT_TRUE(Applied.empty());  // Cancel applies nothing
    ASSERT_EQ(caught.size(), 1u);
}

TEST_F(AclEditorTest, ChangedRemovedAndSpecialEntriesAreApplied) {
    std::vector<BYTE> descriptor =
        DescriptorFromSddl("O:WDD:(A;;GA;;;WD)(A;;0x0;;;S-1-5-21-1-2-3-4444)(A;;0x1;;;S-1-5-32-544)");
    std::vector<std::wstring> lines;
    std::vector<std::wstring> specialBoxes;
    RunPermissions(descriptor, [&](HWND dialog) {
        SelectEntry(dialog, 0);
        ChooseAccess(dialog, L"No Access");                     // Everyone: no access
        SelectEntry(dialog, 1);
        PressButton(dialog, IDC_REMOVE);                        // the unknown account goes
        SelectEntry(dialog, 1);                                 // Administrators: read and delete
        DialogCatcher special(OnDialog("Special Access", [&](HWND box) {
            for (int id = IDC_FIRST_RIGHT; GetDlgItem(box, id) != nullptr; ++id) {
                wchar_t title[64] = {};
                GetDlgItemTextW(box, id, title, 64);
                specialBoxes.push_back(title);
                const bool wanted = std::wstring(title) == L"&Read (R)" || std::wstring(title) == L"&Delete (D)";
                CheckDlgButton(box, id, wanted ? BST_CHECKED : BST_UNCHECKED);
            }
            PressButton(box, IDOK);
        }));
        PressButton(dialog, IDC_SPECIAL_ACCESS);
        lines = ListLines(dialog);
        PressButton(dialog, IDOK);
    });
    EXPECT_EQ(specialBoxes.size(), 10u);  // the type-2 rows of the table
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"Everyone\tAllow\tNo Access",
                                                L"BUILTIN\\Administrators\tAllow\tSpecial Access"}));
    ASSERT_EQ(Applied.size(), 1u);
    std::vector<AceView> aces = AcesOf(Applied[0].data(), false);
    ASSERT_EQ(aces.size(), 2u);
    EXPECT_EQ(aces[0].sid, kEveryone);
    EXPECT_EQ(aces[0].mask, 0u);
    EXPECT_EQ(aces[1].sid, "S-1-5-32-544");
    EXPECT_EQ(aces[1].mask, static_cast<ACCESS_MASK>(GENERIC_READ | DELETE));
    EXPECT_EQ(OwnerOf(Applied[0].data()), kEveryone);  // the rest of the descriptor is kept
}

// Deny entries go before allow entries, whatever order they were added in.
TEST_F(AclEditorTest, DenyEntriesAreWrittenFirstAndUnknownNamesAreRefused) {
    std::vector<BYTE> descriptor = DescriptorFromSddl("D:(A;;GA;;;WD)");
    std::vector<CaughtDialog> caught;
    RunPermissions(
        descriptor,
        [&](HWND dialog) {
            AddAccount(dialog, L"No Such Account Anywhere");
            SendDlgItemMessageW(dialog, IDC_KIND_COMBO, CB_SETCURSEL, 1, 0);
            ChooseAccess(dialog, L"Full Control");
            AddAccount(dialog, L"S-1-5-21-1-2-3-4444");  // a SID string stands for an unnamed account
            PressButton(dialog, IDOK);
        },
        &caught);
    int messages = 0;
    for (const CaughtDialog& c : caught) messages += c.isMessageBox ? 1 : 0;
    EXPECT_EQ(messages, 1);
    ASSERT_EQ(Applied.size(), 1u);
    std::vector<AceView> aces = AcesOf(Applied[0].data(), false);
    ASSERT_EQ(aces.size(), 2u);
    EXPECT_EQ(aces[0].type, ACCESS_DENIED_ACE_TYPE);
    EXPECT_EQ(aces[0].sid, kUnknownAccount);
    EXPECT_EQ(aces[1].type, ACCESS_ALLOWED_ACE_TYPE);
}

TEST_F(AclEditorTest, AuditingEditorAppliesSuccessAndFailureRows) {
    std::vector<BYTE> descriptor = DescriptorFromSddl("O:WDS:(AU;FA;0x1;;;S-1-5-32-544)");
    SedObjectTypeDescriptor type = {1, TRUE, FALSE, FALSE, &ObjectGenericMapping, &ObjectGenericMapping,
                                    L"Object", &SecurityHelpInfo, nullptr, nullptr, nullptr, nullptr, nullptr};
    SedApplicationAccesses accesses = {7, AuditAccesses, nullptr};
    std::wstring firstAccount;
    bool queryFailureShown = false;
    DialogCatcher catcher(OnDialog("Auditing", [&](HWND dialog) {
        firstAccount = ItemText(dialog, IDC_ENTRY_LIST, 0);
        queryFailureShown = IsDlgButtonChecked(dialog, IDC_FIRST_FAILURE + 5) == BST_CHECKED;  // "&Query State (Q)"
        PressButton(dialog, IDC_REMOVE);
        AddAccount(dialog, L"Everyone");
        CheckDlgButton(dialog, IDC_FIRST_SUCCESS + 2, BST_CHECKED);  // "&Delete (D)"
        PressButton(dialog, IDC_FIRST_SUCCESS + 2);
        CheckDlgButton(dialog, IDC_FIRST_FAILURE + 4, BST_CHECKED);  // "Change &Owner (O)"
        PressButton(dialog, IDC_FIRST_FAILURE + 4);
        PressButton(dialog, IDOK);
    }));
    DWORD status = 0;
    EXPECT_EQ(AclEditor.systemAclEditor(nullptr, nullptr, nullptr, &type, &accesses,
                                        const_cast<LPWSTR>(L"\\Test\\Object"), RecordApply, 0, descriptor.data(),
                                        FALSE, &status, 0),
              0u);
    EXPECT_EQ(status, kSedStatusModified);
    EXPECT_EQ(firstAccount, L"BUILTIN\\Administrators");
    EXPECT_TRUE(queryFailureShown);
    ASSERT_EQ(Applied.size(), 1u);
    std::vector<AceView> aces = AcesOf(Applied[0].data(), true);
    ASSERT_EQ(aces.size(), 2u);
    EXPECT_EQ(aces[0].sid, kEveryone);
    EXPECT_EQ(aces[0].flags, SUCCESSFUL_ACCESS_ACE_FLAG);
    EXPECT_EQ(aces[0].mask, static_cast<ACCESS_MASK>(DELETE));
    EXPECT_EQ(aces[1].flags, FAILED_ACCESS_ACE_FLAG);
    EXPECT_EQ(aces[1].mask, static_cast<ACCESS_MASK>(WRITE_OWNER));
}

// Through the page and the real callback: the current user becomes the owner.
TEST_F(AclEditorTest, OwnershipEditorMakesTheCurrentUserOwner) {
    const std::string event = scratch.AddEvent("Event", true, false);
    ASSERT_TRUE(SetEventSecurity(event, OWNER_SECURITY_INFORMATION, DescriptorFromSddl("O:WD")));
    std::string shownOwner, label;
    RunPropertySheet(
        event.c_str(), [](HWND sheet) { PressButton(ShowPage(sheet, 1), IDC_SECURITY_OWNERSHIP); },
        OnDialog("Owner", [&](HWND dialog) {
            shownOwner = WindowText(dialog, IDC_OWNER_NAME);
            label = WindowText(dialog, IDC_OBJECT_LABEL);
            PressButton(dialog, IDC_TAKE_OWNERSHIP);
        }));
    EXPECT_EQ(shownOwner, "Everyone");
    EXPECT_EQ(label, "Object:");

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    alignas(8) BYTE user[256];
    DWORD length = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &length));
    CloseHandle(token);
    const std::string userSid = SidString(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
    EXPECT_EQ(OwnerOf(QueryEventSecurity(event, OWNER_SECURITY_INFORMATION).data()), userSid);
    EXPECT_EQ(OwnerOf(SecurityPage.daclDescriptor), userSid);
}

// A descriptor that cannot be read opens no dialog and fails the call.
TEST_F(AclEditorTest, UnreadableDescriptorsFailWithoutADialog) {
    std::vector<BYTE> none;
    std::vector<BYTE> spoilt = DescriptorFromSddl("D:(A;;GA;;;WD)");
    spoilt[0] = 0;
    for (std::vector<BYTE>* descriptor : {&none, &spoilt}) {
        std::vector<CaughtDialog> caught;
        EXPECT_NE(RunPermissions(*descriptor, [](HWND dialog) { PressButton(dialog, IDCANCEL); }, &caught), 0u);
        EXPECT_TRUE(caught.empty());
    }
    DWORD status = 0;
    SedApplicationAccesses audit = {7, AuditAccesses, nullptr};
    EXPECT_NE(AclEditor.systemAclEditor(nullptr, nullptr, nullptr, nullptr, &audit, nullptr, RecordApply, 0,
                                        spoilt.data(), FALSE, &status, 0),
              0u);
    EXPECT_NE(AclEditor.takeOwnership(nullptr, nullptr, nullptr, nullptr, nullptr, 1, RecordApply, 0, nullptr, FALSE,
                                      FALSE, &status, nullptr, 0),
              0u);
    EXPECT_TRUE(Applied.empty());
}

}  // namespace
