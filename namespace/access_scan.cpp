#include "namespace/access_scan.h"

#include <cstring>

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
    const int row = ObjectTypeRowOf(result.typeName);
    HANDLE handle = nullptr;
    // Only a path addresses an object; only the program's opens open one.
    if (!result.addressable || row == kTypeNotOpened ||
        OpenObjectExactlyAs(row, result.path.c_str(), MAXIMUM_ALLOWED, &handle) != kStatusSuccess) {
        ++unopened_;
        return false;
    }
    UniqueNtHandle object(handle);
    if (QueryGrantedAccess(handle, result.granted) != kStatusSuccess) {
        ++unopened_;
        return false;
    }
    return (result.granted & WantedRights(right_, MappingOf(result.typeName, handle))) != 0;
}
