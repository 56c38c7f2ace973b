// Reads the property sheets and message boxes that the main window opens,
// then closes them, so that a test can drive the window as a user would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/dialog_catcher.h"

// What one "Object Properties" sheet showed on its Details page.
struct SeenSheet {
    std::string name;       // the path the page shows
    std::string type;
    std::string linkValue;  // second value of the type section (a link's target)
    std::string handles;    // the Details page's handle count
    bool permissionsRead = false;  // the Security page read the DACL (shown only with showSecurity)
};

class SheetReader {
public:
    // With showSecurity, every sheet is also brought to its Security page
    // before it closes; `during` runs from each sheet's own loop, after the
    // Details page was read and before the sheet closes.
    explicit SheetReader(bool showSecurity = false, std::function<void(HWND sheet)> during = nullptr);
    SheetReader(const SheetReader&) = delete;
    SheetReader& operator=(const SheetReader&) = delete;
    ~SheetReader();

    const std::vector<SeenSheet>& Sheets() const { return sheets_; }
    // Message boxes only, in the order they showed.
    std::vector<CaughtDialog> Messages() const;
    void Clear();

private:
    static void CALLBACK ReadPendingSheet(HWND, UINT, UINT_PTR id, DWORD);
    bool OnDialog(HWND dialog, const CaughtDialog& caught);

    bool showSecurity_;
    std::function<void(HWND)> during_;
    std::vector<SeenSheet> sheets_;
    DialogCatcher catcher_;
    size_t cleared_ = 0;
};

// The whole text of a list row's column, however long.
std::string RowField(int row, int subItem);
// The ANSI code page's form of a UTF-16 name, as the platform converts it.
std::string AnsiOf(const std::wstring& text);
