#include "platform/object_security.h"

#include "namespace/native_services.h"

namespace {

// Hands a native status to the caller as a flag and a last error.
bool Report(NTSTATUS status) {
    if (status == kStatusSuccess) return true;
    SetLastError(status == kStatusBufferTooSmall ? ERROR_INSUFFICIENT_BUFFER : RtlNtStatusToDosError(status));
    return false;
}

}  // namespace

bool ReadObjectSecurity(HANDLE object, const SECURITY_INFORMATION* requested,
                        PSECURITY_DESCRIPTOR descriptor, DWORD length, DWORD* lengthNeeded) {
    if (requested == nullptr || lengthNeeded == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    ULONG needed = 0;
    NTSTATUS status = NtQuerySecurityObject(object, *requested, descriptor, length, &needed);
    *lengthNeeded = needed;
    return Report(status);
}

bool WriteObjectSecurity(HANDLE object, const SECURITY_INFORMATION* information,
                         PSECURITY_DESCRIPTOR descriptor) {
    if (information == nullptr || descriptor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return Report(NtSetSecurityObject(object, *information, descriptor));
}
