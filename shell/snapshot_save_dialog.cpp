#include "shell/snapshot_dialogs.h"

#include <windowsx.h>
#include <commdlg.h>

#include "common/count_text.h"
#include "namespace/visible_name.h"
#include "resource_ids.h"
#include "shell/app_context.h"
#include "snapshot/snapshot_task.h"
#include "views/navigation.h"

namespace {

constexpr UINT WM_SNAPSHOT_NEWS = WM_APP + 2;
constexpr char kFilter[] = "Snapshots (*.snapshot)\0*.snapshot\0Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";

SnapshotFileChooser Chooser = nullptr;

// The common dialogs of comdlg32, which NT 4.0 has.
bool CommonDialogChoice(HWND owner, bool forSaving, std::string& file) {
    char name[MAX_PATH] = {};
    lstrcpynA(name, file.c_str(), MAX_PATH);
    OPENFILENAMEA choice{};
    choice.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // the size NT 4.0 knows
    choice.hwndOwner = owner;
    choice.lpstrFilter = kFilter;
    choice.lpstrFile = name;
    choice.nMaxFile = MAX_PATH;
    choice.lpstrDefExt = "snapshot";
    choice.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                   (forSaving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = forSaving ? GetSaveFileNameA(&choice) : GetOpenFileNameA(&choice);
    if (!chosen) return false;
    file = name;
    return true;
}

// What the box remembers for the next one.
bool LastEverywhere = false;
bool LastDevices = false;
std::string LastFile;

struct SaveSession {
    SnapshotTask task;
    bool running = false;
    std::string file;
};
SaveSession* Session = nullptr;

void ShowStatus(HWND dialog, const std::string& text) { SetDlgItemTextA(dialog, IDC_SNAPSHOT_STATUS, text.c_str()); }

void SetRunning(HWND dialog, bool running) {
    Session->running = running;
    EnableWindow(GetDlgItem(dialog, IDC_SNAPSHOT_STOP), running);
    for (int id : {IDOK, IDC_SNAPSHOT_HERE, IDC_SNAPSHOT_EVERYWHERE, IDC_SNAPSHOT_DEVICES})
        EnableWindow(GetDlgItem(dialog, id), !running);
}

void StartSave(HWND dialog) {
    LastEverywhere = IsDlgButtonChecked(dialog, IDC_SNAPSHOT_EVERYWHERE) == BST_CHECKED;
    LastDevices = IsDlgButtonChecked(dialog, IDC_SNAPSHOT_DEVICES) == BST_CHECKED;
    std::string file = LastFile;
    if (!ChooseSnapshotFile(dialog, true, file)) return;
    LastFile = Session->file = file;
    const std::wstring root = LastEverywhere ? std::wstring(L"\\") : CurrentDirectoryName().Wide();
    SnapshotOptions options;
    options.includeDevices = LastDevices;
    std::string why;
    if (!Session->task.StartSave(dialog, WM_SNAPSHOT_NEWS, root, WidenPath(file), options, why)) {
        ShowStatus(dialog, "Not saved: " + why + ". " + file + " is as it was.");
        return;
    }
    SetRunning(dialog, true);
    ShowStatus(dialog, "Saving " + VisiblePath(Session->task.Save().Root()) + "...");
}

void Stop(HWND dialog) {
    Session->task.Stop();
    SetRunning(dialog, false);
    ShowStatus(dialog, "Stopped: " + Session->file + " is as it was.");
}

void Finish(HWND dialog) {
    SetRunning(dialog, false);
    const SnapshotSave& save = Session->task.Save();
    if (!Session->task.Succeeded()) {
        ShowStatus(dialog, "Not saved: " + Session->task.Why() + ". " + Session->file + " is as it was.");
        return;
    }
    std::string text = "Saved " + FormatCount(save.Objects()) + " objects of " + VisiblePath(save.Root()) + " to " +
                       Session->file + ".";
    if (save.UnreadDirectories() > 0)
        text += " " + FormatCount(save.UnreadDirectories()) +
                (save.UnreadDirectories() == 1 ? " directory" : " directories") +
                " could not be read; the file says which.";
    ShowStatus(dialog, text);
}

// The worker's news: how far it has got, or that it has ended.
void OnNews(HWND dialog, WPARAM generation) {
    if (!Session->task.Accept(generation)) return;
    if (Session->task.Finished()) {
        Finish(dialog);
        return;
    }
    ShowStatus(dialog, "Saving " + VisiblePath(Session->task.Save().Root()) + ": " +
                           FormatCount(Session->task.Progress()) + " entries read...");
}

BOOL OnInitDialog(HWND dialog, HWND, LPARAM) {
    CheckRadioButton(dialog, IDC_SNAPSHOT_HERE, IDC_SNAPSHOT_EVERYWHERE,
                     LastEverywhere ? IDC_SNAPSHOT_EVERYWHERE : IDC_SNAPSHOT_HERE);
    CheckDlgButton(dialog, IDC_SNAPSHOT_DEVICES, LastDevices ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void OnCommand(HWND dialog, int id, HWND, UINT) {
    switch (id) {
    case IDOK:
        if (!Session->running) StartSave(dialog);
        break;
    case IDC_SNAPSHOT_STOP:
        if (Session->running) Stop(dialog);
        break;
    case IDCANCEL:
        // Esc stops a save first; only then does it close the box.
        if (Session->running)
            Stop(dialog);
        else
            EndDialog(dialog, IDCANCEL);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK SaveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(dialog, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(dialog, WM_COMMAND, OnCommand);
    case WM_SNAPSHOT_NEWS:
        OnNews(dialog, wParam);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void SetSnapshotFileChooser(SnapshotFileChooser chooser) { Chooser = chooser; }

bool ChooseSnapshotFile(HWND owner, bool forSaving, std::string& file) {
    return Chooser != nullptr ? Chooser(owner, forSaving, file) : CommonDialogChoice(owner, forSaving, file);
}

void RunSaveSnapshotDialog(HWND owner) {
    SaveSession session;
    Session = &session;
    DialogBoxParamA(AppContext.instance, "SNAPSHOT_SAVE_DLG", owner, SaveDlgProc, 0);
    session.task.Stop();
    Session = nullptr;
}
