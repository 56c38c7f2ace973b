// A save or a comparison run off the window's thread on the background
// engine (common/background_work.h): the worker steps it a slice at a time
// and publishes how far it has got, until it is done or stopped. The window
// reads the progress on each message; the results only once Finished() says
// the worker has let go of them.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "common/background_work.h"
#include "snapshot/snapshot_compare.h"
#include "snapshot/snapshot_save.h"

class SnapshotTask {
public:
    enum class Activity { Idle, Saving, ReadingOld, ReadingNew, ReadingLive };

    SnapshotTask() = default;
    SnapshotTask(const SnapshotTask&) = delete;
    SnapshotTask& operator=(const SnapshotTask&) = delete;
    ~SnapshotTask() { work_.Stop(); }

    // Stops what runs, then saves root to file; false with why when the save
    // cannot begin (nothing runs then). News reaches window as message.
    bool StartSave(HWND window, UINT message, std::wstring_view root, std::wstring file,
                   const SnapshotOptions& options, std::string& why,
                   ReplacingFile::WriteProc write = ReplacingFile::WriteAll);
    // Stops what runs, then compares; false when no worker could be made.
    bool StartCompare(HWND window, UINT message, SnapshotComparer::Request request);
    // Ends the worker and waits for it. A save it had not finished leaves its file as it was.
    void Stop() { work_.Stop(); }

    // For each message: true when it is news of the running start.
    bool Accept(WPARAM generation) { return work_.Accept(generation); }
    bool Finished() const { return work_.Finished(); }
    Activity CurrentActivity() const { return activity_; }
    // Entries walked or lines read in the current activity.
    long Progress() const { return progress_; }

    // Once finished: a save complete, or a comparison made.
    bool Succeeded() const { return succeeded_; }
    const std::string& Why() const { return why_; }
    const SnapshotSave& Save() const { return save_; }
    const SnapshotComparison& Comparison() const { return comparer_.Result(); }

private:
    static void Run(BackgroundWork& work, void* context);
    void RunSave(BackgroundWork& work);
    void RunCompare(BackgroundWork& work);
    void Begin(Activity activity);

    std::atomic<Activity> activity_{Activity::Idle};
    std::atomic<long> progress_{0};
    bool comparing_ = false;
    bool succeeded_ = false;
    std::string why_;
    std::unique_ptr<SnapshotFileWriter> writer_;
    SnapshotSave save_;
    SnapshotComparer comparer_;
    // Last, so that it is destroyed first: the worker ends before what it uses.
    BackgroundWork work_;
};
