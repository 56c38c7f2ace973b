// The Inspect Object command: a sheet with the Handles, Access and Type pages
// for the selected row whatever its type and whatever it grants, where the
// Properties command refuses what its opener cannot open: a type none of its
// rows opens is opened by its own service. A link the account
// may not open is inspected as the link, never as its target.
#include "browser_fixture.h"
#include "resource_ids.h"
#include "support/sheet_pages.h"
#include "support/test_namespace.h"

namespace {

using InspectCommandTest = BrowserTest;

// What one row's inspection showed.
struct Inspection {
    std::string title;
    std::vector<std::string> pages;
    AccessView access;
};

TEST_F(InspectCommandTest, OpensForRowsThePropertiesSheetRefuses) {
    ScratchDirectory scratch;
    const std::string port = scratch.PathOf("Port");
    NamedAttributes attributes(port);
    HANDLE handle = nullptr;
    ASSERT_EQ(NtCreateIoCompletion(&handle, 0x001F0003, attributes.Get(), 0), kStatusSuccess);
    scratch.Keep(handle);
    // Owned by SYSTEM, so that only the DACL grants: Synchronize alone.
    const char* synchronizeOnly = "O:SYG:SYD:(A;;0x100000;;;WD)";
    ASSERT_FALSE(scratch.AddEventWithDescriptor("Withheld", DescriptorFromSddl(synchronizeOnly)).empty());
    const std::string target = scratch.AddDirectory("Target");
    ASSERT_FALSE(scratch.AddSymbolicLinkWithDescriptor("Locked", target, DescriptorFromSddl(synchronizeOnly)).empty());
    ASSERT_FALSE(scratch.AddSection("Section").empty());
    ASSERT_TRUE(OpenBrowser());
    SelectInTree(scratch.Path());

    const struct {
        const char* name;
        bool propertiesOpen;
        const char* summary;  // how the Access page's summary begins
        std::map<std::string, std::string> states;
        const char* check;  // null: not compared
    } cases[] = {
        // No row of the sheet's opener opens a completion port; its own service does.
        {"Port", false, "Granted to this account: 0x",
         {{"Query State", "granted"}, {"Modify State", "granted"}, {"Read Control", "granted"}},
         "An access check of this account's token against the DACL grants the same."},
        {"Withheld", false, "Granted to this account: 0x00100000",
         {{"Synchronize", "granted"}, {"Query State", "not granted"}, {"Modify State", "not granted"},
          {"Read Control", "not granted"}},
         "No access check: the descriptor cannot be read (status 0xC0000022)."},
        // The link's own rights, not the directory's it leads to.
        {"Locked", false, "Granted to this account: 0x00100000",
         {{"Synchronize", "granted"}, {"Query", "not granted"}},
         "No access check: the descriptor cannot be read (status 0xC0000022)."},
        {"Section", true, "Granted to this account: 0x",
         {{"Map Write", "granted"}, {"Map Read", "granted"}, {"Map Execute", "granted"}, {"Extend Size", "granted"}},
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClickList(NM_CLICK, FindRow(c.name));
        const std::size_t before = catcher_.Caught().size();
        Command(CMD_PROPERTIES);
        ASSERT_EQ(catcher_.Caught().size(), before + 1);
        EXPECT_EQ(catcher_.Caught().back().isMessageBox, !c.propertiesOpen);
        if (!c.propertiesOpen) {
            EXPECT_EQ(catcher_.Caught().back().text, "Unable to open " + scratch.PathOf(c.name));
        }

        // The sheet is read once its own loop runs, when it has its caption.
        Inspection seen;
        DialogCatcher reader([&seen](HWND sheet, const CaughtDialog& caught) {
            if (caught.isMessageBox) return false;
            RunSoon([sheet, &seen] {
                seen.title = WindowText(sheet);
                seen.pages = PageTitles(sheet);
                seen.access = ReadAccessPage(PropSheet_GetCurrentPageHwnd(sheet));
                PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
            });
            return true;
        });
        Command(CMD_INSPECT_OBJECT);
        ASSERT_EQ(reader.Caught().size(), 1u);
        EXPECT_EQ(seen.title, "Inspect Object");
        EXPECT_EQ(seen.pages, (std::vector<std::string>{"Handles", "Access", "Type"}));
        EXPECT_EQ(seen.access.summary.rfind(c.summary, 0), 0u) << seen.access.summary;
        for (const auto& [right, state] : c.states) {
            ASSERT_EQ(seen.access.states.count(right), 1u) << right;
            EXPECT_EQ(seen.access.states.at(right), state) << right;
        }
        EXPECT_EQ(seen.access.states.count("Traverse"), 0u);      // a directory's right
        if (c.states.count("Modify State") == 0) {
            EXPECT_EQ(seen.access.states.count("Modify State"), 0u);
        }
        if (c.check == nullptr) continue;
        EXPECT_EQ(seen.access.check, c.check);
        // What the page cannot read, it says so of the descriptor as well.
        if (std::string(c.check).find("cannot be read") != std::string::npos) {
            EXPECT_EQ(seen.access.sddlLabel, "The security descriptor cannot be read.");
        }
    }
}

// The View menu's item after Find Accessible and Ctrl+I give the command; the File menu keeps its own items.
TEST_F(InspectCommandTest, MenuItemAndKey) {
    ASSERT_TRUE(OpenBrowser());
    HMENU view = GetSubMenu(GetMenu(AppContext.mainWindow), 1);
    char text[64] = {};
    GetMenuStringA(view, CMD_INSPECT_OBJECT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Inspect Object...\tCtrl+I");
    int position = 0;
    while (position < GetMenuItemCount(view) && GetMenuItemID(view, position) != CMD_FIND_ACCESSIBLE) ++position;
    EXPECT_EQ(GetMenuItemID(view, position + 1), static_cast<UINT>(CMD_INSPECT_OBJECT));
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(AppContext.mainWindow), 0)), 3);

    ACCEL keys[32] = {};
    const int count = CopyAcceleratorTableA(LoadAcceleratorsA(instance_, "ACCELERATORS"), keys, 32);
    int found = 0;
    for (int i = 0; i < count; ++i) {
        if (keys[i].cmd != CMD_INSPECT_OBJECT) continue;
        ++found;
        EXPECT_EQ(keys[i].key, 'I');
        EXPECT_EQ(keys[i].fVirt & ~FNOINVERT, FVIRTKEY | FCONTROL);
    }
    EXPECT_EQ(found, 1);
}

}  // namespace
