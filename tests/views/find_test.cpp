// Finding objects by name and by access through the real Find boxes, and Find Next.
#include <functional>
#include <optional>
#include <set>

#include "browser_fixture.h"
#include "resource_ids.h"
#include "common/background_work.h"
#include "namespace/access_scan.h"
#include "namespace/holder_search.h"
#include "namespace/object_opener.h"
#include "namespace/visible_name.h"
#include "namespace/watched_open.h"
#include "shell/find_dialog.h"
#include "support/open_gate.h"
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
    bool showsAmpersands = false;  // the count and notes show an "&" as it is
    bool devicesTicked = false;
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
    view.showsAmpersands = true;
    for (int id : {IDC_FIND_COUNT, IDC_FIND_NOTES})
        view.showsAmpersands &= (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & SS_NOPREFIX) != 0;
    view.devicesTicked = IsDlgButtonChecked(dialog, IDC_FIND_DEVICES) == BST_CHECKED;
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

    // Opens a box by its command, lets ask fill in what to search for, picks the
    // scope and presses Find; once the search has ended, act runs in the box
    // (and must close it).
    void Search(UINT command, const char* caption, const std::function<void(HWND)>& ask, bool everywhere,
                std::function<void(HWND)> act) {
        DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
            if (caught.isMessageBox || caught.caption != caption) return false;
            ask(dialog);
            CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, everywhere ? IDC_FIND_EVERYWHERE : IDC_FIND_HERE);
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            PendingBox = dialog;
            PendingAct = act;
            SetTimer(nullptr, 0, 10, ActWhenSearchEnds);
            return true;
        });
        Command(command);
    }

    // The Find box, with text for the name, typed or pasted as Unicode text.
    void Find(const std::wstring& text, bool everywhere, std::function<void(HWND)> act) {
        Search(CMD_FIND, "Find", [&text](HWND dialog) { SetDlgItemTextW(dialog, IDC_FIND_TEXT, text.c_str()); },
               everywhere, std::move(act));
    }
    void Find(const std::string& text, bool everywhere, std::function<void(HWND)> act) {
        Find(WidenPath(text), everywhere, std::move(act));
    }

    // The Find Accessible box, with a row of the rights' choice, from the
    // shown directory down; devices ticked or not, or as the box remembers.
    void FindAccessible(int choice, std::function<void(HWND)> act, std::optional<bool> devices = false) {
        Search(CMD_FIND_ACCESSIBLE, "Find Accessible",
               [choice, devices](HWND dialog) {
                   SendDlgItemMessageA(dialog, IDC_FIND_RIGHTS, CB_SETCURSEL, choice, 0);
                   if (devices) CheckDlgButton(dialog, IDC_FIND_DEVICES, *devices ? BST_CHECKED : BST_UNCHECKED);
               },
               false, std::move(act));
    }

    // As the oldest common controls report it: a bare header, the row under the pointer.
    static void DoubleClickResult(HWND dialog, int row) {
        HWND list = GetDlgItem(dialog, IDC_FIND_RESULTS);
        PointAtRow(list, row);
        NMHDR header{list, IDC_FIND_RESULTS, static_cast<UINT>(NM_DBLCLK)};
        SendMessageA(dialog, WM_NOTIFY, IDC_FIND_RESULTS, reinterpret_cast<LPARAM>(&header));
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
// be opened is named at the end (an "&" in its name shown, not taken for an
// access key), not fatal; the main window is disabled while the box is up;
// choosing a result goes there.
TEST_F(FindTest, FindsByPartOfTheNameAndGoesToTheChosenResult) {
    const std::string event = scratch_.AddEvent("FindMeEvent", true, false);
    scratch_.AddDirectory("Sub");
    const std::string semaphore = scratch_.AddSemaphore("Sub\\findme-semaphore", 1, 2);
    scratch_.AddEvent("Sub\\Other", true, false);
    const std::string locked = scratch_.AddLockedDirectory("Locked&Sealed");
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
    EXPECT_TRUE(view.showsAmpersands);
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

// Names no ANSI text carries are searched, listed once each in their visible
// form, matched by the exact name (as the object manager compares names, the
// text pasted as Unicode) and by the visible form, and gone to by their exact paths, never a namesake's;
// Find Accessible opens them too.
TEST_F(FindTest, NamesNoAnsiTextCarriesAreFoundOnceAndGoneTo) {
    using Kind = ScratchDirectory::WideKind;
    ASSERT_TRUE(scratch_.AddWide(Kind::Event, L"\u0416\u0443\u043a"));
    ASSERT_FALSE(scratch_.AddSemaphore("???", 1, 2).empty());
    ASSERT_FALSE(scratch_.AddEvent("A", true, false).empty());
    ASSERT_TRUE(scratch_.AddWide(Kind::Semaphore, std::wstring(L"A\0B", 3)));
    ASSERT_TRUE(scratch_.AddWide(Kind::Event, L"Tab\tName"));
    ASSERT_FALSE(scratch_.AddSemaphore("Tab Name", 1, 2).empty());
    ASSERT_TRUE(scratch_.AddWide(Kind::Directory, L"Dir\u0416"));
    ASSERT_TRUE(scratch_.AddWide(Kind::Event, L"Dir\u0416\\Child"));
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();

    using Results = std::set<std::pair<std::string, std::string>>;
    const struct {
        const wchar_t* text;
        Results results;
    } cases[] = {
        {L"", {{scratch_.PathOf("\\u0416\\u0443\\u043A"), "Event"}, {scratch_.PathOf("???"), "Semaphore"},
              {scratch_.PathOf("A"), "Event"}, {scratch_.PathOf("A\\0B"), "Semaphore"},
              {scratch_.PathOf("Tab\\tName"), "Event"}, {scratch_.PathOf("Tab Name"), "Semaphore"},
              {scratch_.PathOf("Dir\\u0416"), "Directory"}, {scratch_.PathOf("Dir\\u0416\\Child"), "Event"}}},
        {L"child", {{scratch_.PathOf("Dir\\u0416\\Child"), "Event"}}},
        {L"\\u0416", {{scratch_.PathOf("\\u0416\\u0443\\u043A"), "Event"}, {scratch_.PathOf("Dir\\u0416"), "Directory"}}},
        // Pasted as itself, in either case; never the namesake made of question marks.
        {L"\u0416\u0443\u043a", {{scratch_.PathOf("\\u0416\\u0443\\u043A"), "Event"}}},
        {L"\u0436", {{scratch_.PathOf("\\u0416\\u0443\\u043A"), "Event"}, {scratch_.PathOf("Dir\\u0416"), "Directory"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(VisiblePath(c.text));
        FindView view;
        Find(c.text, false, [&](HWND dialog) {
            view = ReadFindBox(dialog);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(view.results, c.results);
        EXPECT_EQ(view.rows, static_cast<int>(c.results.size()));  // each once
    }

    // Going to the child of the directory no ANSI path carries, and to the
    // semaphore beside the event whose name a NUL would cut.
    for (const char* shown : {"Dir\\u0416\\Child", "A\\0B"}) {
        SCOPED_TRACE(shown);
        Find("", false, [&](HWND dialog) { DoubleClickResult(dialog, ResultRow(dialog, scratch_.PathOf(shown))); });
        EXPECT_EQ(SelectedNames(), std::vector<std::string>{std::string(shown) == "A\\0B" ? shown : "Child"});
        ASSERT_NE(ExactPathOf(AppContext.SelectedPath), nullptr);
        SelectInTree(scratch_.Path());
    }

    // Find Accessible opens them by their exact paths: the account owns them all.
    FindView view;
    FindAccessible(0, [&](HWND dialog) {
        view = ReadFindBox(dialog);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(view.rows, 8);
    EXPECT_NE(view.count.find(" 0 could not be opened."), std::string::npos) << view.count;
}

// The entries a search has read, as its count line says ("... found in N entries.").
long EntriesShown(HWND dialog) {
    const std::string count = WindowText(dialog, IDC_FIND_COUNT);
    const std::size_t in = count.rfind(" in ");
    if (in == std::string::npos) return -1;
    std::string digits;
    for (char c : count.substr(in + 4)) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c != ',')
            break;
    }
    return digits.empty() ? -1 : std::stol(digits);
}

// Drives a Find box from a timer of its loop: Esc and then a click on Stop
// are posted into the queue while long searches run, as the user's keys and
// clicks arrive; what the box read before each and when it stopped is kept.
struct StopDriver {
    struct Stop {
        long before = -1;  // entries read when the key or click was posted
        long after = -1;   // entries read when the search had stopped
        std::string count;
    };
    HWND box = nullptr;
    int keyTarget = IDC_FIND_TEXT;  // the control that has the keyboard
    int phase = 0;
    Stop byEsc, byClick;
    bool openAfterEsc = false;

    static StopDriver* Active;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) { Active->Step(id); }

    bool Running() const { return IsWindowEnabled(GetDlgItem(box, IDC_FIND_STOP)) != FALSE; }
    void Ended(Stop& stop) {
        stop.after = EntriesShown(box);
        stop.count = WindowText(box, IDC_FIND_COUNT);
    }
    void Step(UINT_PTR id) {
        switch (phase) {
        case 0:  // the first search runs: Esc stops it
            byEsc.before = EntriesShown(box);
            PostMessageA(GetDlgItem(box, keyTarget), WM_KEYDOWN, VK_ESCAPE, 0);
            phase = 1;
            break;
        case 1:
            if (Running()) break;
            Ended(byEsc);
            openAfterEsc = IsWindow(box) != FALSE;
            SendMessageA(box, WM_COMMAND, IDOK, 0);  // the same search again
            phase = 2;
            break;
        case 2:  // the second search runs: a click on Stop stops it
            byClick.before = EntriesShown(box);
            PostMessageA(GetDlgItem(box, IDC_FIND_STOP), BM_CLICK, 0, 0);
            phase = 3;
            break;
        case 3:
            if (Running()) break;
            Ended(byClick);
            KillTimer(nullptr, id);
            PostMessageA(GetDlgItem(box, keyTarget), WM_KEYDOWN, VK_ESCAPE, 0);  // now it closes the box
            break;
        }
    }
};
StopDriver* StopDriver::Active = nullptr;

// While a search of tens of thousands of entries runs on the box's worker,
// the box serves Esc and Stop at once, by name and by access alike: it reads
// "Stopped" having read no more than a quarter of the entries past what it
// showed when the key or click was posted (the worker tells its news a few
// times a second). Esc closes the box only once no search runs; no worker
// outlives it. (An open that waits without end stops as promptly: below.)
TEST_F(FindTest, EscAndStopArePromptWhileALongSearchRuns) {
    constexpr int kDirectories = 100, kEventsEach = 200;
    for (int d = 0; d < kDirectories; ++d) {
        const std::string directory = "Dir" + std::to_string(d);
        ASSERT_FALSE(scratch_.AddDirectory(directory).empty());
        for (int e = 0; e < kEventsEach; ++e) scratch_.AddEvent(directory + "\\Many" + std::to_string(e), true, false);
    }
    constexpr long kEntries = kDirectories * (kEventsEach + 1);
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();

    const struct {
        UINT command;
        const char* caption;
        int keyTarget;
    } boxes[] = {
        {CMD_FIND, "Find", IDC_FIND_TEXT},
        {CMD_FIND_ACCESSIBLE, "Find Accessible", IDC_FIND_RIGHTS},
    };
    for (const auto& which : boxes) {
        SCOPED_TRACE(which.caption);
        StopDriver driver;
        driver.keyTarget = which.keyTarget;
        StopDriver::Active = &driver;
        DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
            if (caught.isMessageBox || driver.box != nullptr) return false;
            driver.box = dialog;
            if (which.keyTarget == IDC_FIND_TEXT) SetDlgItemTextA(dialog, IDC_FIND_TEXT, "many");
            CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, IDC_FIND_HERE);
            SendMessageA(dialog, WM_COMMAND, IDOK, 0);
            SetTimer(nullptr, 0, 20, StopDriver::Tick);
            return true;
        });
        Command(which.command);

        for (const StopDriver::Stop* stop : {&driver.byEsc, &driver.byClick}) {
            EXPECT_EQ(stop->count.rfind("Stopped: ", 0), 0u) << stop->count;
            EXPECT_GE(stop->before, 0) << stop->count;
            EXPECT_LT(stop->after, kEntries) << stop->count;
            EXPECT_LE(stop->after - stop->before, kEntries / 4) << stop->count;
        }
        EXPECT_TRUE(driver.openAfterEsc);
        EXPECT_FALSE(IsWindow(driver.box));
        EXPECT_EQ(BackgroundWork::LiveWorkers(), 0);
    }
}

// Find Accessible lists the objects whose granted rights would let this
// account change them, each with what it was granted; an object that grants
// nothing is counted, not listed; a type none of the opener's rows opens is
// opened by its own service; a choice of one right narrows the list;
// choosing a result goes there.
TEST_F(FindTest, FindAccessibleListsWhatThisAccountMayChange) {
    const std::string denyWriteDac =
        scratch_.AddEventWithDescriptor("DenyWriteDac", DescriptorFromSddl("O:SYG:SYD:(D;;WD;;;WD)(A;;GA;;;WD)"));
    const std::string nullDacl = scratch_.AddEventWithDescriptor("NullDacl", DescriptorWithNullDacl("O:SYG:SY"));
    const std::string owned = scratch_.AddEventWithDescriptor("OwnedEmpty", DescriptorFromSddl("D:"));
    ASSERT_FALSE(scratch_.AddEventWithDescriptor("SyncOnly", DescriptorFromSddl("O:SYG:SYD:(A;;0x100000;;;WD)")).empty());
    ASSERT_FALSE(scratch_.AddEventWithDescriptor("Empty", DescriptorFromSddl("O:SYG:SYD:")).empty());
    // A job granting Delete alone: opened by its own type's service.
    const std::string job = scratch_.AddJob("Job", DescriptorFromSddl("O:SYG:SYD:(A;;0x10000;;;WD)"));
    ASSERT_FALSE(denyWriteDac.empty() || nullDacl.empty() || owned.empty() || job.empty());
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();

    auto choiceOf = [](ChangeRight right) {
        for (std::size_t i = 0; i < std::size(kChangeRightChoices); ++i)
            if (kChangeRightChoices[i].right == right) return static_cast<int>(i);
        return -1;
    };
    auto pathsOf = [](const FindView& view) {
        std::set<std::string> paths;
        for (const auto& result : view.results) paths.insert(result.first);
        return paths;
    };
    FindView any, writeDac, modify;
    std::string grantedDenied;
    FindAccessible(choiceOf(ChangeRight::Any), [&](HWND dialog) {
        any = ReadFindBox(dialog);
        grantedDenied = ItemText(GetDlgItem(dialog, IDC_FIND_RESULTS), ResultRow(dialog, denyWriteDac), 2);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(pathsOf(any), (std::set<std::string>{denyWriteDac, nullDacl, owned, job}));
    EXPECT_EQ(any.count, "4 accessible in 6 entries. 1 could not be opened.");
    EXPECT_TRUE(any.showsAmpersands);
    const unsigned long granted = std::stoul(grantedDenied, nullptr, 16);
    EXPECT_EQ(granted & WRITE_DAC, 0u) << grantedDenied;
    EXPECT_EQ(granted & (DELETE | EVENT_MODIFY_STATE), static_cast<unsigned long>(DELETE | EVENT_MODIFY_STATE))
        << grantedDenied;

    FindAccessible(choiceOf(ChangeRight::WriteDac), [&](HWND dialog) {
        writeDac = ReadFindBox(dialog);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(pathsOf(writeDac), (std::set<std::string>{nullDacl, owned}));
    FindAccessible(choiceOf(ChangeRight::Modify), [&](HWND dialog) {
        modify = ReadFindBox(dialog);
        DoubleClickResult(dialog, ResultRow(dialog, denyWriteDac));
    });
    EXPECT_EQ(pathsOf(modify), (std::set<std::string>{denyWriteDac, nullDacl}));
    EXPECT_EQ(SelectedNames(), std::vector<std::string>{"DenyWriteDac"});
}

// The devices at path and in the directories below it, read directly.
long DevicesBelow(const std::string& path) {
    DirectoryReader reader;
    long devices = 0;
    if (!reader.Open(path.c_str())) return 0;
    while (reader.Next()) {
        const std::string type = reader.TypeName();
        if (type == "Device") ++devices;
        if (type == "Directory") devices += DevicesBelow(ChildPathOf(path, reader.Name()));
    }
    return devices;
}

// Find Accessible opens no device unless its box is ticked, and says how many
// it passed over; the box remembers the choice for the next search.
TEST_F(FindTest, FindAccessibleOpensDevicesOnlyWhenAsked) {
    const long devices = DevicesBelow("\\Device");
    ASSERT_GT(devices, 0) << "no device to search";
    ASSERT_TRUE(OpenBrowser());
    Command(CMD_REFRESH);
    SelectInTree("\\Device");
    ASSERT_STREQ(CurrentDirectory, "\\Device");

    const std::string passedOver =
        " " + std::to_string(devices) + (devices == 1 ? " device" : " devices") + " passed over.";
    const struct {
        std::optional<bool> ticked;  // nothing: as the box remembers
        long opened;
    } cases[] = {{false, 0}, {true, devices}, {std::nullopt, devices}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticked ? (*c.ticked ? "ticked" : "not ticked") : "remembered");
        OpenGate gate(kDefaultQueryTimeLimits.notAnsweringAfterMs);
        FindView view;
        FindAccessible(0, [&](HWND dialog) {
            view = ReadFindBox(dialog);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }, c.ticked);
        const bool ticked = c.opened > 0;
        EXPECT_EQ(gate.OpensOf(kTypeDevice), c.opened);
        EXPECT_EQ(view.devicesTicked, ticked);
        EXPECT_EQ(view.count.find(ticked ? " passed over." : passedOver) != std::string::npos, !ticked) << view.count;
    }
}

// Posts Esc to the running box once an open waits at the gate.
const OpenGate* EscGate = nullptr;
void CALLBACK EscOnceAnOpenWaits(HWND, UINT, UINT_PTR id, DWORD) {
    if (PendingBox == nullptr || EscGate->Waiting() == 0) return;
    KillTimer(nullptr, id);
    PostMessageA(GetDlgItem(PendingBox, IDC_FIND_RIGHTS), WM_KEYDOWN, VK_ESCAPE, 0);
}

// An open that does not answer in time is counted and named, and the search
// goes on to its end without it; one that waits without end leaves the box
// free, and Esc stops the search at once. Either way the box closes with no
// worker left, while the open's thread, left to finish on its own, ends once
// the open returns.
TEST_F(FindTest, FindAccessibleNamesOpensThatDoNotAnswer) {
    const std::string answers = scratch_.AddEvent("Answers", true, false);
    const std::string stuck = scratch_.AddEvent("Stuck&Slow", true, false);
    ASSERT_FALSE(answers.empty() || stuck.empty());
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();

    const struct {
        DWORD limitMs;
        bool escWhileWaiting;
        std::string count;  // the line's beginning
        std::string notes;
    } cases[] = {
        {300, false, "1 accessible in 2 entries. 0 could not be opened. 1 not answering.",
         "1 object not answering: " + stuck + "."},
        {600000, true, "Stopped: ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limitMs);
        FindView view;
        long workers = -1, openThreads = -1;
        {
            OpenGate gate(c.limitMs);
            gate.Hold(stuck);
            PendingBox = nullptr;
            EscGate = &gate;
            if (c.escWhileWaiting) SetTimer(nullptr, 0, 10, EscOnceAnOpenWaits);
            FindAccessible(0, [&](HWND dialog) {
                view = ReadFindBox(dialog);
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            });
            workers = BackgroundWork::LiveWorkers();
            openThreads = WatchedOpener::LiveThreads();
        }
        EXPECT_EQ(view.count.rfind(c.count, 0), 0u) << view.count;
        EXPECT_EQ(view.count.find("not answering") != std::string::npos, !c.notes.empty()) << view.count;
        EXPECT_EQ(view.notes, c.notes);
        EXPECT_EQ(workers, 0);
        EXPECT_EQ(openThreads, 1);
        EXPECT_EQ(WatchedOpener::LiveThreads(), 0);
    }
}

// Find Next goes to each result of the last search in turn, then from the
// first again; each exactly as found, spaces at the ends of names included.
TEST_F(FindTest, FindNextGoesToTheNextResultInTurn) {
    for (const char* name : {"Next1", "Next2 ", " Next3"}) scratch_.AddEvent(name, true, false);
    ASSERT_TRUE(OpenBrowser());
    ShowScratch();
    Find("next", false, [&](HWND dialog) { DoubleClickResult(dialog, 0); });
    std::vector<std::string> shown = {SelectedNames().at(0)};
    for (int press = 0; press < 3; ++press) {
        Command(CMD_FIND_NEXT);
        shown.push_back(SelectedNames().at(0));
    }
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.begin() + 3),
              (std::set<std::string>{"Next1", "Next2 ", " Next3"}));
    EXPECT_EQ(shown[3], shown[0]);
}

}  // namespace
