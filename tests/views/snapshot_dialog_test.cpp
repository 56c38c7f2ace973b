// The Save Snapshot and Compare with Snapshot boxes in the real main window:
// their menu items and keys, a save of the shown directory, a comparison with
// the live namespace listed, sorted and gone to, and files refused.
#include <functional>

#include "browser_fixture.h"
#include "namespace/visible_name.h"
#include "resource_ids.h"
#include "shell/snapshot_dialogs.h"
#include "snapshot/snapshot_format.h"
#include "support/scratch_file.h"
#include "support/test_namespace.h"
#include "views/navigation.h"

namespace {

std::string ChosenFile;
bool ChooseForTest(HWND, bool, std::string& file) {
    file = ChosenFile;
    return !file.empty();
}

// The act waiting for the box's work to end, polled from the box's loop.
std::function<void(HWND)> PendingAct;
HWND PendingBox = nullptr;
int PendingStop = 0;

void CALLBACK ActWhenWorkEnds(HWND, UINT, UINT_PTR id, DWORD) {
    if (IsWindowEnabled(GetDlgItem(PendingBox, PendingStop))) return;
    KillTimer(nullptr, id);
    std::function<void(HWND)> act = std::move(PendingAct);
    act(PendingBox);
}

struct ListedDifference {
    std::string kind, path, before, after;
    bool operator==(const ListedDifference&) const = default;
};

std::vector<ListedDifference> Listed(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_COMPARE_RESULTS);
    std::vector<ListedDifference> rows;
    char cells[4][512];
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        for (int column = 0; column < 4; ++column) ListView_GetItemText(list, row, column, cells[column], 512);
        rows.push_back({cells[0], cells[1], cells[2], cells[3]});
    }
    return rows;
}

void ClickColumn(HWND dialog, int column) {
    NMLISTVIEW click{};
    click.hdr = {GetDlgItem(dialog, IDC_COMPARE_RESULTS), IDC_COMPARE_RESULTS, static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(dialog, WM_NOTIFY, IDC_COMPARE_RESULTS, reinterpret_cast<LPARAM>(&click));
}

class SnapshotBoxTest : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_TRUE(scratch_.Valid());
        SetSnapshotFileChooser(ChooseForTest);
    }
    void TearDown() override {
        SetSnapshotFileChooser(nullptr);
        ChosenFile.clear();
        BrowserTest::TearDown();
    }

    // Opens a box by its command, lets prepare fill it in and presses its
    // first button; once its work has ended, act runs in the box (and must close it).
    void RunBox(UINT command, const char* caption, int stop, const std::function<void(HWND)>& prepare,
                std::function<void(HWND)> act) {
        DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
            if (caught.isMessageBox || caught.caption != caption) return false;
            prepare(dialog);
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            PendingBox = dialog;
            PendingStop = stop;
            PendingAct = act;
            SetTimer(nullptr, 0, 10, ActWhenWorkEnds);
            return true;
        });
        Command(command);
    }

    std::string SaveShown(const std::string& file) {
        ChosenFile = file;
        std::string status;
        RunBox(CMD_SAVE_SNAPSHOT, "Save Snapshot", IDC_SNAPSHOT_STOP,
               [](HWND dialog) { CheckRadioButton(dialog, IDC_SNAPSHOT_HERE, IDC_SNAPSHOT_EVERYWHERE, IDC_SNAPSHOT_HERE); },
               [&](HWND dialog) {
                   status = WindowText(dialog, IDC_SNAPSHOT_STATUS);
                   PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
               });
        return status;
    }

    void Compare(const std::string& oldFile, std::function<void(HWND)> act) {
        RunBox(CMD_COMPARE_SNAPSHOT, "Compare with Snapshot", IDC_COMPARE_STOP,
               [&](HWND dialog) {
                   SetDlgItemTextA(dialog, IDC_COMPARE_OLD, oldFile.c_str());
                   CheckRadioButton(dialog, IDC_COMPARE_LIVE, IDC_COMPARE_FILE, IDC_COMPARE_LIVE);
               },
               std::move(act));
    }

    ScratchDirectory scratch_;
};

// Both come after Inspect Object, last in the View menu, each with its own key.
TEST_F(SnapshotBoxTest, MenuItemsAndKeys) {
    ASSERT_TRUE(OpenBrowser());
    HMENU view = GetSubMenu(GetMenu(AppContext.mainWindow), 1);
    const int count = GetMenuItemCount(view);
    EXPECT_EQ(GetMenuItemID(view, count - 3), static_cast<UINT>(CMD_INSPECT_OBJECT));
    EXPECT_EQ(GetMenuItemID(view, count - 2), static_cast<UINT>(CMD_SAVE_SNAPSHOT));
    EXPECT_EQ(GetMenuItemID(view, count - 1), static_cast<UINT>(CMD_COMPARE_SNAPSHOT));
    char text[64] = {};
    GetMenuStringA(view, CMD_SAVE_SNAPSHOT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Save &Snapshot...\tCtrl+S");
    GetMenuStringA(view, CMD_COMPARE_SNAPSHOT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Compare with Snaps&hot...\tCtrl+D");

    ACCEL keys[32] = {};
    const int keyCount = CopyAcceleratorTableA(LoadAcceleratorsA(instance_, "ACCELERATORS"), keys, 32);
    std::vector<std::pair<WORD, WORD>> found;
    for (int i = 0; i < keyCount; ++i) {
        if (keys[i].cmd == CMD_SAVE_SNAPSHOT || keys[i].cmd == CMD_COMPARE_SNAPSHOT) {
            EXPECT_EQ(keys[i].fVirt & ~FNOINVERT, FVIRTKEY | FCONTROL);
            found.push_back({keys[i].cmd, keys[i].key});
        }
    }
    EXPECT_EQ(found, (std::vector<std::pair<WORD, WORD>>{{CMD_SAVE_SNAPSHOT, 'S'}, {CMD_COMPARE_SNAPSHOT, 'D'}}));
}

TEST_F(SnapshotBoxTest, SavesTheShownDirectoryAndListsSortsAndGoesToItsDifferences) {
    ASSERT_FALSE(scratch_.AddEvent("Kept", true, false).empty());
    const std::string gone = scratch_.AddEvent("Gone", true, false);
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());
    const ScratchFile saved("box");
    std::string file;
    ASSERT_TRUE(NarrowPath(saved.Path(), file));
    const std::string status = SaveShown(file);
    EXPECT_EQ(status, "Saved 3 objects of " + scratch_.Path() + " to " + file + ".");
    EXPECT_TRUE(IsWindowEnabled(AppContext.mainWindow));

    scratch_.Remove(gone);
    const std::string added = scratch_.AddEvent("New", true, false);
    std::vector<ListedDifference> byPath, byKind, byKindDown;
    std::string countLine;
    Compare(file, [&](HWND dialog) {
        byPath = Listed(dialog);
        countLine = WindowText(dialog, IDC_COMPARE_COUNT);
        ClickColumn(dialog, 0);
        byKind = Listed(dialog);
        ClickColumn(dialog, 0);
        byKindDown = Listed(dialog);
        // Enter on the added object's row goes to it.
        HWND list = GetDlgItem(dialog, IDC_COMPARE_RESULTS);
        const int row = byKindDown[0].kind == "added" ? 0 : 1;
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SetFocus(list);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    const ListedDifference addedRow{"added", added, "", "Event"};
    const ListedDifference removedRow{"removed", gone, "Event", ""};
    EXPECT_EQ(byPath, (std::vector<ListedDifference>{removedRow, addedRow}));  // "Gone" sorts before "New"
    EXPECT_EQ(byKind, (std::vector<ListedDifference>{addedRow, removedRow}));
    EXPECT_EQ(byKindDown, (std::vector<ListedDifference>{removedRow, addedRow}));
    EXPECT_EQ(countLine, "2 differences in " + scratch_.Path() + ": 1 added, 1 removed.");
    EXPECT_STREQ(CurrentDirectory, scratch_.Path().c_str());
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"New"});

    // A shown directory whose name no ANSI path carries is saved by its exact
    // path, never the namesake its visible form spells ("Dir", then "u0416").
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Directory, L"Dir\u0416"));
    ASSERT_TRUE(scratch_.AddWide(ScratchDirectory::WideKind::Event, L"Dir\u0416\\Child"));
    for (const char* namesake : {"Dir", "Dir\\u0416"}) ASSERT_FALSE(scratch_.AddDirectory(namesake).empty());
    for (const char* inside : {"Dir\\u0416\\One", "Dir\\u0416\\Two"})
        ASSERT_FALSE(scratch_.AddEvent(inside, true, false).empty());
    EXPECT_TRUE(GoTo(WidenPath(scratch_.Path()) + L"\\Dir\u0416").empty());
    EXPECT_EQ(SaveShown(file), "Saved 2 objects of " + scratch_.PathOf("Dir\\u0416") + " to " + file + ".");
}

// A file that is no snapshot is refused with its line; a save to a folder
// that does not exist says why and writes nothing.
TEST_F(SnapshotBoxTest, RefusesWhatItCannotReadOrWrite) {
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree(scratch_.Path());
    const ScratchFile bad("box-bad");
    bad.Write("Name\tType\r\n");
    std::string file;
    ASSERT_TRUE(NarrowPath(bad.Path(), file));
    std::string countLine;
    int rows = -1;
    Compare(file, [&](HWND dialog) {
        countLine = WindowText(dialog, IDC_COMPARE_COUNT);
        rows = ListView_GetItemCount(GetDlgItem(dialog, IDC_COMPARE_RESULTS));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(countLine, "Not compared: " + file + ": line 1: not a snapshot: it does not begin with TarnelSnapshot.");
    EXPECT_EQ(rows, 0);

    const std::string nowhere = file + ".missing\\inside.snapshot";
    const std::string status = SaveShown(nowhere);
    EXPECT_EQ(status.rfind("Not saved: cannot create " + nowhere + ".", 0), 0u) << status;
    EXPECT_NE(status.find(nowhere + " is as it was."), std::string::npos) << status;
}

}  // namespace
