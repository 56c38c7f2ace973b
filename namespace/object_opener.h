// Opening an object by its path with the native open service of its type.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/path_block.h"
#include "namespace/native_services.h"

// Rows of ObjectTypeTable; the row number is the type index.
enum ObjectTypeIndex : int {
    kTypeSymbolicLink = 0,
    kTypeDirectory = 1,
    kTypeMutant = 2,
    kTypeSection = 3,
    kTypeEvent = 4,
    kTypeSemaphore = 5,
    kTypeKey = 6,
    kTypeTimer = 7,
    kTypeDevice = 8,
    kObjectTypeCount = 9,
    kTypeNotOpened = 9,  // not a row: nothing could be opened
};

using OpenServiceProc = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);

struct ObjectTypeRow {
    const char* typeName;
    OpenServiceProc openService;  // null for "Device", which is opened with NtOpenFile
};

// The nine types the program can open, in the order OpenAnyObject tries them.
inline constexpr ObjectTypeRow ObjectTypeTable[kObjectTypeCount] = {
    {"SymbolicLink", NtOpenSymbolicLinkObject},
    {"Directory", NtOpenDirectoryObject},
    {"Mutant", NtOpenMutant},
    {"Section", NtOpenSection},
    {"Event", NtOpenEvent},
    {"Semaphore", NtOpenSemaphore},
    {"Key", NtOpenKey},
    {"Timer", NtOpenTimer},
    {"Device", nullptr},
};

inline constexpr ACCESS_MASK kReadControl = 0x20000;
inline constexpr ACCESS_MASK kWriteDac = 0x40000;
inline constexpr ACCESS_MASK kWriteOwner = 0x80000;
inline constexpr ACCESS_MASK kAccessSystemSecurity = 0x1000000;
inline constexpr ACCESS_MASK kGenericRead = 0x80000000;

// The path an open goes by: the ANSI path as the program shows it and, where
// no ANSI path carries the object's name, its exact UTF-16 path, which every
// open then takes instead: the object named, and no namesake.
struct ObjectName {
    const char* path = nullptr;
    const std::wstring* exact = nullptr;

    ObjectName() = default;
    ObjectName(const char* ansiPath) : path(ansiPath) {}  // an ANSI path names its object as it stands
    ObjectName(const char* shown, const std::wstring* exactPath) : path(shown), exact(exactPath) {}
    // The exact path, or the ANSI path widened as the opener widens it.
    std::wstring Wide() const;
};

// The name a path block stands for: its text, and the exact path it carries.
inline ObjectName NameOfBlock(const char* block) { return {block, ExactPathOf(block)}; }

// Type name of a row, or null for an index outside the table.
const char* ObjectTypeName(int typeIndex);
// The row of a type name as a directory lists it, or kTypeNotOpened for a
// type none of the rows opens.
int ObjectTypeRowOf(std::string_view typeName);

// The rights an open handle was granted, from the object manager's basic
// information on it.
NTSTATUS QueryGrantedAccess(HANDLE handle, ACCESS_MASK& granted);

// Opens path as the type of one row. Rows 0 and 1 add their query right, rows
// 0 to 7 always add READ_CONTROL, row 8 only when wantReadControl is set.
// Returns the service's status unchanged; on 0 *handle is the caller's.
NTSTATUS OpenObjectByType(int typeIndex, const ObjectName& name, ACCESS_MASK desiredAccess,
                          bool wantReadControl, HANDLE* handle);

// The same open by an exact UTF-16 path, which may hold what no ANSI path carries.
NTSTATUS OpenObjectByTypeExact(int typeIndex, std::wstring_view path, ACCESS_MASK desiredAccess,
                               bool wantReadControl, HANDLE* handle);

// The same open for an object named relative to an open directory: reaches an
// entry by its own UTF-16 name, which no ANSI path may be able to carry.
NTSTATUS OpenObjectByTypeIn(int typeIndex, HANDLE directory, const UNICODE_STRING& name, ACCESS_MASK desiredAccess,
                            bool wantReadControl, HANDLE* handle);

// The same opens for an object named by attributes the caller fills (an exact
// path, or a name relative to an open directory): the first adds rights as
// OpenObjectByType does, the second asks for exactly the access given.
NTSTATUS OpenObjectByTypeWith(int typeIndex, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK desiredAccess,
                              bool wantReadControl, HANDLE* handle);
NTSTATUS OpenObjectExactlyWith(int typeIndex, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK access, HANDLE* handle);

struct OpenedObject {
    UniqueNtHandle handle;
    int typeIndex = kTypeNotOpened;
    explicit operator bool() const { return typeIndex != kTypeNotOpened; }
};

// Tries every row in table order, then the path's Win32 device name; the first
// success decides the type. A link that refuses the access ends the tries:
// the later rows' services would open the link's target instead. typeIndex
// kTypeNotOpened means nothing is open.
OpenedObject OpenAnyObject(const ObjectName& name, ACCESS_MASK desiredAccess);

// An open with exactly the access asked for: the object and its row, or the
// status of the attempt and the row whose service found the object but
// refused the access (kTypeNotOpened when none did).
struct ExactOpen {
    OpenedObject opened;
    NTSTATUS status = kStatusSuccess;
    int refusingRow = kTypeNotOpened;
};

// The same walk as OpenAnyObject with nothing added to access: with
// MAXIMUM_ALLOWED, an added right the object withholds would fail the open.
// A link that refuses the access ends it too, with refusingRow the link's.
ExactOpen OpenAnyObjectExactly(const ObjectName& name, ACCESS_MASK access);

// Opens path as the type of one row with exactly the access asked for; a
// Device also through its Win32 device name. On 0 *handle is the caller's.
NTSTATUS OpenObjectExactlyAs(int typeIndex, const ObjectName& name, ACCESS_MASK access, HANDLE* handle);
// Its type, for the places where tests put in an open that answers otherwise.
using RowOpenProc = NTSTATUS (*)(int typeIndex, const ObjectName& name, ACCESS_MASK access, HANDLE* handle);
