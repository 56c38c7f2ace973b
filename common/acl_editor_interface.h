// The interface of the ACL editor in acledit.dll: the records it is given, its
// three entry points and the callback through which it applies a change.
// The program and the stand-in editor under platform/ both build on it.
#pragma once

#include <windows.h>

// How the editor uses an access row.
enum SedPermissionType : ULONG {
    kSedGeneralAccess = 1,           // a permission of the main list
    kSedSpecialAccess = 2,           // a check box of the special-access dialog
    kSedContainerGeneralAccess = 3,  // a main-list permission of a container, with new-object access
    kSedNewObjectSpecialAccess = 4,  // a special-access check box for new objects
    kSedAuditAccess = 5,             // an auditing check box
};

// Mask 2 of a container row that leaves the new-object access unspecified.
inline constexpr ACCESS_MASK kSedNewObjectAccessUnspecified = 0xFFFFFFFF;

// Values of the editor's status word.
inline constexpr DWORD kSedStatusModified = 1;
inline constexpr DWORD kSedStatusNotModified = 2;

struct SedHelpInfo {
    const wchar_t* helpFileName;
    ULONG helpContexts[7];  // main dialog first; the others are the editor's own dialogs
};

struct SedObjectTypeDescriptor {
    UCHAR revision;
    BOOLEAN isContainer;
    BOOLEAN allowNewObjectPermissions;
    BOOLEAN mapSpecificToGeneric;
    const GENERIC_MAPPING* genericMapping;
    const GENERIC_MAPPING* genericMappingNewObjects;
    const wchar_t* objectTypeName;
    const SedHelpInfo* helpInfo;
    const wchar_t* applyToSubcontainersTitle;
    const wchar_t* applyToObjectsTitle;
    const wchar_t* applyToSubcontainersConfirmation;
    const wchar_t* specialObjectAccessTitle;
    const wchar_t* specialNewObjectAccessTitle;
};

struct SedApplicationAccess {
    ULONG type;  // SedPermissionType
    ACCESS_MASK accessMask1;
    ACCESS_MASK accessMask2;
    const wchar_t* permissionTitle;
};

struct SedApplicationAccesses {
    ULONG count;
    const SedApplicationAccess* accessGroup;
    const wchar_t* defaultPermissionName;
};

// The i386 layouts the editor was built against.
static_assert(sizeof(void*) != 4 || sizeof(SedHelpInfo) == 32);
static_assert(sizeof(void*) != 4 || sizeof(SedObjectTypeDescriptor) == 40);
static_assert(sizeof(void*) != 4 || sizeof(SedApplicationAccess) == 16);
static_assert(sizeof(void*) != 4 || sizeof(SedApplicationAccesses) == 12);

// Called by an editor, on the caller's thread, when the user applies a change.
// The callback context is the value the caller passed to the editor.
using SedApplyCallback = DWORD(WINAPI*)(HWND parent, HINSTANCE instance, ULONG_PTR callbackContext,
                                        PSECURITY_DESCRIPTOR descriptor,
                                        PSECURITY_DESCRIPTOR newObjectDescriptor,
                                        BOOLEAN applyToSubcontainers, BOOLEAN applyToSubobjects,
                                        LPDWORD statusReturn);

// Each editor returns 0 for success.
using SedDiscretionaryAclEditorProc = DWORD(WINAPI*)(
    HWND owner, HINSTANCE instance, LPWSTR server, const SedObjectTypeDescriptor* objectType,
    const SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback applyCallback,
    ULONG_PTR callbackContext, PSECURITY_DESCRIPTOR descriptor, BOOLEAN daclNotReadable,
    BOOLEAN daclNotWritable, LPDWORD statusReturn, DWORD flags);

using SedSystemAclEditorProc = DWORD(WINAPI*)(
    HWND owner, HINSTANCE instance, LPWSTR server, const SedObjectTypeDescriptor* objectType,
    const SedApplicationAccesses* accesses, LPWSTR objectName, SedApplyCallback applyCallback,
    ULONG_PTR callbackContext, PSECURITY_DESCRIPTOR descriptor, BOOLEAN saclNotEditable,
    LPDWORD statusReturn, DWORD flags);

using SedTakeOwnershipProc = DWORD(WINAPI*)(
    HWND owner, HINSTANCE instance, LPWSTR server, LPWSTR objectTypeName, LPWSTR objectName,
    UINT objectCount, SedApplyCallback applyCallback, ULONG_PTR callbackContext,
    PSECURITY_DESCRIPTOR descriptor, BOOLEAN ownerNotReadable, BOOLEAN ownerNotWritable,
    LPDWORD statusReturn, const SedHelpInfo* helpInfo, DWORD flags);
