#include <cstring>
#include <random>

#include "browser_fixture.h"
#include "common/unique_owner.h"
#include "resource_ids.h"
#include "shell/main_window.h"
#include "shell/pane_layout.h"
#include "support/test_namespace.h"
#include "views/object_list.h"

namespace {

using MainWindowTest = BrowserTest;

// x 100, y 50, 800 by 600, split 30, Details view; and the record of defaults.
const std::vector<BYTE> kExampleBytes = {0x64, 0, 0, 0, 0x32, 0, 0, 0, 0x20, 3, 0, 0, 0x58, 2, 0, 0,
                                         0x1E, 0, 0, 0, 1,    0, 0, 0, 0x7B, 0, 0, 0};
const std::vector<BYTE> kDefaultBytes = {0,    0, 0, 0x80, 0, 0, 0, 0x80, 0,    0, 0, 0x80, 0, 0, 0, 0x80,
                                         0x32, 0, 0, 0,    1, 0, 0, 0,    0x7B, 0, 0, 0};

std::vector<BYTE> LoadedRecord() {
    LoadSettings();
    const auto* bytes = reinterpret_cast<const BYTE*>(&WindowSettings);
    return {bytes, bytes + sizeof WindowSettings};
}

TEST_F(MainWindowTest, RecordRoundTripsThroughTheWindow) {
    WriteSettingsValue(REG_BINARY, kExampleBytes.data(), kExampleBytes.size());
    ASSERT_TRUE(OpenBrowser());
    RECT outer;
    GetWindowRect(AppContext.mainWindow, &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.bottom, 650);
    CloseBrowser();
    DWORD type = 0;
    EXPECT_EQ(ReadSettingsValue(&type), kExampleBytes);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
}

// No value gives the defaults and the key; a shorter value replaces the fields
// it covers, whatever its type; a longer one changes nothing.
TEST_F(MainWindowTest, StoredValuesOfEverySizeAndType) {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    EXPECT_EQ(LoadedRecord(), kDefaultBytes);
    EXPECT_EQ(SplitPercent, 50);
    EXPECT_EQ(CurrentViewCommand, 123u);
    UniqueRegistryKey key;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()), ERROR_SUCCESS);

    const std::int32_t rectangle[4] = {10, 20, 640, 480};
    WriteSettingsValue(REG_BINARY, rectangle, sizeof rectangle);
    std::vector<BYTE> expected = kDefaultBytes;
    std::memcpy(expected.data(), rectangle, sizeof rectangle);
    EXPECT_EQ(LoadedRecord(), expected);

    std::vector<BYTE> longer = kExampleBytes;
    longer.resize(32, 0xEE);
    WriteSettingsValue(REG_BINARY, longer.data(), longer.size());
    EXPECT_EQ(LoadedRecord(), kDefaultBytes);

    const DWORD left = 77;
    WriteSettingsValue(REG_DWORD, &left, sizeof left);
    expected = kDefaultBytes;
    std::memcpy(expected.data(), &left, sizeof left);
    EXPECT_EQ(LoadedRecord(), expected);
}

// 0x44 is the icon view with two more list styles: the list shows large icons
// without them, while the stored Details button stays pressed.
TEST_F(MainWindowTest, StoredViewKeepsOnlyItsTypeBits) {
    WindowSettingsRecord record = kTestPlacement;
    record.listViewStyle = LVS_ICON | LVS_SINGLESEL | LVS_SHAREIMAGELISTS;
    WriteSettingsValue(REG_BINARY, &record, sizeof record);
    ASSERT_TRUE(OpenBrowser());
    EXPECT_EQ(GetWindowLongA(AppContext.objectList, GWL_STYLE) & 0x47, LVS_ICON);
    EXPECT_NE(SendMessageA(AppContext.toolbar, TB_ISBUTTONPRESSED, CMD_DETAILS_VIEW, 0), 0);
}

// Whatever the stored value holds, the window opens with all five panes, the
// list in the view type the record gives (or the default's), the splitter
// within its limits, and closing ends the loop with 0 and stores a whole record.
TEST_F(MainWindowTest, DamagedSettingsNeverStopTheWindow) {
    std::mt19937 generator(20261207);
    std::vector<BYTE> randomBytes(28);
    for (BYTE& byte : randomBytes) byte = static_cast<BYTE>(generator());
    auto record = [](std::int32_t split, std::int32_t style, std::int32_t command) {
        const std::int32_t fields[] = {20, 20, 700, 500, split, style, command};
        const auto* first = reinterpret_cast<const BYTE*>(fields);
        return std::vector<BYTE>(first, first + sizeof fields);
    };
    const std::vector<BYTE> whole = record(40, 2, 121);
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"empty", REG_BINARY, {}},
        {"3 bytes", REG_BINARY, {1, 2, 3}},
        {"16 bytes", REG_BINARY, std::vector<BYTE>(whole.begin(), whole.begin() + 16)},
        {"28 bytes", REG_BINARY, whole},
        {"100 bytes", REG_BINARY, std::vector<BYTE>(100, 0x7F)},
        {"string type", REG_SZ, whole},
        {"random", REG_BINARY, randomBytes},
        {"split -5", REG_BINARY, record(-5, 0, 120)},
        {"split 1000", REG_BINARY, record(1000, 3, 122)},
        {"style 7, command 999", REG_BINARY, record(50, 7, 999)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSettingsValue(c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size()));
        // What the record should hold: the defaults, overlaid by a value that fits.
        WindowSettingsRecord expected = kDefaultWindowSettings;
        if (c.bytes.size() <= sizeof expected) std::memcpy(&expected, c.bytes.data(), c.bytes.size());

        // Shown, as the program shows it: the first layout comes with showing.
        ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));
        for (HWND pane : {AppContext.statusBar, AppContext.toolbar, AppContext.objectList, AppContext.namespaceTree,
                          AppContext.splitter})
            EXPECT_NE(pane, nullptr);
        EXPECT_EQ(GetWindowLongA(AppContext.objectList, GWL_STYLE) & LVS_TYPEMASK,
                  expected.listViewStyle & LVS_TYPEMASK);
        RECT client{};
        GetClientRect(AppContext.mainWindow, &client);
        RECT splitter{};
        GetWindowRect(AppContext.splitter, &splitter);
        MapWindowPoints(nullptr, AppContext.mainWindow, reinterpret_cast<POINT*>(&splitter), 2);
        if (client.right >= 40) {
            EXPECT_GE(splitter.left, 20);
            EXPECT_LE(splitter.left, client.right - 20);
        }
        DestroyWindow(AppContext.mainWindow);
        EXPECT_EQ(TakeQuitRequest(), 0);
        DWORD type = 0;
        EXPECT_EQ(ReadSettingsValue(&type).value_or(std::vector<BYTE>{}).size(), 28u);
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    }
}

// Closed while minimised or maximised, the window stores the rectangle it has
// when restored, not the icon's far off screen or the whole screen's.
TEST_F(MainWindowTest, ClosingMinimisedOrMaximisedStoresTheRestoredRectangle) {
    for (int show : {SW_MINIMIZE, SW_MAXIMIZE}) {
        SCOPED_TRACE(show);
        ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));
        SetWindowPos(AppContext.mainWindow, nullptr, 120, 80, 640, 480, SWP_NOZORDER);
        ShowWindow(AppContext.mainWindow, show);
        ASSERT_TRUE(show == SW_MINIMIZE ? IsIconic(AppContext.mainWindow) : IsZoomed(AppContext.mainWindow));
        CloseBrowser();
        WindowSettingsRecord stored{};
        std::memcpy(&stored, ReadSettingsValue().value().data(), sizeof stored);
        EXPECT_EQ(stored.x, 120);
        EXPECT_EQ(stored.y, 80);
        EXPECT_EQ(stored.width, 640);
        EXPECT_EQ(stored.height, 480);
    }
}

TEST_F(MainWindowTest, ExitEndsWithoutSavingAndClosingSaves) {
    ASSERT_TRUE(OpenBrowser());
    SetWindowPos(AppContext.mainWindow, nullptr, 40, 30, 700, 500, SWP_NOZORDER);
    Command(CMD_EXIT);
    EXPECT_EQ(TakeQuitRequest(), 0);
    ASSERT_TRUE(IsWindow(AppContext.mainWindow));
    EXPECT_EQ(std::memcmp(ReadSettingsValue().value().data(), &kTestPlacement, sizeof kTestPlacement), 0);

    const HBRUSH brush = BackgroundBrush;
    ASSERT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    SendMessageA(AppContext.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(AppContext.mainWindow));
    EXPECT_EQ(TakeQuitRequest(), 0);
    EXPECT_EQ(GetObjectType(brush), 0u);  // the background brush went with the window
    WindowSettingsRecord stored{};
    std::memcpy(&stored, ReadSettingsValue().value().data(), sizeof stored);
    EXPECT_EQ(stored.x, 40);
    EXPECT_EQ(stored.height, 500);
}

// F5 sent to the tree reaches the main window through the one loop: the
// rebuilt tree shows a directory made after start-up.
TEST_F(MainWindowTest, AcceleratorsWorkWhicheverPaneHasTheKey) {
    ScratchDirectory scratch;
    ASSERT_TRUE(OpenBrowser());
    const std::string later = scratch.AddDirectory("Later");
    ASSERT_EQ(TreeItem(later), nullptr);
    PostMessageA(AppContext.namespaceTree, WM_KEYDOWN, VK_F5, 1);
    PostQuitMessage(0);
    EXPECT_EQ(RunMessageLoop(LoadAcceleratorsA(instance_, "ACCELERATORS")), 0);
    EXPECT_NE(TreeItem(later), nullptr);
}

TEST_F(MainWindowTest, AboutBoxClosesWithOkOnly) {
    ASSERT_TRUE(OpenBrowser());
    {
        DialogCatcher about([](HWND dialog, const CaughtDialog&) { return PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
        Command(CMD_ABOUT);
        ASSERT_EQ(about.Caught().size(), 1u);
        EXPECT_EQ(about.Caught()[0].caption, "About Tarnel");
    }
    // Esc and the close box send IDCANCEL, which leaves the box open.
    HWND box = CreateDialogParamA(instance_, "AboutBox", AppContext.mainWindow, AboutDlgProc, 0);
    SendMessageA(box, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindowVisible(box));
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(IsWindowVisible(box));
    DestroyWindow(box);
}

}  // namespace
