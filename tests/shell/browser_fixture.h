// Runs the real main window in-process, created by the program's own start-up
// code, and puts back what a test changed: the stored settings, the classes,
// the quit request. Every test also checks that each path block was released once.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/path_block.h"
#include "shell/settings.h"
#include "support/dialog_catcher.h"

// The stored "Settings" value, or nothing when there is none.
struct StoredValue {
    DWORD type;
    std::vector<BYTE> bytes;
};
std::optional<StoredValue> ReadSettingsValue();
void WriteSettingsValue(DWORD type, const void* data, DWORD size);
void DeleteSettingsKey();

// Where every test's window opens unless the test stores something else.
inline constexpr WindowSettingsRecord kTestPlacement = {0, 0, 800, 600, 50, 1, 123};

class BrowserTest : public ::testing::Test {
public:
    // Creates the main window from what is stored; false when it did not come up.
    bool OpenBrowser();
    void CloseBrowser();
    // Removes a pending quit request; its exit value, or -1 when there was none.
    static int TakeQuitRequest();

    static void Command(UINT id);
    static void SetClientSize(int width, int height);
    static RECT PaneRect(HWND pane);  // in the main window's client coordinates
    static std::string StatusText();
    static std::vector<std::string> ListNames();
    static int FindRow(const std::string& name);
    static HTREEITEM TreeItem(const std::string& path);
    static HTREEITEM TreeCaret();
    static const char* TreeItemPathPointer(HTREEITEM item);  // null when unreadable
    static std::string TreeItemPath(HTREEITEM item);
    static void SelectInTree(const std::string& path);
    // Sends the report a control makes, from the window and id given.
    static void Notify(HWND from, int id, UINT code);
    // Makes position the one GetMessagePos gives for the message being handled.
    static void SetMessagePosition(POINT screen);
    static POINT RowPoint(int row);  // screen point on a row's label
    static void ClickRow(int row, UINT code);

protected:
    void SetUp() override;
    void TearDown() override;

    HINSTANCE instance_ = GetModuleHandleA(nullptr);
    DialogCatcher catcher_;

private:
    std::optional<StoredValue> savedValue_;
    bool hadKey_ = false;
    PathBlockCounts countsBefore_{};
};
