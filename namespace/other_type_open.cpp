#include "namespace/other_type_open.h"

#include <string>

#include "namespace/visible_name.h"

namespace {

NtOpenObjectProc ServiceOf(const OtherType& type) {
    return type.service != nullptr ? type.service : NtdllProcedure<NtOpenObjectProc>(type.lateName);
}

// Whether a service's answer means the object is of its type: granted, or
// refused by the object itself rather than by its type or its absence.
bool FoundByService(NTSTATUS status) { return status == kStatusSuccess || status == kStatusAccessDenied; }

}  // namespace

const OtherType* OtherTypeNamed(std::string_view typeName) {
    for (const OtherType& type : kOtherTypes) {
        if (typeName == type.typeName) return &type;
    }
    return nullptr;
}

NTSTATUS OpenAsOtherType(const OtherType& type, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK access, HANDLE* handle) {
    *handle = nullptr;
    const NtOpenObjectProc service = ServiceOf(type);
    if (service == nullptr) return kStatusProcedureNotFound;
    ++NamespaceCounters().opens;
    return service(handle, access, &attributes);
}

NTSTATUS OpenAsOtherType(const OtherType& type, const ObjectName& name, ACCESS_MASK access, HANDLE* handle) {
    std::wstring wide = name.Wide();
    UNICODE_STRING counted = CountedView(wide);
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(&counted);
    return OpenAsOtherType(type, attributes, access, handle);
}

OtherTypeOpen OpenAsSomeOtherType(const ObjectName& name, ACCESS_MASK access) {
    OtherTypeOpen result;
    for (const OtherType& type : kOtherTypes) {
        HANDLE handle = nullptr;
        const NTSTATUS status = OpenAsOtherType(type, name, access, &handle);
        if (!FoundByService(status)) continue;
        result.handle.reset(handle);
        result.status = status;
        result.type = &type;
        return result;
    }
    return result;
}
