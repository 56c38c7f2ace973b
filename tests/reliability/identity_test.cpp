// Every row and every sheet is the object it names: the sheet is modal and
// keeps its own path, a refused row moves no other row's columns, and a
// message box shown during a fill lets nothing start another fill.
#include <map>

#include "browser_fixture.h"
#include "properties/security_page.h"
#include "resource_ids.h"
#include "sheet_reader.h"
#include "support/test_namespace.h"
#include "views/navigation.h"

namespace {

// Makes the list refuse its next inserts, as a list out of memory would.
WNDPROC ListProc = nullptr;
int InsertsToRefuse = 0;

LRESULT CALLBACK RefuseInserts(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_INSERTITEMA && InsertsToRefuse > 0) {
        --InsertsToRefuse;
        return -1;
    }
    return CallWindowProcA(ListProc, window, message, wParam, lParam);
}

// Makes the tree take its next inserts, then refuse as many more.
WNDPROC TreeProc = nullptr;
int TreeInsertsToTake = 0;
int TreeInsertsToRefuse = 0;

LRESULT CALLBACK RefuseTreeInserts(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TVM_INSERTITEMA && TreeInsertsToTake-- <= 0 && TreeInsertsToRefuse > 0) {
        --TreeInsertsToRefuse;
        return 0;
    }
    return CallWindowProcA(TreeProc, window, message, wParam, lParam);
}

// Records whether the main window was enabled when a modal window was being destroyed.
WNDPROC WatchedProc = nullptr;
bool MainEnabledAtDestroy = false;

LRESULT CALLBACK WatchDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) MainEnabledAtDestroy = IsWindowEnabled(AppContext.mainWindow) != FALSE;
    return CallWindowProcA(WatchedProc, window, message, wParam, lParam);
}

void WatchDestroyOf(HWND window) {
    MainEnabledAtDestroy = false;
    WatchedProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchDestroy)));
}

class IdentityTest : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_TRUE(scratch_.Valid());
    }

    void RefuseNextInserts(int count) {
        InsertsToRefuse = count;
        ListProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(AppContext.objectList, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefuseInserts)));
    }

    void RefuseTreeInsertsAfter(int taken, int refused) {
        TreeInsertsToTake = taken;
        TreeInsertsToRefuse = refused;
        TreeProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(AppContext.namespaceTree, GWLP_WNDPROC,
                                                               reinterpret_cast<LONG_PTR>(RefuseTreeInserts)));
    }

    ScratchDirectory scratch_;
};

// While a sheet is up the main window is disabled. A tree selection reported
// meanwhile lists another directory and frees the row that lent the sheet its
// path, yet the Security page built afterwards is the sheet's own object's.
TEST_F(IdentityTest, SheetIsModalAndKeepsItsObjectWhenTheListChanges) {
    const std::string link = scratch_.AddSymbolicLink("Link", "\\Device\\Null");
    const std::string other = scratch_.AddDirectory("Other");
    for (int i = 0; i < 8; ++i) scratch_.AddEvent("Other\\Event" + std::to_string(i), true, false);
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());

    bool mainEnabled = true, rowFreed = false;
    std::string securityPath;
    bool buttons[3] = {};
    SheetReader reader(false, [&](HWND sheet) {
        mainEnabled = IsWindowEnabled(AppContext.mainWindow) != FALSE;
        const long freed = GetPathBlockCounts().freed;
        SelectInTree(other);
        rowFreed = GetPathBlockCounts().freed > freed;
        PropSheet_SetCurSel(sheet, nullptr, 1);
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        securityPath = SecurityPage.object.path;
        for (int i = 0; i < 3; ++i) buttons[i] = IsWindowEnabled(GetDlgItem(page, IDC_SECURITY_PERMISSIONS + i));
    });
    ClickList(NM_CLICK, FindRow("Link"));
    Command(CMD_PROPERTIES);

    ASSERT_EQ(reader.Sheets().size(), 1u);
    EXPECT_EQ(reader.Sheets()[0].name, link);
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(rowFreed);
    EXPECT_EQ(securityPath, link);
    for (bool enabled : buttons) EXPECT_TRUE(enabled);
    EXPECT_TRUE(IsWindowEnabled(AppContext.mainWindow));
    EXPECT_STREQ(CurrentDirectory, other.c_str());
}

// The list refuses the first row of a fill: "LV_AddItem failed!" says so once,
// and every later row still shows its own type and target.
TEST_F(IdentityTest, RefusedRowMovesNoOtherRowsColumns) {
    const std::map<std::string, std::pair<std::string, std::string>> objects = {
        {"Event1", {"Event", ""}},   {"Event2", {"Event", ""}},
        {"Link1", {"SymbolicLink", "\\Device\\Null"}}, {"Link2", {"SymbolicLink", "\\Device\\Beep"}},
        {"Sem", {"Semaphore", ""}},  {"Sub", {"Directory", ""}},
    };
    scratch_.AddEvent("Event1", true, false);
    scratch_.AddEvent("Event2", true, false);
    scratch_.AddSymbolicLink("Link1", "\\Device\\Null");
    scratch_.AddSymbolicLink("Link2", "\\Device\\Beep");
    scratch_.AddSemaphore("Sem", 1, 2);
    scratch_.AddDirectory("Sub");
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    RefuseNextInserts(1);
    SelectInTree(scratch_.Path());

    ASSERT_EQ(catcher_.MessageBoxCount(), 1);
    EXPECT_EQ(catcher_.Caught().back().text, "LV_AddItem failed!");
    const std::vector<std::string> names = ListNames();
    ASSERT_EQ(names.size(), objects.size() - 1);
    for (int row = 0; row < static_cast<int>(names.size()); ++row) {
        SCOPED_TRACE(names[row]);
        const auto found = objects.find(names[row]);
        ASSERT_NE(found, objects.end());
        EXPECT_EQ(RowField(row, 1), found->second.first);
        EXPECT_EQ(RowField(row, 2), found->second.second);
    }
}

// While "LV_AddItem failed!" is up, the main window is disabled, and a tree
// selection, Refresh or Up One Level reported meanwhile starts nothing: the
// fill that showed the box ends with its own directory's rows.
TEST_F(IdentityTest, MessageBoxDuringAFillStartsNoOtherFill) {
    for (const char* name : {"A", "B", "C"}) scratch_.AddEvent(name, true, false);
    const std::string other = scratch_.AddDirectory("Other");
    scratch_.AddEvent("Other\\Inside", true, false);
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    RefuseNextInserts(1);

    bool mainEnabledUnderBox = true;
    DialogCatcher box([&](HWND, const CaughtDialog& caught) {
        if (!caught.isMessageBox) return false;
        mainEnabledUnderBox = IsWindowEnabled(AppContext.mainWindow) != FALSE;
        SelectInTree(other);
        Command(CMD_REFRESH);
        Command(CMD_UP_ONE_LEVEL);
        return false;  // then closed with OK
    });
    SelectInTree(scratch_.Path());

    ASSERT_EQ(box.MessageBoxCount(), 1);
    EXPECT_FALSE(mainEnabledUnderBox);
    EXPECT_TRUE(IsWindowEnabled(AppContext.mainWindow));
    EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    const std::vector<std::string> names = ListNames();
    EXPECT_EQ(names.size(), 3u);
    for (const std::string& name : names) EXPECT_TRUE(name == "A" || name == "B" || name == "C" || name == "Other");
}

// The main window is enabled again before the sheet, or a fill's failure
// box, goes away, so that the activation comes back to it rather than
// passing to another program's window. The failure box is owned by the
// window that was active.
TEST_F(IdentityTest, ModalWindowsHandTheActivationBackToTheMainWindow) {
    scratch_.AddEvent("Object", true, false);
    ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());
    ClickList(NM_CLICK, FindRow("Object"));

    bool watchedSheet = false;
    SheetReader reader(false, [&](HWND sheet) {
        WatchDestroyOf(sheet);
        watchedSheet = true;
    });
    Command(CMD_PROPERTIES);
    ASSERT_TRUE(watchedSheet);
    EXPECT_TRUE(MainEnabledAtDestroy);
    EXPECT_EQ(GetActiveWindow(), AppContext.mainWindow);

    HWND owner = nullptr;
    DialogCatcher box([&](HWND dialog, const CaughtDialog& caught) {
        if (!caught.isMessageBox) return false;
        owner = GetWindow(dialog, GW_OWNER);
        WatchDestroyOf(dialog);
        return false;  // then closed with OK
    });
    RefuseNextInserts(1);
    Command(CMD_REFRESH);
    ASSERT_EQ(box.MessageBoxCount(), 1);
    EXPECT_EQ(owner, AppContext.mainWindow);
    EXPECT_TRUE(MainEnabledAtDestroy);
    EXPECT_EQ(GetActiveWindow(), AppContext.mainWindow);
}

// Go To fills the tree once its box has closed; while that fill shows a
// failure, its box is owned by the main window, which it disables, and a Go
// To that reaches the window meanwhile starts nothing.
TEST_F(IdentityTest, GoToStartsNothingUnderAFillFailure) {
    ASSERT_TRUE(OpenBrowser(SW_SHOWNORMAL));
    const std::string late = scratch_.AddDirectory("Late");
    scratch_.AddDirectory("Late\\Sub");
    RefuseTreeInsertsAfter(1, 1);  // "Late" goes in, its "Sub" is refused

    int goToBoxes = 0;
    HWND owner = nullptr;
    bool mainEnabledUnderBox = true;
    long walksDuringBox = -1;
    DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
        if (!caught.isMessageBox) {
            if (caught.caption != "Go To") return false;
            ++goToBoxes;
            SetDlgItemTextA(dialog, IDC_GOTO_PATH, late.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            return true;
        }
        owner = GetWindow(dialog, GW_OWNER);
        mainEnabledUnderBox = IsWindowEnabled(AppContext.mainWindow) != FALSE;
        const long before = NamespaceCounters().enumerations;
        SendMessageA(AppContext.mainWindow, WM_COMMAND, CMD_GO_TO, 0);
        walksDuringBox = NamespaceCounters().enumerations - before;
        return false;
    });
    Command(CMD_GO_TO);

    ASSERT_EQ(catcher.MessageBoxCount(), 1);
    EXPECT_EQ(catcher.Caught().back().text, "TVM_INSERTITEM failed");
    EXPECT_EQ(owner, AppContext.mainWindow);
    EXPECT_FALSE(mainEnabledUnderBox);
    EXPECT_EQ(goToBoxes, 1);
    EXPECT_EQ(walksDuringBox, 0);
    EXPECT_STREQ(CurrentDirectory, late.c_str());
}

}  // namespace
