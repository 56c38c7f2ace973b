// Runs the real main window in-process, made by the program's own start-up
// code. Puts back the stored settings, the classes and the quit request, and
// checks that every path block of the test was released exactly once.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/path_block.h"
#include "namespace/visible_name.h"
#include "shell/app_context.h"
#include "shell/settings.h"
#include "shell/startup.h"
#include "support/dialog_catcher.h"
#include "views/namespace_tree.h"

// Where each test's window opens unless the test stores something else.
inline constexpr WindowSettingsRecord kTestPlacement = {0, 0, 800, 600, 50, 1, 123};

// The bytes of the stored "Settings" value, or nothing when there is none.
std::optional<std::vector<BYTE>> ReadSettingsValue(DWORD* type = nullptr);
void WriteSettingsValue(DWORD type, const void* data, DWORD size);

class BrowserTest : public ::testing::Test {
public:
    // Hidden unless asked: Wine waits for a window manager when a shown window is hidden.
    bool OpenBrowser(int showCommand = SW_HIDE) { return CreateMainWindow(instance_, showCommand) == 1; }
    // Opens the window as the program does when it is given a path to start at.
    bool OpenBrowserAt(const std::wstring& path) { return CreateMainWindow(instance_, SW_HIDE, path) == 1; }
    bool OpenBrowserAt(const std::string& path) { return OpenBrowserAt(WidenPath(path)); }
    void CloseBrowser();
    // The exit value of a pending quit request, or -1 when there is none.
    static int TakeQuitRequest();

    static void Command(UINT id) { SendMessageA(AppContext.mainWindow, WM_COMMAND, id, 0); }
    // Puts text into Go To's box, as typed or pasted, and presses Enter; a box
    // that stays up after its message is cancelled. Returns the messages shown.
    static std::vector<std::string> GoTo(const std::wstring& text);
    static std::vector<std::string> GoTo(const std::string& path);
    static std::string StatusText();
    static std::vector<std::string> ListNames();
    static int FindRow(const std::string& name);
    static HTREEITEM TreeItem(std::string path) {
        return FindTreeItemByPath(AppContext.namespaceTree, nullptr, path.data());
    }
    static HTREEITEM TreeCaret() { return TreeView_GetSelection(AppContext.namespaceTree); }
    static const char* TreeItemPath(HTREEITEM item);  // null when there is no item
    static void SelectInTree(const std::string& path) { TreeView_SelectItem(AppContext.namespaceTree, TreeItem(path)); }
    // Sends the list's click report with GetMessagePos at screen (a row's label for a row of 0 or more).
    static void ClickList(UINT code, int row, POINT screen = {});
    // Makes the centre of a list's row the position of the message being handled, as a click there would.
    static void PointAtRow(HWND list, int row);
    // Selects a row as the keyboard does: the list's own selection and focus move, nothing else.
    static void SelectRow(int row);
    // The list's selected rows, by name.
    static std::vector<std::string> SelectedNames();

protected:
    void SetUp() override;
    void TearDown() override;

    HINSTANCE instance_ = GetModuleHandleA(nullptr);
    DialogCatcher catcher_;

private:
    std::optional<std::vector<BYTE>> savedValue_;
    DWORD savedType_ = REG_BINARY;
    bool hadKey_ = false;
    PathBlockCounts countsBefore_{};
};
