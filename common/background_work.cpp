#include "common/background_work.h"

namespace {

// Process-wide, so that no two starts of any window share a number.
std::atomic<ULONG> LastGeneration{0};
std::atomic<long> Workers{0};
std::atomic<long> Strays{0};

}  // namespace

bool BackgroundWork::Start(HWND window, UINT message, Procedure procedure, void* context) {
    Stop();
    stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return false;
    window_ = window;
    message_ = message;
    procedure_ = procedure;
    context_ = context;
    pending_ = false;
    finished_ = false;
    stopping_ = false;
    ULONG generation = ++LastGeneration;
    if (generation == 0) generation = ++LastGeneration;  // 0 means stopped
    generation_ = generation;
    ++Workers;
    DWORD id = 0;
    thread_.reset(CreateThread(nullptr, 0, Run, this, 0, &id));
    if (thread_) {
        // On a busy machine the window's thread goes first.
        SetThreadPriority(thread_.get(), THREAD_PRIORITY_BELOW_NORMAL);
        return true;
    }
    --Workers;
    generation_ = 0;
    stop_.reset();
    return false;
}

void BackgroundWork::Stop() {
    if (thread_) {
        stopping_ = true;
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    generation_ = 0;
    stop_.reset();
}

bool BackgroundWork::Accept(WPARAM generation) {
    if (generation_ == 0 || generation != generation_) return false;
    pending_ = false;
    return true;
}

void BackgroundWork::Notify() {
    const ULONG generation = generation_;
    if (generation == 0) {
        ++Strays;
        return;
    }
    if (pending_.exchange(true)) return;
    if (!PostMessageA(window_, message_, generation, 0)) ++Strays;
}

DWORD WINAPI BackgroundWork::Run(void* parameter) {
    auto* work = static_cast<BackgroundWork*>(parameter);
    work->procedure_(*work, work->context_);
    work->finished_ = true;
    work->Notify();
    --Workers;
    return 0;
}

long BackgroundWork::LiveWorkers() { return Workers; }
long BackgroundWork::StrayNotices() { return Strays; }
