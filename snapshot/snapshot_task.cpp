#include "snapshot/snapshot_task.h"

namespace {

// Small slices: Stop waits for the slice the worker is in.
constexpr long kEntriesPerSlice = 50;
// News a few dozen times a second: each costs the window a repaint of the count line.
constexpr DWORD kNewsEveryMs = 25;

// Tells the window of progress once the interval since the last news has passed.
void NotifyNowAndThen(BackgroundWork& work, DWORD& lastNews) {
    const DWORD now = GetTickCount();
    if (now - lastNews < kNewsEveryMs) return;
    lastNews = now;
    work.Notify();
}

}  // namespace

void SnapshotTask::Begin(Activity activity) {
    work_.Stop();
    activity_ = activity;
    progress_ = 0;
    succeeded_ = false;
    why_.clear();
}

bool SnapshotTask::StartSave(HWND window, UINT message, std::wstring_view root, std::wstring file,
                             const SnapshotOptions& options, std::string& why, ReplacingFile::WriteProc write) {
    Begin(Activity::Saving);
    comparing_ = false;
    writer_ = std::make_unique<SnapshotFileWriter>(std::move(file), write);
    // The start resolves the path and writes the header: quick, and its failure is the box's to say.
    if (!save_.Start(root, options, *writer_, why) || !work_.Start(window, message, Run, this)) {
        if (why.empty()) why = "no worker could be started";
        writer_.reset();
        activity_ = Activity::Idle;
        return false;
    }
    return true;
}

bool SnapshotTask::StartCompare(HWND window, UINT message, SnapshotComparer::Request request) {
    Begin(Activity::ReadingOld);
    comparing_ = true;
    comparer_.Start(std::move(request));
    if (work_.Start(window, message, Run, this)) return true;
    activity_ = Activity::Idle;
    return false;
}

void SnapshotTask::Run(BackgroundWork& work, void* context) {
    auto* task = static_cast<SnapshotTask*>(context);
    if (task->comparing_)
        task->RunCompare(work);
    else
        task->RunSave(work);
}

void SnapshotTask::RunSave(BackgroundWork& work) {
    DWORD lastNews = GetTickCount();
    while (!work.StopRequested() && save_.Step(kEntriesPerSlice)) {
        progress_ = save_.EntriesRead();
        NotifyNowAndThen(work, lastNews);
    }
    progress_ = save_.EntriesRead();
    succeeded_ = save_.Complete();
    why_ = save_.Failed() ? save_.Why() : succeeded_ ? std::string() : std::string("stopped");
    // A save that did not complete takes its temporary file with it.
    writer_.reset();
}

void SnapshotTask::RunCompare(BackgroundWork& work) {
    DWORD lastNews = GetTickCount();
    while (!work.StopRequested() && comparer_.Step(kEntriesPerSlice)) {
        switch (comparer_.CurrentStage()) {
        case SnapshotComparer::Stage::ReadingNew: activity_ = Activity::ReadingNew; break;
        case SnapshotComparer::Stage::ReadingLive: activity_ = Activity::ReadingLive; break;
        default: break;
        }
        progress_ = comparer_.Progress();
        NotifyNowAndThen(work, lastNews);
    }
    succeeded_ = comparer_.CurrentStage() == SnapshotComparer::Stage::Done && !comparer_.Failed();
    why_ = comparer_.Failed() ? comparer_.Error() : succeeded_ ? std::string() : std::string("stopped");
}
