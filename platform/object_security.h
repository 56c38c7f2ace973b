// Reading and writing the security descriptor of a kernel object through its
// handle, with the contract of user32's user-object security pair: a success
// flag, the length needed, a self-relative descriptor, and the reason of a
// failure in the thread's last error. The work is done by ntdll's security
// services, as the user-object pair does for kernel objects on the platform
// the program was written for.
#pragma once

#include <windows.h>

// Reads the parts named in *requested into descriptor (length bytes). On
// success *lengthNeeded is the descriptor's size; when it does not fit, the
// result is false, the last error ERROR_INSUFFICIENT_BUFFER and *lengthNeeded
// the size it needs.
bool ReadObjectSecurity(HANDLE object, const SECURITY_INFORMATION* requested,
                        PSECURITY_DESCRIPTOR descriptor, DWORD length, DWORD* lengthNeeded);

// Writes the parts named in *information from descriptor to the object.
bool WriteObjectSecurity(HANDLE object, const SECURITY_INFORMATION* information,
                         PSECURITY_DESCRIPTOR descriptor);
