// The search for the handles other processes hold to an object, made to run
// off the window's thread and to be read while it runs.
//
// Where the handle list gives object addresses, the handles with the search's
// own handle's address are the object's. Devices and keys are the exception:
// every open of a device makes a new file object and every open of a key a
// new key body, so their holders, like every object's where the list gives
// no addresses, are found by name: each candidate (a handle of the object's
// type) is duplicated into this process and its name compared.
//
// Some of those queries can wait without end on the platform (a synchronous
// file with a read pending). So the candidates are looked at by threads of
// their own, and the thread that runs the search watches them: a query that
// has taken too long is left to finish on its own while a new thread goes
// on, and one that takes longer still is given up, its handle counted as not
// answering. The search's other slow calls, the reads of the handle list and
// of the process names and the name query of its own handle, run on threads
// of their own too, so that a stop is answered at once. Nothing the search
// runs on waits for a query without a limit, and a thread it walked away
// from holds only what is its own: a query's duplicated handle, a read's
// buffer, freed when the call comes back.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "namespace/handle_list.h"

// How far a search has got.
struct HolderProgress {
    bool listRead = false;       // the candidates are known
    std::size_t candidates = 0;  // handles of the object's type to look at
    std::size_t examined = 0;    // candidates looked at, answered or not
    std::size_t processes = 0;   // processes whose handles the search has reached
    bool finished = false;       // nothing changes any more
};

// Room for a name query's answer: the counted string and up to about 2000 characters.
struct NameBuffer {
    alignas(8) BYTE bytes[4096];
};

// The query each candidate, and the search's own handle, goes through: the
// name of a handle duplicated into this process, pointing into buffer; false
// when it gives none. skipPipes passes pipes over unasked. Tests put in one
// that does not answer.
using CandidateNameQuery = bool (*)(HANDLE copy, bool skipPipes, NameBuffer& buffer, UNICODE_STRING& name);
bool QueryCandidateName(HANDLE copy, bool skipPipes, NameBuffer& buffer, UNICODE_STRING& name);
extern CandidateNameQuery CandidateNames;

// A query that has taken detachAfterMs is left to finish on its own while a
// new thread goes on; at notAnsweringAfterMs it is given up.
struct QueryTimeLimits {
    DWORD detachAfterMs;
    DWORD notAnsweringAfterMs;
};
inline constexpr QueryTimeLimits kDefaultQueryTimeLimits = {100, 1000};
extern QueryTimeLimits QueryLimits;

// Threads the searches started that have not ended, those walked away from
// included, for tests: once none is left, nothing of any search is.
long LiveSearchThreads();

// One search, run by one thread (Execute) and read meanwhile by its owner;
// the threads it starts share nothing of it once Execute has returned.
class HolderSearchRun {
public:
    // Called after each change, under the run's lock, from the search's
    // threads: it must be quick and must not read the run.
    using ChangeCallback = void (*)(void* context);

    // Opens the object at path, with whatever access the object grants, on
    // the caller's thread; Execute searches.
    HolderSearchRun(const ObjectName& path, HandleListClass firstClass, ChangeCallback changed, void* context);
    HolderSearchRun(const HolderSearchRun&) = delete;
    HolderSearchRun& operator=(const HolderSearchRun&) = delete;
    ~HolderSearchRun();

    // Searches on the calling thread until done, or until stopEvent (which
    // may be null) is signalled, which it answers without waiting for any
    // platform call. Nothing of the run changes after it returns, and what
    // only the search needed is gone: the list, the names, the object's
    // handle and the processes' handles.
    void Execute(HANDLE stopEvent);

    // Calls reader(const HolderSearch& found, const HolderProgress& progress)
    // under the run's lock; the reader must be quick.
    template <typename Reader>
    void Read(Reader reader) const {
        Lock lock(*this);
        reader(found_, progress_);
    }

private:
    struct Runner;
    class Lock {
    public:
        explicit Lock(const HolderSearchRun& run) : section_(run.lock_) { EnterCriticalSection(&section_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        ~Lock() { LeaveCriticalSection(&section_); }

    private:
        CRITICAL_SECTION& section_;
    };
    enum class Outcome { Match, Other, Closed, DuplicateFailed, ProcessNotOpened };
    static void ReleaseRunner(Runner* runner) noexcept;
    using RunnerOwner = UniqueOwner<Runner*, ReleaseRunner>;

    void Search(HANDLE stopEvent);
    bool ReadList(HANDLE stopEvent);
    void SearchByAddress();
    void ChooseCandidates();
    void Watch(HANDLE stopEvent);
    bool StartRunner();
    bool GiveUp(Runner& runner);
    void EndRunners();
    void LetGo();
    static DWORD WINAPI RunCandidates(void* parameter);
    bool LookAtCandidates(Runner& runner);
    std::size_t TakeNext();
    void Record(std::size_t index, Outcome outcome, DWORD error);
    void NoteUninspected(DWORD processId, DWORD error);
    void Changed();

    mutable CRITICAL_SECTION lock_;
    ChangeCallback changed_;
    void* context_;
    HandleListClass firstClass_;
    std::string path_;
    std::wstring exact_;  // where path_ is only a visible form
    bool hasExact_;
    UniqueNtHandle object_;          // the search's own handle to the object
    UniqueWin32Handle runnerEnded_;  // set by each runner as it ends

    // Set before the runners start, only read afterwards; gone once the search is over.
    SystemHandleList list_;
    SystemHandle own_{};
    ProcessNames names_;
    std::vector<std::size_t> candidates_;  // entries of list_, by process
    std::wstring target_;                  // the name candidates must have
    bool skipPipes_ = false;

    // Under lock_.
    HolderSearch found_;
    HolderProgress progress_;
    std::size_t next_ = 0;  // the next candidate to take
    bool stopping_ = false;
    bool closed_ = false;   // changes are over
    std::vector<RunnerOwner> runners_;  // added to by the watching thread only
};

using HolderSearchOwner = std::unique_ptr<HolderSearchRun>;

// Runs a whole search on the calling thread: the holders by process id and
// handle value. Extended tries class 64 and then 16; Legacy reads class 16 only.
HolderSearch FindObjectHolders(const ObjectName& path, HandleListClass firstClass = HandleListClass::Extended);
