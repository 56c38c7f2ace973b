// Which processes hold handles to an object: the system's handle list, the
// image names of the processes, and the matching of listed handles to one
// object, by its address where the list gives addresses and by its name
// otherwise.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "namespace/native_services.h"
#include "namespace/object_opener.h"

// The two classes of the system's handle list: the extended one (64) and the
// older one (16) of systems that lack it.
enum class HandleListClass { Extended, Legacy };

// One handle of the system's list, whichever class gave it.
struct SystemHandle {
    DWORD processId;
    ULONG_PTR handleValue;    // only the low 16 bits in the older class
    ULONG_PTR objectAddress;  // 0 where the platform does not give it
    ACCESS_MASK grantedAccess;
    USHORT typeIndex;         // the platform's number of the object type, not a row of ObjectTypeTable
};

// The system's handle list as one class returned it, read entry by entry.
class SystemHandleList {
public:
    // Reads the list. On failure the list is empty and the status says why;
    // a list that would need more than kMaxBufferSize bytes is not read.
    NTSTATUS Read(HandleListClass listClass);
    // Takes a buffer in the layout of listClass; the count is bounded by what the buffer holds.
    void Assign(HandleListClass listClass, std::vector<BYTE> buffer);

    HandleListClass Class() const { return class_; }
    std::size_t Count() const { return count_; }
    SystemHandle At(std::size_t index) const;
    // The entry of a handle of a process, if listed. The older class keeps
    // only the low 16 bits of handle values, and is compared on those.
    bool Find(DWORD processId, HANDLE handle, SystemHandle& found) const;

    static constexpr std::size_t kMaxBufferSize = 64u << 20;

private:
    HandleListClass class_ = HandleListClass::Extended;
    std::vector<BYTE> buffer_;
    std::size_t count_ = 0;
};

// Calls a system information class into buffer, growing it from 64 KiB up to
// limit bytes while the platform asks for more room.
NTSTATUS QuerySystemInformation(ULONG informationClass, std::vector<BYTE>& buffer, std::size_t limit);

// Image names of the running processes, by process id.
class ProcessNames {
public:
    NTSTATUS Read();
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

enum class HolderSearchResult {
    Done,
    ObjectNotOpened,     // the path opens nothing (any more)
    ListNotRead,         // neither class of the handle list could be read
    OwnHandleNotListed,  // the search's own handle is missing from the list
};

struct HolderSearch {
    HolderSearchResult result = HolderSearchResult::Done;
    NTSTATUS status = kStatusSuccess;  // of the list read, when it failed
    int typeRow = kTypeNotOpened;      // the row of ObjectTypeTable the object opened as
    bool byAddress = false;            // matched by address rather than by name
    std::vector<HandleHolder> handles;            // other processes' handles, by process id and handle value
    std::vector<UninspectedProcess> uninspected;  // by process id
    long ownHandles = 0;      // this process's handles to the object, the search's own not included
    long handleCount = -1;    // the object's handles less the search's own, as the Details page counts; -1 unknown
    std::size_t examined = 0; // handles of the object's type whose name was compared

    std::size_t ProcessCount() const;
};

// Finds every handle that other processes hold to the object at path. The
// search opens the object once itself and learns its type number and address
// from that handle's entry; only handles of that type are looked at. Without
// addresses, each candidate is duplicated into this process, its name
// compared with the object's, and closed again; a process that cannot be
// opened, or whose handle cannot be duplicated, is recorded and passed over.
// Extended tries class 64 and then 16; Legacy reads class 16 only.
HolderSearch FindObjectHolders(const char* path, HandleListClass firstClass = HandleListClass::Extended);
