#include "properties/handles_page.h"

#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "common/background_work.h"
#include "common/list_view.h"
#include "namespace/access_names.h"
#include "properties/sheet_object.h"
#include "properties/security_page.h"
#include "resource_ids.h"

namespace {

// The lines under the list name this many processes or handles, then say how many more.
constexpr std::size_t kNamedEntries = 6;
// Rows added per message: a search that finds thousands leaves the window free between them.
constexpr std::size_t kRowsPerTurn = 200;
// News from the page's search; wParam is the generation of its start.
constexpr UINT WM_HOLDERS_FOUND = WM_APP + 1;

constexpr char kNobodyElse[] = "No other process holds this object.";
constexpr char kNobodyInspected[] = "No process that could be inspected holds this object.";
constexpr char kNobodyAnswering[] = "No other process holds this object among the handles that answered.";
constexpr char kOwnHandleNotListed[] = "The system's handle list does not show Tarnel's own handle to this object.";
constexpr char kNoMemoryForList[] = "The system's handle list could not be read: there is not enough memory for it.";
constexpr char kNoThread[] = "The search could not start a thread to run on.";
constexpr char kReadingList[] = "Searching: reading the system's handle list";

// The page's state: set at page creation; the search waits for the first
// time the page is shown, and runs on the page's worker.
struct HandlesPageState {
    SheetObject object;  // the page's own copy of the object's name
    bool searched;
    BackgroundWork work;
    HolderSearchOwner run;
    std::vector<HandleHolder> rows;  // as the list shows them, by process id and handle value
    std::size_t taken;               // the run's handles, in the order found, that rows holds
};
HandlesPageState HandlesPage;

// Widths in dialog units.
constexpr DialogListColumn kColumns[] = {
    {"Process", 70},
    {"PID", 30},
    {"Handle", 34},
    {"Access", 116},  // widened to its longest text after each search
};

const char* Plural(std::size_t count, const char* one, const char* many) { return count == 1 ? one : many; }

std::string Counted(long count, const char* one, const char* many) {
    char text[64];
    std::snprintf(text, sizeof text, "%ld %s", count, count == 1 ? one : many);
    return text;
}

std::string HexValue(ULONG_PTR value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// "<count> <what>: a, b, c, and 2 more", naming the first entries; empty for none.
template <typename Entry, typename Namer>
std::string DescribeNamed(const std::vector<Entry>& entries, const std::string& heading, Namer name) {
    if (entries.empty()) return {};
    std::string text = heading + ": ";
    for (std::size_t i = 0; i < entries.size() && i < kNamedEntries; ++i) text += (i > 0 ? ", " : "") + name(entries[i]);
    if (entries.size() > kNamedEntries) text += ", and " + std::to_string(entries.size() - kNamedEntries) + " more";
    return text;
}

std::string DescribeUninspected(const std::vector<UninspectedProcess>& processes) {
    const std::string heading =
        Counted(static_cast<long>(processes.size()), "process", "processes") + " could not be inspected";
    return DescribeNamed(processes, heading, [](const UninspectedProcess& process) {
        return process.processName + " (" + std::to_string(process.processId) + ")";
    });
}

std::string DescribeNotAnswering(const std::vector<NotAnsweringHandle>& handles) {
    const std::string heading = Counted(static_cast<long>(handles.size()), "handle", "handles") + " not answering";
    return DescribeNamed(handles, heading, [](const NotAnsweringHandle& handle) {
        return handle.processName + " (" + std::to_string(handle.processId) + ") " + HexValue(handle.handleValue);
    });
}

// Where the handles the object's count has beyond those listed may be: in
// processes that could not be inspected, or among handles not answering.
std::string WhereTheRestMayBe(const HolderSearch& search) {
    const bool uninspected = !search.uninspected.empty();
    const bool notAnswering = !search.notAnswering.empty();
    if (uninspected && notAnswering) return " in processes that could not be inspected or among the handles not answering";
    if (notAnswering) return " among the handles not answering";
    if (uninspected)
        return std::string(" in ") + Plural(search.uninspected.size(), "the process", "processes") +
               " that could not be inspected";
    return " not in the system's handle list";
}

// Accounts for the handles the object's count has beyond those listed: this
// process's own, and those the search could not look at.
std::string DescribeDifference(const HolderSearch& search) {
    const long listed = static_cast<long>(search.handles.size());
    if (search.handleCount < 0 || search.handleCount == listed) return {};
    std::string text = "The object has " + Counted(search.handleCount, "handle", "handles") +
                       " now, as the Details page counts them. ";
    const long rest = search.handleCount - listed - search.ownHandles;
    if (rest < 0) return text + "It changed while the list was read.";
    std::string parts;
    if (search.ownHandles > 0) parts = std::to_string(search.ownHandles) + " of Tarnel's own";
    if (rest > 0) parts += (parts.empty() ? "" : ", ") + std::to_string(rest) + WhereTheRestMayBe(search);
    return text + "Not listed here: " + parts + ".";
}

bool ShownBefore(const HandleHolder& a, const HandleHolder& b) {
    return a.processId != b.processId ? a.processId < b.processId : a.handleValue < b.handleValue;
}

// Puts a holder in its place among the rows, by process id and handle value.
void AddHolderRow(HWND list, const HandleHolder& holder, const char* typeName) {
    std::vector<HandleHolder>& rows = HandlesPage.rows;
    const auto place = std::upper_bound(rows.begin(), rows.end(), holder, ShownBefore);
    const int row = InsertListRow(list, static_cast<int>(place - rows.begin()), holder.processName.c_str());
    if (row == -1) return;
    rows.insert(place, holder);
    SetListCell(list, row, 1, std::to_string(holder.processId).c_str());
    SetListCell(list, row, 2, HexValue(holder.handleValue).c_str());
    SetListCell(list, row, 3, DescribeAccess(holder.grantedAccess, typeName != nullptr ? typeName : "").c_str());
}

// Widens the Access column to its longest text, or to the rest of the list
// where that is wider, so that it scrolls only when a text needs it.
void FitAccessColumn(HWND list) {
    constexpr int kAccessColumn = static_cast<int>(std::size(kColumns)) - 1;
    SendMessageA(list, LVM_SETCOLUMNWIDTH, kAccessColumn, LVSCW_AUTOSIZE);
    RECT client{};
    GetClientRect(list, &client);
    int rest = client.right;
    for (int column = 0; column < kAccessColumn; ++column)
        rest -= static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    if (SendMessageA(list, LVM_GETCOLUMNWIDTH, kAccessColumn, 0) < rest)
        SendMessageA(list, LVM_SETCOLUMNWIDTH, kAccessColumn, rest);
}

void ShowTexts(HWND page, const HandlesPageTexts& texts) {
    SetDlgItemTextA(page, IDC_HANDLES_SUMMARY, texts.summary.c_str());
    SetDlgItemTextA(page, IDC_HANDLES_UNINSPECTED, texts.uninspected.c_str());
    SetDlgItemTextA(page, IDC_HANDLES_NOT_ANSWERING, texts.notAnswering.c_str());
    SetDlgItemTextA(page, IDC_HANDLES_NOTE, texts.note.c_str());
}

// The search's threads call this on every change.
void NotifyPage(void*) { HandlesPage.work.Notify(); }

void SearchOnWorker(BackgroundWork& work, void* run) {
    static_cast<HolderSearchRun*>(run)->Execute(work.StopEvent());
}

// Stops the page's search, waiting for its worker, which answers at once, and
// lets its run go; a platform call the search left behind ends alone.
void EndSearch() {
    HandlesPage.work.Stop();
    HandlesPage.run.reset();
}

// Starts a search afresh: rows and texts go, and come back as it finds them.
void StartSearch(HWND page) {
    EndSearch();
    SendMessageA(GetDlgItem(page, IDC_HANDLES_LIST), LVM_DELETEALLITEMS, 0, 0);
    HandlesPage.rows.clear();
    HandlesPage.taken = 0;
    HandlesPage.searched = true;
    ShowTexts(page, {kReadingList, "", "", ""});
    HandlesPage.run.reset(new HolderSearchRun(HandlesPage.object.Name(), HandleListClass::Extended, NotifyPage, nullptr));
    if (HandlesPage.work.Start(page, WM_HOLDERS_FOUND, SearchOnWorker, HandlesPage.run.get())) return;
    HolderSearch failed;
    failed.result = HolderSearchResult::NoThread;
    ShowTexts(page, DescribeHolders(failed, HandlesPage.object.path));
}

// Takes up to kRowsPerTurn new holders and the progress; once the search has
// finished and every holder is shown, the lines say what it found.
void OnHoldersFound(HWND page, WPARAM generation) {
    if (!HandlesPage.work.Accept(generation) || !HandlesPage.run) return;
    std::vector<HandleHolder> fresh;
    HolderProgress progress;
    HolderSearch finished;
    const char* typeName = nullptr;
    bool more = false;
    HandlesPage.run.get()->Read([&](const HolderSearch& found, const HolderProgress& now) {
        const std::size_t first = HandlesPage.taken;
        const std::size_t end = std::min(found.handles.size(), first + kRowsPerTurn);
        fresh.assign(found.handles.begin() + first, found.handles.begin() + end);
        HandlesPage.taken = end;
        more = end < found.handles.size();
        typeName = found.typeName;
        progress = now;
        if (now.finished && !more) finished = found;
    });
    HWND list = GetDlgItem(page, IDC_HANDLES_LIST);
    for (const HandleHolder& holder : fresh) AddHolderRow(list, holder, typeName);
    if (more) {
        PostMessageA(page, WM_HOLDERS_FOUND, generation, 0);
        return;
    }
    if (!progress.finished) {
        SetDlgItemTextA(page, IDC_HANDLES_SUMMARY, progress.listRead ? DescribeProgress(progress).c_str() : kReadingList);
        return;
    }
    FitAccessColumn(list);
    ShowTexts(page, DescribeHolders(finished, HandlesPage.object.path));
    HandlesPage.work.Stop();  // the search is over: this waits only for its thread's last steps
}

// Keeps the path and makes the columns; the search waits for the page to
// be shown, as most sheets are closed without it. lParam is the page record.
BOOL OnInitDialog(HWND page, HWND, LPARAM lParam) {
    HandlesPage.object = SheetObjectOf(lParam);
    HandlesPage.searched = false;
    InsertDialogListColumns(page, GetDlgItem(page, IDC_HANDLES_LIST), kColumns);
    return TRUE;
}

void OnCommand(HWND page, int id, HWND, UINT code) {
    if (id == IDC_HANDLES_REFRESH && code == BN_CLICKED) StartSearch(page);
}

// The first activation searches; later ones show the last search.
void OnNotify(HWND page, const NMHDR* header) {
    if (header->code == static_cast<UINT>(PSN_SETACTIVE) && !HandlesPage.searched) StartSearch(page);
}

// Closing the sheet stops the search: nothing of it outlives the page.
void OnDestroy(HWND) {
    EndSearch();
    HandlesPage.rows = {};
}

}  // namespace

HandlesPageTexts DescribeHolders(const HolderSearch& search, const char* path) {
    HandlesPageTexts texts;
    switch (search.result) {
    case HolderSearchResult::ObjectNotOpened:
        texts.summary = std::string("Unable to open ") + path;
        return texts;
    case HolderSearchResult::ListNotRead: {
        char text[96];
        std::snprintf(text, sizeof text, "The system's handle list could not be read (status 0x%08lX).",
                      static_cast<unsigned long>(search.status));
        texts.summary = search.status == kStatusNoMemory ? kNoMemoryForList : text;
        return texts;
    }
    case HolderSearchResult::OwnHandleNotListed:
        texts.summary = kOwnHandleNotListed;
        return texts;
    case HolderSearchResult::NoThread:
        texts.summary = kNoThread;
        return texts;
    case HolderSearchResult::Done:
        break;
    }
    if (search.handles.empty() && !search.uninspected.empty())
        texts.summary = kNobodyInspected;
    else if (search.handles.empty())
        texts.summary = search.notAnswering.empty() ? kNobodyElse : kNobodyAnswering;
    else
        texts.summary = Counted(static_cast<long>(search.handles.size()), "handle", "handles") + " in " +
                        Counted(static_cast<long>(search.ProcessCount()), "process", "processes");
    texts.uninspected = DescribeUninspected(search.uninspected);
    texts.notAnswering = DescribeNotAnswering(search.notAnswering);
    texts.note = DescribeDifference(search);
    return texts;
}

std::string DescribeProgress(const HolderProgress& progress) {
    return "Searching: " + std::to_string(progress.examined) + " of " +
           Counted(static_cast<long>(progress.candidates), "handle", "handles") + ", " +
           Counted(static_cast<long>(progress.processes), "process", "processes");
}

INT_PTR CALLBACK HandlesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(page, WM_COMMAND, OnCommand);
        HANDLE_MSG(page, WM_DESTROY, OnDestroy);
    case WM_HOLDERS_FOUND:
        OnHoldersFound(page, wParam);
        return TRUE;
    case WM_NOTIFY:
        // Nothing is answered: PSN_SETACTIVE's result 0 lets the page show.
        OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
        break;
    default:
        break;
    }
    return FALSE;
}
