#include "shell/find_dialog.h"

#include <windowsx.h>
#include <commctrl.h>

#include <iterator>
#include <memory>
#include <span>
#include <vector>

#include "common/background_work.h"
#include "common/count_text.h"
#include "common/result_list.h"
#include "namespace/access_scan.h"
#include "namespace/object_search.h"
#include "namespace/access_names.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "views/navigation.h"

namespace {

// News from the box's worker; wParam is the generation of its start.
constexpr UINT WM_FIND_NEWS = WM_APP + 1;
// How often at most the worker tells the box of its news: a message on its
// way is taken before the user's input and painting, so the box's queue must
// be empty most of the time.
constexpr DWORD kNewsEveryMs = 25;
// New rows go into the list a few times a second, the count with every news:
// each time the list takes rows costs it a scroll bar and a repaint, whatever
// their number. A timer shows those taken since, should no more news come.
constexpr DWORD kRowsEveryMs = 200;
constexpr UINT_PTR kRowsTimer = 1;
constexpr int kTextSize = 256;
constexpr std::size_t kNamedInNotes = 5;

// How far a search has got.
struct SearchCounts {
    long entries = 0;
    long unopened = 0;
    long notAnswering = 0;
    long devicesPassedOver = 0;
    bool complete = false;  // every directory was read
};

// What the worker has found since the box last looked, and how far it has got.
struct SearchNews {
    std::vector<SearchResult> found;
    SearchCounts counts;
};

// A critical section for the life of its owner.
class NewsLock {
public:
    NewsLock() { InitializeCriticalSection(&section_); }
    ~NewsLock() { DeleteCriticalSection(&section_); }
    NewsLock(const NewsLock&) = delete;
    NewsLock& operator=(const NewsLock&) = delete;

    class Held {
    public:
        explicit Held(NewsLock& lock) : section_(lock.section_) { EnterCriticalSection(&section_); }
        ~Held() { LeaveCriticalSection(&section_); }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        CRITICAL_SECTION& section_;
    };

private:
    CRITICAL_SECTION section_;
};

std::string ResultCell(const SearchResult& result, int column) {
    switch (column) {
    case 0:
        return result.path;
    case 1:
        return result.typeName;
    default:
        return DescribeAccess(result.granted, result.typeName);
    }
}

// One box: by a part of the name (the Find box), or by the rights an object
// grants this account (the Find Accessible box); both read the same walk.
struct FindSession {
    bool byAccess = false;
    // The worker's while it runs; the box's thread's before it starts and once it has stopped.
    ObjectSearch search;
    std::unique_ptr<AccessScan> scan;
    NewsLock lock;
    SearchNews news;      // under lock
    SearchCounts counts;  // the box's: as last taken
    ResultList<SearchResult> list{ResultCell};
    DWORD rowsShownAt = 0;
    bool rowsWaiting = false;  // rows taken are not shown yet: the timer runs
    bool running = false;
    bool searched = false;  // a search has run: its results are Find Next's
    std::size_t nextResult = 0;
    std::wstring chosen;  // the exact path of the result gone to
    BackgroundWork work;  // last, so that it stops before the rest goes
};
FindSession* Session = nullptr;

// What the last search found, for Find Next, and what was asked, for the next box.
std::vector<SearchResult> LastResults;
std::size_t NextResult = 0;
std::wstring LastText;
int LastRight = 0;  // a row of kChangeRightChoices
bool LastEverywhere = false;
bool LastIncludeDevices = false;

// On the worker: the search a step at a time, its news handed over after
// each step and told a few times a second, until it has read everything or
// is stopped. Its last news is told as it ends.
void SearchOnWorker(BackgroundWork& work, void* context) {
    FindSession& session = *static_cast<FindSession*>(context);
    if (session.scan) session.scan->StopWith(work.StopEvent());
    std::vector<SearchResult> found;
    DWORD toldAt = GetTickCount() - kNewsEveryMs;  // the first news is told at once
    for (bool more = true; more && !work.StopRequested();) {
        more = session.search.Step(kFindEntriesPerStep, found);
        {
            NewsLock::Held held(session.lock);
            SearchNews& news = session.news;
            if (news.found.empty())
                news.found.swap(found);
            else
                news.found.insert(news.found.end(), std::make_move_iterator(found.begin()),
                                  std::make_move_iterator(found.end()));
            found.clear();
            SearchCounts& counts = news.counts;
            counts.entries = session.search.EntriesRead();
            counts.complete = !more && !work.StopRequested();  // a stop in the last step may have cut it short
            if (session.scan) {
                counts.unopened = session.scan->Unopened();
                counts.notAnswering = static_cast<long>(session.scan->NotAnswering().size());
                counts.devicesPassedOver = session.scan->DevicesPassedOver();
            }
        }
        if (GetTickCount() - toldAt >= kNewsEveryMs) {
            work.Notify();
            toldAt = GetTickCount();
        }
    }
}

void ShowRows(HWND dialog) {
    if (Session->rowsWaiting) KillTimer(dialog, kRowsTimer);
    Session->rowsWaiting = false;
    Session->list.ShowRows();
    Session->rowsShownAt = GetTickCount();
}

// Takes the worker's news: its results become rows, its counts the box's.
void TakeNews(HWND dialog) {
    std::vector<SearchResult> found;
    {
        NewsLock::Held held(Session->lock);
        found.swap(Session->news.found);
        Session->counts = Session->news.counts;
    }
    if (found.empty()) return;
    Session->list.Append(found);
    const DWORD since = GetTickCount() - Session->rowsShownAt;
    if (since >= kRowsEveryMs) {
        ShowRows(dialog);
    } else if (!Session->rowsWaiting) {
        Session->rowsWaiting = true;
        SetTimer(dialog, kRowsTimer, kRowsEveryMs - since, nullptr);
    }
}

void ShowCount(HWND dialog, const char* state) {
    const SearchCounts& counts = Session->counts;
    std::string text = std::string(state) + FormatCount(static_cast<long>(Session->list.Rows().size())) +
                       (Session->byAccess ? " accessible in " : " found in ") + FormatCount(counts.entries) +
                       " entries.";
    if (Session->byAccess) {
        text += " " + FormatCount(counts.unopened) + " could not be opened.";
        if (counts.notAnswering > 0) text += " " + FormatCount(counts.notAnswering) + " not answering.";
        if (counts.devicesPassedOver > 0)
            text += " " + FormatCount(counts.devicesPassedOver) +
                    (counts.devicesPassedOver == 1 ? " device passed over." : " devices passed over.");
    }
    SetDlgItemTextA(dialog, IDC_FIND_COUNT, text.c_str());
}

// "2 directories could not be searched: a, b.", naming the first few; empty for none.
std::string NamedInNotes(const std::vector<std::string>& names, const char* one, const char* many) {
    if (names.empty()) return {};
    std::string text = FormatCount(static_cast<long>(names.size())) + (names.size() == 1 ? one : many);
    for (std::size_t i = 0; i < names.size() && i < kNamedInNotes; ++i) text += (i == 0 ? "" : ", ") + names[i];
    if (names.size() > kNamedInNotes)
        text += " and " + FormatCount(static_cast<long>(names.size() - kNamedInNotes)) + " more";
    return text + ".";
}

// What the search could not read, named at its end: directories, and objects whose opens did not answer.
void ShowNotes(HWND dialog) {
    std::string text = NamedInNotes(Session->search.Unsearched(), " directory could not be searched: ",
                                    " directories could not be searched: ");
    if (Session->scan) {
        const std::string stuck =
            NamedInNotes(Session->scan->NotAnswering(), " object not answering: ", " objects not answering: ");
        if (!text.empty() && !stuck.empty()) text += "\n";
        text += stuck;
    }
    SetDlgItemTextA(dialog, IDC_FIND_NOTES, text.c_str());
}

void SetRunning(HWND dialog, bool running) {
    Session->running = running;
    EnableWindow(GetDlgItem(dialog, IDC_FIND_STOP), running);
    EnableWindow(GetDlgItem(dialog, IDOK), !running);
}

// Ends the search, whether it has read everything or is stopped: the worker
// is waited for (a step, at most), and its last news shown.
void Finish(HWND dialog) {
    Session->work.Stop();
    TakeNews(dialog);
    ShowRows(dialog);
    SetRunning(dialog, false);
    ShowCount(dialog, Session->counts.complete ? "" : "Stopped: ");
    ShowNotes(dialog);
    Session->searched = true;
    Session->nextResult = 0;
}

void OnSearchNews(HWND dialog, WPARAM generation) {
    if (!Session->work.Accept(generation) || !Session->running) return;
    // Its last news is handed over before the worker counts as finished.
    if (Session->work.Finished()) {
        Finish(dialog);
        return;
    }
    TakeNews(dialog);
    ShowCount(dialog, "Searching: ");
}

void StartSearch(HWND dialog) {
    LastEverywhere = IsDlgButtonChecked(dialog, IDC_FIND_EVERYWHERE) == BST_CHECKED;
    const std::wstring root = LastEverywhere ? std::wstring(L"\\") : CurrentDirectoryName().Wide();
    Session->list.Clear();
    Session->rowsShownAt = GetTickCount() - kRowsEveryMs;  // the first rows show at once
    SetDlgItemTextA(dialog, IDC_FIND_NOTES, "");
    Session->news = {};
    Session->counts = {};
    if (Session->byAccess) {
        const auto choice = static_cast<int>(SendDlgItemMessageA(dialog, IDC_FIND_RIGHTS, CB_GETCURSEL, 0, 0));
        LastRight = choice >= 0 && choice < static_cast<int>(std::size(kChangeRightChoices)) ? choice : 0;
        LastIncludeDevices = IsDlgButtonChecked(dialog, IDC_FIND_DEVICES) == BST_CHECKED;
        Session->scan = std::make_unique<AccessScan>(kChangeRightChoices[LastRight].right, LastIncludeDevices);
        Session->search.Start(root, Session->scan->AsSearchTest());
    } else {
        wchar_t text[kTextSize] = {};
        GetDlgItemTextW(dialog, IDC_FIND_TEXT, text, kTextSize);
        LastText = text;
        Session->search.Start(root, NameMatch(LastText));
    }
    if (!Session->work.Start(dialog, WM_FIND_NEWS, SearchOnWorker, Session)) {
        SetDlgItemTextA(dialog, IDC_FIND_COUNT, "The search could not start a thread to run on.");
        return;
    }
    SetRunning(dialog, true);
    ShowCount(dialog, "Searching: ");
}

// Going to a result ends the box; the search goes on from it with Find Next.
void Choose(HWND dialog, int row) {
    const std::vector<SearchResult>& results = Session->list.Rows();
    if (row < 0 || static_cast<std::size_t>(row) >= results.size()) return;
    if (Session->running) Finish(dialog);
    Session->chosen = results[row].exactPath;
    Session->nextResult = static_cast<std::size_t>(row) + 1;
    EndDialog(dialog, IDOK);
}

// Columns in the dialog's units: the path, its type and, by access, what was granted.
constexpr DialogListColumn kNameColumns[] = {{"Path", 228}, {"Type", 74}};
constexpr DialogListColumn kAccessColumns[] = {{"Path", 186}, {"Type", 62}, {"Granted", 54}};

BOOL OnInitDialog(HWND dialog, HWND, LPARAM) {
    std::span<const DialogListColumn> columns = kNameColumns;
    if (Session->byAccess) columns = kAccessColumns;
    if (!Session->list.Create(dialog, IDC_FIND_RESULTS, columns)) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (Session->byAccess) {
        for (const ChangeRightChoice& choice : kChangeRightChoices)
            SendDlgItemMessageA(dialog, IDC_FIND_RIGHTS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.title));
        SendDlgItemMessageA(dialog, IDC_FIND_RIGHTS, CB_SETCURSEL, LastRight, 0);
        CheckDlgButton(dialog, IDC_FIND_DEVICES, LastIncludeDevices ? BST_CHECKED : BST_UNCHECKED);
    } else {
        SendDlgItemMessageA(dialog, IDC_FIND_TEXT, EM_LIMITTEXT, kTextSize - 1, 0);
        SetDlgItemTextW(dialog, IDC_FIND_TEXT, LastText.c_str());
    }
    CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, LastEverywhere ? IDC_FIND_EVERYWHERE : IDC_FIND_HERE);
    return TRUE;
}

void OnCommand(HWND dialog, int id, HWND, UINT) {
    switch (id) {
    case IDOK:
        // Enter on a result goes to it; anywhere else it searches.
        if (GetFocus() == Session->list.Window() && Session->list.SelectedRow() >= 0)
            Choose(dialog, Session->list.SelectedRow());
        else if (!Session->running)
            StartSearch(dialog);
        break;
    case IDC_FIND_STOP:
        if (Session->running) Finish(dialog);
        break;
    case IDCANCEL:
        // Esc stops a search first; only then does it close the box.
        if (Session->running)
            Finish(dialog);
        else
            EndDialog(dialog, IDCANCEL);
        break;
    default:
        break;
    }
}

// The list asks for its cells' texts; a double-click chooses a result.
LRESULT OnNotify(HWND dialog, const NMHDR* header) {
    if (header->idFrom != IDC_FIND_RESULTS) return 0;
    const int chosen = Session->list.OnNotify(header);
    if (chosen >= 0) Choose(dialog, chosen);
    return 0;
}

// No worker outlives the box.
void OnDestroy(HWND) { Session->work.Stop(); }

INT_PTR CALLBACK FindDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
        HANDLE_MSG(dialog, WM_DESTROY, OnDestroy);
    case WM_NOTIFY:
        return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_NOTIFYFORMAT:
        // The box is a Unicode window for its text; the result list it holds
        // is ANSI, and so are the notifications it is answered with.
        if (lParam != NF_QUERY) return FALSE;
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, NFR_ANSI);
        return TRUE;
    case WM_FIND_NEWS:
        OnSearchNews(dialog, wParam);
        return TRUE;
    case WM_TIMER:
        if (wParam != kRowsTimer) return FALSE;
        ShowRows(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

bool RunFindBox(const wchar_t* templateName, bool byAccess, HWND owner, std::wstring& chosen) {
    FindSession session;
    session.byAccess = byAccess;
    Session = &session;
    // A Unicode box, so that the text searched for may hold any character.
    const INT_PTR result = DialogBoxParamW(AppContext.instance, templateName, owner, FindDlgProc, 0);
    Session = nullptr;
    // The last search's results, whole or stopped, are Find Next's.
    if (session.searched) {
        LastResults = session.list.TakeRows();
        NextResult = session.nextResult;
    }
    if (result != IDOK) return false;
    chosen = session.chosen;
    return true;
}

}  // namespace

bool RunFindDialog(HWND owner, std::wstring& chosen) { return RunFindBox(L"FIND_DLG", false, owner, chosen); }

bool RunFindAccessibleDialog(HWND owner, std::wstring& chosen) {
    return RunFindBox(L"FIND_ACCESS_DLG", true, owner, chosen);
}

bool NextFoundPath(std::wstring& path) {
    if (LastResults.empty()) return false;
    path = LastResults[NextResult++ % LastResults.size()].exactPath;
    return true;
}
