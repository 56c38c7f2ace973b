#include "namespace/watched_open.h"

#include <atomic>
#include <cstring>

#include "common/path_block.h"
#include "namespace/object_opener.h"

WatchedOpenService WatchedOpens = OpenObjectExactlyAs;

namespace {

// An open waits this long for its answer before the stop event is looked at
// too: the request and the wait go in one call, as most opens answer at once.
constexpr DWORD kGlanceMs = 20;

std::atomic<long> Threads{0};

}  // namespace

// What an opener and its thread share. The opener fills in a request while
// the thread waits; the thread's answer is taken only when it wins the race
// against the opener leaving it: whichever of the two moves state from Busy
// first decides.
struct WatchedOpener::Channel {
    enum State : int { Idle, Busy, Answered, Left };

    UniqueWin32Handle request;  // auto-reset: a request waits, or the thread is to end
    UniqueWin32Handle answer;   // auto-reset: the thread has answered
    std::atomic<long> references{2};
    std::atomic<int> state{Idle};
    std::atomic<bool> quit{false};
    int typeIndex = kTypeNotOpened;
    char path[kObjectPathBlockSize] = {};
    ACCESS_MASK access = 0;
    NTSTATUS status = kStatusSuccess;
    HANDLE handle = nullptr;

    void Release() {
        if (--references == 0) delete this;
    }
};

WatchedOpener::~WatchedOpener() {
    if (channel_ == nullptr) return;
    channel_->quit = true;
    SetEvent(channel_->request.get());
    WaitForSingleObject(thread_.get(), INFINITE);  // idle: it ends at once
    thread_.reset();
    channel_->Release();
    channel_ = nullptr;
}

long WatchedOpener::LiveThreads() { return Threads; }

bool WatchedOpener::StartThread() {
    auto* channel = new Channel;
    channel->request.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    channel->answer.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (channel->request && channel->answer) {
        ++Threads;
        DWORD id = 0;
        thread_.reset(CreateThread(nullptr, 0, Serve, channel, 0, &id));
        if (thread_) {
            // As its caller: a search's opens run below the window's thread.
            SetThreadPriority(thread_.get(), GetThreadPriority(GetCurrentThread()));
            channel_ = channel;
            return true;
        }
        --Threads;
    }
    delete channel;
    return false;
}

// The thread is left to its open; it lets go of the channel when that returns.
void WatchedOpener::LeaveThread() {
    thread_.reset();
    channel_->Release();
    channel_ = nullptr;
}

WatchedOpenResult WatchedOpener::Open(int typeIndex, const char* path, ACCESS_MASK access, DWORD limitMs,
                                      HANDLE stopEvent, NTSTATUS& status, UniqueNtHandle& handle) {
    handle.reset();
    const std::size_t length = std::strlen(path);
    if (length > kMaxObjectPathLength) {
        status = kStatusNameTooLong;
        return WatchedOpenResult::Answered;
    }
    if (channel_ == nullptr && !StartThread()) return WatchedOpenResult::NoThread;
    Channel& channel = *channel_;
    channel.typeIndex = typeIndex;
    std::memcpy(channel.path, path, length + 1);
    channel.access = access;
    channel.state = Channel::Busy;
    const DWORD glance = limitMs < kGlanceMs ? limitMs : kGlanceMs;
    DWORD waited = SignalObjectAndWait(channel.request.get(), channel.answer.get(), glance, FALSE);
    if (waited == WAIT_TIMEOUT && limitMs > glance) {
        HANDLE waits[] = {channel.answer.get(), stopEvent};
        waited = WaitForMultipleObjects(stopEvent != nullptr ? 2 : 1, waits, FALSE, limitMs - glance);
    }
    if (waited != WAIT_OBJECT_0) {
        int busy = Channel::Busy;
        if (channel.state.compare_exchange_strong(busy, Channel::Left)) {
            LeaveThread();
            return waited == WAIT_OBJECT_0 + 1 ? WatchedOpenResult::Stopped : WatchedOpenResult::NotAnswering;
        }
        // It answered just now: the answer is on its way.
        WaitForSingleObject(channel.answer.get(), INFINITE);
    }
    status = channel.status;
    handle.reset(channel.handle);
    channel.handle = nullptr;
    return WatchedOpenResult::Answered;
}

DWORD WINAPI WatchedOpener::Serve(void* parameter) {
    auto* channel = static_cast<Channel*>(parameter);
    WaitForSingleObject(channel->request.get(), INFINITE);
    while (!channel->quit) {
        HANDLE handle = nullptr;
        channel->status = WatchedOpens(channel->typeIndex, channel->path, channel->access, &handle);
        channel->handle = channel->status == kStatusSuccess ? handle : nullptr;
        int busy = Channel::Busy;
        if (!channel->state.compare_exchange_strong(busy, Channel::Answered)) {
            // Left by its opener: nobody takes the handle.
            if (channel->handle != nullptr) NtClose(channel->handle);
            break;
        }
        SignalObjectAndWait(channel->answer.get(), channel->request.get(), INFINITE, FALSE);
    }
    channel->Release();
    --Threads;  // last: once none is counted, what each held is closed
    return 0;
}
