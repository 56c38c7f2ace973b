#include "support/test_namespace.h"

#include <sddl.h>

#include <atomic>

namespace {
std::atomic<int> ScratchCounter{0};
constexpr ACCESS_MASK kAllAccess = 0x001F0000 | 0xFFFF;
}  // namespace

// Through the ANSI code page, as the program itself widens its paths.
std::wstring WidenAnsi(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

NamedAttributes::NamedAttributes(const std::string& path) : NamedAttributes(WidenAnsi(path)) {}

NamedAttributes::NamedAttributes(std::wstring path) : wide_(std::move(path)) {
    name_.Buffer = wide_.data();
    name_.Length = static_cast<USHORT>(wide_.size() * sizeof(wchar_t));
    name_.MaximumLength = name_.Length;
    attributes_ = MakeObjectAttributes(&name_);
}

ScratchDirectory::ScratchDirectory() {
    path_ = "\\BaseNamedObjects\\TarnelTest-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(ScratchCounter++);
    NamedAttributes attributes(path_);
    HANDLE handle = nullptr;
    valid_ = NtCreateDirectoryObject(&handle, kAllAccess, attributes.Get()) == kStatusSuccess;
    if (valid_) directory_.reset(handle);
}

std::string ScratchDirectory::PathOf(const std::string& relative) const { return path_ + "\\" + relative; }

std::string ScratchDirectory::Remember(const std::string& fullPath, NTSTATUS status, const HANDLE& handle) {
    if (status != kStatusSuccess) return {};
    handles_.emplace_back(handle);
    names_.push_back(fullPath);
    return fullPath;
}

std::string ScratchDirectory::AddDirectory(const std::string& relative) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    HANDLE handle = nullptr;
    return Remember(full, NtCreateDirectoryObject(&handle, kAllAccess, attributes.Get()), handle);
}

namespace {

// A descriptor whose DACL is empty: it grants nobody anything.
struct DenyEveryone {
    DenyEveryone() {
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        InitializeAcl(&emptyAcl, sizeof emptyAcl, ACL_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyAcl, FALSE);
    }
    SECURITY_DESCRIPTOR descriptor{};
    ACL emptyAcl{};
};

}  // namespace

std::string ScratchDirectory::AddSymbolicLink(const std::string& relative, const std::string& target) {
    return CreateLink(relative, target, nullptr);
}

std::string ScratchDirectory::AddLockedSymbolicLink(const std::string& relative, const std::string& target) {
    DenyEveryone deny;
    return CreateLink(relative, target, &deny.descriptor);
}

std::string ScratchDirectory::AddSymbolicLinkWithDescriptor(const std::string& relative, const std::string& target,
                                                            std::vector<BYTE> descriptor) {
    if (descriptor.empty()) return {};
    return CreateLink(relative, target, descriptor.data());
}

std::string ScratchDirectory::CreateLink(const std::string& relative, const std::string& target, void* descriptor) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    attributes.Get()->SecurityDescriptor = descriptor;
    std::wstring wideTarget(target.begin(), target.end());
    UNICODE_STRING targetName{static_cast<USHORT>(wideTarget.size() * 2), static_cast<USHORT>(wideTarget.size() * 2),
                              wideTarget.data()};
    HANDLE handle = nullptr;
    // The creator of a link with a descriptor of its own asks for nothing: the DACL may refuse it.
    const NTSTATUS status =
        NtCreateSymbolicLinkObject(&handle, descriptor != nullptr ? 0 : kAllAccess, attributes.Get(), &targetName);
    return Remember(full, status, handle);
}

std::string ScratchDirectory::AddLockedDirectory(const std::string& relative) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    DenyEveryone deny;
    attributes.Get()->SecurityDescriptor = &deny.descriptor;
    HANDLE handle = nullptr;
    return Remember(full, NtCreateDirectoryObject(&handle, 0, attributes.Get()), handle);
}

std::string ScratchDirectory::AddEvent(const std::string& relative, bool notification, bool signalled) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    HANDLE handle = nullptr;
    // Event type 0 is a notification event, 1 a synchronization event.
    return Remember(full, NtCreateEvent(&handle, kAllAccess, attributes.Get(), notification ? 0 : 1, signalled),
                    handle);
}

std::string ScratchDirectory::AddEventBesideOtherCase(const std::string& relative) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    attributes.Get()->Attributes &= ~kObjCaseInsensitive;
    HANDLE handle = nullptr;
    return Remember(full, NtCreateEvent(&handle, kAllAccess, attributes.Get(), 0, FALSE), handle);
}

std::string ScratchDirectory::AddEventWithDescriptor(const std::string& relative, std::vector<BYTE> descriptor) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    if (descriptor.empty()) return {};
    attributes.Get()->SecurityDescriptor = descriptor.data();
    HANDLE handle = nullptr;
    // A descriptor may grant its creator nothing: the creator asks for nothing.
    return Remember(full, NtCreateEvent(&handle, 0, attributes.Get(), 0, FALSE), handle);
}

std::string ScratchDirectory::AddMutant(const std::string& relative, bool ownedByThisThread) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    HANDLE handle = nullptr;
    return Remember(full, NtCreateMutant(&handle, kAllAccess, attributes.Get(), ownedByThisThread), handle);
}

std::string ScratchDirectory::AddSemaphore(const std::string& relative, LONG count, LONG limit) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    HANDLE handle = nullptr;
    return Remember(full, NtCreateSemaphore(&handle, kAllAccess, attributes.Get(), count, limit), handle);
}

std::string ScratchDirectory::AddTimer(const std::string& relative) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    HANDLE handle = nullptr;
    return Remember(full, NtCreateTimer(&handle, kAllAccess, attributes.Get(), 0), handle);
}

std::string ScratchDirectory::AddSection(const std::string& relative) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    HANDLE handle = nullptr;
    LARGE_INTEGER size{};
    size.QuadPart = 4096;
    return Remember(full,
                    NtCreateSection(&handle, kAllAccess, attributes.Get(), &size, PAGE_READWRITE, SEC_COMMIT, nullptr),
                    handle);
}

std::string ScratchDirectory::AddJob(const std::string& relative, std::vector<BYTE> descriptor) {
    std::string full = PathOf(relative);
    NamedAttributes attributes(full);
    attributes.Get()->SecurityDescriptor = descriptor.empty() ? nullptr : descriptor.data();
    HANDLE handle = nullptr;
    return Remember(full, NtCreateJobObject(&handle, descriptor.empty() ? kAllAccess : 0, attributes.Get()), handle);
}

bool ScratchDirectory::AddWide(WideKind kind, const std::wstring& name, const std::wstring& target) {
    NamedAttributes attributes(WidenAnsi(path_) + L"\\" + name);
    HANDLE handle = nullptr;
    NTSTATUS status = kStatusInvalidParameter;
    switch (kind) {
    case WideKind::Event:
        status = NtCreateEvent(&handle, kAllAccess, attributes.Get(), 0, FALSE);
        break;
    case WideKind::Semaphore:
        status = NtCreateSemaphore(&handle, kAllAccess, attributes.Get(), 1, 2);
        break;
    case WideKind::Directory:
        status = NtCreateDirectoryObject(&handle, kAllAccess, attributes.Get());
        break;
    case WideKind::SymbolicLink: {
        std::wstring text = target;
        UNICODE_STRING targetName{static_cast<USHORT>(text.size() * 2), static_cast<USHORT>(text.size() * 2),
                                  text.data()};
        status = NtCreateSymbolicLinkObject(&handle, kAllAccess, attributes.Get(), &targetName);
        break;
    }
    }
    if (status != kStatusSuccess) return false;
    Keep(handle);
    return true;
}

void ScratchDirectory::Remove(const std::string& fullPath) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == fullPath) {
            handles_[i].reset();
            return;
        }
    }
}

ACCESS_MASK GrantedAccess(HANDLE handle) {
    OBJECT_BASIC_INFORMATION basic{};
    if (NtQueryObject(handle, ObjectBasicInformation, &basic, sizeof basic, nullptr) != kStatusSuccess) return 0;
    return basic.GrantedAccess;
}

std::wstring ObjectNameOf(HANDLE handle) {
    alignas(8) BYTE buffer[4096];
    ULONG length = 0;
    if (NtQueryObject(handle, static_cast<OBJECT_INFORMATION_CLASS>(kObjectNameInformation), buffer, sizeof buffer,
                      &length) != kStatusSuccess)
        return {};
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return std::wstring(name->Buffer, name->Length / sizeof(WCHAR));
}

std::vector<BYTE> DescriptorFromSddl(const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, &size)) return {};
    const BYTE* bytes = static_cast<const BYTE*>(descriptor);
    std::vector<BYTE> copy(bytes, bytes + size);
    LocalFree(descriptor);
    return copy;
}

std::vector<BYTE> DescriptorWithNullDacl(const char* ownerAndGroup) {
    std::vector<BYTE> source = DescriptorFromSddl(ownerAndGroup);
    SECURITY_DESCRIPTOR absolute{};
    InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
    PSID sid = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(source.data(), &sid, &defaulted)) SetSecurityDescriptorOwner(&absolute, sid, FALSE);
    if (GetSecurityDescriptorGroup(source.data(), &sid, &defaulted)) SetSecurityDescriptorGroup(&absolute, sid, FALSE);
    SetSecurityDescriptorDacl(&absolute, TRUE, nullptr, FALSE);
    std::vector<BYTE> bytes(256);
    DWORD size = static_cast<DWORD>(bytes.size());
    if (!MakeSelfRelativeSD(&absolute, bytes.data(), &size)) return {};
    bytes.resize(size);
    return bytes;
}

std::string PlatformSddl(std::vector<BYTE> descriptor) {
    constexpr SECURITY_INFORMATION kAllParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                               DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
    char* text = nullptr;
    if (descriptor.empty() || !ConvertSecurityDescriptorToStringSecurityDescriptorA(
                                  descriptor.data(), SDDL_REVISION_1, kAllParts, &text, nullptr))
        return "(the platform's converter wrote nothing)";
    std::string copy = text;
    LocalFree(text);
    return copy;
}
