#include "support/open_gate.h"

#include <atomic>

#include "namespace/holder_search.h"
#include "namespace/object_opener.h"
#include "namespace/visible_name.h"
#include "namespace/watched_open.h"

namespace {

// The open runs on the openers' threads and is a plain function: its state is process-wide.
UniqueWin32Handle Gate;
std::string HeldPath;
std::atomic<long> Reached{0};
std::atomic<long> Opens[kObjectTypeCount + 1];

// Waits without dispatching: the openers' threads need no window.
bool SleepUntil(bool (*done)(), DWORD limitMs) {
    for (DWORD waited = 0; !done(); waited += 10) {
        if (waited >= limitMs) return false;
        Sleep(10);
    }
    return true;
}

NTSTATUS GatedOpen(int typeIndex, const ObjectName& path, ACCESS_MASK access, HANDLE* handle) {
    ++Opens[typeIndex >= 0 && typeIndex < kObjectTypeCount ? typeIndex : kObjectTypeCount];
    if (!HeldPath.empty() && WidenPath(HeldPath) == path.Wide()) {
        ++Reached;
        WaitForSingleObject(Gate.get(), INFINITE);
    }
    return OpenObjectExactlyAs(typeIndex, path, access, handle);
}

}  // namespace

OpenGate::OpenGate(DWORD notAnsweringAfterMs) {
    Gate.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HeldPath.clear();
    Reached = 0;
    for (auto& count : Opens) count = 0;
    QueryLimits.notAnsweringAfterMs = notAnsweringAfterMs;
    WatchedOpens = GatedOpen;
}

OpenGate::~OpenGate() {
    Open();
    SleepUntil([] { return WatchedOpener::LiveThreads() == 0; }, 120000);
    WatchedOpens = OpenObjectExactlyAs;
    QueryLimits = kDefaultQueryTimeLimits;
    Gate.reset();
}

void OpenGate::Hold(const std::string& path) { HeldPath = path; }
void OpenGate::Open() { SetEvent(Gate.get()); }
long OpenGate::Waiting() const { return Reached; }
bool OpenGate::WaitForWaiting(long count) const {
    static long Wanted;
    Wanted = count;
    return SleepUntil([] { return Reached >= Wanted; }, 120000);
}
long OpenGate::OpensOf(int typeIndex) const { return Opens[typeIndex]; }
