#include "namespace/object_details.h"

#include <cstdio>

#include "namespace/directory_walk.h"
#include "namespace/object_opener.h"

namespace {

constexpr char kTrue[] = "TRUE";
constexpr char kFalse[] = "FALSE";

std::string FormatNumber(long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lld", value);
    return text;
}

// The state query of one type, through a handle that has the query right.
template <typename Record, auto Query>
bool QueryState(HANDLE handle, int typeIndex, const ObjectName& path, Record& record) {
    if (Query(handle, 0, &record, sizeof record, nullptr) == kStatusSuccess) return true;
    if (path.path == nullptr) return false;
    HANDLE queryHandle = nullptr;
    if (OpenObjectByType(typeIndex, path, kQueryRight, true, &queryHandle) != kStatusSuccess) return false;
    UniqueNtHandle owner(queryHandle);
    return Query(owner.get(), 0, &record, sizeof record, nullptr) == kStatusSuccess;
}

TypeInfoSection UnknownSection(const char* caption, const char* firstLabel, const char* secondLabel) {
    return {caption, firstLabel, kUnknownValue, secondLabel, kUnknownValue};
}

TypeInfoSection SymbolicLinkSection(HANDLE handle, const OBJECT_BASIC_INFORMATION* basic) {
    TypeInfoSection section = UnknownSection("Symbolic Link Info", "Creation Time:", "Link:");
    if (basic != nullptr) section.firstValue = FormatUtcCreationTime(basic->CreateTime);
    std::string target;
    if (ReadSymbolicLinkTarget(handle, target) == kStatusSuccess) section.secondValue = target;
    return section;
}

TypeInfoSection SemaphoreSection(HANDLE handle, const ObjectName& path) {
    TypeInfoSection section = UnknownSection("Semaphore Info", "Count:", "Limit:");
    SemaphoreInformation state{};
    if (QueryState<SemaphoreInformation, NtQuerySemaphore>(handle, kTypeSemaphore, path, state)) {
        section.firstValue = FormatNumber(state.currentCount);
        section.secondValue = FormatNumber(state.maximumCount);
    }
    return section;
}

TypeInfoSection EventSection(HANDLE handle, const ObjectName& path) {
    TypeInfoSection section = UnknownSection("Event Info", "Type:", "Signaled:");
    EventInformation state{};
    if (QueryState<EventInformation, NtQueryEvent>(handle, kTypeEvent, path, state)) {
        section.firstValue = state.eventType == 0 ? "Notification" : "Synchronization";
        section.secondValue = state.eventState != 0 ? kTrue : kFalse;
    }
    return section;
}

TypeInfoSection MutantSection(HANDLE handle, const ObjectName& path) {
    TypeInfoSection section = UnknownSection("Mutant Info", "Held:", "Abandoned:");
    MutantInformation state{};
    if (QueryState<MutantInformation, NtQueryMutant>(handle, kTypeMutant, path, state)) {
        // A free mutant counts 1; each acquisition by its owner lowers the count.
        section.firstValue = state.currentCount <= 0 ? kTrue : kFalse;
        section.secondValue = state.abandoned != 0 ? kTrue : kFalse;
    }
    return section;
}

}  // namespace

std::string FormatCreationTime(const SYSTEMTIME& localTime) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d:%02d, %d/%d/%d", localTime.wHour, localTime.wMinute,
                  localTime.wSecond, localTime.wMonth, localTime.wDay, localTime.wYear);
    return text;
}

std::string FormatUtcCreationTime(const LARGE_INTEGER& utcTime) {
    // A creation time of 0 means the platform does not keep one for links.
    if (utcTime.QuadPart == 0) return kUnknownValue;
    FILETIME utc{utcTime.LowPart, static_cast<DWORD>(utcTime.HighPart)};
    FILETIME local{};
    SYSTEMTIME time{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return kUnknownValue;
    return FormatCreationTime(time);
}

ObjectDetails QueryObjectDetails(HANDLE handle, int typeIndex, const ObjectName& path) {
    ObjectDetails details;
    OBJECT_BASIC_INFORMATION basic{};
    const bool haveBasic =
        NtQueryObject(handle, ObjectBasicInformation, &basic, sizeof basic, nullptr) == kStatusSuccess;
    if (haveBasic) {
        details.permanent = (basic.Attributes & kObjPermanent) != 0;
        // The counts include the handle and reference this query holds itself.
        details.handles = FormatNumber(static_cast<long long>(basic.HandleCount) - 1);
        details.references = FormatNumber(static_cast<long long>(basic.PointerCount) - 1);
        details.paged = FormatNumber(basic.PagedPoolUsage);
        details.nonPaged = FormatNumber(basic.NonPagedPoolUsage);
    } else {
        details.handles = details.references = details.paged = details.nonPaged = kUnknownValue;
    }

    switch (typeIndex) {
    case kTypeSymbolicLink:
        details.section = SymbolicLinkSection(handle, haveBasic ? &basic : nullptr);
        break;
    case kTypeSemaphore:
        details.section = SemaphoreSection(handle, path);
        break;
    case kTypeEvent:
        details.section = EventSection(handle, path);
        break;
    case kTypeMutant:
        details.section = MutantSection(handle, path);
        break;
    default:
        break;
    }
    return details;
}
