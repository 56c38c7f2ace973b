// An open object's basic information and type-specific state, as display texts.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "namespace/object_opener.h"

struct TypeInfoSection {
    std::string caption;
    std::string firstLabel;
    std::string firstValue;
    std::string secondLabel;
    std::string secondValue;
};

struct ObjectDetails {
    bool permanent = false;
    std::string handles;
    std::string references;
    std::string paged;
    std::string nonPaged;
    std::optional<TypeInfoSection> section;
};

// Shown in place of a value that the platform would not give.
inline constexpr char kUnknownValue[] = "Unknown";

// Reads the details through handle, opened as row typeIndex. The state queries
// of mutants, events and semaphores need the type's query right: when the
// handle lacks it, path is opened again as the same row with that right.
// The handle is neither closed nor kept.
ObjectDetails QueryObjectDetails(HANDLE handle, int typeIndex, const ObjectName& path);

// "%d:%02d:%02d, %d/%d/%d" of the local time: hour, minute, second, month, day, year.
std::string FormatCreationTime(const SYSTEMTIME& localTime);
// A creation time in UTC (100-nanosecond units since 1601) as FormatCreationTime
// shows it in local time; kUnknownValue for 0 or a time that does not convert.
std::string FormatUtcCreationTime(const LARGE_INTEGER& utcTime);
