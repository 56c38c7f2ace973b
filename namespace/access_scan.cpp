#include "namespace/access_scan.h"

#include <cstring>

#include "namespace/holder_search.h"
#include "namespace/object_opener.h"
#include "namespace/type_information.h"

namespace {

constexpr ACCESS_MASK kSpecificRights = 0x0000FFFF;
constexpr ACCESS_MASK kDelete = 0x00010000;

}  // namespace

ACCESS_MASK ModifyRightsOf(const GENERIC_MAPPING& mapping) { return mapping.GenericWrite & kSpecificRights; }

ACCESS_MASK WantedRights(ChangeRight right, const GENERIC_MAPPING& mapping) {
    switch (right) {
    case ChangeRight::Any:
        return ModifyRightsOf(mapping) | kDelete | kWriteDac | kWriteOwner;
    case ChangeRight::Modify:
        return ModifyRightsOf(mapping);
    case ChangeRight::Delete:
        return kDelete;
    case ChangeRight::WriteDac:
        return kWriteDac;
    case ChangeRight::WriteOwner:
        return kWriteOwner;
    }
    return 0;
}

const GENERIC_MAPPING& AccessScan::MappingOf(const std::string& typeName, HANDLE object) {
    for (const TypeRights& known : types_) {
        if (known.typeName == typeName) return known.mapping;
    }
    // A type the object manager does not describe maps generic rights to nothing of its own.
    ObjectTypeFigures figures;
    GENERIC_MAPPING mapping{};
    if (QueryObjectTypeFigures(object, figures) == kStatusSuccess) mapping = figures.genericMapping;
    types_.push_back({typeName, mapping});
    return types_.back().mapping;
}

bool AccessScan::Test(const DirectoryReader&, SearchResult& result) {
    if (stopped_) return false;
    const int row = ObjectTypeRowOf(result.typeName);
    if (row == kTypeDevice && !includeDevices_) {
        ++devicesPassedOver_;
        return false;
    }
    // Only a path addresses an object; only the program's opens open one.
    if (!result.addressable || row == kTypeNotOpened) {
        ++unopened_;
        return false;
    }
    NTSTATUS status = kStatusSuccess;
    UniqueNtHandle object;
    switch (opener_.Open(row, result.path.c_str(), MAXIMUM_ALLOWED, QueryLimits.notAnsweringAfterMs, stopEvent_,
                         status, object)) {
    case WatchedOpenResult::Answered:
        break;
    case WatchedOpenResult::NotAnswering:
        notAnswering_.push_back(result.path);
        return false;
    case WatchedOpenResult::Stopped:
        stopped_ = true;
        return false;
    case WatchedOpenResult::NoThread:
        ++unopened_;
        return false;
    }
    if (status != kStatusSuccess || QueryGrantedAccess(object.get(), result.granted) != kStatusSuccess) {
        ++unopened_;
        return false;
    }
    return (result.granted & WantedRights(right_, MappingOf(result.typeName, object.get()))) != 0;
}
