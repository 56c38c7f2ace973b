#include "namespace/object_opener.h"

#include <string>

#include "namespace/visible_name.h"

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

ACCESS_MASK RequestedAccess(int typeIndex, ACCESS_MASK desiredAccess, bool wantReadControl) {
    ACCESS_MASK access = desiredAccess;
    if (typeIndex == kTypeSymbolicLink || typeIndex == kTypeDirectory) access |= kQueryRight;
    if (wantReadControl || typeIndex != kTypeDevice) access |= kReadControl;
    return access;
}

// A name in the counted form the services take: the exact path as it stands,
// or the ANSI path widened by the code page into storage the record owns.
class ServiceName {
public:
    explicit ServiceName(const ObjectName& name) {
        if (name.exact != nullptr) {
            view_ = CountedView(*name.exact);
            status_ = kStatusSuccess;
            return;
        }
        status_ = widened_.AssignAnsi(name.path);
        if (status_ == kStatusSuccess) view_ = *widened_.Get();
    }
    // Not 0 when the ANSI conversion failed: no service is called with an unset name.
    NTSTATUS Status() const { return status_; }
    UNICODE_STRING* Get() { return &view_; }

private:
    CountedUnicode widened_;
    UNICODE_STRING view_{};
    NTSTATUS status_ = kStatusInvalidParameter;
};

// Opens "\\.\" followed by the whole path, leading backslash included, with
// exactly the access given. An exact path holding a NUL has no Win32 name: the
// name cut at its NUL would open a namesake.
HANDLE OpenByDeviceName(const ObjectName& name, ACCESS_MASK access) {
    if (name.exact != nullptr) {
        if (name.exact->find(L'\0') != std::wstring::npos) return INVALID_HANDLE_VALUE;
        const std::wstring deviceName = L"\\\\.\\" + *name.exact;
        ++NamespaceCounters().opens;
        return CreateFileW(deviceName.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    std::string deviceName = "\\\\.\\";
    deviceName += name.path;
    ++NamespaceCounters().opens;
    return CreateFileA(deviceName.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Calls the row's open service with exactly the access given.
NTSTATUS CallOpenService(int typeIndex, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK access, HANDLE* handle) {
    ++NamespaceCounters().opens;
    if (typeIndex == kTypeDevice) {
        IO_STATUS_BLOCK ioStatus{};
        return NtOpenFile(handle, access, &attributes, &ioStatus, kShareAll, 0);
    }
    return ObjectTypeTable[typeIndex].openService(handle, access, &attributes);
}

// A link the account may not open: every later row's service would follow
// it and open its target, another object than the one the path names.
bool IsRefusedLink(int typeIndex, NTSTATUS status) {
    return typeIndex == kTypeSymbolicLink && status == kStatusAccessDenied;
}

NTSTATUS OpenWithAttributes(int typeIndex, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK desiredAccess,
                            bool wantReadControl, HANDLE* handle) {
    return CallOpenService(typeIndex, attributes, RequestedAccess(typeIndex, desiredAccess, wantReadControl), handle);
}

}  // namespace

const char* ObjectTypeName(int typeIndex) {
    if (typeIndex < 0 || typeIndex >= kObjectTypeCount) return nullptr;
    return ObjectTypeTable[typeIndex].typeName;
}

int ObjectTypeRowOf(std::string_view typeName) {
    for (int row = 0; row < kObjectTypeCount; ++row) {
        if (typeName == ObjectTypeTable[row].typeName) return row;
    }
    return kTypeNotOpened;
}

NTSTATUS QueryGrantedAccess(HANDLE handle, ACCESS_MASK& granted) {
    OBJECT_BASIC_INFORMATION basic{};
    const NTSTATUS status = NtQueryObject(handle, ObjectBasicInformation, &basic, sizeof basic, nullptr);
    if (status == kStatusSuccess) granted = basic.GrantedAccess;
    return status;
}

NTSTATUS OpenObjectByType(int typeIndex, const ObjectName& name, ACCESS_MASK desiredAccess,
                          bool wantReadControl, HANDLE* handle) {
    *handle = nullptr;
    if (typeIndex < 0 || typeIndex >= kObjectTypeCount) return kStatusInvalidParameter;
    ServiceName counted(name);
    if (counted.Status() != kStatusSuccess) return counted.Status();
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(counted.Get());
    return OpenWithAttributes(typeIndex, attributes, desiredAccess, wantReadControl, handle);
}

NTSTATUS OpenObjectByTypeExact(int typeIndex, std::wstring_view path, ACCESS_MASK desiredAccess,
                               bool wantReadControl, HANDLE* handle) {
    *handle = nullptr;
    if (typeIndex < 0 || typeIndex >= kObjectTypeCount) return kStatusInvalidParameter;
    UNICODE_STRING name = CountedView(path);
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(&name);
    return OpenWithAttributes(typeIndex, attributes, desiredAccess, wantReadControl, handle);
}

NTSTATUS OpenObjectByTypeIn(int typeIndex, HANDLE directory, const UNICODE_STRING& name, ACCESS_MASK desiredAccess,
                            bool wantReadControl, HANDLE* handle) {
    *handle = nullptr;
    if (typeIndex < 0 || typeIndex >= kObjectTypeCount) return kStatusInvalidParameter;
    UNICODE_STRING relative = name;
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(&relative);
    attributes.RootDirectory = directory;
    return OpenWithAttributes(typeIndex, attributes, desiredAccess, wantReadControl, handle);
}

NTSTATUS OpenObjectByTypeWith(int typeIndex, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK desiredAccess,
                              bool wantReadControl, HANDLE* handle) {
    *handle = nullptr;
    if (typeIndex < 0 || typeIndex >= kObjectTypeCount) return kStatusInvalidParameter;
    return OpenWithAttributes(typeIndex, attributes, desiredAccess, wantReadControl, handle);
}

NTSTATUS OpenObjectExactlyWith(int typeIndex, OBJECT_ATTRIBUTES& attributes, ACCESS_MASK access, HANDLE* handle) {
    *handle = nullptr;
    if (typeIndex < 0 || typeIndex >= kObjectTypeCount) return kStatusInvalidParameter;
    return CallOpenService(typeIndex, attributes, access, handle);
}

OpenedObject OpenAnyObject(const ObjectName& name, ACCESS_MASK desiredAccess) {
    OpenedObject opened;
    for (int typeIndex = 0; typeIndex < kObjectTypeCount; ++typeIndex) {
        HANDLE handle = nullptr;
        const NTSTATUS status = OpenObjectByType(typeIndex, name, desiredAccess, true, &handle);
        if (status == kStatusSuccess) {
            opened.handle.reset(handle);
            opened.typeIndex = typeIndex;
            return opened;
        }
        if (IsRefusedLink(typeIndex, status)) return opened;
    }
    HANDLE device = OpenByDeviceName(name, desiredAccess | kGenericRead);
    if (device != INVALID_HANDLE_VALUE) {
        opened.handle.reset(device);
        opened.typeIndex = kTypeDevice;
    }
    return opened;
}

ExactOpen OpenAnyObjectExactly(const ObjectName& name, ACCESS_MASK access) {
    ExactOpen result;
    ServiceName counted(name);
    result.status = counted.Status();
    if (result.status != kStatusSuccess) return result;
    NTSTATUS last = result.status;
    for (int typeIndex = 0; typeIndex < kObjectTypeCount; ++typeIndex) {
        OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(counted.Get());
        HANDLE handle = nullptr;
        last = CallOpenService(typeIndex, attributes, access, &handle);
        if (last == kStatusSuccess) {
            result.opened.handle.reset(handle);
            result.opened.typeIndex = typeIndex;
            result.status = last;
            return result;
        }
        // Another type's service answers with a type mismatch; only the object's own refuses it.
        if (last == kStatusAccessDenied && result.refusingRow == kTypeNotOpened) result.refusingRow = typeIndex;
        if (IsRefusedLink(typeIndex, last)) {
            result.status = last;
            return result;
        }
    }
    HANDLE device = OpenByDeviceName(name, access);
    if (device != INVALID_HANDLE_VALUE) {
        result.opened.handle.reset(device);
        result.opened.typeIndex = kTypeDevice;
        result.status = kStatusSuccess;
        return result;
    }
    if (result.refusingRow == kTypeNotOpened && GetLastError() == ERROR_ACCESS_DENIED) result.refusingRow = kTypeDevice;
    result.status = result.refusingRow != kTypeNotOpened ? kStatusAccessDenied : last;
    return result;
}

NTSTATUS OpenObjectExactlyAs(int typeIndex, const ObjectName& name, ACCESS_MASK access, HANDLE* handle) {
    *handle = nullptr;
    if (typeIndex < 0 || typeIndex >= kObjectTypeCount) return kStatusInvalidParameter;
    ServiceName counted(name);
    NTSTATUS status = counted.Status();
    if (status != kStatusSuccess) return status;
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(counted.Get());
    status = CallOpenService(typeIndex, attributes, access, handle);
    if (status == kStatusSuccess || typeIndex != kTypeDevice) return status;
    HANDLE device = OpenByDeviceName(name, access);
    if (device == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_ACCESS_DENIED ? kStatusAccessDenied : status;
    *handle = device;
    return kStatusSuccess;
}

std::wstring ObjectName::Wide() const { return exact != nullptr ? *exact : WidenPath(path != nullptr ? path : ""); }
