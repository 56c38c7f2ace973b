#include "shell/find_dialog.h"

#include <windowsx.h>
#include <commctrl.h>

#include <iterator>
#include <vector>

#include "common/list_view.h"
#include "namespace/access_scan.h"
#include "namespace/object_search.h"
#include "namespace/access_names.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "views/navigation.h"
#include "views/work_progress.h"

namespace {

// The next turn of a running search comes by a zero-delay timer, whose
// message the loop takes only when no input, painting or posted message
// waits: a posted turn would be taken ahead of the user's input.
constexpr UINT_PTR kTurnTimer = 1;
// A turn reads in slices for at most this long, and ends early when input waits.
constexpr long kEntriesPerSlice = 25;
constexpr DWORD kTurnMilliseconds = 40;
// Results go into the list a few times a second: each time costs the list a
// whole redraw, whatever the number of rows.
constexpr DWORD kRowsEveryMilliseconds = 250;
constexpr int kTextSize = 256;
constexpr std::size_t kNamedUnsearched = 5;

// One box: by a part of the name (the Find box), or by the rights an object
// grants this account (the Find Accessible box); both read the same walk.
struct FindSession {
    bool byAccess = false;
    ObjectSearch search;
    AccessScan scan;
    std::vector<SearchResult> results;
    std::size_t listed = 0;  // the results the list shows
    DWORD listedAt = 0;      // when rows were last added
    bool running = false;
    std::string chosen;
};
FindSession* Session = nullptr;

// What the last search found, for Find Next, and what was asked, for the next box.
std::vector<SearchResult> LastResults;
std::size_t NextResult = 0;
std::string LastText;
int LastRight = 0;  // a row of kChangeRightChoices
bool LastEverywhere = false;

HWND Results(HWND dialog) { return GetDlgItem(dialog, IDC_FIND_RESULTS); }

// The results found since the last rows went in, with the list's redrawing
// off: otherwise every row updates the scroll bars of a list that is painted
// between turns.
void AddResultRows(HWND dialog) {
    const std::size_t from = Session->listed;
    Session->listed = Session->results.size();
    Session->listedAt = GetTickCount();
    if (from == Session->results.size()) return;
    HWND list = Results(dialog);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (std::size_t i = from; i < Session->results.size(); ++i) {
        const SearchResult& result = Session->results[i];
        const int row = AppendListRow(list, result.path.c_str(), static_cast<LPARAM>(i));
        if (row < 0) continue;
        SetListCell(list, row, 1, result.typeName.c_str());
        if (Session->byAccess) SetListCell(list, row, 2, FormatAccessMask(result.granted).c_str());
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

void ShowCount(HWND dialog, const char* state) {
    std::string text = std::string(state) + FormatCount(static_cast<long>(Session->results.size())) +
                       (Session->byAccess ? " accessible in " : " found in ") +
                       FormatCount(Session->search.EntriesRead()) + " entries.";
    if (Session->byAccess) text += " " + FormatCount(Session->scan.Unopened()) + " could not be opened.";
    SetDlgItemTextA(dialog, IDC_FIND_COUNT, text.c_str());
}

// The directories the search could not read, named at its end.
void ShowUnsearched(HWND dialog) {
    const std::vector<std::string>& unsearched = Session->search.Unsearched();
    std::string text;
    if (!unsearched.empty()) {
        text = FormatCount(static_cast<long>(unsearched.size())) +
               (unsearched.size() == 1 ? " directory could not be searched: " : " directories could not be searched: ");
        for (std::size_t i = 0; i < unsearched.size() && i < kNamedUnsearched; ++i)
            text += (i == 0 ? "" : ", ") + unsearched[i];
        if (unsearched.size() > kNamedUnsearched)
            text += " and " + FormatCount(static_cast<long>(unsearched.size() - kNamedUnsearched)) + " more";
        text += ".";
    }
    SetDlgItemTextA(dialog, IDC_FIND_NOTES, text.c_str());
}

void SetRunning(HWND dialog, bool running) {
    Session->running = running;
    EnableWindow(GetDlgItem(dialog, IDC_FIND_STOP), running);
    EnableWindow(GetDlgItem(dialog, IDOK), !running);
}

void Finish(HWND dialog, bool stopped) {
    SetRunning(dialog, false);
    AddResultRows(dialog);
    ShowCount(dialog, stopped ? "Stopped: " : "");
    ShowUnsearched(dialog);
    LastResults = Session->results;
    NextResult = 0;
}

// The user's input, or a message posted to the thread, waits.
bool InputWaits() { return HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE)) != 0; }

// One turn: up to kFindEntriesPerTurn entries, then the box's loop runs before the next.
void Continue(HWND dialog) {
    KillTimer(dialog, kTurnTimer);
    if (!Session->running) return;
    const DWORD started = GetTickCount();
    bool more = true;
    for (long read = 0; more && read < kFindEntriesPerTurn; read += kEntriesPerSlice) {
        more = Session->search.Step(kEntriesPerSlice, Session->results);
        if (InputWaits() || GetTickCount() - started >= kTurnMilliseconds) break;
    }
    if (!more) {
        Finish(dialog, false);
        return;
    }
    if (GetTickCount() - Session->listedAt >= kRowsEveryMilliseconds) AddResultRows(dialog);
    ShowCount(dialog, "Searching: ");
    SetTimer(dialog, kTurnTimer, 0, nullptr);
}

void StartSearch(HWND dialog) {
    LastEverywhere = IsDlgButtonChecked(dialog, IDC_FIND_EVERYWHERE) == BST_CHECKED;
    const std::string root = LastEverywhere ? std::string("\\") : std::string(CurrentDirectory);
    SendMessageA(Results(dialog), LVM_DELETEALLITEMS, 0, 0);
    SetDlgItemTextA(dialog, IDC_FIND_NOTES, "");
    Session->results.clear();
    Session->listed = 0;
    Session->listedAt = GetTickCount();
    if (Session->byAccess) {
        const auto choice = static_cast<int>(SendDlgItemMessageA(dialog, IDC_FIND_RIGHTS, CB_GETCURSEL, 0, 0));
        LastRight = choice >= 0 && choice < static_cast<int>(std::size(kChangeRightChoices)) ? choice : 0;
        Session->scan = AccessScan(kChangeRightChoices[LastRight].right);
        Session->search.Start(root, Session->scan.AsSearchTest());
    } else {
        char text[kTextSize] = {};
        GetDlgItemTextA(dialog, IDC_FIND_TEXT, text, kTextSize);
        LastText = text;
        Session->search.Start(root, LastText);
    }
    SetRunning(dialog, true);
    Continue(dialog);
}

// Going to a result ends the box; the search goes on from it with Find Next.
void Choose(HWND dialog, int row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (row < 0 || !SendMessageA(Results(dialog), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return;
    const auto index = static_cast<std::size_t>(item.lParam);
    if (index >= Session->results.size()) return;
    if (!Session->results[index].addressable) {
        MessageBoxA(dialog, (Session->results[index].path + " has a name no path carries: it cannot be shown.").c_str(),
                    "Tarnel", MB_OK | MB_ICONERROR);
        return;
    }
    if (Session->running) Finish(dialog, true);
    Session->chosen = Session->results[index].path;
    NextResult = index + 1;
    EndDialog(dialog, IDOK);
}

int SelectedResult(HWND dialog) {
    return static_cast<int>(SendMessageA(Results(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Columns in the dialog's units: the path, its type and, by access, what was granted.
constexpr DialogListColumn kNameColumns[] = {{"Path", 228}, {"Type", 74}};
constexpr DialogListColumn kAccessColumns[] = {{"Path", 186}, {"Type", 62}, {"Granted", 54}};

BOOL OnInitDialog(HWND dialog, HWND, LPARAM) {
    HWND list = Results(dialog);
    if (Session->byAccess) {
        InsertDialogListColumns(dialog, list, kAccessColumns);
        for (const ChangeRightChoice& choice : kChangeRightChoices)
            SendDlgItemMessageA(dialog, IDC_FIND_RIGHTS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.title));
        SendDlgItemMessageA(dialog, IDC_FIND_RIGHTS, CB_SETCURSEL, LastRight, 0);
    } else {
        InsertDialogListColumns(dialog, list, kNameColumns);
        SendDlgItemMessageA(dialog, IDC_FIND_TEXT, EM_LIMITTEXT, kTextSize - 1, 0);
        SetDlgItemTextA(dialog, IDC_FIND_TEXT, LastText.c_str());
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    CheckRadioButton(dialog, IDC_FIND_HERE, IDC_FIND_EVERYWHERE, LastEverywhere ? IDC_FIND_EVERYWHERE : IDC_FIND_HERE);
    return TRUE;
}

void OnCommand(HWND dialog, int id, HWND, UINT) {
    switch (id) {
    case IDOK:
        // Enter on a result goes to it; anywhere else it searches.
        if (GetFocus() == Results(dialog) && SelectedResult(dialog) >= 0)
            Choose(dialog, SelectedResult(dialog));
        else if (!Session->running)
            StartSearch(dialog);
        break;
    case IDC_FIND_STOP:
        if (Session->running) Finish(dialog, true);
        break;
    case IDCANCEL:
        // Esc stops a search first; only then does it close the box.
        if (Session->running)
            Finish(dialog, true);
        else
            EndDialog(dialog, IDCANCEL);
        break;
    default:
        break;
    }
}

// The row double-clicked is the one under the pointer: older common controls
// send a bare header with no row in it.
LRESULT OnNotify(HWND dialog, const NMHDR* header) {
    if (header->idFrom == IDC_FIND_RESULTS && header->code == static_cast<UINT>(NM_DBLCLK))
        Choose(dialog, ListRowAtMessagePos(Results(dialog)));
    return 0;
}

INT_PTR CALLBACK FindDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
    case WM_NOTIFY:
        return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
        if (wParam != kTurnTimer) return FALSE;
        Continue(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

bool RunFindBox(const char* templateName, bool byAccess, HWND owner, std::string& chosen) {
    FindSession session;
    session.byAccess = byAccess;
    Session = &session;
    const INT_PTR result = DialogBoxParamA(AppContext.instance, templateName, owner, FindDlgProc, 0);
    Session = nullptr;
    if (result != IDOK) return false;
    chosen = session.chosen;
    return true;
}

}  // namespace

bool RunFindDialog(HWND owner, std::string& chosen) { return RunFindBox("FIND_DLG", false, owner, chosen); }

bool RunFindAccessibleDialog(HWND owner, std::string& chosen) {
    return RunFindBox("FIND_ACCESS_DLG", true, owner, chosen);
}

bool NextFoundPath(std::string& path) {
    for (std::size_t tried = 0; tried < LastResults.size(); ++tried) {
        const SearchResult& result = LastResults[NextResult++ % LastResults.size()];
        if (!result.addressable) continue;
        path = result.path;
        return true;
    }
    return false;
}
