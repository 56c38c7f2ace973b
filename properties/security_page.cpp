#include "properties/security_page.h"

#include <windowsx.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "namespace/object_opener.h"
#include "platform/object_security.h"
#include "properties/access_tables.h"
#include "resource_ids.h"

SecurityPageState SecurityPage = {};

namespace {

constexpr char kNoSecurityPermission[] =
    "You do not have permission to view the Security Information for\nthis object.";
constexpr char kNoAuditPermission[] = "You do not have permission to view the Audit Information for\nthis object.";
constexpr char kSecurityInvalid[] = "The Security Information is invalid.";
constexpr char kAclEditorFailed[] = "The ACL Editor does not understand the Security Information.";
constexpr char kSaclEditorFailed[] = "The SACL Editor does not understand the Security Information.";
constexpr char kOwnershipEditorFailed[] = "The Ownership Editor does not understand the Security Information.";
constexpr char kAclEditorMissing[] = "The ACL Editor is not available.";
constexpr char kSaclEditorMissing[] = "The SACL Editor is not available.";
constexpr char kOwnershipEditorMissing[] = "The Ownership Editor is not available.";

// Owner, group and DACL; owner and SACL.
constexpr SECURITY_INFORMATION kPermissionParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
constexpr SECURITY_INFORMATION kAuditParts = OWNER_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;

struct KindOfTypeName {
    const char* typeName;
    SecurityObjectKind kind;
};
// Compared in this order; every other type is Other.
constexpr KindOfTypeName kKindsByTypeName[] = {
    {"Directory", SecurityObjectKind::Directory},
    {"Device", SecurityObjectKind::Device},
    {"Key", SecurityObjectKind::Key},
};

template <std::size_t N>
SedApplicationAccesses AccessesOf(const SedApplicationAccess (&table)[N]) {
    return {static_cast<ULONG>(N), table, nullptr};
}

void ShowSecurityMessage(const char* text) { MessageBoxA(nullptr, text, "Tarnel", MB_OK | MB_ICONERROR); }

SecurityObjectKind KindOfType(const char* typeName) {
    for (const KindOfTypeName& row : kKindsByTypeName) {
        if (std::strcmp(typeName, row.typeName) == 0) return row.kind;
    }
    return SecurityObjectKind::Other;
}

// True when the parts fit into the buffer and the object lets them be read.
bool ReadDescriptor(HANDLE object, SECURITY_INFORMATION parts, BYTE* buffer) {
    DWORD lengthNeeded = 0;
    return ReadObjectSecurity(object, &parts, buffer, kSecurityDescriptorBufferSize, &lengthNeeded);
}

// Decides the kind and reads owner, group and DACL. The kind starts as Other
// at every page, so a failed open never inherits the previous page's kind.
void ReadPermissions(HWND page) {
    SecurityPage.kind = SecurityObjectKind::Other;
    OpenedObject object = OpenAnyObject(SecurityPage.object.Name(), 0);
    if (!object) {
        SecurityPage.daclReadable = false;
        EnableWindow(GetDlgItem(page, IDC_SECURITY_PERMISSIONS), FALSE);
        return;
    }
    SecurityPage.kind = KindOfType(ObjectTypeName(object.typeIndex));
    SecurityPage.daclReadable = ReadDescriptor(object.handle.get(), kPermissionParts, SecurityPage.daclDescriptor);
}

void ReadAuditing(HWND page) {
    OpenedObject object = OpenAnyObject(SecurityPage.object.Name(), kAccessSystemSecurity);
    if (!object) {
        EnableWindow(GetDlgItem(page, IDC_SECURITY_AUDITING), FALSE);
        SecurityPage.saclReadable = false;
        return;
    }
    SecurityPage.saclReadable = ReadDescriptor(object.handle.get(), kAuditParts, SecurityPage.saclDescriptor);
}

// The exact path where the object has one and it holds no NUL, which would
// end the editors' text early; else the shown path, whose bytes above 0x7F
// are characters of the ANSI code page as everywhere else in the program (the
// byte-for-character copy only stands in if that fails).
void WidenPath() {
    const SheetObject& object = SecurityPage.object;
    if (object.hasExact && object.exact.find(L'\0') == std::wstring::npos) {
        lstrcpynW(SecurityPage.objectName, object.exact.c_str(), kSecurityPathSize);
        return;
    }
    if (MultiByteToWideChar(CP_ACP, 0, object.path, -1, SecurityPage.objectName, kSecurityPathSize) != 0) return;
    int i = 0;
    for (; i < kSecurityPathSize - 1 && object.path[i] != '\0'; ++i)
        SecurityPage.objectName[i] = static_cast<unsigned char>(object.path[i]);
    SecurityPage.objectName[i] = L'\0';
}

void FillObjectTypeDescriptor() {
    const GENERIC_MAPPING* mapping =
        SecurityPage.kind == SecurityObjectKind::Key ? &KeyGenericMapping : &ObjectGenericMapping;
    SecurityPage.objectTypeDescriptor = {
        1,                     // revision
        TRUE,                  // is container, for every kind of object
        FALSE,                 // allow new-object permissions
        FALSE,                 // map specific permissions to generic
        mapping,               // generic mapping
        mapping,               // generic mapping for new objects
        L"Object",             // object type name
        &SecurityHelpInfo,     // help information
        nullptr,               // apply-to-subcontainers title
        nullptr,               // apply-to-objects title
        nullptr,               // apply-to-subcontainers confirmation
        L"Special Access...",  // special object access title
        nullptr,               // special new-object access title
    };
}

void SetEditorContext(SecurityEditorKind kind) {
    const bool audit = kind == kAuditingEditor;
    SecurityPage.editorContext = {
        kind,
        SecurityPage.object.Name(),
        audit ? SecurityPage.saclDescriptor : SecurityPage.daclDescriptor,
        audit ? &SecurityPage.saclReadable : &SecurityPage.daclReadable,
    };
}

ULONG_PTR EditorContextValue() { return reinterpret_cast<ULONG_PTR>(&SecurityPage.editorContext); }

// Marks an editor as running over the page's buffers. The editors have no
// owner window, so the sheet is disabled meanwhile, as a modal owner would be.
class EditorSession {
public:
    explicit EditorSession(HWND page) : sheet_(GetParent(page)) {
        SecurityPage.editorOpen = true;
        EnableWindow(sheet_, FALSE);
    }
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;
    ~EditorSession() {
        EnableWindow(sheet_, TRUE);
        SetForegroundWindow(sheet_);
        SecurityPage.editorOpen = false;
    }

private:
    HWND sheet_;
};

void StartPermissionsEditor(HWND page) {
    if (!SecurityPage.daclReadable) {
        ShowSecurityMessage(kNoSecurityPermission);
        return;
    }
    if (AclEditor.discretionaryAclEditor == nullptr) {
        ShowSecurityMessage(kAclEditorMissing);
        return;
    }
    SecurityPage.applicationAccesses = PermissionAccessesFor(SecurityPage.kind);
    SetEditorContext(kPermissionsEditor);
    DWORD status = 0;
    DWORD result = 0;
    {
        EditorSession session(page);
        result = AclEditor.discretionaryAclEditor(
            nullptr, nullptr, nullptr, &SecurityPage.objectTypeDescriptor, &SecurityPage.applicationAccesses,
            SecurityPage.objectName, ApplySecurityCallback, EditorContextValue(), SecurityPage.daclDescriptor,
            FALSE, FALSE, &status, 0);
    }
    if (result == 0) return;
    ShowSecurityMessage(IsValidSecurityDescriptor(SecurityPage.daclDescriptor) ? kAclEditorFailed : kSecurityInvalid);
}

void StartAuditingEditor(HWND page) {
    if (!SecurityPage.saclReadable) {
        ShowSecurityMessage(kNoAuditPermission);
        return;
    }
    if (AclEditor.systemAclEditor == nullptr) {
        ShowSecurityMessage(kSaclEditorMissing);
        return;
    }
    SecurityPage.applicationAccesses = AccessesOf(AuditAccesses);
    SetEditorContext(kAuditingEditor);
    DWORD status = 0;
    DWORD result = 0;
    {
        EditorSession session(page);
        result = AclEditor.systemAclEditor(nullptr, nullptr, nullptr, &SecurityPage.objectTypeDescriptor,
                                           &SecurityPage.applicationAccesses, SecurityPage.objectName,
                                           ApplySecurityCallback, EditorContextValue(), SecurityPage.saclDescriptor,
                                           FALSE, &status, 0);
    }
    // The auditing editor's failure is reported without a validity test.
    if (result != 0) ShowSecurityMessage(kSaclEditorFailed);
}

void StartOwnershipEditor(HWND page) {
    if (!SecurityPage.daclReadable) {
        ShowSecurityMessage(kNoSecurityPermission);
        return;
    }
    if (AclEditor.takeOwnership == nullptr) {
        ShowSecurityMessage(kOwnershipEditorMissing);
        return;
    }
    SetEditorContext(kOwnershipEditor);
    lstrcpynW(SecurityPage.ownershipTypeName, L"&Object", static_cast<int>(std::size(SecurityPage.ownershipTypeName)));
    DWORD status = 0;
    DWORD result = 0;
    {
        EditorSession session(page);
        result = AclEditor.takeOwnership(nullptr, nullptr, nullptr, SecurityPage.ownershipTypeName,
                                         SecurityPage.objectName, 1, ApplySecurityCallback, EditorContextValue(),
                                         SecurityPage.daclDescriptor, FALSE, FALSE, &status, &SecurityHelpInfo, 0);
    }
    if (result == 0) return;
    ShowSecurityMessage(IsValidSecurityDescriptor(SecurityPage.daclDescriptor) ? kOwnershipEditorFailed
                                                                              : kSecurityInvalid);
}

// Reads both descriptors once, when the page is created; lParam is the page record.
BOOL OnInitDialog(HWND page, HWND, LPARAM lParam) {
    SecurityPage.object = SheetObjectOf(lParam);
    ReadPermissions(page);
    ReadAuditing(page);
    WidenPath();
    FillObjectTypeDescriptor();
    return TRUE;  // the dialog manager sets the default focus
}

void OnCommand(HWND page, int id, HWND, UINT) {
    // One editor at a time works on the page's buffers.
    if (SecurityPage.editorOpen) return;
    switch (id) {
    case IDC_SECURITY_PERMISSIONS:
        StartPermissionsEditor(page);
        break;
    case IDC_SECURITY_AUDITING:
        StartAuditingEditor(page);
        break;
    case IDC_SECURITY_OWNERSHIP:
        StartOwnershipEditor(page);
        break;
    default:
        break;
    }
}

}  // namespace

SedApplicationAccesses PermissionAccessesFor(SecurityObjectKind kind) {
    switch (kind) {
    case SecurityObjectKind::Directory:
        return AccessesOf(DirectoryAccesses);
    case SecurityObjectKind::Key:
        return AccessesOf(KeyAccesses);
    case SecurityObjectKind::Device:
        return AccessesOf(DeviceAccesses);
    case SecurityObjectKind::Other:
        break;
    }
    return AccessesOf(OtherObjectAccesses);
}

INT_PTR CALLBACK SecurityPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(page, WM_COMMAND, OnCommand);
    default:
        break;
    }
    return FALSE;
}
