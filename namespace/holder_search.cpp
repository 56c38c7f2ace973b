#include "namespace/holder_search.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/enabled_privilege.h"

CandidateNameQuery CandidateNames = QueryCandidateName;
QueryTimeLimits QueryLimits = kDefaultQueryTimeLimits;

namespace {

// How often the watching thread looks at its runners and reports progress.
constexpr DWORD kWatchEveryMs = 50;

std::atomic<long> CandidateThreads{0};

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

// The name a candidate must have: the one the platform gives for the search's
// own handle, with any link on the path resolved; the path where it gives none.
std::wstring TargetNameOf(HANDLE object, const char* path) {
    NameBuffer buffer;
    UNICODE_STRING name{};
    if (QueryObjectName(object, buffer, name)) return std::wstring(name.Buffer, name.Length / sizeof(WCHAR));
    CountedUnicode widened;
    if (widened.AssignAnsi(path) != kStatusSuccess) return {};
    const UNICODE_STRING* text = widened.Get();
    return std::wstring(text->Buffer, text->Length / sizeof(WCHAR));
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

long LiveCandidateThreads() { return CandidateThreads; }

// One thread looking at candidates. The leading runner takes one candidate
// after another; a detached one ends with the candidate it is on; one given
// up changes nothing when, if ever, its query comes back.
struct HolderSearchRun::Runner {
    enum class State { Leading, Detached, GivenUp, Ended };

    HolderSearchRun* run;
    State state = State::Leading;
    bool busy = false;  // inside a candidate's duplicate and query
    DWORD busySince = 0;
    std::size_t current = 0;
    UniqueWin32Handle thread;  // the watching thread's; closed once it has no more use
};

HolderSearchRun::HolderSearchRun(const char* path, HandleListClass firstClass, ChangeCallback changed,
                                 void* context)
    : changed_(changed), context_(context), firstClass_(firstClass), path_(path) {
    InitializeCriticalSection(&lock_);
    ++NamespaceCounters().holderSearches;
    OpenedObject object = OpenAnyObject(path, 0);
    if (!object) {
        found_.result = HolderSearchResult::ObjectNotOpened;
        return;
    }
    found_.typeRow = object.typeIndex;
    found_.handleCount = HandleCountBesides(object.handle.get(), object.typeIndex);
    object_ = std::move(object.handle);
    runnerEnded_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

HolderSearchRun::~HolderSearchRun() { DeleteCriticalSection(&lock_); }

void HolderSearchRun::Release() noexcept {
    if (--references_ == 0) delete this;
}

void HolderSearchRun::Execute(HANDLE stopEvent) {
    if (object_) Search(stopEvent);
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

    NTSTATUS status = list_.Read(firstClass_);
    if (status != kStatusSuccess && firstClass_ == HandleListClass::Extended)
        status = list_.Read(HandleListClass::Legacy);
    if (status != kStatusSuccess) {
        Lock lock(*this);
        found_.result = HolderSearchResult::ListNotRead;
        found_.status = status;
        return;
    }
    if (!list_.Find(GetCurrentProcessId(), object_.get(), own_)) {
        Lock lock(*this);
        found_.result = HolderSearchResult::OwnHandleNotListed;
        return;
    }
    names_.Read();  // without names, the handles are still found

    if (own_.objectAddress != 0 && !MatchedByName(found_.typeRow)) {
        SearchByAddress();
        return;
    }
    target_ = TargetNameOf(object_.get(), path_.c_str());
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
            for (const auto& runner : runners_) {
                const DWORD busyFor = runner->busy ? now - runner->busySince : 0;
                if (runner->state == Runner::State::Leading && busyFor >= QueryLimits.detachAfterMs) {
                    runner->state = Runner::State::Detached;
                } else if (runner->state == Runner::State::Detached && busyFor >= QueryLimits.notAnsweringAfterMs) {
                    GiveUp(*runner);
                    const SystemHandle entry = list_.At(candidates_[runner->current]);
                    found_.notAnswering.push_back({entry.processId, names_.Of(entry.processId), entry.handleValue});
                    found_.examined = ++progress_.examined;
                    continue;
                }
                leading = leading || runner->state == Runner::State::Leading;
                going = going || runner->state == Runner::State::Detached;
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
    auto runner = std::make_unique<Runner>();
    runner->run = this;
    Runner* started = runner.get();
    {
        Lock lock(*this);
        runners_.push_back(std::move(runner));
    }
    AddRef();  // the runner's
    ++CandidateThreads;
    DWORD id = 0;
    started->thread.reset(CreateThread(nullptr, 0, RunCandidates, started, 0, &id));
    if (started->thread) {
        // As the search's own thread: the window's thread goes first.
        SetThreadPriority(started->thread.get(), GetThreadPriority(GetCurrentThread()));
        return true;
    }
    --CandidateThreads;
    Lock lock(*this);
    started->state = Runner::State::Ended;
    found_.result = HolderSearchResult::NoThread;
    stopping_ = true;
    --references_;  // the runner's, never taken up; this thread still holds one
    return false;
}

// Under the lock: the runner's query is left to itself; nothing it finds counts.
void HolderSearchRun::GiveUp(Runner& runner) {
    runner.state = Runner::State::GivenUp;
    runner.thread.reset();
}

// Lets the runners end: those that ended, or lead and answer within the
// detach limit, are waited for; the rest are given up.
void HolderSearchRun::EndRunners() {
    {
        Lock lock(*this);
        stopping_ = true;
    }
    for (const auto& runner : runners_) {
        HANDLE thread = nullptr;
        DWORD limit = 0;
        {
            Lock lock(*this);
            if (runner->state == Runner::State::Detached) GiveUp(*runner);
            if (runner->state == Runner::State::Leading) limit = QueryLimits.detachAfterMs;
            if (runner->state == Runner::State::Ended) limit = INFINITE;  // its last steps do not wait
            if (runner->state != Runner::State::GivenUp) thread = runner->thread.get();
        }
        if (thread == nullptr || WaitForSingleObject(thread, limit) == WAIT_OBJECT_0) continue;
        Lock lock(*this);
        if (runner->state == Runner::State::Leading) GiveUp(*runner);
    }
}

DWORD WINAPI HolderSearchRun::RunCandidates(void* parameter) {
    auto* runner = static_cast<Runner*>(parameter);
    HolderSearchRun& run = *runner->run;
    UNICODE_STRING target{};
    target.Buffer = const_cast<PWSTR>(run.target_.c_str());
    target.Length = target.MaximumLength = static_cast<USHORT>(run.target_.size() * sizeof(WCHAR));
    ProcessCache processes;
    for (;;) {
        std::size_t index = 0;
        {
            Lock lock(run);
            if (runner->state != Runner::State::Leading) break;
            if (run.stopping_ || run.next_ >= run.candidates_.size()) {
                runner->state = Runner::State::Ended;
                break;
            }
            index = run.TakeNext();
            runner->current = index;
            runner->busy = true;
            runner->busySince = GetTickCount();
        }

        const SystemHandle entry = run.list_.At(run.candidates_[index]);
        const bool own = entry.processId == run.own_.processId;
        DWORD error = 0;
        Outcome outcome = Outcome::Other;
        HANDLE process = own ? GetCurrentProcess() : processes.Open(entry.processId, error);
        HANDLE copy = nullptr;
        if (process == nullptr) {
            outcome = Outcome::ProcessNotOpened;
        } else if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(entry.handleValue), GetCurrentProcess(), &copy,
                                    0, FALSE, DUPLICATE_SAME_ACCESS)) {
            error = GetLastError();
            // A handle closed since the list was read holds nothing.
            outcome = error == ERROR_INVALID_HANDLE ? Outcome::Closed : Outcome::DuplicateFailed;
        } else {
            UniqueNtHandle owner(copy);
            NameBuffer buffer;
            UNICODE_STRING name{};
            if (CandidateNames(copy, run.skipPipes_, buffer, name) && RtlEqualUnicodeString(&name, &target, TRUE))
                outcome = Outcome::Match;
        }

        Lock lock(run);
        if (runner->state == Runner::State::GivenUp) break;
        runner->busy = false;
        run.Record(index, outcome, error);
        if (runner->state == Runner::State::Detached) {
            runner->state = Runner::State::Ended;
            break;
        }
    }
    SetEvent(run.runnerEnded_.get());
    --CandidateThreads;
    run.Release();
    return 0;
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

HolderSearch FindObjectHolders(const char* path, HandleListClass firstClass) {
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
