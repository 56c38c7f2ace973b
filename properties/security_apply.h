// Start-up preparation for the security editors, and the callback that writes
// an edited security descriptor back to its object.
#pragma once

#include <windows.h>

#include "namespace/object_opener.h"

#include <type_traits>

#include "common/acl_editor_interface.h"

// Enables the security and take-ownership privileges in the process token.
void EnableSecurityPrivileges();

// Loads the ACL editor and looks up its three entry points: the system's
// acledit.dll where it works, else the program's own editor, which lies
// beside the program as tarnel-acledit.dll.
void BindAclEditor();

// Size of each descriptor buffer an editor works on.
inline constexpr DWORD kSecurityDescriptorBufferSize = 8192;

// Which editor a context belongs to.
enum SecurityEditorKind : ULONG {
    kPermissionsEditor = 0,
    kAuditingEditor = 1,
    kOwnershipEditor = 2,
};

// Handed to each editor as its callback context and given back to
// ApplySecurityCallback, which writes through it.
struct SecurityEditorContext {
    ULONG kind;                      // SecurityEditorKind
    ObjectName name;                 // the object's path, and its exact path where it has one
    PSECURITY_DESCRIPTOR descriptor;  // the kSecurityDescriptorBufferSize-byte buffer the editor was given
    bool* descriptorValid;           // true while that buffer holds a descriptor read from the object
};

// The editor's entry points; each is null when acledit.dll or its export is missing.
struct AclEditorEntryPoints {
    SedDiscretionaryAclEditorProc discretionaryAclEditor;
    SedSystemAclEditorProc systemAclEditor;
    SedTakeOwnershipProc takeOwnership;
};
extern AclEditorEntryPoints AclEditor;

// True for a DLL that Wine builds in; Wine's acledit.dll is one, and its
// three editor exports are stubs that must never be called.
bool IsWineBuiltinModule(HMODULE module);
// The system's editor (systemLibrary, found as the loader finds it) unless it
// is Wine's, else the stand-in (standInLibrary); null when neither loads.
HMODULE ChooseAclEditorLibrary(const char* systemLibrary, const char* standInLibrary);
// The three entry points of an editor library; null where it lacks one.
AclEditorEntryPoints AclEditorEntryPointsOf(HMODULE editor);

// Writes the changed part of descriptor to the object named by the context and
// reads the object's descriptor back into the context's buffer. Reports a
// failure itself; the editor always gets status 1 and result 0.
DWORD WINAPI ApplySecurityCallback(HWND parent, HINSTANCE instance, ULONG_PTR callbackContext,
                                   PSECURITY_DESCRIPTOR descriptor, PSECURITY_DESCRIPTOR newObjectDescriptor,
                                   BOOLEAN applyToSubcontainers, BOOLEAN applyToSubobjects,
                                   LPDWORD statusReturn);
static_assert(std::is_same_v<decltype(&ApplySecurityCallback), SedApplyCallback>);
