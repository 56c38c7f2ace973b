// An open that may go to a driver and wait there (a removable drive may take
// seconds), made on a thread of its own that the caller watches. An open that
// has not answered within the caller's limit is left to finish on its own and
// the next open goes to a new thread. The thread left so owns only what it
// needs (the request it was given) and closes the handle its open gives when,
// if ever, that returns.
#pragma once

#include <windows.h>

#include "namespace/native_services.h"

// The open a watched thread makes: OpenObjectExactlyAs unless a test puts in
// one that does not answer.
using WatchedOpenService = NTSTATUS (*)(int typeIndex, const char* path, ACCESS_MASK access, HANDLE* handle);
extern WatchedOpenService WatchedOpens;

enum class WatchedOpenResult {
    Answered,      // status, and on success handle, are the open's
    NotAnswering,  // no answer within the limit: the open goes on by itself
    Stopped,       // the stop event was set before the answer came
    NoThread,      // no thread could be made: nothing was opened
};

class WatchedOpener {
public:
    WatchedOpener() = default;
    WatchedOpener(const WatchedOpener&) = delete;
    WatchedOpener& operator=(const WatchedOpener&) = delete;
    // The idle thread is told to end and waited for; a thread left to finish is not.
    ~WatchedOpener();

    // Opens path as the type of row typeIndex with exactly access on the
    // opener's thread, waiting at most limitMs, or until stopEvent (which may
    // be null) is set.
    WatchedOpenResult Open(int typeIndex, const char* path, ACCESS_MASK access, DWORD limitMs, HANDLE stopEvent,
                           NTSTATUS& status, UniqueNtHandle& handle);

    // Threads of every opener, those left to finish included, for tests.
    static long LiveThreads();

private:
    struct Channel;
    bool StartThread();
    void LeaveThread();
    static DWORD WINAPI Serve(void* parameter);

    Channel* channel_ = nullptr;  // shared with the thread; each lets go of it once
    UniqueWin32Handle thread_;
};
