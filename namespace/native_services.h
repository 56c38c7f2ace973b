// The object manager's native services of ntdll, with the records they fill.
// Every native declaration of the program lives here; callers get NTSTATUS back
// and treat exactly 0 as success.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <string>

#include "common/unique_owner.h"

inline constexpr NTSTATUS kStatusSuccess = 0;
inline constexpr NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005);
inline constexpr NTSTATUS kStatusNoMoreEntries = static_cast<NTSTATUS>(0x8000001A);
inline constexpr NTSTATUS kStatusAccessDenied = static_cast<NTSTATUS>(0xC0000022);
inline constexpr NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
inline constexpr NTSTATUS kStatusNoMemory = static_cast<NTSTATUS>(0xC0000017);
inline constexpr NTSTATUS kStatusNameTooLong = static_cast<NTSTATUS>(0xC0000106);
inline constexpr NTSTATUS kStatusCancelled = static_cast<NTSTATUS>(0xC0000120);
inline constexpr NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
inline constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
inline constexpr NTSTATUS kStatusNotFound = static_cast<NTSTATUS>(0xC0000225);
inline constexpr NTSTATUS kStatusNotImplemented = static_cast<NTSTATUS>(0xC0000002);
inline constexpr NTSTATUS kStatusObjectTypeMismatch = static_cast<NTSTATUS>(0xC0000024);
inline constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
inline constexpr NTSTATUS kStatusObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);

inline constexpr ACCESS_MASK kQueryRight = 0x1;  // DIRECTORY_QUERY, SYMBOLIC_LINK_QUERY, *_QUERY_STATE
inline constexpr ULONG kObjCaseInsensitive = 0x40;
inline constexpr ULONG kObjPermanent = 0x10;
inline constexpr ACCESS_MASK kMaximumAllowed = 0x02000000;
inline constexpr ACCESS_MASK kJobObjectQuery = 0x4;  // the query right of jobs; the other types' is 0x1

extern "C" {
NTSTATUS NTAPI NtOpenSymbolicLinkObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtOpenDirectoryObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtOpenMutant(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtOpenSection(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtOpenEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtOpenSemaphore(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtOpenKey(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtOpenTimer(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtQueryDirectoryObject(HANDLE, PVOID, ULONG, BOOLEAN, BOOLEAN, PULONG, PULONG);
NTSTATUS NTAPI NtQuerySymbolicLinkObject(HANDLE, PUNICODE_STRING, PULONG);
NTSTATUS NTAPI NtQuerySemaphore(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSTATUS NTAPI NtQueryEvent(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSTATUS NTAPI NtQueryMutant(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSTATUS NTAPI NtQuerySecurityObject(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, ULONG, PULONG);
NTSTATUS NTAPI NtSetSecurityObject(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
NTSTATUS NTAPI RtlUnicodeToMultiByteN(PCHAR, ULONG, PULONG, PCWCH, ULONG);
NTSTATUS NTAPI RtlMultiByteToUnicodeN(PWCH, ULONG, PULONG, const CHAR*, ULONG);
BOOLEAN NTAPI RtlEqualUnicodeString(const UNICODE_STRING*, const UNICODE_STRING*, BOOLEAN);
WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR);
// NtQuerySystemInformation and NtQueryObject come with <winternl.h>; their
// classes and records for the handle list are below.

// The Type page's opens and queries beyond the nine types; all are in NT 4.0's
// ntdll. NtQueryVolumeInformationFile comes with <winternl.h>.
NTSTATUS NTAPI NtOpenIoCompletion(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtQueryIoCompletion(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSTATUS NTAPI NtQuerySection(HANDLE, ULONG, PVOID, SIZE_T, PSIZE_T);
NTSTATUS NTAPI NtQueryTimer(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSTATUS NTAPI NtQueryKey(HANDLE, ULONG, PVOID, ULONG, PULONG);

// Creation services: used by the tests and the benchmark to build scratch namespaces.
NTSTATUS NTAPI NtCreateDirectoryObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtCreateSymbolicLinkObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PUNICODE_STRING);
NTSTATUS NTAPI NtCreateEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG, BOOLEAN);
NTSTATUS NTAPI NtCreateMutant(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, BOOLEAN);
NTSTATUS NTAPI NtCreateSemaphore(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, LONG, LONG);
NTSTATUS NTAPI NtCreateTimer(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG);
NTSTATUS NTAPI NtCreateSection(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PLARGE_INTEGER, ULONG, ULONG, HANDLE);
NTSTATUS NTAPI NtReleaseMutant(HANDLE, PLONG);
NTSTATUS NTAPI NtSetTimer(HANDLE, PLARGE_INTEGER, PVOID, PVOID, BOOLEAN, LONG, PBOOLEAN);
NTSTATUS NTAPI NtCreateIoCompletion(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG);
NTSTATUS NTAPI NtSetIoCompletion(HANDLE, ULONG_PTR, ULONG_PTR, NTSTATUS, ULONG_PTR);
NTSTATUS NTAPI NtCreateJobObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSTATUS NTAPI NtMakeTemporaryObject(HANDLE);
}

// The entry record that a single-entry directory query places at the start of
// its buffer; the characters of both strings lie further on in the same buffer.
struct DirectoryEntry {
    UNICODE_STRING name;
    UNICODE_STRING typeName;
};

// Class 0 records of the state queries.
struct SemaphoreInformation {
    LONG currentCount;
    LONG maximumCount;
};
struct EventInformation {
    ULONG eventType;  // 0: notification event
    LONG eventState;  // not 0: signalled
};
struct MutantInformation {
    LONG currentCount;
    BOOLEAN ownedByCaller;
    BOOLEAN abandoned;
    BYTE reserved[2];
};

// Services newer than NT 4.0, found in ntdll by name at run time.
using NtOpenObjectProc = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);   // NtOpenJobObject, NtOpenKeyedEvent
using NtQueryInformationJobObjectProc = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using RtlGetVersionProc = NTSTATUS(NTAPI*)(PRTL_OSVERSIONINFOW);  // since 2000; unlike GetVersionEx, it tells the truth
// An ntdll export by name, or null where this system's ntdll lacks it.
template <typename Proc>
Proc NtdllProcedure(const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// Class 0 of NtQuerySection.
struct SectionBasicInformation {
    PVOID baseAddress;
    ULONG allocationAttributes;  // the SEC_ flags the section was made with
    LARGE_INTEGER maximumSize;
};
// Class 1 of NtQuerySection, an image section's header facts; the fields read
// lie where NT 4.0 put them.
struct SectionImageInformation {
    PVOID transferAddress;  // the entry point
    ULONG zeroBits;
    SIZE_T maximumStackSize;
    SIZE_T committedStackSize;
    ULONG subsystemType;
    USHORT subsystemMinorVersion;
    USHORT subsystemMajorVersion;
    ULONG reserved1;
    USHORT imageCharacteristics;
    USHORT dllCharacteristics;
    USHORT machine;
    BYTE reserved2[2];
    ULONG reserved3[3];
};
// Class 0 of NtQueryTimer: time to the due time, in 100-nanosecond units.
struct TimerInformation {
    LARGE_INTEGER remainingTime;
    BOOLEAN signalled;
};
// Class 0 of NtQueryIoCompletion.
struct IoCompletionInformation {
    LONG depth;  // entries queued
};
// Class 2 of NtQueryKey; the class name's characters follow.
struct KeyFullInformation {
    LARGE_INTEGER lastWriteTime;
    ULONG titleIndex;
    ULONG classOffset;
    ULONG classLength;
    ULONG subKeys;
    ULONG maxNameLength;
    ULONG maxClassLength;
    ULONG values;
    ULONG maxValueNameLength;
    ULONG maxValueDataLength;
};
inline constexpr ULONG kSectionBasicInformation = 0;
inline constexpr ULONG kSectionImageInformation = 1;
inline constexpr ULONG kKeyFullInformation = 2;
inline constexpr ULONG kKeyNameInformation = 3;  // a byte count, then the full name; since XP
inline constexpr ULONG kJobBasicAccountingInformation = 1;  // JOBOBJECT_BASIC_ACCOUNTING_INFORMATION
inline constexpr ULONG kJobBasicLimitInformation = 2;       // JOBOBJECT_BASIC_LIMIT_INFORMATION

static_assert(sizeof(void*) != 4 || sizeof(SectionBasicInformation) == 16);
static_assert(sizeof(void*) != 4 || sizeof(SectionImageInformation) == 48);
static_assert(sizeof(void*) != 8 || sizeof(SectionImageInformation) == 64);
static_assert(offsetof(SectionImageInformation, subsystemType) == 4 * sizeof(void*));
static_assert(offsetof(SectionImageInformation, imageCharacteristics) == 4 * sizeof(void*) + 12);
static_assert(sizeof(TimerInformation) == 16);
static_assert(offsetof(KeyFullInformation, subKeys) == 20 && offsetof(KeyFullInformation, values) == 32);
static_assert(offsetof(JOBOBJECT_BASIC_ACCOUNTING_INFORMATION, TotalProcesses) == 36);
static_assert(offsetof(JOBOBJECT_BASIC_LIMIT_INFORMATION, LimitFlags) == 16);

static_assert(sizeof(SemaphoreInformation) == 8);
static_assert(sizeof(EventInformation) == 8);
static_assert(sizeof(MutantInformation) == 8 && offsetof(MutantInformation, abandoned) == 5);
static_assert(sizeof(OBJECT_BASIC_INFORMATION) == 56);
static_assert(offsetof(OBJECT_BASIC_INFORMATION, HandleCount) == 8);
static_assert(offsetof(OBJECT_BASIC_INFORMATION, CreateTime) == 48);
// The 32-bit layouts are fixed; the 64-bit ones follow from pointer size.
static_assert(sizeof(void*) != 4 || sizeof(OBJECT_ATTRIBUTES) == 24);
static_assert(sizeof(void*) != 4 || sizeof(DirectoryEntry) == 16);
static_assert(sizeof(DirectoryEntry) == 2 * sizeof(UNICODE_STRING));

// Classes of NtQuerySystemInformation and NtQueryObject that the handle list uses.
inline constexpr ULONG kSystemProcessInformation = 5;
inline constexpr ULONG kSystemHandleInformation = 16;          // every system since NT 3.5
inline constexpr ULONG kSystemExtendedHandleInformation = 64;  // full-width values, since XP
inline constexpr ULONG kObjectNameInformation = 1;
inline constexpr ULONG kObjectTypeInformation = 2;
inline constexpr ULONG kObjectTypesInformation = 3;  // every type, for types whose objects cannot be opened

// The record of classes 2 and 3 of NtQueryObject; in class 3 each record is
// followed by its name's characters, and the next record by pointer alignment.
using ObjectTypeRecord = OBJECT_TYPE_INFORMATION;
static_assert(sizeof(void*) != 4 || sizeof(ObjectTypeRecord) == 96);
static_assert(sizeof(void*) != 8 || sizeof(ObjectTypeRecord) == 104);
static_assert(offsetof(ObjectTypeRecord, GenericMapping) == sizeof(UNICODE_STRING) + 13 * sizeof(ULONG));
static_assert(offsetof(ObjectTypeRecord, PoolType) == offsetof(ObjectTypeRecord, ValidAccessMask) + 8);

// One handle of class 64. objectAddress is the object's kernel address, or 0
// where the platform does not give it to the caller.
struct SystemHandleEntryEx {
    PVOID objectAddress;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ACCESS_MASK grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT typeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};
struct SystemHandleTableEx {
    ULONG_PTR handleCount;
    ULONG_PTR reserved;
    SystemHandleEntryEx handles[1];
};

// One handle of class 16: a 16-bit process id with the 16-bit index of the
// stack trace that made the handle beside it, an 8-bit type index, 16-bit
// handle values.
struct SystemHandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR typeIndex;
    UCHAR handleAttributes;
    USHORT handleValue;
    PVOID objectAddress;
    ACCESS_MASK grantedAccess;
};
struct SystemHandleTable {
    ULONG handleCount;
    SystemHandleEntry handles[1];
};

// The head of a class 5 record, the same on every version; the threads follow.
struct SystemProcessRecord {
    ULONG nextEntryOffset;  // 0 on the last record
    ULONG threadCount;
    LARGE_INTEGER reserved[6];
    UNICODE_STRING imageName;
    LONG basePriority;
    HANDLE processId;
};

static_assert(sizeof(void*) != 4 || sizeof(SystemHandleEntryEx) == 28);
static_assert(sizeof(void*) != 8 || sizeof(SystemHandleEntryEx) == 40);
static_assert(offsetof(SystemHandleTableEx, handles) == 2 * sizeof(ULONG_PTR));
static_assert(sizeof(void*) != 4 || sizeof(SystemHandleEntry) == 16);
static_assert(sizeof(void*) != 8 || sizeof(SystemHandleEntry) == 24);
static_assert(offsetof(SystemHandleEntry, typeIndex) == 4 && offsetof(SystemHandleEntry, handleValue) == 6);
static_assert(offsetof(SystemHandleEntry, objectAddress) == 8);
static_assert(offsetof(SystemHandleEntry, grantedAccess) == 8 + sizeof(void*));
static_assert(offsetof(SystemHandleTable, handles) == sizeof(void*));
static_assert(offsetof(SystemProcessRecord, imageName) == 56);
static_assert(sizeof(void*) != 4 || offsetof(SystemProcessRecord, processId) == 68);
static_assert(sizeof(void*) != 8 || offsetof(SystemProcessRecord, processId) == 80);

namespace native_detail {
inline void CloseNtHandle(HANDLE handle) noexcept { NtClose(handle); }
}
// Owns an object handle; NtClose also closes the handles of CreateFileA.
using UniqueNtHandle = UniqueOwner<HANDLE, native_detail::CloseNtHandle>;

// A counted UTF-16 string allocated by the ANSI conversion, freed with it.
class CountedUnicode {
public:
    CountedUnicode() noexcept = default;
    CountedUnicode(const CountedUnicode&) = delete;
    CountedUnicode& operator=(const CountedUnicode&) = delete;
    ~CountedUnicode() { Reset(); }
    UNICODE_STRING* Get() noexcept { return allocated_ ? &text_ : nullptr; }
    // Converts an ANSI string; on failure nothing is held and nothing will be freed.
    NTSTATUS AssignAnsi(const char* text) noexcept;
    void Reset() noexcept;

private:
    UNICODE_STRING text_{};
    bool allocated_ = false;
};

// A NUL-terminated ANSI string allocated by the UTF-16 conversion, freed with it.
class CountedAnsi {
public:
    CountedAnsi() noexcept = default;
    CountedAnsi(const CountedAnsi&) = delete;
    CountedAnsi& operator=(const CountedAnsi&) = delete;
    ~CountedAnsi() { Reset(); }
    const char* Get() const noexcept { return allocated_ ? text_.Buffer : nullptr; }
    NTSTATUS AssignUnicode(const UNICODE_STRING& text) noexcept;
    void Reset() noexcept;

private:
    ANSI_STRING text_{};
    bool allocated_ = false;
};

// Converts counted UTF-16 to ANSI through the ANSI code page, into a reusable string.
NTSTATUS ConvertToAnsi(const UNICODE_STRING& text, std::string& out);

// True when ansi widens back to exactly text: the code page holds every character.
bool IsExactAnsi(const UNICODE_STRING& text, const std::string& ansi);

// Fills object attributes for an absolute, case-insensitive name.
OBJECT_ATTRIBUTES MakeObjectAttributes(UNICODE_STRING* name, ULONG extraAttributes = 0);

// Counts of the namespace calls the program makes, for tests and benchmarks.
struct NamespaceCallCounts {
    long opens;              // typed opens and device-name opens
    long directoryQueries;   // single-entry directory queries
    long enumerations;       // directories opened for a walk
    long holderSearches;     // searches of the system's handle list for an object's handles
};
NamespaceCallCounts& NamespaceCounters();
