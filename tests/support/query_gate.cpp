#include "support/query_gate.h"

#include <atomic>

#include "support/sheet_pages.h"
#include "support/test_namespace.h"

namespace {

// The query runs on the search's threads and is a plain function: its state is process-wide.
UniqueWin32Handle Gate;
ACCESS_MASK HeldAccess = 0;
std::wstring HeldName;
std::atomic<long> Reached{0};
bool HoldingListReads = false;
std::atomic<long> ListReached{0};
std::atomic<long> PassedGate{0};

bool IsHeld(HANDLE copy, const UNICODE_STRING& name, bool named) {
    if (HeldAccess != 0 && GrantedAccess(copy) == HeldAccess) return true;
    return named && !HeldName.empty() &&
           std::wstring(name.Buffer, name.Length / sizeof(WCHAR)) == HeldName;
}

bool GatedQuery(HANDLE copy, bool skipPipes, NameBuffer& buffer, UNICODE_STRING& name) {
    const bool named = QueryCandidateName(copy, skipPipes, buffer, name);
    if (IsHeld(copy, name, named)) {
        ++Reached;
        WaitForSingleObject(Gate.get(), QueryGate::kHoldMs);
        ++PassedGate;
    }
    return named;
}

NTSTATUS GatedSystemInformation(ULONG informationClass, void* buffer, ULONG size, ULONG* needed) {
    if (!HoldingListReads ||
        (informationClass != kSystemExtendedHandleInformation && informationClass != kSystemHandleInformation))
        return CallSystemInformation(informationClass, buffer, size, needed);
    ++ListReached;
    WaitForSingleObject(Gate.get(), QueryGate::kHoldMs);
    const NTSTATUS status = CallSystemInformation(informationClass, buffer, size, needed);
    ++PassedGate;
    return status;
}

}  // namespace

QueryGate::QueryGate(QueryTimeLimits limits) {
    Gate.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HeldAccess = 0;
    HeldName.clear();
    Reached = 0;
    HoldingListReads = false;
    ListReached = PassedGate = 0;
    QueryLimits = limits;
    CandidateNames = GatedQuery;
    SystemInformationQuery = GatedSystemInformation;
}

QueryGate::~QueryGate() {
    Open();
    PumpUntil([] { return LiveSearchThreads() == 0; });
    CandidateNames = QueryCandidateName;
    SystemInformationQuery = CallSystemInformation;
    QueryLimits = kDefaultQueryTimeLimits;
    Gate.reset();
}

void QueryGate::HoldAccess(ACCESS_MASK access) { HeldAccess = access; }
void QueryGate::HoldName(const std::wstring& name) { HeldName = name; }
void QueryGate::HoldListReads() { HoldingListReads = true; }
void QueryGate::Open() { SetEvent(Gate.get()); }
long QueryGate::Waiting() const { return Reached; }
long QueryGate::ListReadsWaiting() const { return ListReached; }
long QueryGate::Passed() const { return PassedGate; }
