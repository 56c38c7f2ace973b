// Opens that may go to a driver and wait there (a removable drive may take
// seconds), made one after another on a thread of their own that the caller
// watches. An open that has not answered within the caller's limit is left
// to finish on its own, and the opens after it go on a new thread. The thread
// left so owns only what it needs (its copy of the request) and closes the
// handle its open gives when, if ever, that returns. The opens are handed
// over in batches, so that most cost the caller no wait of its own.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "namespace/native_services.h"
#include "namespace/object_opener.h"

// The open a watched thread makes: OpenObjectExactlyAs unless a test puts in
// one that does not answer.
extern RowOpenProc WatchedOpens;

enum class WatchedOpenResult {
    Answered,      // status, and on success handle, are the open's
    NotAnswering,  // no answer within the limit: the open goes on by itself
    Stopped,       // the stop came first: the open was left, or not made
    NoThread,      // no thread could be made: nothing was opened
};

// One open of a batch: what to open and, once the batch has returned, what came of it.
struct WatchedOpen {
    WatchedOpen(int typeIndex, const std::wstring* path, ACCESS_MASK access)
        : typeIndex(typeIndex), path(path), access(access) {}

    int typeIndex;
    const std::wstring* path;  // the exact path, the caller's for the length of the call
    ACCESS_MASK access;
    WatchedOpenResult result = WatchedOpenResult::Stopped;
    NTSTATUS status = kStatusSuccess;
    UniqueNtHandle handle;
};

class WatchedOpener {
public:
    WatchedOpener() = default;
    WatchedOpener(const WatchedOpener&) = delete;
    WatchedOpener& operator=(const WatchedOpener&) = delete;
    // The idle thread is told to end and waited for; a thread left to finish is not.
    ~WatchedOpener();

    // Opens each path as the type of its row with exactly its access, in
    // order, on the opener's thread. Each open waits at most limitMs; the
    // stop event (manual-reset, or null) leaves the open under way and the
    // rest are not made.
    void OpenAll(std::span<WatchedOpen> opens, DWORD limitMs, HANDLE stopEvent);

    // Threads of every opener, those left to finish included, for tests.
    static long LiveThreads();

private:
    struct Runner;
    bool StartRunner();
    void LeaveRunner();
    std::size_t Watch(std::span<WatchedOpen> opens, DWORD limitMs, HANDLE stopEvent);
    static DWORD WINAPI Serve(void* parameter);

    Runner* runner_ = nullptr;  // shared with its thread; each lets go of it once
    UniqueWin32Handle thread_;
};
