// Work run off the window's thread: a worker that a window starts and owns.
// The worker tells the window of its news only by posted messages, at most
// one on its way at a time, and ends when asked; the window waits for it only
// in Stop. Neither waits for the other otherwise, so neither can hold the
// other up. Each start has a generation number, carried in wParam, so that a
// message of an earlier start is known for what it is and left alone.
// Stop waits only as long as the worker takes to notice: a procedure looks at
// StopRequested between its steps, waits on nothing without StopEvent, and
// makes a platform call that may take long on a thread of the call's own
// that it can walk away from (as the holder search does), so that closing a
// window never waits for such a call.
#pragma once

#include <windows.h>

#include <atomic>

#include "common/unique_owner.h"

class BackgroundWork {
public:
    // Runs on the worker; returns when its work is done, or soon after StopRequested() says so.
    using Procedure = void (*)(BackgroundWork& work, void* context);

    BackgroundWork() = default;
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;
    ~BackgroundWork() { Stop(); }

    // Stops the worker of an earlier start, then runs procedure on a new one,
    // whose messages reach window as `message`. False when no worker could be
    // made; nothing runs then.
    bool Start(HWND window, UINT message, Procedure procedure, void* context);
    // Asks the worker to stop and waits until it has ended. No message it
    // posted is accepted afterwards.
    void Stop();

    // On the window's thread, for each message: true when it belongs to the
    // running start; the next Notify then posts again.
    bool Accept(WPARAM generation);
    // True once the procedure has returned; its last news is posted after.
    bool Finished() const { return finished_; }

    // On the worker: true once Stop was called.
    // A flag, not a look at the event: a worker asks between small steps, and a
    // wait, even one that does not wait, costs a call to the system each time.
    bool StopRequested() const { return stopping_; }
    // Signalled once Stop is called, for the worker's waits that must end with it.
    HANDLE StopEvent() const { return stop_.get(); }
    // Tells the window there is news, unless a message is already on its way.
    void Notify();

    // Workers alive in the process, and news that found no window or came
    // after Stop: tests check that no worker outlives its window.
    static long LiveWorkers();
    static long StrayNotices();

private:
    static DWORD WINAPI Run(void* parameter);

    HWND window_ = nullptr;
    UINT message_ = 0;
    Procedure procedure_ = nullptr;
    void* context_ = nullptr;
    UniqueWin32Handle thread_;
    UniqueWin32Handle stop_;
    std::atomic<ULONG> generation_{0};  // 0 while no worker runs
    std::atomic<bool> pending_{false};  // a message is on its way
    std::atomic<bool> finished_{false};
    std::atomic<bool> stopping_{false};  // set by Stop, with the stop event
};
