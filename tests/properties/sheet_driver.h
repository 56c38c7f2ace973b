// Driving the modal windows of the properties code from a test, and reading
// and writing object descriptors independently of the code under test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "namespace/object_opener.h"
#include "support/dialog_catcher.h"
#include "support/sheet_pages.h"

// Shows the property sheet for path; onSheet runs from the sheet's loop, then
// the sheet is closed with its OK ("Close") button. Other windows go to
// `others`, dialogs a moment after they show (or are closed). Returns every
// window that was caught, with the caption it had when it was first shown.
std::vector<CaughtDialog> RunPropertySheet(const ObjectName& path, const std::function<void(HWND sheet)>& onSheet,
                                           const DialogCatcher::Handler& others = nullptr);

// The same with a sheet holding one page of the program's, for paths the
// full sheet would refuse to show.
std::vector<CaughtDialog> RunOnePageSheet(const char* templateName, DLGPROC procedure, const ObjectName& path,
                                          const std::function<void(HWND sheet)>& onSheet,
                                          const DialogCatcher::Handler& others = nullptr);

// The same with the sheet of the Inspect Object command.
std::vector<CaughtDialog> RunInspectionSheet(const ObjectName& path, const std::function<void(HWND sheet)>& onSheet);

// The texts of the message boxes caught, each checked for the program's
// error style: caption "Tarnel".
std::vector<std::string> MessagesOf(const std::vector<CaughtDialog>& caught);

// Brings a page to the front (creating it) and returns its window.
HWND ShowPage(HWND sheet, int index);
// Sends a button's click to its dialog, as the button would.
void PressButton(HWND dialog, int id);

struct AceView {
    BYTE type;
    BYTE flags;
    ACCESS_MASK mask;
    std::string sid;  // "S-1-..."
};
std::vector<AceView> AcesOf(PSECURITY_DESCRIPTOR descriptor, bool sacl);
std::string OwnerOf(PSECURITY_DESCRIPTOR descriptor);  // SID string, empty when none
std::string SidString(PSID sid);

// Reads or writes an event's descriptor with the native services directly.
std::vector<BYTE> QueryEventSecurity(const std::string& path, SECURITY_INFORMATION parts);
bool SetEventSecurity(const std::string& path, SECURITY_INFORMATION parts, std::vector<BYTE> descriptor);
