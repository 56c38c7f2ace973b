#include <cstring>

#include "browser_fixture.h"
#include "common/unique_owner.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "shell/main_window.h"
#include "shell/pane_layout.h"
#include "views/object_list.h"

namespace {

using SettingsTest = BrowserTest;

// x 100, y 50, 800 by 600, split 30, Details view.
const std::vector<BYTE> kExampleBytes = {0x64, 0, 0, 0, 0x32, 0, 0, 0, 0x20, 3, 0, 0, 0x58, 2, 0, 0,
                                         0x1E, 0, 0, 0, 1, 0, 0, 0, 0x7B, 0, 0, 0};
const std::vector<BYTE> kDefaultBytes = {0, 0, 0, 0x80, 0, 0, 0, 0x80, 0, 0, 0, 0x80, 0, 0, 0, 0x80,
                                         0x32, 0, 0, 0, 1, 0, 0, 0, 0x7B, 0, 0, 0};

std::vector<BYTE> LiveRecordBytes() {
    const auto* bytes = reinterpret_cast<const BYTE*>(&WindowSettings);
    return {bytes, bytes + sizeof WindowSettings};
}

bool Pressed(UINT command) { return SendMessageA(AppContext.toolbar, TB_ISBUTTONPRESSED, command, 0) != 0; }
LONG ListType() { return GetWindowLongA(AppContext.objectList, GWL_STYLE) & LVS_TYPEMASK; }

TEST_F(SettingsTest, RecordRoundTripsThroughTheWindow) {
    WriteSettingsValue(REG_BINARY, kExampleBytes.data(), kExampleBytes.size());
    ASSERT_TRUE(OpenBrowser());
    RECT outer;
    GetWindowRect(AppContext.mainWindow, &outer);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.top, 50);
    EXPECT_EQ(outer.right - outer.left, 800);
    EXPECT_EQ(outer.bottom - outer.top, 600);
    EXPECT_EQ(SplitPercent, 30);
    CloseBrowser();
    std::optional<StoredValue> stored = ReadSettingsValue();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(stored->bytes, kExampleBytes);
}

TEST_F(SettingsTest, FirstStartUsesDefaultsAndCreatesTheKey) {
    DeleteSettingsKey();
    ASSERT_TRUE(OpenBrowser());
    EXPECT_EQ(LiveRecordBytes(), kDefaultBytes);
    UniqueRegistryKey key;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()), ERROR_SUCCESS);
    EXPECT_FALSE(ReadSettingsValue());
    EXPECT_EQ(ListType(), LVS_REPORT);
    EXPECT_TRUE(Pressed(CMD_DETAILS_VIEW));
    RECT client;
    GetClientRect(AppContext.mainWindow, &client);
    EXPECT_EQ(PaneRect(AppContext.splitter).left, client.right / 2);
}

// Shorter values replace the fields they cover whatever their type; a longer one changes nothing.
TEST_F(SettingsTest, StoredValuesOfOtherSizesAndTypes) {
    const std::int32_t rectangle[4] = {10, 20, 640, 480};
    WriteSettingsValue(REG_BINARY, rectangle, sizeof rectangle);
    LoadSettings();
    EXPECT_EQ(std::memcmp(&WindowSettings, rectangle, sizeof rectangle), 0);
    EXPECT_EQ(SplitPercent, 50);
    EXPECT_EQ(ListViewStyle, 1);
    EXPECT_EQ(CurrentViewCommand, 123u);

    std::vector<BYTE> longer = kExampleBytes;
    longer.resize(32, 0xEE);
    WriteSettingsValue(REG_BINARY, longer.data(), longer.size());
    LoadSettings();
    EXPECT_EQ(LiveRecordBytes(), kDefaultBytes);

    const DWORD left = 77;
    WriteSettingsValue(REG_DWORD, &left, sizeof left);
    LoadSettings();
    EXPECT_EQ(WindowSettings.x, 77);
    EXPECT_EQ(WindowSettings.y, CW_USEDEFAULT);
}

TEST_F(SettingsTest, DisagreeingStyleAndCommandAreUsedAsStored) {
    WindowSettingsRecord record = kTestPlacement;
    record.listViewStyle = LVS_ICON;
    WriteSettingsValue(REG_BINARY, &record, sizeof record);
    ASSERT_TRUE(OpenBrowser());
    EXPECT_EQ(ListType(), LVS_ICON);
    EXPECT_TRUE(Pressed(CMD_DETAILS_VIEW));
    EXPECT_FALSE(Pressed(CMD_LARGE_ICON_VIEW));
}

TEST_F(SettingsTest, StyleOutsideTheTypesKeepsOnlyItsTypeBits) {
    WindowSettingsRecord record = kTestPlacement;
    record.listViewStyle = 0x47;  // list view type 3 with LVS_SINGLESEL and LVS_SHAREIMAGELISTS
    WriteSettingsValue(REG_BINARY, &record, sizeof record);
    ASSERT_TRUE(OpenBrowser());
    EXPECT_EQ(ListType(), LVS_LIST);
    EXPECT_EQ(GetWindowLongA(AppContext.objectList, GWL_STYLE) & (LVS_SINGLESEL | LVS_SHAREIMAGELISTS), 0);
    EXPECT_EQ(ListViewStyle, LVS_LIST);
}

TEST_F(SettingsTest, ExitEndsWithoutSavingAndClosingSaves) {
    ASSERT_TRUE(OpenBrowser());
    SetWindowPos(AppContext.mainWindow, nullptr, 40, 30, 700, 500, SWP_NOZORDER);
    Command(CMD_EXIT);
    EXPECT_EQ(TakeQuitRequest(), 0);
    ASSERT_TRUE(IsWindow(AppContext.mainWindow));
    EXPECT_EQ(ReadSettingsValue().value().bytes, std::vector<BYTE>(reinterpret_cast<const BYTE*>(&kTestPlacement),
                                                            reinterpret_cast<const BYTE*>(&kTestPlacement + 1)));

    SendMessageA(AppContext.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(AppContext.mainWindow));
    EXPECT_EQ(TakeQuitRequest(), 0);
    WindowSettingsRecord stored{};
    std::memcpy(&stored, ReadSettingsValue().value().bytes.data(), sizeof stored);
    EXPECT_EQ(stored.x, 40);
    EXPECT_EQ(stored.y, 30);
    EXPECT_EQ(stored.width, 700);
    EXPECT_EQ(stored.height, 500);
}

}  // namespace
