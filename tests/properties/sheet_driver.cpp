#include "sheet_driver.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <sddl.h>

#include <memory>

#include "namespace/native_services.h"
#include "properties/object_properties.h"
#include "properties/sheet_object.h"
#include "support/test_namespace.h"

namespace {

// A sheet is activated before it has its caption, so every dialog is looked
// at once its own loop runs: the sheet goes to onSheet, the rest to `others`.
std::vector<CaughtDialog> RunSheet(const std::function<void()>& show, const std::function<void(HWND)>& onSheet,
                                   const DialogCatcher::Handler& others) {
    DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox) return others ? others(dialog, caught) : false;
        RunSoon([dialog, caught, &onSheet, &others] {
            const std::string caption = WindowText(dialog);
            if (caption == "Object Properties" || caption == "Inspect Object") {
                onSheet(dialog);
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                return;
            }
            CaughtDialog named = caught;
            named.caption = caption;
            if (!others || !others(dialog, named)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        return true;
    });
    show();
    return catcher.Caught();
}

struct LocalBlock {
    void operator()(void* block) const { LocalFree(block); }
};

}  // namespace

std::vector<CaughtDialog> RunPropertySheet(const ObjectName& path, const std::function<void(HWND)>& onSheet,
                                           const DialogCatcher::Handler& others) {
    return RunSheet([path] { ShowObjectProperties(nullptr, GetModuleHandleA(nullptr), path); }, onSheet, others);
}

std::vector<CaughtDialog> RunInspectionSheet(const ObjectName& path, const std::function<void(HWND)>& onSheet) {
    return RunSheet([path] { ShowObjectInspection(nullptr, GetModuleHandleA(nullptr), path); }, onSheet, nullptr);
}

std::vector<CaughtDialog> RunOnePageSheet(const char* templateName, DLGPROC procedure, const ObjectName& path,
                                          const std::function<void(HWND)>& onSheet,
                                          const DialogCatcher::Handler& others) {
    return RunSheet(
        [=] {
            PROPSHEETPAGEA page = {};
            page.dwSize = sizeof page;
            page.dwFlags = PSP_DEFAULT;
            page.hInstance = GetModuleHandleA(nullptr);
            page.pszTemplate = templateName;
            page.pfnDlgProc = procedure;
            SheetObject object;
            object.Assign(path);
            page.lParam = reinterpret_cast<LPARAM>(&object);
            PROPSHEETHEADERA header = {};
            header.dwSize = sizeof header;
            header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
            header.hInstance = GetModuleHandleA(nullptr);
            header.pszCaption = "Object Properties";
            header.nPages = 1;
            header.ppsp = &page;
            PropertySheetA(&header);
        },
        onSheet, others);
}

std::vector<std::string> MessagesOf(const std::vector<CaughtDialog>& caught) {
    std::vector<std::string> texts;
    for (const CaughtDialog& c : caught) {
        if (!c.isMessageBox) continue;
        EXPECT_EQ(c.caption, "Tarnel") << c.text;
        texts.push_back(c.text);
    }
    return texts;
}

HWND ShowPage(HWND sheet, int index) {
    SendMessageA(sheet, PSM_SETCURSEL, index, 0);
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, index, 0));
}

void PressButton(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string SidString(PSID sid) {
    char* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return {};
    std::unique_ptr<char, LocalBlock> owner(text);
    return text;
}

std::vector<AceView> AcesOf(PSECURITY_DESCRIPTOR descriptor, bool sacl) {
    std::vector<AceView> aces;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    const BOOL read = sacl ? GetSecurityDescriptorSacl(descriptor, &present, &acl, &defaulted)
                           : GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
    if (!read || !present || acl == nullptr) return aces;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(acl, i, &raw)) break;
        const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        aces.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask,
                        SidString(const_cast<DWORD*>(&ace->SidStart))});
    }
    return aces;
}

std::string OwnerOf(PSECURITY_DESCRIPTOR descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) return {};
    return SidString(owner);
}

std::vector<BYTE> QueryEventSecurity(const std::string& path, SECURITY_INFORMATION parts) {
    NamedAttributes attributes(path);
    HANDLE handle = nullptr;
    const ACCESS_MASK access = READ_CONTROL | ((parts & SACL_SECURITY_INFORMATION) ? ACCESS_SYSTEM_SECURITY : 0);
    if (NtOpenEvent(&handle, access, attributes.Get()) != kStatusSuccess) return {};
    UniqueNtHandle owner(handle);
    std::vector<BYTE> buffer(65536);
    ULONG needed = 0;
    if (NtQuerySecurityObject(handle, parts, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) !=
        kStatusSuccess)
        return {};
    buffer.resize(needed);
    return buffer;
}

bool SetEventSecurity(const std::string& path, SECURITY_INFORMATION parts, std::vector<BYTE> descriptor) {
    NamedAttributes attributes(path);
    HANDLE handle = nullptr;
    if (NtOpenEvent(&handle, WRITE_DAC | WRITE_OWNER | ACCESS_SYSTEM_SECURITY, attributes.Get()) != kStatusSuccess)
        return false;
    UniqueNtHandle owner(handle);
    return NtSetSecurityObject(handle, parts, descriptor.data()) == kStatusSuccess;
}
