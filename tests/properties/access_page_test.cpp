// The Access page through the real sheet, over an event whose descriptor the
// test changes while the sheet is up, as the Security page would, each
// change read again by Refresh; and the page's texts for access checks the
// live system cannot produce on demand.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <vector>

#include "common/list_view.h"
#include "properties/access_page.h"
#include "properties/security_apply.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/sheet_pages.h"
#include "support/test_namespace.h"

namespace {

constexpr SECURITY_INFORMATION kPermissionParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr SECURITY_INFORMATION kAllParts = kPermissionParts | SACL_SECURITY_INFORMATION;
constexpr char kSame[] = "An access check of this account's token against the DACL grants the same.";
constexpr char kWithSacl[] = "The security descriptor as SDDL:";
constexpr char kUnreadable[] = "The security descriptor cannot be read.";

std::string AccountSid() {
    HANDLE token = nullptr;
    alignas(8) BYTE user[256];
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const BOOL read = GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    CloseHandle(token);
    return read ? SidString(reinterpret_cast<TOKEN_USER*>(user)->User.Sid) : std::string();
}

class AccessPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitCommonControls();
        EnableSecurityPrivileges();  // as the program does at start: the SACL is read too
    }
    ScratchDirectory scratch;
};

// Each step gives the event a descriptor (owned by SYSTEM, so that only the
// DACL grants, except in the last), presses Refresh and reads the page.
TEST_F(AccessPageTest, RefreshShowsEachDescriptorsGrant) {
    struct Step {
        std::vector<BYTE> descriptor;
        const char* summary;  // null: not compared (the owner's grant differs between platforms)
        std::map<std::string, std::string> states;
        std::string check;
        const char* sddl;  // null: what the platform's converter writes of the object's descriptor
    };
    const std::string event = scratch.AddEvent("Chosen", true, false);
    const OpenedObject writer = OpenAnyObject(event.c_str(), WRITE_DAC | WRITE_OWNER);  // kept for every step
    const Step steps[] = {
        {DescriptorFromSddl("O:SYG:SYD:(D;;WD;;;WD)(A;;GA;;;WD)"),
         "Granted to this account: 0x001B0003",
         {{"Change Permissions", "not granted"}, {"Change Owner", "granted"}, {"Read Control", "granted"},
          {"Generic Read", "granted"}, {"Query State", "granted"}, {"Access System Security", "when asked for"}},
         kSame, nullptr},
        {DescriptorFromSddl("O:SYG:SYD:(A;;0x100000;;;WD)"),
         "Granted to this account: 0x00100000",
         {{"Synchronize", "granted"}, {"Read Control", "not granted"}, {"Generic Execute", "not granted"},
          {"Access System Security", "not granted"}},
         "No access check: the descriptor cannot be read (status 0xC0000022).", ""},
        {DescriptorFromSddl("O:SYG:SYD:"),
         "Refused: the object grants this account no right.",
         {{"Synchronize", "not granted"}, {"Delete", "not granted"}},
         "", ""},
        {DescriptorWithNullDacl("O:SYG:SY"),  // grants everyone everything
         "Granted to this account: 0x001F0003",
         {{"Change Permissions", "granted"}, {"Modify State", "granted"}, {"Generic Write", "granted"}},
         kSame, "O:SYG:SYD:NO_ACCESS_CONTROL"},  // Windows' converter's text; Wine's leaves NO_ACCESS_CONTROL out
        {DescriptorFromSddl(("O:" + AccountSid() + "G:SYD:").c_str()),
         nullptr,
         {{"Read Control", "granted"}, {"Change Permissions", "granted"}, {"Query State", "not granted"}},
         kSame, nullptr},
    };
    std::vector<AccessView> views;
    std::vector<std::string> platformTexts;
    std::vector<std::string> titles;
    std::string copied;
    RunPropertySheet(event.c_str(), [&](HWND sheet) {
        titles = PageTitles(sheet);
        HWND page = ShowPageTitled(sheet, "Access");
        ASSERT_NE(page, nullptr);
        for (const Step& step : steps) {
            ASSERT_EQ(NtSetSecurityObject(writer.handle.get(), kPermissionParts,
                                          const_cast<BYTE*>(step.descriptor.data())),
                      kStatusSuccess);
            PressButton(page, IDC_ACCESS_REFRESH);
            views.push_back(ReadAccessPage(page));
            platformTexts.push_back(PlatformSddl(QueryEventSecurity(event, kAllParts)));
        }
        // Copy puts the last step's text on the clipboard.
        PressButton(page, IDC_ACCESS_COPY);
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                copied = static_cast<const char*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
    });
    // The page comes right after Handles, whatever follows it.
    const auto handles = std::find(titles.begin(), titles.end(), "Handles");
    ASSERT_TRUE(handles != titles.end() && handles + 1 != titles.end());
    EXPECT_EQ(handles[1], "Access");

    ASSERT_EQ(views.size(), std::size(steps));
    for (std::size_t i = 0; i < views.size(); ++i) {
        SCOPED_TRACE(i);
        const Step& step = steps[i];
        const AccessView& view = views[i];
        if (step.summary != nullptr) {
            EXPECT_EQ(view.summary, step.summary);
        }
        for (const auto& [name, state] : step.states) EXPECT_EQ(view.states.at(name), state) << name;
        EXPECT_EQ(view.check, step.check);
        EXPECT_EQ(view.sddl, step.sddl != nullptr ? step.sddl : platformTexts[i]);
        EXPECT_EQ(view.sddlLabel, view.sddl.empty() ? kUnreadable : kWithSacl);
        EXPECT_EQ(view.copyEnabled, !view.sddl.empty());
    }
    EXPECT_EQ(copied, views.back().sddl);
    EXPECT_EQ(views.back().summary.rfind("Granted to this account: 0x", 0), 0u);
}

// The line beside the open's mask for answers only other systems give: the
// open granted more than the DACL (by a privilege or not), the DACL more than
// the open, masks the object manager limits to the type's rights where an
// access check does not, no answer. An event's rights are named as an
// event's, its own first.
TEST(AccessPageTextsTest, AccessCheckLineNamesEveryDifference) {
    struct Case {
        ACCESS_MASK opened;
        DescriptorCheck check;
        ACCESS_MASK privilegeRights;
        const char* line;
    };
    const Case cases[] = {
        {0x001F0007, {true, 0, 0x00100000}, 0,
         "The open was granted more than the access check against the DACL gives: 0x000F0003 (Query State, "
         "Modify State, Delete, Read Control, Change Permissions, Change Owner); the access check against the DACL "
         "gives 0x00100000 (Synchronize)."},
        {0x00100000, {true, 0, 0x00120000}, 0,
         "The access check against the DACL gives more than the open was granted: 0x00020000 (Read Control)."},
        {0x00100001, {true, 0, 0x00120000}, WRITE_OWNER,
         "The open was granted more than the access check against the DACL gives: 0x00000001 (Query State); "
         "the access check against the DACL gives 0x00120000 (Read Control, Synchronize). "
         "The access check against the DACL gives more than the open was granted: 0x00020000 (Read Control)."},
        {0x00180000, {true, 0, 0x00100000}, WRITE_OWNER | ACCESS_SYSTEM_SECURITY,
         "This account's privileges grant more than the DACL: 0x00080000 (Change Owner); the access check against "
         "the DACL gives 0x00100000 (Synchronize)."},
        // A DACL granting FA: the check gives every bit, the open only the event's own.
        {0x001F0003, {true, 0, 0x001F01FF}, 0, kSame},
        {0x00100000, {false, 1338, 0}, 0, "No access check: AccessCheck failed (error 1338)."},
    };
    for (const Case& c : cases) {
        AccessPicture picture;
        picture.access = {kStatusSuccess, kTypeEvent, "Event", c.opened};
        picture.typeKnown = true;
        picture.type.genericMapping = {0x00020001, 0x00020002, 0x00120000, 0x001F0003};
        picture.type.validAccessMask = 0x001F0003;
        picture.descriptorStatus = kStatusSuccess;
        picture.descriptor = DescriptorFromSddl("O:SYG:SYD:(A;;0x100000;;;WD)");
        picture.check = c.check;
        picture.privilegeRights = c.privilegeRights;
        const AccessPageTexts texts = DescribeAccessPicture(picture, "\\Event");
        EXPECT_EQ(texts.check, c.line);
        // The event's own rights come first; a granted right that no line names gets a line of its own.
        ASSERT_GE(texts.rights.size(), 2u);
        EXPECT_EQ(texts.rights[0].name, "Query State");
        EXPECT_EQ(texts.rights[1].name, "Modify State");
        const bool unnamed = (c.opened & 0x4) != 0;
        EXPECT_EQ(texts.rights.back().name, unnamed ? "Rights without a name here" : "Generic Read");
        EXPECT_EQ(texts.rights.back().mask, unnamed ? 0x4u : 0x00020001u);
    }
}

}  // namespace
