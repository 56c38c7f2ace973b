#include "browser_fixture.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "support/test_namespace.h"

namespace {

using MainWindowTest = BrowserTest;

TEST_F(MainWindowTest, AboutBoxClosesWithOkOnly) {
    ASSERT_TRUE(OpenBrowser());
    bool cancelIgnored = false;
    DialogCatcher about([&](HWND dialog, const CaughtDialog&) {
        // Esc and the close box send IDCANCEL, which leaves the box open.
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        cancelIgnored = IsWindowVisible(dialog) != FALSE;
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    Command(CMD_ABOUT);
    ASSERT_EQ(about.Caught().size(), 1u);
    EXPECT_EQ(about.Caught()[0].caption, "About Tarnel");
    EXPECT_TRUE(cancelIgnored);
}

// F5 sent to the tree reaches the main window through the one loop: the tree
// is rebuilt and shows a directory made after start-up.
TEST_F(MainWindowTest, AcceleratorsWorkWhicheverPaneHasTheKey) {
    ScratchDirectory scratch;
    ASSERT_TRUE(OpenBrowser());
    const std::string added = scratch.AddDirectory("Later");
    ASSERT_EQ(TreeItem(added), nullptr);

    PostMessageA(AppContext.namespaceTree, WM_KEYDOWN, VK_F5, 1);
    PostQuitMessage(0);
    EXPECT_EQ(RunMessageLoop(LoadAcceleratorsA(instance_, "ACCELERATORS")), 0);
    EXPECT_NE(TreeItem(added), nullptr);
}

TEST_F(MainWindowTest, PropertiesOpenForTheSelectedPathOnly) {
    ASSERT_TRUE(OpenBrowser());
    AppContext.SelectedPath = nullptr;
    Command(CMD_PROPERTIES);
    EXPECT_TRUE(catcher_.Caught().empty());

    AppContext.SelectedPath = "\\BaseNamedObjects";
    Command(CMD_PROPERTIES);
    ASSERT_EQ(catcher_.Caught().size(), 1u);
    EXPECT_FALSE(catcher_.Caught()[0].isMessageBox);
}

}  // namespace
