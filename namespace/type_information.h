// The object manager's figures for a type of object: how many objects and
// handles of the type exist, which rights it knows and how the generic rights
// map onto them. Read from an open handle of the type, or, for a type whose
// objects cannot be opened, from the platform's list of all types by name.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "namespace/native_services.h"

struct ObjectTypeFigures {
    std::string typeName;
    ULONG objects = 0;
    ULONG handles = 0;
    ULONG peakObjects = 0;  // high-water marks; 0 where the platform keeps none
    ULONG peakHandles = 0;
    ULONG invalidAttributes = 0;
    GENERIC_MAPPING genericMapping{};
    ACCESS_MASK validAccessMask = 0;
    bool securityRequired = false;
    bool maintainsHandleCount = false;
    ULONG poolType = 0;  // 0 non-paged, 1 paged, and the platform's further pool kinds
};

// The figures of the type of the object that handle refers to.
NTSTATUS QueryObjectTypeFigures(HANDLE handle, ObjectTypeFigures& figures);

// The figures of the type named typeName, compared without regard to case,
// from the list of every type. kStatusNotFound when the list holds
// no such type.
NTSTATUS QueryTypeFiguresByName(std::string_view typeName, ObjectTypeFigures& figures);

// Finds typeName in a list of every type as the platform lays it out (a count,
// then one record per type, each followed by its name's characters and
// aligned to a pointer). size bounds every read; false when the type is
// missing or the list is malformed.
bool FindTypeInList(const BYTE* list, std::size_t size, std::string_view typeName, ObjectTypeFigures& figures);
