// The Security page of the object property sheet: reads the object's security
// descriptors when it is created and starts the ACL editors on them.
#pragma once

#include <windows.h>

#include "common/acl_editor_interface.h"
#include "properties/security_apply.h"
#include "properties/sheet_object.h"

enum class SecurityObjectKind { Directory, Key, Device, Other };

inline constexpr int kSecurityPathSize = 1024;

// The page's state: set at page creation, kept until the next Security page
// is created, reached by the apply callback through editorContext.
struct SecurityPageState {
    SheetObject object;                      // the page's own copy of the object's name
    wchar_t objectName[kSecurityPathSize];   // the editors' object name: the exact path, or the path widened
    alignas(8) BYTE daclDescriptor[kSecurityDescriptorBufferSize];  // owner, group and DACL
    alignas(8) BYTE saclDescriptor[kSecurityDescriptorBufferSize];  // owner and SACL
    bool daclReadable;
    bool saclReadable;
    SecurityObjectKind kind;
    SecurityEditorContext editorContext;
    SedObjectTypeDescriptor objectTypeDescriptor;
    SedApplicationAccesses applicationAccesses;
    wchar_t ownershipTypeName[16];
    bool editorOpen;  // an editor runs over the buffers above
};
extern SecurityPageState SecurityPage;

// The access table the permissions editor gets for a kind of object.
SedApplicationAccesses PermissionAccessesFor(SecurityObjectKind kind);

// The dialog procedure of the "SECURITY" page.
INT_PTR CALLBACK SecurityPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
