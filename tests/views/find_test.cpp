// Finding objects by name through the real Find box, and Find Next.
#include <functional>
#include <set>

#include "browser_fixture.h"
#include "resource_ids.h"
#include "support/test_namespace.h"
#include "views/navigation.h"

namespace {

// What the Find box showed when its search had ended.
struct FindView {
    std::set<std::pair<std::string, std::string>> results;  // path and type
    int rows = 0;
    std::string count;
    std::string notes;
    bool mainEnabled = true;
};

std::string ItemText(HWND list, int row, int column) {
    char text[1024] = {};
    ListView_GetItemText(list, row, column, text, sizeof text);
    return text;
}

FindView ReadFindBox(HWND dialog) {
    FindView view;
    HWND list = GetDlgItem(dialog, IDC_FIND_RESULTS);
    view.rows = ListView_GetItemCount(list);
    for (int row = 0; row < view.rows; ++row) view.results.insert({ItemText(list, row, 0), ItemText(list, row, 1)});
    view.count = WindowText(dialog, IDC_FIND_COUNT);
    view.notes = WindowText(dialog, IDC_FIND_NOTES);
    view.mainEnabled = IsWindowEnabled(AppContext.mainWindow) != FALSE;
    return view;
}

// The act waiting for the running search to end, polled from the box's loop.
std::function<void(HWND)> PendingAct;
HWND PendingBox = nullptr;

void CALLBACK ActWhenSearchEnds(HWND, UINT, UINT_PTR id, DWORD) {
    if (IsWindowEnabled(GetDlgItem(PendingBox, IDC_FIND_STOP))) return;
    KillTimer(nullptr, id);
    std::function<void(HWND)> act = std::move(PendingAct);
    act(PendingBox);
}

class FindTest : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_TRUE(scratch_.Valid());
    }

    // Opens Find from the main window, types text, picks the scope and presses
    // Find; once the search has ended, act runs in the box (and must close it).
    void Find(const std::string& text, bool everywhere, std::function<void(HWND)> act) {
        DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
            if (caught.isMessageBox || caught.caption != "Find") return false;
            SetDlgItemTextA(dialog, IDC_FIND_TEXT, text.c_str());
            CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, everywhere ? IDC_FIND_EVERYWHERE : IDC_FIND_HERE);
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            PendingBox = dialog;
            PendingAct = act;
            SetTimer(nullptr, 0, 10, ActWhenSearchEnds);
            return true;
        });
        Command(CMD_FIND);
    }

    static void DoubleClickResult(HWND dialog, int row) {
        NMITEMACTIVATE activate{};
        activate.hdr = {GetDlgItem(dialog, IDC_FIND_RESULTS), IDC_FIND_RESULTS, static_cast<UINT>(NM_DBLCLK)};
        activate.iItem = row;
        SendMessageA(dialog, WM_NOTIFY, IDC_FIND_RESULTS, reinterpret_cast<LPARAM>(&activate));
    }

    static int ResultRow(HWND dialog, const std::string& path) {
        HWND list = GetDlgItem(dialog, IDC_FIND_RESULTS);
        for (int row = 0; row < ListView_GetItemCount(list); ++row)
            if (ItemText(list, row, 0) == path) return row;
        return -1;
    }

    void ShowScratch() {
        Command(CMD_REFRESH);
        SelectInTree(scratch_.Path());
    }

    ScratchDirectory scratch_;
};

// Matches show with their types, whatever their case; a directory that cannot
// be opened is named at the end, not fatal; the main window is disabled while
// the box is up; choosing a result goes there.
TEST_F(FindTest, FindsByPartOfTheNameAndGoesToTheChosenResult) {
    const std::string event = scratch_.AddEvent("FindMeEvent", true, false);
    scratch_.AddDirectory("Sub");
    const std::string semaphore = scratch_.AddSemaphore("Sub\\findme-semaphore", 1, 2);
    scratch_.AddEvent("Sub\\Other", true, false);
    const std::string locked = scratch_.AddLockedDirectory("Locked");
    ASSERT_FALSE(locked.empty());
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();

    FindView view;
    Find("FINDME", false, [&](HWND dialog) {
        view = ReadFindBox(dialog);
        DoubleClickResult(dialog, ResultRow(dialog, semaphore));
    });
    EXPECT_EQ(view.results, (std::set<std::pair<std::string, std::string>>{{event, "Event"}, {semaphore, "Semaphore"}}));
    EXPECT_EQ(view.count, "2 found in 5 entries.");
    EXPECT_EQ(view.notes, "1 directory could not be searched: " + locked + ".");
    EXPECT_FALSE(view.mainEnabled);
    EXPECT_STREQ(CurrentDirectory, scratch_.PathOf("Sub").c_str());
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"findme-semaphore"});
    EXPECT_TRUE(IsWindowEnabled(AppContext.mainWindow));

    // The whole namespace, from wherever the list is.
    Find("findmeevent", true, [&](HWND dialog) {
        view = ReadFindBox(dialog);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(view.results, (std::set<std::pair<std::string, std::string>>{{event, "Event"}}));
    EXPECT_STREQ(CurrentDirectory, scratch_.PathOf("Sub").c_str());
}

// Stop ends a search after the entries it has read; Esc stops a running search
// and closes the box only once none runs.
TEST_F(FindTest, SearchStopsHalfwayAndEscClosesOnlyWhenStopped) {
    for (int i = 0; i < 300; ++i) scratch_.AddEvent("Many" + std::to_string(1000 + i), true, false);
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();

    FindView stopped;
    bool openAfterFirstEsc = false;
    DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox) return false;
        SetDlgItemTextA(dialog, IDC_FIND_TEXT, "many");
        CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, IDC_FIND_HERE);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        SendMessageA(dialog, WM_COMMAND, IDC_FIND_STOP, 0);
        stopped = ReadFindBox(dialog);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        openAfterFirstEsc = IsWindow(dialog) && !IsWindowEnabled(GetDlgItem(dialog, IDC_FIND_STOP));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    Command(CMD_FIND);
    EXPECT_GT(stopped.rows, 0);
    EXPECT_LT(stopped.rows, 300);
    EXPECT_EQ(stopped.count, "Stopped: " + std::to_string(stopped.rows) + " found in " + std::to_string(stopped.rows) +
                                 " entries.");
    EXPECT_TRUE(openAfterFirstEsc);
}

// Find Next goes to each result of the last search in turn, then from the first again.
TEST_F(FindTest, FindNextGoesToTheNextResultInTurn) {
    for (const char* name : {"Next1", "Next2", "Next3"}) scratch_.AddEvent(name, true, false);
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();
    Find("next", false, [&](HWND dialog) { DoubleClickResult(dialog, 0); });
    std::vector<std::string> shown = {SelectedNames().at(0)};
    for (int press = 0; press < 3; ++press) {
        Command(CMD_FIND_NEXT);
        shown.push_back(SelectedNames().at(0));
    }
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.begin() + 3),
              (std::set<std::string>{"Next1", "Next2", "Next3"}));
    EXPECT_EQ(shown[3], shown[0]);
}

}  // namespace
