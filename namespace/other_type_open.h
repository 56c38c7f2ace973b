// Opening objects of the types outside the nine rows that have open services
// of their own: completion ports, jobs and keyed events. The property sheet's
// opener knows none of them; the Handles, Access and Type pages, Find
// Accessible and the snapshots reach them through these.
#pragma once

#include <windows.h>

#include <string_view>

#include "namespace/native_services.h"
#include "namespace/object_opener.h"

struct OtherType {
    const char* typeName;
    NtOpenObjectProc service;  // null: found in ntdll by lateName at run time
    const char* lateName;
    ACCESS_MASK queryRight;    // 0: the type has none
};

inline constexpr NTSTATUS kStatusProcedureNotFound = static_cast<NTSTATUS>(0xC000007A);

inline constexpr OtherType kOtherTypes[] = {
    {"IoCompletion", NtOpenIoCompletion, nullptr, kQueryRight},
    {"Job", nullptr, "NtOpenJobObject", kJobObjectQuery},
    {"KeyedEvent", nullptr, "NtOpenKeyedEvent", 0},
};

// The entry for a type name as a directory lists it; null for any other.
const OtherType* OtherTypeNamed(std::string_view typeName);

// Opens with the type's own service, asking for exactly access;
// kStatusProcedureNotFound where this system's ntdll lacks the service.
NTSTATUS OpenAsOtherType(const OtherType& type, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK access, HANDLE* handle);
NTSTATUS OpenAsOtherType(const OtherType& type, const ObjectName& name, ACCESS_MASK access, HANDLE* handle);

// The first of the other types whose service finds the object at name: its
// handle where the access was granted, else that service's refusal. type is
// null (and status a type mismatch) where no service found the object.
struct OtherTypeOpen {
    UniqueNtHandle handle;
    NTSTATUS status = kStatusObjectTypeMismatch;
    const OtherType* type = nullptr;
};
OtherTypeOpen OpenAsSomeOtherType(const ObjectName& name, ACCESS_MASK access);
