// The Handles page through the real sheet, against a process of the test's
// own that holds the object the sheet shows, with the search running off the
// window's thread; and the page's texts for searches the live system cannot
// produce on demand.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/background_work.h"
#include "holder_process.h"
#include "namespace/holder_search.h"
#include "properties/handles_page.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/handle_count.h"
#include "support/query_gate.h"
#include "support/sheet_pages.h"
#include "support/test_namespace.h"

namespace {

constexpr char kHandlesTitle[] = "Handles";
// Objects whose every open makes an object of its own, held by the helper
// besides its events: a device and a key that every prefix has.
constexpr char kHeldDevice[] = "\\Device\\Null";
constexpr char kHeldKey[] = "\\REGISTRY\\MACHINE\\System";
// Queries are given up long after any test has looked.
constexpr QueryTimeLimits kNeverGivenUp = {50, 600000};

constexpr char kFirstAccessText[] = "0x00100001 (Query State, Synchronize)";
constexpr char kSecondAccessText[] = "0x00020002 (Modify State, Read Control)";
constexpr char kHolderName[] = "handle_holder.exe";
constexpr char kNobodyElse[] = "No other process holds this object.";
constexpr char kNobodyInspected[] = "No process that could be inspected holds this object.";

UniqueNtHandle OpenTestEvent(const std::string& path, ACCESS_MASK access) {
    NamedAttributes attributes(path);
    HANDLE handle = nullptr;
    if (NtOpenEvent(&handle, access, attributes.Get()) != kStatusSuccess) return UniqueNtHandle();
    return UniqueNtHandle(handle);
}

// What the Handles page showed.
struct HandlesView {
    std::string summary, uninspected, notAnswering, note;
    std::vector<std::array<std::string, 4>> rows;  // process, process id, handle, access
};

HandlesView ReadHandlesPage(HWND page) {
    HandlesView view{WindowText(page, IDC_HANDLES_SUMMARY), WindowText(page, IDC_HANDLES_UNINSPECTED),
                     WindowText(page, IDC_HANDLES_NOT_ANSWERING), WindowText(page, IDC_HANDLES_NOTE), {}};
    HWND list = GetDlgItem(page, IDC_HANDLES_LIST);
    const auto count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::array<std::string, 4> fields;
        for (int column = 0; column < 4; ++column) {
            char text[256] = {};
            ListView_GetItemText(list, row, column, text, sizeof text);
            fields[column] = text;
        }
        view.rows.push_back(fields);
    }
    return view;
}

// Brings the Handles page to the front and waits for its search to end.
HWND ShowSearchedHandles(HWND sheet) {
    HWND page = ShowPageTitled(sheet, kHandlesTitle);
    EXPECT_NE(page, nullptr);
    if (page != nullptr) {
        EXPECT_TRUE(WaitForHandlesSearch(page)) << "the search did not end";
    }
    return page;
}

HandlesView ReadSearchedHandles(HWND sheet) {
    HWND page = ShowSearchedHandles(sheet);
    return page != nullptr ? ReadHandlesPage(page) : HandlesView{};
}

std::string NoteFor(long count, const std::string& notListed) {
    return "The object has " + std::to_string(count) + (count == 1 ? " handle" : " handles") +
           " now, as the Details page counts them. Not listed here: " + notListed + ".";
}

// The counts of a summary line that says the search runs.
struct SearchProgress {
    bool shown = false;
    unsigned long examined = 0, candidates = 0, processes = 0;
};
SearchProgress ProgressOf(const std::string& summary) {
    SearchProgress progress;
    progress.shown = std::sscanf(summary.c_str(), "Searching: %lu of %lu handles, %lu process", &progress.examined,
                                 &progress.candidates, &progress.processes) == 3;
    return progress;
}

class HandlesPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitCommonControls();
        Scratch = std::make_unique<ScratchDirectory>();
        Holder = std::make_unique<HolderProcess>();
        Started = Scratch->Valid() && Holder->Start(*Scratch, {kHeldDevice, kHeldKey});
        Held = Scratch->PathOf(handle_holder::kHeld);
    }
    static void TearDownTestSuite() {
        Holder.reset();  // ends the helper before its events go
        Scratch.reset();
    }
    // Every test starts with the helper holding both handles, open to all.
    void SetUp() override {
        ASSERT_TRUE(Started) << kHolderName << " did not start";
        ASSERT_TRUE(Holder->Command(handle_holder::kHoldBoth));
        ASSERT_TRUE(Holder->Command(handle_holder::kUnlock));
    }

    // Checks that a row is one of the helper's handles: its process and, read
    // through a duplicate of the handle value the row shows, its object and access.
    static void ExpectHelperRow(const std::array<std::string, 4>& row, const std::string& path = Held) {
        EXPECT_EQ(row[0], kHolderName);
        EXPECT_EQ(row[1], std::to_string(Holder->Id()));
        ASSERT_EQ(row[2].rfind("0x", 0), 0u) << row[2];
        const auto value = static_cast<ULONG_PTR>(std::strtoull(row[2].c_str() + 2, nullptr, 16));
        HANDLE copy = nullptr;
        ASSERT_TRUE(DuplicateHandle(Holder->Process(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                                    FALSE, DUPLICATE_SAME_ACCESS))
            << row[2];
        UniqueNtHandle owner(copy);
        OpenedObject mine = OpenAnyObject(path.c_str(), 0);
        ASSERT_TRUE(mine) << path;
        EXPECT_EQ(ObjectNameOf(copy), ObjectNameOf(mine.handle.get()));
        char access[16];
        std::snprintf(access, sizeof access, "0x%08lX", static_cast<unsigned long>(GrantedAccess(copy)));
        EXPECT_EQ(row[3].substr(0, 10), access);
    }

    // The page as shown, then after the helper carried out command and Refresh
    // was pressed; searches counts the page's searches meanwhile.
    struct RefreshedPage {
        HandlesView before, after;
        long searches = -1;
        std::vector<CaughtDialog> caught;
    };
    static RefreshedPage ShowThenRefreshAfter(handle_holder::Command command) {
        RefreshedPage page;
        const long searchesBefore = NamespaceCounters().holderSearches;
        page.caught = RunPropertySheet(Held.c_str(), [&](HWND sheet) {
            HWND handles = ShowSearchedHandles(sheet);
            page.before = ReadHandlesPage(handles);
            if (!Holder->Command(command)) {
                ADD_FAILURE() << "the helper did not carry out command " << command;
                return;
            }
            PressButton(handles, IDC_HANDLES_REFRESH);
            EXPECT_TRUE(WaitForHandlesSearch(handles));
            page.after = ReadHandlesPage(handles);
            page.searches = NamespaceCounters().holderSearches - searchesBefore;
        });
        return page;
    }

    static std::set<std::string> AccessesOf(const HandlesView& view) {
        std::set<std::string> accesses;
        for (const auto& row : view.rows) accesses.insert(row[3]);
        return accesses;
    }

    static inline std::unique_ptr<ScratchDirectory> Scratch;
    static inline std::unique_ptr<HolderProcess> Holder;
    static inline bool Started = false;
    static inline std::string Held;
};

// The page is searched only once shown, and lists both of the helper's
// handles with their accesses; the scratch directory's own handle is
// Tarnel's and only counted in the note.
TEST_F(HandlesPageTest, ListsBothHandlesOfTheHelperWhenFirstShown) {
    HandlesView view;
    long searchesBeforeShown = -1, searchesAfterSwitching = -1;
    const long searchesBefore = NamespaceCounters().holderSearches;
    std::vector<CaughtDialog> caught = RunPropertySheet(Held.c_str(), [&](HWND sheet) {
        searchesBeforeShown = NamespaceCounters().holderSearches - searchesBefore;
        view = ReadSearchedHandles(sheet);
        ShowPage(sheet, 0);
        ShowPageTitled(sheet, kHandlesTitle);
        searchesAfterSwitching = NamespaceCounters().holderSearches - searchesBefore;
    });
    EXPECT_TRUE(MessagesOf(caught).empty());
    EXPECT_EQ(searchesBeforeShown, 0);
    EXPECT_EQ(searchesAfterSwitching, 1);

    ASSERT_EQ(view.rows.size(), 2u);
    for (const auto& row : view.rows) ExpectHelperRow(row);
    EXPECT_EQ(AccessesOf(view), (std::set<std::string>{kFirstAccessText, kSecondAccessText}));
    EXPECT_EQ(view.summary, "2 handles in 1 process");
    EXPECT_EQ(view.uninspected, "");
    EXPECT_EQ(view.notAnswering, "");
    EXPECT_EQ(view.note, NoteFor(3, "1 of Tarnel's own"));
}

TEST_F(HandlesPageTest, RefreshShowsTheHandleLeftAfterTheHelperClosesOne) {
    const RefreshedPage page = ShowThenRefreshAfter(handle_holder::kHoldOne);
    const HandlesView& after = page.after;
    EXPECT_EQ(page.before.rows.size(), 2u);
    EXPECT_EQ(page.searches, 2);
    ASSERT_EQ(after.rows.size(), 1u);
    ExpectHelperRow(after.rows[0]);
    EXPECT_EQ(after.rows[0][3], kFirstAccessText);
    EXPECT_EQ(after.summary, "1 handle in 1 process");
    EXPECT_EQ(after.note, NoteFor(2, "1 of Tarnel's own"));
}

// A helper that refuses to be opened is named under the list and its handles
// counted in the note; once it lets itself be opened, Refresh lists them.
TEST_F(HandlesPageTest, ProcessThatCannotBeOpenedIsNamedAndCounted) {
    ASSERT_TRUE(Holder->Command(handle_holder::kLock));
    const HolderSearch direct = FindObjectHolders(Held.c_str());
    const RefreshedPage page = ShowThenRefreshAfter(handle_holder::kUnlock);
    const HandlesView& locked = page.before;
    const HandlesView& unlocked = page.after;
    EXPECT_TRUE(MessagesOf(page.caught).empty());

    ASSERT_EQ(direct.result, HolderSearchResult::Done);
    ASSERT_EQ(direct.uninspected.size(), 1u);
    EXPECT_EQ(direct.uninspected[0].processId, Holder->Id());
    EXPECT_EQ(direct.uninspected[0].error, static_cast<DWORD>(ERROR_ACCESS_DENIED));

    EXPECT_TRUE(locked.rows.empty());
    EXPECT_EQ(locked.summary, kNobodyInspected);
    EXPECT_EQ(locked.uninspected, "1 process could not be inspected: " + std::string(kHolderName) + " (" +
                                      std::to_string(Holder->Id()) + ")");
    EXPECT_EQ(locked.note, NoteFor(3, "1 of Tarnel's own, 2 in the process that could not be inspected"));

    EXPECT_EQ(unlocked.rows.size(), 2u);
    EXPECT_EQ(unlocked.summary, "2 handles in 1 process");
    EXPECT_EQ(unlocked.uninspected, "");
}

TEST_F(HandlesPageTest, ObjectNobodyElseHoldsSaysSo) {
    const std::string alone = Scratch->AddEvent("Alone", true, false);
    ASSERT_FALSE(alone.empty());
    HandlesView view;
    RunPropertySheet(alone.c_str(), [&](HWND sheet) { view = ReadSearchedHandles(sheet); });
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.summary, kNobodyElse);
    EXPECT_EQ(view.uninspected, "");
    EXPECT_EQ(view.note, NoteFor(1, "1 of Tarnel's own"));
}

// Each search duplicates every event handle of the helper and of this
// process; none of the duplicates, processes or threads stays open, also
// when Refresh ends a search midway.
TEST_F(HandlesPageTest, EverySearchClosesItsDuplicates) {
    auto showAndRefresh = [](int refreshes) {
        std::size_t rows = 0;
        RunPropertySheet(Held.c_str(), [&](HWND sheet) {
            HWND page = ShowPageTitled(sheet, kHandlesTitle);
            for (int i = 0; i < refreshes; ++i) PressButton(page, IDC_HANDLES_REFRESH);
            EXPECT_TRUE(WaitForHandlesSearch(page));
            rows = ReadHandlesPage(page).rows.size();
        });
        return rows;
    };
    showAndRefresh(1);  // the platform keeps what it opens on first use of the sheet
    const long before = CountProcessHandles();
    EXPECT_EQ(showAndRefresh(10), 2u);
    EXPECT_EQ(CountProcessHandles(), before);
}

// The older class of the handle list, read on systems without the extended
// one, finds the same handles; either way only handles of the object's type
// are compared.
TEST_F(HandlesPageTest, BothClassesOfTheHandleListFindTheSameHandles) {
    for (HandleListClass listClass : {HandleListClass::Extended, HandleListClass::Legacy}) {
        SCOPED_TRACE(listClass == HandleListClass::Extended ? "class 64" : "class 16");
        SystemHandleList list;
        ASSERT_EQ(list.Read(listClass), kStatusSuccess);
        const HolderSearch search = FindObjectHolders(Held.c_str(), listClass);
        ASSERT_EQ(search.result, HolderSearchResult::Done);
        ASSERT_EQ(search.handles.size(), 2u);
        std::set<ACCESS_MASK> accesses;
        for (const HandleHolder& holder : search.handles) {
            EXPECT_EQ(holder.processId, Holder->Id());
            EXPECT_EQ(holder.processName, kHolderName);
            accesses.insert(holder.grantedAccess);
        }
        EXPECT_EQ(accesses, (std::set<ACCESS_MASK>{handle_holder::kFirstAccess, handle_holder::kSecondAccess}));
        EXPECT_EQ(search.ownHandles, 1);
        EXPECT_TRUE(search.uninspected.empty());
        // The helper's eight events at least; far fewer than all handles.
        EXPECT_GE(search.examined, 8u);
        EXPECT_LT(search.examined, list.Count() / 2);
    }
}

// The window runs while a search over many candidates does: the progress line
// counts them, and the rows found so far show before the search ends. The
// helper's last event waits at the gate, so the search cannot end meanwhile.
TEST_F(HandlesPageTest, RowsAndProgressShowWhileALargeSearchRuns) {
    ASSERT_TRUE(Holder->Command(handle_holder::kHoldMany));
    char last[32];
    std::snprintf(last, sizeof last, handle_holder::kManyFormat, handle_holder::kManyEvents - 1);
    QueryGate gate(kNeverGivenUp);
    gate.HoldName(ObjectNameOf(OpenTestEvent(Scratch->PathOf(last), SYNCHRONIZE).get()));
    HandlesView during, after;
    SearchProgress progress;
    RunPropertySheet(Held.c_str(), [&](HWND sheet) {
        HWND page = ShowPageTitled(sheet, kHandlesTitle);
        // Every candidate but the gated one looked at, the search still running.
        EXPECT_TRUE(PumpUntil([&] {
            progress = ProgressOf(WindowText(page, IDC_HANDLES_SUMMARY));
            return gate.Waiting() == 1 && progress.shown && progress.examined + 1 == progress.candidates;
        }));
        during = ReadHandlesPage(page);
        gate.Open();
        EXPECT_TRUE(WaitForHandlesSearch(page));
        after = ReadHandlesPage(page);
    });
    ASSERT_TRUE(Holder->Command(handle_holder::kDropMany));
    EXPECT_GT(progress.candidates, static_cast<unsigned long>(handle_holder::kManyEvents));
    EXPECT_GE(progress.processes, 2ul);  // this process's events and the helper's
    ASSERT_EQ(during.rows.size(), 2u);
    for (const auto& row : during.rows) ExpectHelperRow(row);
    EXPECT_EQ(after.rows, during.rows);
    EXPECT_EQ(after.summary, "2 handles in 1 process");
    EXPECT_EQ(after.notAnswering, "");
}

// A handle whose query never answers is given up and named with its process;
// the search ends without it and lists the other. The page keeps the search's
// findings; of the rest, only the query's duplicate stays while it waits.
TEST_F(HandlesPageTest, HandleThatNeverAnswersIsNamedAndTheSearchEnds) {
    QueryGate gate({50, 300});
    gate.HoldAccess(handle_holder::kSecondAccess);
    InformationBlockCount blocks;
    HandlesView view;
    long handlesBefore = 0, handlesKept = -1, blocksKept = -1;
    RunPropertySheet(Held.c_str(), [&](HWND sheet) {
        handlesBefore = CountProcessHandles();
        view = ReadSearchedHandles(sheet);
        handlesKept = CountProcessHandles() - handlesBefore;
        blocksKept = blocks.Live();
    });
    EXPECT_EQ(handlesKept, 1);
    EXPECT_EQ(blocksKept, 0);
    EXPECT_EQ(gate.Waiting(), 1);  // still waiting: the page was read with the gate closed
    ASSERT_EQ(view.rows.size(), 1u);
    ExpectHelperRow(view.rows[0]);
    EXPECT_EQ(view.rows[0][3], kFirstAccessText);
    EXPECT_EQ(view.summary, "1 handle in 1 process");
    EXPECT_EQ(view.note, NoteFor(3, "1 of Tarnel's own, 1 among the handles not answering"));
    const std::string named = "1 handle not answering: " + std::string(kHolderName) + " (" +
                              std::to_string(Holder->Id()) + ") 0x";
    ASSERT_EQ(view.notAnswering.rfind(named, 0), 0u) << view.notAnswering;
    const auto value = std::strtoull(view.notAnswering.c_str() + named.size(), nullptr, 16);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(Holder->Process(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));
    UniqueNtHandle owner(copy);
    EXPECT_EQ(GrantedAccess(copy), handle_holder::kSecondAccess);
}

// Refresh during a search ends it and starts afresh: nothing of the first
// search lands on the page, and the second lists each handle once.
TEST_F(HandlesPageTest, RefreshDuringASearchStartsAfresh) {
    QueryGate gate(kNeverGivenUp);
    gate.HoldAccess(handle_holder::kSecondAccess);
    HandlesView first, second;
    long searches = -1;
    const long searchesBefore = NamespaceCounters().holderSearches;
    RunPropertySheet(Held.c_str(), [&](HWND sheet) {
        HWND page = ShowPageTitled(sheet, kHandlesTitle);
        EXPECT_TRUE(PumpUntil([&] { return gate.Waiting() == 1 && ReadHandlesPage(page).rows.size() == 1; }));
        first = ReadHandlesPage(page);
        PressButton(page, IDC_HANDLES_REFRESH);
        EXPECT_TRUE(PumpUntil([&] { return gate.Waiting() == 2; }));
        gate.Open();
        EXPECT_TRUE(WaitForHandlesSearch(page));
        second = ReadHandlesPage(page);
        searches = NamespaceCounters().holderSearches - searchesBefore;
    });
    EXPECT_EQ(first.summary.rfind("Searching: ", 0), 0u) << first.summary;
    EXPECT_EQ(searches, 2);
    ASSERT_EQ(second.rows.size(), 2u);
    EXPECT_EQ(AccessesOf(second), (std::set<std::string>{kFirstAccessText, kSecondAccessText}));
    EXPECT_EQ(second.summary, "2 handles in 1 process");
}

// Closing the sheet during a search stops it without waiting for what the
// search waits on, a candidate's query, its own handle's name query or the
// read of the handle list: no worker is left and the call has not come back
// when the sheet is gone; once what was left behind comes back, nothing of
// the search remains.
TEST_F(HandlesPageTest, ClosingTheSheetDuringASearchLeavesNothingBehind) {
    // The platform keeps what it opens on first use of the sheet.
    RunPropertySheet(Held.c_str(), [](HWND sheet) { ShowSearchedHandles(sheet); });
    // The search's own handle, opened as the search opens it, is told apart by its access.
    const ACCESS_MASK ownAccess =
        GrantedAccess(OpenAnyObjectExactly(Held.c_str(), MAXIMUM_ALLOWED).opened.handle.get());
    ASSERT_NE(ownAccess, 0u);
    struct Case {
        const char* heldAt;
        ACCESS_MASK heldAccess;  // 0: the list read is held
    };
    const Case cases[] = {
        {"a candidate's query", handle_holder::kSecondAccess},
        {"the own handle's name query", ownAccess},
        {"the list read", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.heldAt);
        const bool atListRead = c.heldAccess == 0;
        const long straysBefore = BackgroundWork::StrayNotices();
        const long handlesBefore = CountProcessHandles();
        InformationBlockCount blocks;
        long workersAfterClose = -1, passedAtClose = -1;
        bool running = false;
        LARGE_INTEGER frequency{}, closing{}, closed{};
        QueryPerformanceFrequency(&frequency);
        {
            QueryGate gate(kNeverGivenUp);
            if (atListRead)
                gate.HoldListReads();
            else
                gate.HoldAccess(c.heldAccess);
            RunPropertySheet(Held.c_str(), [&](HWND sheet) {
                HWND page = ShowPageTitled(sheet, kHandlesTitle);
                EXPECT_TRUE(PumpUntil([&] { return (atListRead ? gate.ListReadsWaiting() : gate.Waiting()) == 1; }));
                running = HandlesSearchRunning(page);
                QueryPerformanceCounter(&closing);  // the sheet closes once this returns
            });
            QueryPerformanceCounter(&closed);
            workersAfterClose = BackgroundWork::LiveWorkers();
            passedAtClose = gate.Passed();
        }  // the gate opens, and waits for every thread the search left behind to end
        std::printf("closing the sheet held at %s took %.1f ms\n", c.heldAt,
                    1000.0 * static_cast<double>(closed.QuadPart - closing.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
        EXPECT_TRUE(running);
        EXPECT_EQ(workersAfterClose, 0);
        EXPECT_EQ(passedAtClose, 0);
        EXPECT_EQ(LiveSearchThreads(), 0);
        EXPECT_EQ(blocks.Live(), 0);
        EXPECT_EQ(CountProcessHandles(), handlesBefore);
        EXPECT_EQ(BackgroundWork::StrayNotices(), straysBefore);
    }
}

// An object that grants this account nothing but SYNCHRONIZE is searched
// all the same, and so is a job, which no row of the opener opens: the
// handle to each that the helper holds is listed, its rights named by its type.
TEST_F(HandlesPageTest, ObjectsTheSheetsOpenerCannotOpenAreSearched) {
    const std::string syncOnly =
        Scratch->AddEventWithDescriptor("SyncOnly", DescriptorFromSddl("O:SYG:SYD:(A;;0x100000;;;WD)"));
    ASSERT_FALSE(syncOnly.empty());
    const std::string job = Scratch->PathOf("Job");
    NamedAttributes jobAttributes(job);
    HANDLE jobHandle = nullptr;
    ASSERT_EQ(NtCreateJobObject(&jobHandle, JOB_OBJECT_ALL_ACCESS, jobAttributes.Get()), kStatusSuccess);
    const UniqueNtHandle jobOwner(jobHandle);
    HANDLE queryOnly = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), jobHandle, GetCurrentProcess(), &queryOnly,
                                JOB_OBJECT_QUERY, FALSE, 0));
    const struct {
        std::string path;
        UniqueNtHandle mine;
        const char* rights;
    } cases[] = {
        {syncOnly, OpenTestEvent(syncOnly, SYNCHRONIZE), "0x00100000 (Synchronize)"},
        {job, UniqueNtHandle(queryOnly), "0x00000004 (Query)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        HANDLE given = nullptr;
        ASSERT_TRUE(c.mine && DuplicateHandle(GetCurrentProcess(), c.mine.get(), Holder->Process(), &given, 0, FALSE,
                                              DUPLICATE_SAME_ACCESS));
        HandlesView view;
        RunOnePageSheet("HANDLES", HandlesPageProc, c.path.c_str(), [&](HWND sheet) {
            HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0));
            EXPECT_TRUE(WaitForHandlesSearch(page));
            view = ReadHandlesPage(page);
        });
        DuplicateHandle(Holder->Process(), given, nullptr, nullptr, 0, FALSE, DUPLICATE_CLOSE_SOURCE);
        char value[32];
        std::snprintf(value, sizeof value, "0x%llX",
                      static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(given)));
        ASSERT_EQ(view.rows.size(), 1u) << view.summary;
        EXPECT_EQ(view.rows[0], (std::array<std::string, 4>{kHolderName, std::to_string(Holder->Id()), value,
                                                            c.rights}));
        EXPECT_EQ(view.summary, "1 handle in 1 process");
        EXPECT_EQ(view.note, NoteFor(3, "2 of Tarnel's own"));  // the object's first handle, and mine
    }
}

// Every open of a device or a key makes an object of its own, so their
// holders are found by name, and the count of the page's own open says
// nothing of them.
TEST_F(HandlesPageTest, DeviceAndKeyHoldersAreFoundByName) {
    for (const char* path : {kHeldDevice, kHeldKey}) {
        SCOPED_TRACE(path);
        HandlesView view;
        RunPropertySheet(path, [&](HWND sheet) { view = ReadSearchedHandles(sheet); });
        std::size_t helperRows = 0;
        for (const auto& row : view.rows) {
            if (row[1] != std::to_string(Holder->Id())) continue;
            ++helperRows;
            ExpectHelperRow(row, path);
        }
        EXPECT_GE(helperRows, 1u);
        EXPECT_EQ(view.note, "");
    }
}

// A page whose object vanished before it was shown says so on the page.
TEST(HandlesPageAloneTest, VanishedObjectIsSaidOnThePage) {
    InitCommonControls();
    ScratchDirectory scratch;
    const std::string path = scratch.PathOf("Gone");
    HandlesView view;
    std::vector<CaughtDialog> caught = RunOnePageSheet("HANDLES", HandlesPageProc, path.c_str(), [&](HWND sheet) {
        HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0));
        EXPECT_TRUE(WaitForHandlesSearch(page));
        view = ReadHandlesPage(page);
    });
    EXPECT_TRUE(MessagesOf(caught).empty());
    EXPECT_EQ(view.summary, "Unable to open " + path);
    EXPECT_TRUE(view.rows.empty());
}

// A handle list that cannot be given memory is said on the page, and the program goes on.
TEST(HandlesPageAloneTest, ListWithoutMemoryIsSaidOnThePage) {
    InitCommonControls();
    ScratchDirectory scratch;
    const std::string path = scratch.AddEvent("Alone", true, false);
    const InformationBlockSource platform = InformationBlocks;
    InformationBlocks.allocate = [](std::size_t) -> HLOCAL { return nullptr; };
    HandlesView view;
    RunPropertySheet(path.c_str(), [&](HWND sheet) { view = ReadSearchedHandles(sheet); });
    InformationBlocks = platform;
    EXPECT_EQ(view.summary, "The system's handle list could not be read: there is not enough memory for it.");
    EXPECT_TRUE(view.rows.empty());
}

HolderSearch Found(std::initializer_list<DWORD> holders, std::initializer_list<DWORD> uninspected, long own,
                   long count, std::initializer_list<DWORD> notAnswering = {}) {
    HolderSearch search;
    for (DWORD id : holders) search.handles.push_back({id, "p" + std::to_string(id) + ".exe", 4, 0});
    for (DWORD id : uninspected)
        search.uninspected.push_back({id, "u" + std::to_string(id) + ".exe", ERROR_ACCESS_DENIED});
    for (DWORD id : notAnswering) search.notAnswering.push_back({id, "n" + std::to_string(id) + ".exe", 0x1A4});
    search.ownHandles = own;
    search.handleCount = count;
    return search;
}

HolderSearch Failed(HolderSearchResult result, NTSTATUS status = kStatusSuccess) {
    HolderSearch search;
    search.result = result;
    search.status = status;
    return search;
}

TEST(HandlesPageTextTest, LinesSayWhatTheSearchFound) {
    struct Lines {
        std::string summary, uninspected, note, notAnswering = "";
    };
    struct Case {
        const char* what;
        HolderSearch search;
        Lines expected;
    };
    const std::string oneNotAnswering = "1 handle not answering: n9.exe (9) 0x1A4";
    const Case cases[] = {
        {"one", Found({7}, {}, 0, 1), {"1 handle in 1 process", "", ""}},
        {"several", Found({7, 7, 9}, {}, 0, 3), {"3 handles in 2 processes", "", ""}},
        {"only own", Found({}, {}, 1, 1), {kNobodyElse, "", NoteFor(1, "1 of Tarnel's own")}},
        {"only uninspected",
         Found({}, {12, 34}, 0, 3),
         {kNobodyInspected, "2 processes could not be inspected: u12.exe (12), u34.exe (34)",
          NoteFor(3, "3 in processes that could not be inspected")}},
        {"all kinds",
         Found({7}, {12}, 2, 5),
         {"1 handle in 1 process", "1 process could not be inspected: u12.exe (12)",
          NoteFor(5, "2 of Tarnel's own, 2 in the process that could not be inspected")}},
        {"unaccounted", Found({7, 8}, {}, 0, 3),
         {"2 handles in 2 processes", "", NoteFor(3, "1 not in the system's handle list")}},
        {"count fell meanwhile", Found({7, 8}, {}, 0, 1),
         {"2 handles in 2 processes", "",
          "The object has 1 handle now, as the Details page counts them. It changed while the list was read."}},
        {"count unknown", Found({7}, {}, 3, -1), {"1 handle in 1 process", "", ""}},
        {"many uninspected",
         Found({}, {1, 2, 3, 4, 5, 6, 7, 8}, 0, 0),
         {kNobodyInspected,
          "8 processes could not be inspected: u1.exe (1), u2.exe (2), u3.exe (3), u4.exe (4), u5.exe (5), "
          "u6.exe (6), and 2 more",
          ""}},
        {"not opened", Failed(HolderSearchResult::ObjectNotOpened), {"Unable to open \\Gone", "", ""}},
        {"list not read", Failed(HolderSearchResult::ListNotRead, static_cast<NTSTATUS>(0xC0000004)),
         {"The system's handle list could not be read (status 0xC0000004).", "", ""}},
        {"own handle missing", Failed(HolderSearchResult::OwnHandleNotListed),
         {"The system's handle list does not show Tarnel's own handle to this object.", "", ""}},
        {"no memory for the list", Failed(HolderSearchResult::ListNotRead, kStatusNoMemory),
         {"The system's handle list could not be read: there is not enough memory for it.", "", ""}},
        {"no thread", Failed(HolderSearchResult::NoThread), {"The search could not start a thread to run on.", "", ""}},
        {"not answering", Found({7}, {}, 1, 3, {9}),
         {"1 handle in 1 process", "", NoteFor(3, "1 of Tarnel's own, 1 among the handles not answering"),
          oneNotAnswering}},
        {"only not answering", Found({}, {}, 0, 1, {9}),
         {"No other process holds this object among the handles that answered.", "",
          NoteFor(1, "1 among the handles not answering"), oneNotAnswering}},
        {"not answering and uninspected", Found({}, {12}, 0, 2, {9}),
         {kNobodyInspected, "1 process could not be inspected: u12.exe (12)",
          NoteFor(2, "2 in processes that could not be inspected or among the handles not answering"),
          oneNotAnswering}},
        {"many not answering", Found({}, {}, 0, -1, {1, 2, 3, 4, 5, 6, 7}),
         {"No other process holds this object among the handles that answered.", "", "",
          "7 handles not answering: n1.exe (1) 0x1A4, n2.exe (2) 0x1A4, n3.exe (3) 0x1A4, n4.exe (4) 0x1A4, "
          "n5.exe (5) 0x1A4, n6.exe (6) 0x1A4, and 1 more"}},
    };
    for (const Case& c : cases) {
        const HandlesPageTexts texts = DescribeHolders(c.search, "\\Gone");
        EXPECT_EQ(texts.summary, c.expected.summary) << c.what;
        EXPECT_EQ(texts.uninspected, c.expected.uninspected) << c.what;
        EXPECT_EQ(texts.notAnswering, c.expected.notAnswering) << c.what;
        EXPECT_EQ(texts.note, c.expected.note) << c.what;
    }
}

TEST(HandlesPageTextTest, ProgressCountsHandlesAndProcesses) {
    HolderProgress progress;
    progress.listRead = true;
    progress.candidates = 30000;
    progress.examined = 1200;
    progress.processes = 3;
    EXPECT_EQ(DescribeProgress(progress), "Searching: 1200 of 30000 handles, 3 processes");
    progress.candidates = progress.processes = 1;
    progress.examined = 0;
    EXPECT_EQ(DescribeProgress(progress), "Searching: 0 of 1 handle, 1 process");
}

}  // namespace
