// Which processes hold handles to an object: the system's handle list, the
// image names of the processes, the matching of listed handles to one object
// by its address, and the record of what a search found. The search itself,
// which matches by name where addresses cannot, is holder_search's.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_owner.h"
#include "namespace/native_services.h"
#include "namespace/object_opener.h"

// The two classes of the system's handle list: the extended one (64) and the
// older one (16) of systems that lack it.
enum class HandleListClass { Extended, Legacy };

// One handle of the system's list, whichever class gave it.
struct SystemHandle {
    DWORD processId;          // only the low 16 bits in the older class
    ULONG_PTR handleValue;    // only the low 16 bits in the older class
    ULONG_PTR objectAddress;  // 0 where the platform does not give it
    ACCESS_MASK grantedAccess;
    USHORT typeIndex;         // the platform's number of the object type, not a row of ObjectTypeTable
};

// Where the blocks of InformationBuffer come from and go back to; tests count
// them, or put in an allocation that fails.
struct InformationBlockSource {
    HLOCAL (*allocate)(std::size_t size);
    void (*release)(HLOCAL block);
};
extern InformationBlockSource InformationBlocks;
void FreeInformationBlock(HLOCAL block) noexcept;  // through InformationBlocks
using UniqueInformationBlock = UniqueOwner<HLOCAL, FreeInformationBlock>;

// The platform call QuerySystemInformation makes; tests put in a slow one.
using SystemInformationProcedure = NTSTATUS (*)(ULONG informationClass, void* buffer, ULONG size, ULONG* needed);
NTSTATUS CallSystemInformation(ULONG informationClass, void* buffer, ULONG size, ULONG* needed);
extern SystemInformationProcedure SystemInformationQuery;

// A block for what a system information class returns. Lists of handles
// can run to tens of megabytes, so the block comes from an allocation that
// can fail and say so, where the program's own allocations end it.
class InformationBuffer {
public:
    InformationBuffer() = default;
    InformationBuffer(InformationBuffer&& other) noexcept
        : block_(std::move(other.block_)), size_(std::exchange(other.size_, 0)) {}
    InformationBuffer& operator=(InformationBuffer&& other) noexcept {
        block_ = std::move(other.block_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }

    // Frees the block held, then takes one of size bytes; false, holding
    // nothing, when none can be had.
    bool Allocate(std::size_t size);
    void Free();
    BYTE* Data() const { return static_cast<BYTE*>(block_.get()); }
    std::size_t Size() const { return size_; }

private:
    UniqueInformationBlock block_;
    std::size_t size_ = 0;
};

// The system's handle list as one class returned it, read entry by entry.
class SystemHandleList {
public:
    // Reads the list. On failure the list is empty and the status says why;
    // a list that would need more than kMaxBufferSize bytes is not read, nor
    // one whose stopEvent (which may be null) is signalled between two calls.
    NTSTATUS Read(HandleListClass listClass, HANDLE stopEvent = nullptr);
    // Takes a buffer in the layout of listClass; the count is bounded by what the buffer holds.
    void Assign(HandleListClass listClass, InformationBuffer buffer);

    HandleListClass Class() const { return class_; }
    std::size_t Count() const { return count_; }
    SystemHandle At(std::size_t index) const;
    // The entry of a handle of a process, if listed. The older class keeps
    // only the low 16 bits of process ids and handle values, and is compared on those.
    bool Find(DWORD processId, HANDLE handle, SystemHandle& found) const;

    static constexpr std::size_t kMaxBufferSize = 64u << 20;

private:
    HandleListClass class_ = HandleListClass::Extended;
    InformationBuffer buffer_;
    std::size_t count_ = 0;
};

// Calls a system information class into buffer, growing it from 64 KiB up to
// limit bytes while the platform asks for more room; kStatusNoMemory when a
// block cannot be had, kStatusCancelled once stopEvent (which may be null) is
// signalled before a call. On failure the buffer holds nothing.
NTSTATUS QuerySystemInformation(ULONG informationClass, InformationBuffer& buffer, std::size_t limit,
                                HANDLE stopEvent = nullptr);

// Image names of the running processes, by process id.
class ProcessNames {
public:
    // Reads the names, unless stopEvent (which may be null) is signalled first.
    NTSTATUS Read(HANDLE stopEvent = nullptr);
    // "(no name)" for a process without an image name (the idle process),
    // "(ended)" for one not running when the names were read, "(unknown)"
    // for every process when they could not be read.
    std::string Of(DWORD processId) const;

private:
    struct Entry {
        DWORD processId;
        std::string name;
    };
    std::vector<Entry> entries_;
};

// The handles of the list that refer to the object own refers to, found by
// type and address: those of other processes, and how many more own's
// process holds besides own itself. Meaningful only where own has an address.
struct AddressMatch {
    std::vector<SystemHandle> others;
    long ownProcessHandles = 0;
};
AddressMatch MatchByAddress(const SystemHandleList& list, const SystemHandle& own);

struct HandleHolder {
    DWORD processId;
    std::string processName;
    ULONG_PTR handleValue;
    ACCESS_MASK grantedAccess;
};

struct UninspectedProcess {
    DWORD processId;
    std::string processName;
    DWORD error;  // of opening it or of duplicating one of its handles
};

// A handle whose query did not answer in time; it may or may not refer to the object.
struct NotAnsweringHandle {
    DWORD processId;
    std::string processName;
    ULONG_PTR handleValue;
};

enum class HolderSearchResult {
    Done,
    ObjectNotOpened,     // the path opens nothing (any more)
    ListNotRead,         // neither class of the handle list could be read
    OwnHandleNotListed,  // the search's own handle is missing from the list
    NoThread,            // no thread could be started to look at the handles
};

// What a search found. The handles come in the order they were found while
// it runs; FindObjectHolders gives them by process id and handle value.
struct HolderSearch {
    HolderSearchResult result = HolderSearchResult::Done;
    NTSTATUS status = kStatusSuccess;  // of the list read, when it failed
    int typeRow = kTypeNotOpened;      // the row of ObjectTypeTable the object opened as
    const char* typeName = nullptr;    // the type it opened as: its row's, or another with a service of its own
    bool byAddress = false;            // matched by address rather than by name
    std::vector<HandleHolder> handles;            // other processes' handles
    std::vector<UninspectedProcess> uninspected;  // one entry per process
    std::vector<NotAnsweringHandle> notAnswering;
    long ownHandles = 0;      // this process's handles to the object, the search's own not included
    long handleCount = -1;    // the object's handles less the search's own, as the Details page counts; -1 unknown
    std::size_t examined = 0; // handles of the object's type looked at, answered or not

    std::size_t ProcessCount() const;
};
