// The Type Information command: a sheet for the selected row whatever its
// type, where the Properties command refuses the types it cannot open.
#include "browser_fixture.h"
#include "resource_ids.h"
#include "support/test_namespace.h"

namespace {

using TypeCommandTest = BrowserTest;

TEST_F(TypeCommandTest, OpensForRowsThePropertiesSheetRefuses) {
    ScratchDirectory scratch;
    const std::string port = scratch.PathOf("Port");
    NamedAttributes attributes(port);
    HANDLE handle = nullptr;
    ASSERT_EQ(NtCreateIoCompletion(&handle, 0x001F0003, attributes.Get(), 0), kStatusSuccess);
    scratch.Keep(handle);
    ASSERT_TRUE(OpenBrowser());

    SelectInTree(scratch.Path());
    ClickList(NM_CLICK, FindRow("Port"));
    Command(CMD_PROPERTIES);
    ASSERT_EQ(catcher_.Caught().size(), 1u);
    EXPECT_EQ(catcher_.Caught()[0].text, "Unable to open " + port);
    Command(CMD_TYPE_INFORMATION);
    ASSERT_EQ(catcher_.Caught().size(), 2u);
    EXPECT_FALSE(catcher_.Caught()[1].isMessageBox);
}

// The View menu's last item and Ctrl+I give the command; the File menu keeps its own items.
TEST_F(TypeCommandTest, MenuItemAndKey) {
    ASSERT_TRUE(OpenBrowser());
    HMENU view = GetSubMenu(GetMenu(AppContext.mainWindow), 1);
    char text[64] = {};
    GetMenuStringA(view, CMD_TYPE_INFORMATION, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Type Information...\tCtrl+I");
    EXPECT_EQ(GetMenuItemID(view, GetMenuItemCount(view) - 1), static_cast<UINT>(CMD_TYPE_INFORMATION));
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(AppContext.mainWindow), 0)), 3);

    ACCEL keys[32] = {};
    const int count = CopyAcceleratorTableA(LoadAcceleratorsA(instance_, "ACCELERATORS"), keys, 32);
    int found = 0;
    for (int i = 0; i < count; ++i) {
        if (keys[i].cmd != CMD_TYPE_INFORMATION) continue;
        ++found;
        EXPECT_EQ(keys[i].key, 'I');
        EXPECT_EQ(keys[i].fVirt & ~FNOINVERT, FVIRTKEY | FCONTROL);
    }
    EXPECT_EQ(found, 1);
}

}  // namespace
