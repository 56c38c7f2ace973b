#include "namespace/watched_open.h"

#include <atomic>
#include <cstring>

#include "common/path_block.h"

RowOpenProc WatchedOpens = OpenObjectExactlyAs;

namespace {

// A batch is waited for this long before the stop event is looked at too:
// the hand-over and the wait go in one call, as most batches end at once.
constexpr DWORD kGlanceMs = 20;

std::atomic<long> Threads{0};

}  // namespace

// What an opener and its thread share. The thread takes the opens of the
// batch one by one and writes what came of each under the lock; once the
// opener has left it, the thread touches nothing of the batch again.
struct WatchedOpener::Runner {
    class Lock {
    public:
        explicit Lock(Runner& runner) : section_(runner.section) { EnterCriticalSection(&section_); }
        ~Lock() { LeaveCriticalSection(&section_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        CRITICAL_SECTION& section_;
    };

    Runner() { InitializeCriticalSection(&section); }
    ~Runner() { DeleteCriticalSection(&section); }
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;
    void Release() {
        if (--references == 0) delete this;
    }

    CRITICAL_SECTION section;
    UniqueWin32Handle wake;  // auto-reset: a batch waits, or the thread is to end
    UniqueWin32Handle done;  // auto-reset: the batch is done
    std::atomic<long> references{2};

    // Under the lock.
    WatchedOpen* opens = nullptr;  // the caller's batch; null once done or left
    std::size_t count = 0;
    std::size_t next = 0;     // the next open to take
    std::size_t current = 0;  // the open under way while busy
    bool busy = false;
    DWORD busySince = 0;
    bool left = false;  // by the opener: its thread finishes on its own
    bool quit = false;

    // The thread's own copy of the open under way.
    int typeIndex = kTypeNotOpened;
    std::wstring path;
    ACCESS_MASK access = 0;
};

WatchedOpener::~WatchedOpener() {
    if (runner_ == nullptr) return;
    {
        Runner::Lock lock(*runner_);
        runner_->quit = true;
    }
    SetEvent(runner_->wake.get());
    WaitForSingleObject(thread_.get(), INFINITE);  // idle: it ends at once
    thread_.reset();
    runner_->Release();
    runner_ = nullptr;
}

long WatchedOpener::LiveThreads() { return Threads; }

bool WatchedOpener::StartRunner() {
    auto* runner = new Runner;
    runner->wake.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    runner->done.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (runner->wake && runner->done) {
        ++Threads;
        DWORD id = 0;
        thread_.reset(CreateThread(nullptr, 0, Serve, runner, 0, &id));
        if (thread_) {
            // As its caller: a search's opens run below the window's thread.
            SetThreadPriority(thread_.get(), GetThreadPriority(GetCurrentThread()));
            runner_ = runner;
            return true;
        }
        --Threads;
    }
    delete runner;
    return false;
}

// The thread is left to its open; it lets go of the runner when that returns.
void WatchedOpener::LeaveRunner() {
    thread_.reset();
    runner_->Release();
    runner_ = nullptr;
}

void WatchedOpener::OpenAll(std::span<WatchedOpen> opens, DWORD limitMs, HANDLE stopEvent) {
    for (WatchedOpen& open : opens) {
        open.result = WatchedOpenResult::Stopped;
        open.handle.reset();
    }
    for (std::size_t start = 0; start < opens.size();) {
        if (runner_ == nullptr && !StartRunner()) {
            for (std::size_t i = start; i < opens.size(); ++i) opens[i].result = WatchedOpenResult::NoThread;
            return;
        }
        {
            Runner::Lock lock(*runner_);
            runner_->opens = opens.data();
            runner_->count = opens.size();
            runner_->next = start;
        }
        start = Watch(opens, limitMs, stopEvent);
    }
}

// Hands the batch to the runner and waits for it. An open that has taken
// limitMs, or the stop, leaves the runner; the opens not yet taken are where
// the batch goes on (none after a stop).
std::size_t WatchedOpener::Watch(std::span<WatchedOpen> opens, DWORD limitMs, HANDLE stopEvent) {
    Runner& runner = *runner_;
    const DWORD glance = limitMs < kGlanceMs ? limitMs : kGlanceMs;
    DWORD waited = SignalObjectAndWait(runner.wake.get(), runner.done.get(), glance, FALSE);
    while (waited != WAIT_OBJECT_0) {
        const bool stopped = stopEvent != nullptr && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
        bool ended = false;
        bool leave = false;
        std::size_t rest = opens.size();
        DWORD wait = limitMs;
        {
            Runner::Lock lock(runner);
            const DWORD busyFor = runner.busy ? GetTickCount() - runner.busySince : 0;
            if (runner.opens == nullptr) {
                ended = true;  // done just now: its signal is on its way
            } else if (stopped || busyFor >= limitMs) {
                leave = true;
                if (runner.busy)
                    opens[runner.current].result = stopped ? WatchedOpenResult::Stopped : WatchedOpenResult::NotAnswering;
                if (!stopped) rest = runner.next;
                runner.left = true;
                runner.opens = nullptr;
            } else {
                wait = limitMs - busyFor;
            }
        }
        if (ended) {
            WaitForSingleObject(runner.done.get(), INFINITE);
            break;
        }
        if (leave) {
            LeaveRunner();
            return rest;
        }
        HANDLE waits[] = {runner.done.get(), stopEvent};
        waited = WaitForMultipleObjects(stopEvent != nullptr ? 2 : 1, waits, FALSE, wait);
    }
    return opens.size();
}

DWORD WINAPI WatchedOpener::Serve(void* parameter) {
    auto* runner = static_cast<Runner*>(parameter);
    WaitForSingleObject(runner->wake.get(), INFINITE);
    for (;;) {
        std::size_t index = 0;
        bool fits = true;
        bool batchDone = false;
        {
            Runner::Lock lock(*runner);
            if (runner->quit || runner->left) break;
            if (runner->opens == nullptr || runner->next >= runner->count) {
                runner->opens = nullptr;
                batchDone = true;
            } else {
                index = runner->next++;
                const WatchedOpen& open = runner->opens[index];
                // A counted name holds at most 32,767 units.
                fits = open.path->size() <= 0x7FFF;
                if (fits) runner->path = *open.path;
                runner->typeIndex = open.typeIndex;
                runner->access = open.access;
                runner->current = index;
                runner->busy = true;
                runner->busySince = GetTickCount();
            }
        }
        if (batchDone) {
            SignalObjectAndWait(runner->done.get(), runner->wake.get(), INFINITE, FALSE);
            continue;
        }
        HANDLE handle = nullptr;
        const NTSTATUS status =
            fits ? WatchedOpens(runner->typeIndex, ObjectName("", &runner->path), runner->access, &handle)
                 : kStatusNameTooLong;
        UniqueNtHandle opened(status == kStatusSuccess ? handle : nullptr);
        Runner::Lock lock(*runner);
        if (runner->left) break;  // nobody takes the handle: it closes here
        WatchedOpen& open = runner->opens[index];
        open.result = WatchedOpenResult::Answered;
        open.status = status;
        open.handle = std::move(opened);
        runner->busy = false;
    }
    runner->Release();
    --Threads;  // last: once none is counted, what each held is closed
    return 0;
}
