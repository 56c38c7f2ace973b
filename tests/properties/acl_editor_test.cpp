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
constexpr char kAdministrators[] = "S-1-5-32-544";
constexpr char kUnnamed[] = "S-1-5-21-1-2-3-4444";

// The descriptors handed to the apply callback by editors run without the page.
std::vector<std::vector<BYTE>> Applied;

DWORD WINAPI RecordApply(HWND, HINSTANCE, ULONG_PTR, PSECURITY_DESCRIPTOR descriptor, PSECURITY_DESCRIPTOR, BOOLEAN,
                         BOOLEAN, LPDWORD status) {
    const BYTE* bytes = static_cast<const BYTE*>(descriptor);
    Applied.emplace_back(bytes, bytes + GetSecurityDescriptorLength(descriptor));
    *status = kSedStatusModified;
    return 0;
}

std::wstring Text(HWND dialog, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

std::vector<std::wstring> ListLines(HWND dialog) {
    std::vector<std::wstring> lines;
    const int count = static_cast<int>(SendDlgItemMessageW(dialog, IDC_ENTRY_LIST, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t line[512] = {};
        SendDlgItemMessageW(dialog, IDC_ENTRY_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    return lines;
}

// Selects an item of a list or combo box as the user would, with its notification.
void Choose(HWND dialog, int id, int item) {
    const bool list = id == IDC_ENTRY_LIST;
    SendDlgItemMessageW(dialog, id, list ? LB_SETCURSEL : CB_SETCURSEL, item, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, list ? LBN_SELCHANGE : CBN_SELCHANGE), 0);
}

void ChooseAccess(HWND dialog, const wchar_t* title) {
    Choose(dialog, IDC_ACCESS_COMBO,
           static_cast<int>(SendDlgItemMessageW(dialog, IDC_ACCESS_COMBO, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(title))));
}

void AddAccount(HWND dialog, const wchar_t* name) {
    SetDlgItemTextW(dialog, IDC_ACCOUNT_NAME, name);
    PressButton(dialog, IDC_ADD);
}

// Acts on the first dialog with the given caption, from its own loop.
DialogCatcher::Handler OnDialog(const std::string& caption, std::function<void(HWND)> act) {
    return [caption, act](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox || caught.caption != caption) return false;
        RunSoon([dialog, act] { act(dialog); });
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

    // The permissions editor on a descriptor of the test's, with the table of Other objects.
    static DWORD RunPermissions(std::vector<BYTE>& descriptor, std::function<void(HWND)> act,
                                int* messageCount = nullptr) {
        DialogCatcher catcher(OnDialog("Permissions", act));
        DWORD status = 0;
        const DWORD result = AclEditor.discretionaryAclEditor(
            nullptr, nullptr, nullptr, &kObjectType, &kOtherAccesses, const_cast<LPWSTR>(L"\\Test\\Object"),
            RecordApply, 0, descriptor.empty() ? nullptr : descriptor.data(), FALSE, FALSE, &status, 0);
        if (messageCount != nullptr) *messageCount = catcher.MessageBoxCount();
        return result;
    }

    static constexpr SedObjectTypeDescriptor kObjectType = {
        1, TRUE, FALSE, FALSE, &ObjectGenericMapping, &ObjectGenericMapping, L"Object", &SecurityHelpInfo,
        nullptr, nullptr, nullptr, L"Special Access...", nullptr};
    static constexpr SedApplicationAccesses kOtherAccesses = {12, OtherObjectAccesses, nullptr};
    ScratchDirectory scratch;
};

// The whole road: the Security page's Permissions button, the editor's
// dialog, the apply callback, and the object's DACL.
TEST_F(AclEditorTest, EveryoneFullControlAddedThroughTheDialogReachesTheObject) {
    const std::string event = scratch.AddEvent("Event", true, false);
    std::vector<std::wstring> lines;
    std::vector<CaughtDialog> caught = RunPropertySheet(
        event.c_str(), [](HWND sheet) { PressButton(ShowPage(sheet, 1), IDC_SECURITY_PERMISSIONS); },
        OnDialog("Permissions", [&](HWND dialog) {
            ChooseAccess(dialog, L"Full Control");
            AddAccount(dialog, L"Everyone");
            lines = ListLines(dialog);
            PressButton(dialog, IDOK);
        }));
    EXPECT_EQ(lines, std::vector<std::wstring>{L"Everyone\tAllow\tFull Control"});
    EXPECT_TRUE(MessagesOf(caught).empty());
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
TEST_F(AclEditorTest, EntriesShowAccountKindAndAccessAndCancelAppliesNothing) {
    std::vector<BYTE> descriptor = DescriptorFromSddl(
        "O:WDD:(A;;GA;;;WD)(A;;;;;S-1-5-21-1-2-3-4444)(D;;0x1F01FF;;;WD)(A;;0x1;;;S-1-5-21-1-2-3-4444)");
    std::vector<std::wstring> lines;
    std::wstring owner, objectName;
    EXPECT_EQ(RunPermissions(descriptor,
                             [&](HWND dialog) {
                                 lines = ListLines(dialog);
                                 objectName = Text(dialog, IDC_OBJECT_NAME);
                                 owner = Text(dialog, IDC_OWNER_NAME);
                                 PressButton(dialog, IDCANCEL);
                             }),
              0u);
    EXPECT_EQ(lines, (std::vector<std::wstring>{
                         L"Everyone\tAllow\tFull Control", L"S-1-5-21-1-2-3-4444\tAllow\tNo Access",
                         L"Everyone\tDeny\tFull Control", L"S-1-5-21-1-2-3-4444\tAllow\tSpecial Access"}));
    EXPECT_EQ(owner, L"Everyone");
    EXPECT_EQ(objectName, L"\\Test\\Object");
    EXPECT_TRUE(Applied.empty());
}

TEST_F(AclEditorTest, ChangedAddedRemovedAndSpecialEntriesAreApplied) {
    std::vector<BYTE> descriptor = DescriptorFromSddl("O:WDD:(A;;GA;;;WD)(A;;;;;WD)(A;;0x1;;;BA)");
    std::vector<std::wstring> specialBoxes, lines;
    int messages = 0;
    RunPermissions(
        descriptor,
        [&](HWND dialog) {
            Choose(dialog, IDC_ENTRY_LIST, 0);
            ChooseAccess(dialog, L"No Access");  // Everyone: no access
            Choose(dialog, IDC_ENTRY_LIST, 1);
            PressButton(dialog, IDC_REMOVE);      // the second Everyone entry goes
            Choose(dialog, IDC_ENTRY_LIST, 1);    // Administrators: read and delete
            {
                DialogCatcher special(OnDialog("Special Access", [&](HWND box) {
                    for (int id = IDC_FIRST_RIGHT; GetDlgItem(box, id) != nullptr; ++id) {
                        specialBoxes.push_back(Text(box, id));
                        const std::wstring& title = specialBoxes.back();
                        const bool wanted = title == L"&Read (R)" || title == L"&Delete (D)";
                        CheckDlgButton(box, id, wanted ? BST_CHECKED : BST_UNCHECKED);
                    }
                    PressButton(box, IDOK);
                }));
                PressButton(dialog, IDC_SPECIAL_ACCESS);
            }
            AddAccount(dialog, L"No Such Account Anywhere");  // refused with a message
            AddAccount(dialog, L"S-1-5-21-1-2-3-4444");        // a SID string names an unnamed account
            Choose(dialog, IDC_KIND_COMBO, 1);                 // the new, selected entry denies
            lines = ListLines(dialog);
            PressButton(dialog, IDOK);
        },
        &messages);
    EXPECT_EQ(specialBoxes.size(), 10u);  // the type-2 rows of the table
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"Everyone\tAllow\tNo Access",
                                                L"BUILTIN\\Administrators\tAllow\tSpecial Access",
                                                L"S-1-5-21-1-2-3-4444\tDeny\tFull Control"}));
    ASSERT_EQ(Applied.size(), 1u);
    std::vector<AceView> aces = AcesOf(Applied[0].data(), false);
    ASSERT_EQ(aces.size(), 3u);
    // Deny entries are written first, whatever order they were listed in.
    EXPECT_EQ(aces[0].type, ACCESS_DENIED_ACE_TYPE);
    EXPECT_EQ(aces[0].sid, kUnnamed);
    EXPECT_EQ(aces[1].sid, kEveryone);
    EXPECT_EQ(aces[1].mask, 0u);
    EXPECT_EQ(aces[2].sid, kAdministrators);
    EXPECT_EQ(aces[2].mask, static_cast<ACCESS_MASK>(GENERIC_READ | DELETE));
    EXPECT_EQ(OwnerOf(Applied[0].data()), kEveryone);  // the rest of the descriptor is kept
}

TEST_F(AclEditorTest, AuditingEditorAppliesSuccessAndFailureRows) {
    std::vector<BYTE> descriptor = DescriptorFromSddl("O:WDS:(AU;FA;0x1;;;BA)");
    SedApplicationAccesses accesses = {7, AuditAccesses, nullptr};
    std::wstring firstAccount;
    bool queryFailureShown = false;
    DialogCatcher catcher(OnDialog("Auditing", [&](HWND dialog) {
        firstAccount = ListLines(dialog).at(0);
        queryFailureShown = IsDlgButtonChecked(dialog, IDC_FIRST_FAILURE + 5) == BST_CHECKED;  // "&Query State (Q)"
        PressButton(dialog, IDC_REMOVE);
        AddAccount(dialog, L"Everyone");
        CheckDlgButton(dialog, IDC_FIRST_SUCCESS, BST_CHECKED);      // "&Read (R)"
        PressButton(dialog, IDC_FIRST_SUCCESS);
        CheckDlgButton(dialog, IDC_FIRST_SUCCESS + 2, BST_CHECKED);  // "&Delete (D)"
        PressButton(dialog, IDC_FIRST_SUCCESS + 2);
        CheckDlgButton(dialog, IDC_FIRST_FAILURE + 4, BST_CHECKED);  // "Change &Owner (O)"
        PressButton(dialog, IDC_FIRST_FAILURE + 4);
        // Ids in the boxes' ranges past the seven rows name no box: they change nothing.
        for (int id : {IDC_FIRST_SUCCESS + 7, IDC_FIRST_SUCCESS + 50, IDC_FIRST_FAILURE + 7, IDC_FIRST_FAILURE + 63})
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        PressButton(dialog, IDOK);
    }));
    DWORD status = 0;
    EXPECT_EQ(AclEditor.systemAclEditor(nullptr, nullptr, nullptr, &kObjectType, &accesses,
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
    EXPECT_EQ(aces[0].mask, static_cast<ACCESS_MASK>(READ_CONTROL | DELETE));
    EXPECT_EQ(aces[1].flags, FAILED_ACCESS_ACE_FLAG);
    EXPECT_EQ(aces[1].mask, static_cast<ACCESS_MASK>(WRITE_OWNER));
}

// Through the page and the real callback: the current user becomes the owner.
TEST_F(AclEditorTest, OwnershipEditorMakesTheCurrentUserOwner) {
    const std::string event = scratch.AddEvent("Event", true, false);
    ASSERT_TRUE(SetEventSecurity(event, OWNER_SECURITY_INFORMATION, DescriptorFromSddl("O:WD")));
    std::wstring shownOwner, label;
    RunPropertySheet(
        event.c_str(), [](HWND sheet) { PressButton(ShowPage(sheet, 1), IDC_SECURITY_OWNERSHIP); },
        OnDialog("Owner", [&](HWND dialog) {
            shownOwner = Text(dialog, IDC_OWNER_NAME);
            label = Text(dialog, IDC_OBJECT_LABEL);
            PressButton(dialog, IDC_TAKE_OWNERSHIP);
        }));
    EXPECT_EQ(shownOwner, L"Everyone");
    EXPECT_EQ(label, L"Object:");  // from the type name "&Object"

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    UniqueWin32Handle owner(token);
    alignas(8) BYTE user[256];
    DWORD length = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &length));
    const std::string userSid = SidString(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
    EXPECT_EQ(OwnerOf(QueryEventSecurity(event, OWNER_SECURITY_INFORMATION).data()), userSid);
    EXPECT_EQ(OwnerOf(SecurityPage.daclDescriptor), userSid);
}

// A descriptor that cannot be read opens no dialog and fails the call.
TEST_F(AclEditorTest, UnreadableDescriptorsFailWithoutADialog) {
    std::vector<BYTE> none;
    std::vector<BYTE> spoilt = DescriptorFromSddl("D:(A;;GA;;;WD)");
    spoilt[0] = 0;
    bool shown = false;
    auto act = [&](HWND dialog) {
        shown = true;
        PressButton(dialog, IDCANCEL);
    };
    EXPECT_NE(RunPermissions(none, act), 0u);
    EXPECT_NE(RunPermissions(spoilt, act), 0u);
    EXPECT_FALSE(shown);
    DialogCatcher catcher;  // closes any dialog with Cancel
    DWORD status = 0;
    SedApplicationAccesses audit = {7, AuditAccesses, nullptr};
    EXPECT_NE(AclEditor.systemAclEditor(nullptr, nullptr, nullptr, &kObjectType, &audit, nullptr, RecordApply, 0,
                                        spoilt.data(), FALSE, &status, 0),
              0u);
    EXPECT_NE(AclEditor.takeOwnership(nullptr, nullptr, nullptr, nullptr, nullptr, 1, RecordApply, 0, nullptr, FALSE,
                                      FALSE, &status, nullptr, 0),
              0u);
    EXPECT_TRUE(catcher.Caught().empty());
    EXPECT_TRUE(Applied.empty());
}

}  // namespace
