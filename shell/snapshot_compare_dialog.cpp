#include "shell/snapshot_dialogs.h"

#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>
#include <span>
#include <vector>

#include "common/count_text.h"
#include "common/list_view.h"
#include "common/result_list.h"
#include "namespace/visible_name.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "snapshot/snapshot_task.h"

namespace {

constexpr UINT WM_SNAPSHOT_NEWS = WM_APP + 2;
constexpr int kFileSize = MAX_PATH;

// A difference's cell, made only as the list paints it.
std::string DifferenceCell(const SnapshotDifference& difference, int column) {
    switch (column) {
    case 0: return ChangeKindName(difference.kind);
    case 1: return VisiblePath(difference.path);
    case 2: return VisiblePath(difference.oldValue);
    case 3: return VisiblePath(difference.newValue);
    default: return {};
    }
}

// By kind in the order of ChangeKind, by exact path, or by the old or new value.
bool DifferenceBefore(const SnapshotDifference& a, const SnapshotDifference& b, int column) {
    switch (column) {
    case 0: return a.kind < b.kind;
    case 1: return a.path < b.path;
    case 2: return a.oldValue < b.oldValue;
    default: return a.newValue < b.newValue;
    }
}

constexpr DialogListColumn kColumns[] = {{"Change", 62}, {"Path", 150}, {"Old", 85}, {"New", 85}};

// What the box remembers for the next one.
std::string LastOld;
std::string LastNew;
bool LastAgainstFile = false;
bool LastDevices = false;

struct CompareSession {
    SnapshotTask task;
    ResultList<SnapshotDifference> list{DifferenceCell, DifferenceBefore};
    bool running = false;
    ResolvedPath chosen;
};
CompareSession* Session = nullptr;

std::string Text(HWND dialog, int id) {
    char text[kFileSize] = {};
    GetDlgItemTextA(dialog, id, text, kFileSize);
    return text;
}

void ShowCount(HWND dialog, const std::string& text) { SetDlgItemTextA(dialog, IDC_COMPARE_COUNT, text.c_str()); }

void SetRunning(HWND dialog, bool running) {
    Session->running = running;
    EnableWindow(GetDlgItem(dialog, IDC_COMPARE_STOP), running);
    EnableWindow(GetDlgItem(dialog, IDOK), !running);
}

// "3 differences in \X: 1 added, 2 rights changed."
std::string CountLine(const SnapshotComparison& comparison) {
    const auto& differences = comparison.differences;
    if (differences.empty()) return "No differences in " + VisiblePath(comparison.scope) + ".";
    std::string line = FormatCount(static_cast<long long>(differences.size())) +
                       (differences.size() == 1 ? " difference in " : " differences in ") +
                       VisiblePath(comparison.scope);
    std::string kinds;
    for (ChangeKind kind : {ChangeKind::Added, ChangeKind::Removed, ChangeKind::TypeChanged, ChangeKind::TargetChanged,
                            ChangeKind::DescriptorChanged, ChangeKind::RightsChanged}) {
        const auto count = std::count_if(differences.begin(), differences.end(),
                                         [kind](const SnapshotDifference& d) { return d.kind == kind; });
        if (count > 0) kinds += (kinds.empty() ? ": " : ", ") + FormatCount(count) + " " + ChangeKindName(kind);
    }
    return line + kinds + ".";
}

void Finish(HWND dialog) {
    SetRunning(dialog, false);
    if (!Session->task.Succeeded()) {
        ShowCount(dialog, "Not compared: " + Session->task.Why() + ".");
        return;
    }
    const SnapshotComparison& comparison = Session->task.Comparison();
    std::vector<SnapshotDifference> rows = comparison.differences;
    Session->list.Append(rows);
    Session->list.ShowRows();
    ShowCount(dialog, comparison.shared ? CountLine(comparison) : std::string("Nothing compared."));
    std::string notes;
    for (const std::string& note : comparison.notes) notes += (notes.empty() ? "" : " ") + note;
    SetDlgItemTextA(dialog, IDC_COMPARE_NOTES, notes.c_str());
}

const char* ActivityText(SnapshotTask::Activity activity) {
    switch (activity) {
    case SnapshotTask::Activity::ReadingNew: return "Reading the other snapshot: ";
    case SnapshotTask::Activity::ReadingLive: return "Reading the live namespace: ";
    default: return "Reading the old snapshot: ";
    }
}

void OnNews(HWND dialog, WPARAM generation) {
    if (!Session->task.Accept(generation)) return;
    if (Session->task.Finished()) {
        Finish(dialog);
        return;
    }
    const SnapshotTask::Activity activity = Session->task.CurrentActivity();
    ShowCount(dialog, ActivityText(activity) + FormatCount(Session->task.Progress()) +
                          (activity == SnapshotTask::Activity::ReadingLive ? " entries..." : " lines..."));
}

void StartCompare(HWND dialog) {
    LastOld = Text(dialog, IDC_COMPARE_OLD);
    LastNew = Text(dialog, IDC_COMPARE_NEW);
    LastAgainstFile = IsDlgButtonChecked(dialog, IDC_COMPARE_FILE) == BST_CHECKED;
    LastDevices = IsDlgButtonChecked(dialog, IDC_COMPARE_DEVICES) == BST_CHECKED;
    if (LastOld.empty() || (LastAgainstFile && LastNew.empty())) {
        ShowCount(dialog, "Choose the snapshot file to compare.");
        return;
    }
    Session->list.Clear();
    SetDlgItemTextA(dialog, IDC_COMPARE_NOTES, "");
    SnapshotComparer::Request request;
    request.oldFile = WidenPath(LastOld);
    if (LastAgainstFile) request.newFile = WidenPath(LastNew);
    request.live.includeDevices = LastDevices;
    if (!Session->task.StartCompare(dialog, WM_SNAPSHOT_NEWS, std::move(request))) {
        ShowCount(dialog, "Not compared: no worker could be started.");
        return;
    }
    SetRunning(dialog, true);
    ShowCount(dialog, ActivityText(SnapshotTask::Activity::ReadingOld));
}

void Stop(HWND dialog) {
    Session->task.Stop();
    SetRunning(dialog, false);
    ShowCount(dialog, "Stopped: nothing compared.");
}

// Going to a difference ends the box; the command shows where its path leads now.
void Choose(HWND dialog, int index) {
    const std::vector<SnapshotDifference>& rows = Session->list.Rows();
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size()) return;
    if (Session->running) Stop(dialog);
    Session->chosen = ResolvePath(rows[static_cast<std::size_t>(index)].path);
    EndDialog(dialog, IDOK);
}

void Browse(HWND dialog, int edit, bool other) {
    std::string file = Text(dialog, edit);
    if (!ChooseSnapshotFile(dialog, false, file)) return;
    SetDlgItemTextA(dialog, edit, file.c_str());
    if (other) CheckRadioButton(dialog, IDC_COMPARE_LIVE, IDC_COMPARE_FILE, IDC_COMPARE_FILE);
}

BOOL OnInitDialog(HWND dialog, HWND, LPARAM) {
    if (!Session->list.Create(dialog, IDC_COMPARE_RESULTS, kColumns)) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    for (int id : {IDC_COMPARE_OLD, IDC_COMPARE_NEW}) SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kFileSize - 1, 0);
    SetDlgItemTextA(dialog, IDC_COMPARE_OLD, LastOld.c_str());
    SetDlgItemTextA(dialog, IDC_COMPARE_NEW, LastNew.c_str());
    CheckRadioButton(dialog, IDC_COMPARE_LIVE, IDC_COMPARE_FILE, LastAgainstFile ? IDC_COMPARE_FILE : IDC_COMPARE_LIVE);
    CheckDlgButton(dialog, IDC_COMPARE_DEVICES, LastDevices ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void OnCommand(HWND dialog, int id, HWND, UINT) {
    HWND results = GetDlgItem(dialog, IDC_COMPARE_RESULTS);
    switch (id) {
    case IDOK:
        // Enter on a difference goes to it; anywhere else it compares.
        if (GetFocus() == results && Session->list.SelectedRow() >= 0)
            Choose(dialog, Session->list.SelectedRow());
        else if (!Session->running)
            StartCompare(dialog);
        break;
    case IDC_COMPARE_STOP:
        if (Session->running) Stop(dialog);
        break;
    case IDC_COMPARE_OLD_BROWSE:
        Browse(dialog, IDC_COMPARE_OLD, false);
        break;
    case IDC_COMPARE_NEW_BROWSE:
        Browse(dialog, IDC_COMPARE_NEW, true);
        break;
    case IDCANCEL:
        // Esc stops a comparison first; only then does it close the box.
        if (Session->running)
            Stop(dialog);
        else
            EndDialog(dialog, IDCANCEL);
        break;
    default:
        break;
    }
}

// The list asks for its cells' texts; a double-click goes to a difference's object.
LRESULT OnNotify(HWND dialog, const NMHDR* header) {
    if (header->idFrom != IDC_COMPARE_RESULTS) return 0;
    const int chosen = Session->list.OnNotify(header);
    if (chosen >= 0) Choose(dialog, chosen);
    return 0;
}

INT_PTR CALLBACK CompareDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
    case WM_NOTIFY:
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam)));
        return TRUE;
    case WM_SNAPSHOT_NEWS:
        OnNews(dialog, wParam);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

bool RunCompareSnapshotDialog(HWND owner, ResolvedPath& chosen) {
    CompareSession session;
    Session = &session;
    const INT_PTR result = DialogBoxParamA(AppContext.instance, "SNAPSHOT_COMPARE_DLG", owner, CompareDlgProc, 0);
    session.task.Stop();
    Session = nullptr;
    if (result != IDOK) return false;
    chosen = session.chosen;
    return true;
}
