// Rights named as each type of object names its own: an event's 0x2 is
// Modify State, a section's 0x2 Map Write, a key's 0x2 Set Value. The
// standard rights are every type's. A bit no name covers shows as hex.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

struct NamedRight {
    ACCESS_MASK mask;
    const char* name;
};

// The rights the type named typeName gives its objects, lowest bit first;
// empty for a type this program has no names for. "Device" objects open as
// files and share the file rights.
std::span<const NamedRight> SpecificRightsOf(std::string_view typeName);

// The standard rights, then ACCESS_SYSTEM_SECURITY, MAXIMUM_ALLOWED and the
// generic rights, lowest bit first.
std::span<const NamedRight> StandardRights();

// A mask as the pages write it: "0x00100001".
std::string FormatAccessMask(ACCESS_MASK mask);

// The names of the rights in mask, the type's own first, joined by ", ";
// bits no name covers follow as one hex mask.
std::string NameRights(ACCESS_MASK mask, std::string_view typeName);

// The whole mask in hex, then its rights by name: "0x00100002 (Modify State,
// Synchronize)"; just the hex for 0.
std::string DescribeAccess(ACCESS_MASK mask, std::string_view typeName);
