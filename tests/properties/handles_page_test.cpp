// The Handles page through the real sheet, against a process of the test's
// own that holds the object the sheet shows; and the page's texts for
// searches the live system cannot produce on demand.
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

#include "handle_holder.h"
#include "namespace/handle_list.h"
#include "properties/handles_page.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "support/beside_program.h"
#include "support/handle_count.h"
#include "support/test_namespace.h"

namespace {

constexpr int kHandlesPage = 2;
// A 32-bit process takes about a minute to start under the emulator.
constexpr DWORD kStartMilliseconds = 300000;
constexpr DWORD kCommandMilliseconds = 30000;

constexpr char kFirstAccessText[] = "0x00100001 (Synchronize, Query State)";
constexpr char kSecondAccessText[] = "0x00020002 (Modify State)";  // READ_CONTROL has no row of its own
constexpr char kHolderName[] = "handle_holder.exe";
constexpr char kNobodyElse[] = "No other process holds this object.";
constexpr char kNobodyInspected[] = "No process that could be inspected holds this object.";

UniqueNtHandle OpenTestEvent(const std::string& path, ACCESS_MASK access) {
    NamedAttributes attributes(path);
    HANDLE handle = nullptr;
    if (NtOpenEvent(&handle, access, attributes.Get()) != kStatusSuccess) return UniqueNtHandle();
    return UniqueNtHandle(handle);
}

std::wstring NameOf(HANDLE handle) {
    alignas(8) BYTE buffer[4096];
    ULONG length = 0;
    if (NtQueryObject(handle, static_cast<OBJECT_INFORMATION_CLASS>(kObjectNameInformation), buffer, sizeof buffer,
                      &length) != kStatusSuccess)
        return {};
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return std::wstring(name->Buffer, name->Length / sizeof(WCHAR));
}

// handle_holder.exe, started once for the whole suite.
class HolderProcess {
public:
    // Makes the helper's events in scratch and starts it; true once it holds both handles.
    bool Start(ScratchDirectory& scratch) {
        if (scratch.AddEvent(handle_holder::kHeld, true, false).empty()) return false;
        done_ = OpenTestEvent(scratch.AddEvent(handle_holder::kDone, false, false), SYNCHRONIZE);
        for (std::size_t i = 0; i < std::size(handle_holder::kCommands); ++i) {
            const std::string command = scratch.AddEvent(handle_holder::kCommands[i], false, false);
            commands_[i] = OpenTestEvent(command, EVENT_MODIFY_STATE);
        }

        const std::string program = BesideThisProgram(kHolderName);
        std::string commandLine =
            "\"" + program + "\" " + scratch.Path() + " " + std::to_string(GetCurrentProcessId());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
            return false;
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
        return WaitDone(kStartMilliseconds);
    }

    bool Command(handle_holder::Command command) {
        SetEvent(commands_[command].get());
        return WaitDone(kCommandMilliseconds);
    }

    ~HolderProcess() {
        if (!process_) return;
        SetEvent(commands_[handle_holder::kQuit].get());
        WaitForSingleObject(process_.get(), kCommandMilliseconds);
    }

    DWORD Id() const { return id_; }
    // The test's own handle to the helper, with every access: it still
    // duplicates from the helper while the helper refuses to be opened.
    HANDLE Process() const { return process_.get(); }

private:
    bool WaitDone(DWORD milliseconds) {
        HANDLE waits[] = {done_.get(), process_.get()};
        return WaitForMultipleObjects(2, waits, FALSE, milliseconds) == WAIT_OBJECT_0;
    }

    UniqueNtHandle done_;
    UniqueNtHandle commands_[std::size(handle_holder::kCommands)];
    UniqueWin32Handle process_;
    DWORD id_ = 0;
};

// What the Handles page showed.
struct HandlesView {
    std::string summary, uninspected, note;
    std::vector<std::array<std::string, 4>> rows;  // process, process id, handle, access
};

HandlesView ReadHandlesPage(HWND page) {
    HandlesView view{WindowText(page, IDC_HANDLES_SUMMARY), WindowText(page, IDC_HANDLES_UNINSPECTED),
                     WindowText(page, IDC_HANDLES_NOTE), {}};
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

std::string TabTitle(HWND sheet, int index) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    char text[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::string NoteFor(long count, const std::string& notListed) {
    return "The object has " + std::to_string(count) + (count == 1 ? " handle" : " handles") +
           " now, as the Details page counts them. Not listed here: " + notListed + ".";
}

class HandlesPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitCommonControls();
        Scratch = std::make_unique<ScratchDirectory>();
        Holder = std::make_unique<HolderProcess>();
        Started = Scratch->Valid() && Holder->Start(*Scratch);
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
    static void ExpectHelperRow(const std::array<std::string, 4>& row) {
        EXPECT_EQ(row[0], kHolderName);
        EXPECT_EQ(row[1], std::to_string(Holder->Id()));
        ASSERT_EQ(row[2].rfind("0x", 0), 0u) << row[2];
        const auto value = static_cast<ULONG_PTR>(std::strtoull(row[2].c_str() + 2, nullptr, 16));
        HANDLE copy = nullptr;
        ASSERT_TRUE(DuplicateHandle(Holder->Process(), reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                                    FALSE, DUPLICATE_SAME_ACCESS))
            << row[2];
        UniqueNtHandle owner(copy);
        UniqueNtHandle mine = OpenTestEvent(Held, SYNCHRONIZE);
        EXPECT_EQ(NameOf(copy), NameOf(mine.get()));
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
            HWND handles = ShowPage(sheet, kHandlesPage);
            page.before = ReadHandlesPage(handles);
            if (!Holder->Command(command)) {
                ADD_FAILURE() << "the helper did not carry out command " << command;
                return;
            }
            PressButton(handles, IDC_HANDLES_REFRESH);
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

// The page is the third, searched only once shown, and lists both of the
// helper's handles with their accesses; the scratch directory's own handle is
// Tarnel's and only counted in the note.
TEST_F(HandlesPageTest, ListsBothHandlesOfTheHelperWhenFirstShown) {
    HandlesView view;
    std::string title;
    long searchesBeforeShown = -1, searchesAfterSwitching = -1;
    const long searchesBefore = NamespaceCounters().holderSearches;
    std::vector<CaughtDialog> caught = RunPropertySheet(Held.c_str(), [&](HWND sheet) {
        title = TabTitle(sheet, kHandlesPage);
        searchesBeforeShown = NamespaceCounters().holderSearches - searchesBefore;
        view = ReadHandlesPage(ShowPage(sheet, kHandlesPage));
        ShowPage(sheet, 0);
        ShowPage(sheet, kHandlesPage);
        searchesAfterSwitching = NamespaceCounters().holderSearches - searchesBefore;
    });
    EXPECT_TRUE(MessagesOf(caught).empty());
    EXPECT_EQ(title, "Handles");
    EXPECT_EQ(searchesBeforeShown, 0);
    EXPECT_EQ(searchesAfterSwitching, 1);

    ASSERT_EQ(view.rows.size(), 2u);
    for (const auto& row : view.rows) ExpectHelperRow(row);
    EXPECT_EQ(AccessesOf(view), (std::set<std::string>{kFirstAccessText, kSecondAccessText}));
    EXPECT_EQ(view.summary, "2 handles in 1 process");
    EXPECT_EQ(view.uninspected, "");
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
    RunPropertySheet(alone.c_str(), [&](HWND sheet) { view = ReadHandlesPage(ShowPage(sheet, kHandlesPage)); });
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.summary, kNobodyElse);
    EXPECT_EQ(view.uninspected, "");
    EXPECT_EQ(view.note, NoteFor(1, "1 of Tarnel's own"));
}

// Each search duplicates every event handle of the helper and of this
// process; none of the duplicates stays open.
TEST_F(HandlesPageTest, EverySearchClosesItsDuplicates) {
    auto showAndRefresh = [](int refreshes) {
        std::size_t rows = 0;
        RunPropertySheet(Held.c_str(), [&](HWND sheet) {
            HWND page = ShowPage(sheet, kHandlesPage);
            for (int i = 0; i < refreshes; ++i) PressButton(page, IDC_HANDLES_REFRESH);
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

// A page whose object vanished before it was shown says so on the page.
TEST(HandlesPageAloneTest, VanishedObjectIsSaidOnThePage) {
    InitCommonControls();
    ScratchDirectory scratch;
    const std::string path = scratch.PathOf("Gone");
    HandlesView view;
    std::vector<CaughtDialog> caught = RunOnePageSheet("HANDLES", HandlesPageProc, path.c_str(), [&](HWND sheet) {
        view = ReadHandlesPage(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0)));
    });
    EXPECT_TRUE(MessagesOf(caught).empty());
    EXPECT_EQ(view.summary, "Unable to open " + path);
    EXPECT_TRUE(view.rows.empty());
}

HolderSearch Found(std::initializer_list<DWORD> holders, std::initializer_list<DWORD> uninspected, long own,
                   long count) {
    HolderSearch search;
    for (DWORD id : holders) search.handles.push_back({id, "p" + std::to_string(id) + ".exe", 4, 0});
    for (DWORD id : uninspected)
        search.uninspected.push_back({id, "u" + std::to_string(id) + ".exe", ERROR_ACCESS_DENIED});
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
    struct Case {
        const char* what;
        HolderSearch search;
        HandlesPageTexts expected;
    };
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
    };
    for (const Case& c : cases) {
        const HandlesPageTexts texts = DescribeHolders(c.search, "\\Gone");
        EXPECT_EQ(texts.summary, c.expected.summary) << c.what;
        EXPECT_EQ(texts.uninspected, c.expected.uninspected) << c.what;
        EXPECT_EQ(texts.note, c.expected.note) << c.what;
    }
}

// The rights are named as the object's permission table names them, in its order.
TEST(HandlesPageTextTest, AccessNamesTheRightsOfTheObjectsTable) {
    struct Case {
        ACCESS_MASK granted;
        int typeRow;
        const char* expected;
    };
    const Case cases[] = {
        {0x00100001, kTypeEvent, kFirstAccessText},
        {0x001F0003, kTypeMutant,
         "0x001F0003 (Delete, Change Permissions, Change Owner, Synchronize, Query State, Modify State)"},
        {0x00020019, kTypeKey, "0x00020019 (Query Value, Enumerate Subkeys, Notify, Read Control)"},
        {0x000F000F, kTypeDirectory,
         "0x000F000F (Delete, Change Permissions, Take Ownership, List, Add Entry, Read Control)"},
        {0x00020000, kTypeDevice, "0x00020000 (Read)"},
        {0x00020000, kTypeSection, "0x00020000"},
        {0, kTypeEvent, "0x00000000"},
    };
    for (const Case& c : cases) EXPECT_EQ(DescribeAccess(c.granted, c.typeRow), c.expected) << c.expected;
}

}  // namespace
