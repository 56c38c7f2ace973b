#include "namespace/holder_search.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "common/enabled_privilege.h"
#include "namespace/other_type_open.h"

CandidateNameQuery CandidateNames = QueryCandidateName;
QueryTimeLimits QueryLimits = kDefaultQueryTimeLimits;

namespace {

// How often the watching thread looks at its runners and reports progress.
constexpr DWORD kWatchEveryMs = 50;
// How often an ending search looks again at a runner that is between two queries.
constexpr DWORD kEndPollMs = 10;

std::atomic<long> SearchThreads{0};

// True when the characters of text lie inside buffer.
bool LiesInside(const UNICODE_STRING& text, const NameBuffer& buffer) {
    const auto* characters = reinterpret_cast<const BYTE*>(text.Buffer);
    const BYTE* end = buffer.bytes + sizeof buffer.bytes;
    return characters != nullptr && characters >= buffer.bytes && characters <= end &&
           text.Length <= static_cast<std::size_t>(end - characters);
}

// The name the platform gives for an open handle; false when it gives none
// or the name does not fit the buffer. name points into buffer.
bool QueryObjectName(HANDLE handle, NameBuffer& buffer, UNICODE_STRING& name) {
    ULONG length = 0;
    if (NtQueryObject(handle, static_cast<OBJECT_INFORMATION_CLASS>(kObjectNameInformation), buffer.bytes,
                      sizeof buffer.bytes, &length) != kStatusSuccess)
        return false;
    std::memcpy(&name, buffer.bytes, sizeof name);
    return name.Length != 0 && LiesInside(name, buffer);
}

// A slow platform call made on a thread of its own, so that the search can
// walk away from it: the record is shared by the search and the thread and
// goes with the last of them, and with it whatever the call filled in.
class WatchedCall {
public:
    enum class Outcome { Returned, Stopped, TimedOut, NoThread };

    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

    // Makes the call on a new thread and waits until it returns, stopEvent
    // (which may be null) is signalled or limitMs pass. Unless it returned,
    // the call is left to finish alone, Left() signalled for its steps.
    Outcome Run(HANDLE stopEvent, DWORD limitMs);
    static void Release(WatchedCall* call) noexcept {
        if (--call->references_ == 0) delete call;
    }

protected:
    // A stepped call looks at Left() between its steps; a single call has no such event.
    explicit WatchedCall(bool stepped) {
        if (stepped) left_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
    virtual ~WatchedCall() = default;
    virtual void Call() = 0;
    // Signalled once the search has walked away; null for a single call, or when no event could be made.
    HANDLE Left() const { return left_.get(); }

private:
    static DWORD WINAPI Thread(void* parameter);

    std::atomic<long> references_{1};  // the search's, and the thread's while it runs
    UniqueWin32Handle left_;
};
using WatchedCallOwner = UniqueOwner<WatchedCall*, WatchedCall::Release>;

WatchedCall::Outcome WatchedCall::Run(HANDLE stopEvent, DWORD limitMs) {
    ++references_;
    ++SearchThreads;
    DWORD id = 0;
    UniqueWin32Handle thread(CreateThread(nullptr, 0, Thread, this, 0, &id));
    if (!thread) {
        --SearchThreads;
        --references_;  // the thread's, never taken up; the caller still holds one
        return Outcome::NoThread;
    }
    SetThreadPriority(thread.get(), GetThreadPriority(GetCurrentThread()));
    HANDLE waits[] = {thread.get(), stopEvent};
    const DWORD signalled = WaitForMultipleObjects(stopEvent != nullptr ? 2 : 1, waits, FALSE, limitMs);
    if (signalled == WAIT_OBJECT_0) return Outcome::Returned;
    if (left_) SetEvent(left_.get());
    return signalled == WAIT_OBJECT_0 + 1 ? Outcome::Stopped : Outcome::TimedOut;
}

DWORD WINAPI WatchedCall::Thread(void* parameter) {
    auto* call = static_cast<WatchedCall*>(parameter);
    call->Call();
    Release(call);
    --SearchThreads;  // last: once no thread is counted, nothing of theirs is left
    return 0;
}

// The handle list, in the first class that gives it, and the process names.
class ListRead : public WatchedCall {
public:
    explicit ListRead(HandleListClass firstClass) : WatchedCall(true), firstClass_(firstClass) {}

    SystemHandleList list;
    ProcessNames names;
    NTSTATUS status = kStatusSuccess;

private:
    void Call() override {
        status = list.Read(firstClass_, Left());
        if (status != kStatusSuccess && status != kStatusCancelled && firstClass_ == HandleListClass::Extended)
            status = list.Read(HandleListClass::Legacy, Left());
        if (status == kStatusSuccess) names.Read(Left());  // without names, the handles are still found
    }

    HandleListClass firstClass_;
};

// The name of a handle, through the query candidates go through, asked of a
// duplicate that a query left behind keeps to itself.
class NameQuery : public WatchedCall {
public:
    explicit NameQuery(HANDLE copy) : WatchedCall(false), copy_(copy) {}

    bool named = false;
    NameBuffer buffer;
    UNICODE_STRING name{};

private:
    void Call() override { named = CandidateNames(copy_.get(), false, buffer, name); }

    UniqueNtHandle copy_;
};

// The name a candidate must have: the one the platform gives for the search's
// own handle, with any link on the path resolved; the path where it gives
// none, or none within the not-answering limit. False when stopped meanwhile.
bool TargetNameOf(HANDLE object, const ObjectName& path, HANDLE stopEvent, std::wstring& target) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), object, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        auto* query = new NameQuery(copy);
        WatchedCallOwner owner(query);
        const WatchedCall::Outcome outcome = query->Run(stopEvent, QueryLimits.notAnsweringAfterMs);
        if (outcome == WatchedCall::Outcome::Stopped) return false;
        if (outcome == WatchedCall::Outcome::Returned && query->named) {
            target.assign(query->name.Buffer, query->name.Length / sizeof(WCHAR));
            return true;
        }
    }
    target = path.Wide();
    return true;
}

// Every open of a device or a key makes an object of its own: no other
// handle has the search's address, so their holders are found by name.
bool MatchedByName(int typeRow) { return typeRow == kTypeDevice || typeRow == kTypeKey; }

// The object's handle count less the handle it is read through, as the
// Details page counts; -1 when the platform does not tell, or when the
// search's own open made an object of its own.
long HandleCountBesides(HANDLE handle, int typeRow) {
    OBJECT_BASIC_INFORMATION basic{};
    if (MatchedByName(typeRow) ||
        NtQueryObject(handle, ObjectBasicInformation, &basic, sizeof basic, nullptr) != kStatusSuccess)
        return -1;
    return static_cast<long>(basic.HandleCount) - 1;
}

// The processes one runner duplicates from, each opened at most once.
class ProcessCache {
public:
    // The process's handle, or null when it cannot be opened; error says why.
    HANDLE Open(DWORD processId, DWORD& error) {
        // The candidates come process by process: the last entry is the likely one.
        if (last_ < entries_.size() && entries_[last_].processId == processId) return Result(entries_[last_], error);
        for (last_ = 0; last_ < entries_.size(); ++last_) {
            if (entries_[last_].processId == processId) return Result(entries_[last_], error);
        }
        Entry entry{processId, UniqueWin32Handle(OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId)), 0};
        if (!entry.handle) entry.error = GetLastError();
        entries_.push_back(std::move(entry));
        last_ = entries_.size() - 1;
        return Result(entries_[last_], error);
    }

private:
    struct Entry {
        DWORD processId;
        UniqueWin32Handle handle;
        DWORD error;
    };
    static HANDLE Result(const Entry& entry, DWORD& error) {
        error = entry.error;
        return entry.handle.get();
    }
    std::vector<Entry> entries_;
    std::size_t last_ = 0;
};

HandleHolder HolderOf(const SystemHandle& entry, const ProcessNames& names) {
    return {entry.processId, names.Of(entry.processId), entry.handleValue, entry.grantedAccess};
}

}  // namespace

bool QueryCandidateName(HANDLE copy, bool skipPipes, NameBuffer& buffer, UNICODE_STRING& name) {
    // No device sought by name is a pipe, and pipes are where queries most
    // often wait on a pending read: they are passed over.
    if (skipPipes && GetFileType(copy) == FILE_TYPE_PIPE) return false;
    return QueryObjectName(copy, buffer, name);
}

long LiveSearchThreads() { return SearchThreads; }

// One thread looking at candidates. The leading runner takes one candidate
// after another; a detached one ends with the candidate it is on; one given
// up changes nothing when, if ever, its query comes back. The record is
// shared by the thread and the run: a thread given up touches nothing else,
// and the run takes the processes' handles out of it once the search is over.
struct HolderSearchRun::Runner {
    enum class State { Leading, Detached, GivenUp, Ended };
    // Where the thread is with a candidate's query: only while it is Asking
    // can the watching thread leave it, and only the thread ends Asking.
    enum Query : long { NotAsking, Asking, Left };

    explicit Runner(HolderSearchRun* owner) : run(owner) {}

    HolderSearchRun* run;             // used by the thread only while its query is not left
    std::atomic<long> references{2};  // the thread's and the run's
    std::atomic<long> query{NotAsking};
    // Under the run's lock.
    State state = State::Leading;
    bool busy = false;  // inside a candidate's duplicate and query
    DWORD busySince = 0;
    std::size_t current = 0;
    UniqueWin32Handle thread;  // the watching thread's; closed once it has no more use
    ProcessCache processes;    // the thread's own while it takes candidates
};

void HolderSearchRun::ReleaseRunner(Runner* runner) noexcept {
    if (--runner->references == 0) delete runner;
}

HolderSearchRun::HolderSearchRun(const ObjectName& path, HandleListClass firstClass, ChangeCallback changed,
                                 void* context)
    : changed_(changed), context_(context), firstClass_(firstClass), path_(path.path != nullptr ? path.path : ""),
      exact_(path.exact != nullptr ? *path.exact : std::wstring()), hasExact_(path.exact != nullptr) {
    InitializeCriticalSection(&lock_);
    ++NamespaceCounters().holderSearches;
    // Nothing added to the access: an object that withholds READ_CONTROL is searched all the same.
    ExactOpen object = OpenAnyObjectExactly(path, MAXIMUM_ALLOWED);
    if (object.opened) {
        found_.typeRow = object.opened.typeIndex;
        found_.typeName = ObjectTypeName(found_.typeRow);
        object_ = std::move(object.opened.handle);
    } else if (object.refusingRow == kTypeNotOpened) {
        // No row's service found it: a type with a service of its own may.
        OtherTypeOpen other = OpenAsSomeOtherType(path, MAXIMUM_ALLOWED);
        if (other.handle) found_.typeName = other.type->typeName;
        object_ = std::move(other.handle);
    }
    if (!object_) {
        found_.result = HolderSearchResult::ObjectNotOpened;
        return;
    }
    found_.handleCount = HandleCountBesides(object_.get(), found_.typeRow);
    runnerEnded_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

HolderSearchRun::~HolderSearchRun() { DeleteCriticalSection(&lock_); }

void HolderSearchRun::Execute(HANDLE stopEvent) {
    if (object_) Search(stopEvent);
    LetGo();
    Lock lock(*this);
    progress_.finished = true;
    Changed();
    closed_ = true;
}

void HolderSearchRun::Search(HANDLE stopEvent) {
    // Windows 11 24H2 and later give object addresses only to a caller with
    // the debug privilege enabled; it also opens every process. Enabled for
    // the search alone, and only where the token holds it.
    UniqueWin32Handle token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, token.put());
    EnabledPrivilege debug(token.get(), "SeDebugPrivilege");

    if (!ReadList(stopEvent)) return;
    if (!list_.Find(GetCurrentProcessId(), object_.get(), own_)) {
        Lock lock(*this);
        found_.result = HolderSearchResult::OwnHandleNotListed;
        return;
    }
    if (own_.objectAddress != 0 && !MatchedByName(found_.typeRow)) {
        SearchByAddress();
        return;
    }
    if (!TargetNameOf(object_.get(), {path_.c_str(), hasExact_ ? &exact_ : nullptr}, stopEvent, target_)) return;
    // A device opened through its file name is held by File handles, among them pipes.
    skipPipes_ = found_.typeRow == kTypeDevice;
    ChooseCandidates();
    {
        Lock lock(*this);
        progress_.listRead = true;
        progress_.candidates = candidates_.size();
        Changed();
    }
    if (!runnerEnded_) {
        Lock lock(*this);
        found_.result = HolderSearchResult::NoThread;
        return;
    }
    if (!candidates_.empty()) Watch(stopEvent);
    EndRunners();
}

// Reads the handle list and the process names on a thread of their own;
// false, leaving the read to end alone, when stopped meanwhile or when the
// list could not be read.
bool HolderSearchRun::ReadList(HANDLE stopEvent) {
    auto* read = new ListRead(firstClass_);
    WatchedCallOwner owner(read);
    const WatchedCall::Outcome outcome = read->Run(stopEvent, INFINITE);
    Lock lock(*this);
    if (outcome == WatchedCall::Outcome::NoThread) found_.result = HolderSearchResult::NoThread;
    if (outcome != WatchedCall::Outcome::Returned) return false;
    if (read->status != kStatusSuccess) {
        found_.result = HolderSearchResult::ListNotRead;
        found_.status = read->status;
        return false;
    }
    list_ = std::move(read->list);
    names_ = std::move(read->names);
    return true;
}

void HolderSearchRun::SearchByAddress() {
    AddressMatch match = MatchByAddress(list_, own_);
    Lock lock(*this);
    found_.byAddress = true;
    found_.ownHandles = match.ownProcessHandles;
    for (const SystemHandle& entry : match.others) found_.handles.push_back(HolderOf(entry, names_));
    progress_.listRead = true;
    progress_.candidates = progress_.examined = found_.examined = match.others.size();
}

// The handles of the object's type, the search's own left out, process by
// process, so that each runner opens each process once.
void HolderSearchRun::ChooseCandidates() {
    for (std::size_t i = 0; i < list_.Count(); ++i) {
        const SystemHandle entry = list_.At(i);
        if (entry.typeIndex != own_.typeIndex) continue;
        if (entry.processId == own_.processId && entry.handleValue == own_.handleValue) continue;
        candidates_.push_back(i);
    }
    std::stable_sort(candidates_.begin(), candidates_.end(), [this](std::size_t a, std::size_t b) {
        return list_.At(a).processId < list_.At(b).processId;
    });
}

// Watches the runners until every candidate has been looked at or given up,
// or until the search is stopped.
void HolderSearchRun::Watch(HANDLE stopEvent) {
    if (!StartRunner()) return;
    std::size_t reported = 0;
    for (;;) {
        HANDLE waits[] = {runnerEnded_.get(), stopEvent};
        const DWORD signalled = WaitForMultipleObjects(stopEvent != nullptr ? 2 : 1, waits, FALSE, kWatchEveryMs);
        bool needsRunner = false;
        {
            Lock lock(*this);
            if (signalled == WAIT_OBJECT_0 + 1) {
                stopping_ = true;
                return;
            }
            const DWORD now = GetTickCount();
            bool leading = false;
            bool going = false;
            for (const RunnerOwner& owner : runners_) {
                Runner& runner = *owner.get();
                const DWORD busyFor = runner.busy ? now - runner.busySince : 0;
                if (runner.state == Runner::State::Leading && busyFor >= QueryLimits.detachAfterMs) {
                    runner.state = Runner::State::Detached;
                } else if (runner.state == Runner::State::Detached && busyFor >= QueryLimits.notAnsweringAfterMs &&
                           GiveUp(runner)) {
                    const SystemHandle entry = list_.At(candidates_[runner.current]);
                    found_.notAnswering.push_back({entry.processId, names_.Of(entry.processId), entry.handleValue});
                    found_.examined = ++progress_.examined;
                    continue;
                }
                leading = leading || runner.state == Runner::State::Leading;
                going = going || runner.state == Runner::State::Detached;
            }
            const bool candidatesLeft = next_ < candidates_.size();
            if (!leading && !going && !candidatesLeft) return;
            needsRunner = !leading && candidatesLeft;
            if (progress_.examined != reported) {
                reported = progress_.examined;
                Changed();
            }
        }
        if (needsRunner && !StartRunner()) return;
    }
}

bool HolderSearchRun::StartRunner() {
    RunnerOwner runner(new Runner(this));
    Runner* started = runner.get();
    {
        Lock lock(*this);
        runners_.push_back(std::move(runner));
    }
    ++SearchThreads;
    DWORD id = 0;
    started->thread.reset(CreateThread(nullptr, 0, RunCandidates, started, 0, &id));
    if (started->thread) {
        // As the search's own thread: the window's thread goes first.
        SetThreadPriority(started->thread.get(), GetThreadPriority(GetCurrentThread()));
        return true;
    }
    --SearchThreads;
    --started->references;  // the thread's, never taken up; the run still holds one
    Lock lock(*this);
    started->state = Runner::State::Ended;
    found_.result = HolderSearchResult::NoThread;
    stopping_ = true;
    return false;
}

// Under the lock: leaves the runner's query to itself; nothing it finds
// counts. False when the runner is not inside a query: it then soon takes
// the lock again, or ends.
bool HolderSearchRun::GiveUp(Runner& runner) {
    long asking = Runner::Asking;
    if (!runner.query.compare_exchange_strong(asking, Runner::Left)) return false;
    runner.state = Runner::State::GivenUp;
    runner.thread.reset();
    return true;
}

// Lets the runners end: those inside a query are given up, the others waited
// for, as they end at their next step without waiting for anything.
void HolderSearchRun::EndRunners() {
    {
        Lock lock(*this);
        stopping_ = true;
    }
    for (const RunnerOwner& owner : runners_) {
        Runner& runner = *owner.get();
        for (;;) {
            HANDLE thread = nullptr;
            {
                Lock lock(*this);
                if (runner.state != Runner::State::GivenUp && !GiveUp(runner)) thread = runner.thread.get();
            }
            if (thread == nullptr || WaitForSingleObject(thread, kEndPollMs) == WAIT_OBJECT_0) break;
        }
    }
}

// Once the search is over, what only it needed goes; a runner given up keeps
// its small record, without the processes' handles, until its query comes
// back, and its thread the candidate's duplicate.
void HolderSearchRun::LetGo() {
    for (const RunnerOwner& runner : runners_) runner.get()->processes = ProcessCache();
    runners_.clear();
    list_ = SystemHandleList();
    names_ = ProcessNames();
    candidates_ = std::vector<std::size_t>();
    target_ = std::wstring();
    object_.reset();
    runnerEnded_.reset();
}

DWORD WINAPI HolderSearchRun::RunCandidates(void* parameter) {
    auto* runner = static_cast<Runner*>(parameter);
    HolderSearchRun* run = runner->run;
    if (run->LookAtCandidates(*runner)) SetEvent(run->runnerEnded_.get());
    ReleaseRunner(runner);
    --SearchThreads;  // last: once no thread is counted, nothing of theirs is left
    return 0;
}

// On a runner's thread: takes candidates until none is left, the search
// stops or the runner is detached. False when its query was given up: the
// run may be gone then, and nothing of it is touched.
bool HolderSearchRun::LookAtCandidates(Runner& runner) {
    UNICODE_STRING target{};
    target.Buffer = const_cast<PWSTR>(target_.c_str());
    target.Length = target.MaximumLength = static_cast<USHORT>(target_.size() * sizeof(WCHAR));
    for (;;) {
        std::size_t index = 0;
        SystemHandle entry{};
        {
            Lock lock(*this);
            if (runner.state != Runner::State::Leading) return true;
            if (stopping_ || next_ >= candidates_.size()) {
                runner.state = Runner::State::Ended;
                return true;
            }
            index = TakeNext();
            entry = list_.At(candidates_[index]);
            runner.current = index;
            runner.busy = true;
            runner.busySince = GetTickCount();
        }

        const bool own = entry.processId == own_.processId;
        DWORD error = 0;
        Outcome outcome = Outcome::Other;
        HANDLE process = own ? GetCurrentProcess() : runner.processes.Open(entry.processId, error);
        HANDLE copy = nullptr;
        if (process == nullptr) {
            outcome = Outcome::ProcessNotOpened;
        } else if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(entry.handleValue), GetCurrentProcess(), &copy,
                                    0, FALSE, DUPLICATE_SAME_ACCESS)) {
            error = GetLastError();
            // A handle closed since the list was read holds nothing.
            outcome = error == ERROR_INVALID_HANDLE ? Outcome::Closed : Outcome::DuplicateFailed;
        } else {
            UniqueNtHandle owner(copy);  // the one thing of the search a query left behind keeps
            NameBuffer buffer;
            UNICODE_STRING name{};
            const bool skipPipes = skipPipes_;
            runner.query = Runner::Asking;
            const bool named = CandidateNames(copy, skipPipes, buffer, name);
            long asking = Runner::Asking;
            if (!runner.query.compare_exchange_strong(asking, Runner::NotAsking)) return false;
            if (named && RtlEqualUnicodeString(&name, &target, TRUE)) outcome = Outcome::Match;
        }

        Lock lock(*this);
        runner.busy = false;
        Record(index, outcome, error);
        if (runner.state == Runner::State::Detached) {
            runner.state = Runner::State::Ended;
            return true;
        }
    }
}

// Under the lock: the next candidate, counting each process as it is reached.
std::size_t HolderSearchRun::TakeNext() {
    const std::size_t index = next_++;
    if (index == 0 || list_.At(candidates_[index]).processId != list_.At(candidates_[index - 1]).processId)
        ++progress_.processes;
    return index;
}

// Under the lock, by runners that have not been given up.
void HolderSearchRun::Record(std::size_t index, Outcome outcome, DWORD error) {
    const SystemHandle entry = list_.At(candidates_[index]);
    const bool own = entry.processId == own_.processId;
    found_.examined = ++progress_.examined;
    switch (outcome) {
    case Outcome::Match:
        if (own) {
            ++found_.ownHandles;
        } else {
            found_.handles.push_back(HolderOf(entry, names_));
            Changed();
        }
        break;
    case Outcome::DuplicateFailed:
    case Outcome::ProcessNotOpened:
        if (!own) NoteUninspected(entry.processId, error);
        break;
    case Outcome::Other:
    case Outcome::Closed:
        break;
    }
}

void HolderSearchRun::NoteUninspected(DWORD processId, DWORD error) {
    for (const UninspectedProcess& process : found_.uninspected) {
        if (process.processId == processId) return;
    }
    found_.uninspected.push_back({processId, names_.Of(processId), error});
}

void HolderSearchRun::Changed() {
    if (changed_ != nullptr && !closed_) changed_(context_);
}

HolderSearch FindObjectHolders(const ObjectName& path, HandleListClass firstClass) {
    HolderSearchOwner run(new HolderSearchRun(path, firstClass, nullptr, nullptr));
    run.get()->Execute(nullptr);
    HolderSearch search;
    run.get()->Read([&search](const HolderSearch& found, const HolderProgress&) { search = found; });
    std::sort(search.handles.begin(), search.handles.end(), [](const HandleHolder& a, const HandleHolder& b) {
        return a.processId != b.processId ? a.processId < b.processId : a.handleValue < b.handleValue;
    });
    std::sort(search.uninspected.begin(), search.uninspected.end(),
              [](const UninspectedProcess& a, const UninspectedProcess& b) { return a.processId < b.processId; });
    std::sort(search.notAnswering.begin(), search.notAnswering.end(),
              [](const NotAnsweringHandle& a, const NotAnsweringHandle& b) {
                  return a.processId != b.processId ? a.processId < b.processId : a.handleValue < b.handleValue;
              });
    return search;
}
