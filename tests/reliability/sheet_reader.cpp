#include "sheet_reader.h"

#include <commctrl.h>

#include "resource_ids.h"
#include "shell/app_context.h"

namespace {

SheetReader* PendingReader = nullptr;
HWND PendingSheet = nullptr;

}  // namespace

SheetReader::SheetReader(bool showSecurity, std::function<void(HWND)> during)
    : showSecurity_(showSecurity),
      during_(std::move(during)),
      catcher_([this](HWND dialog, const CaughtDialog& caught) { return OnDialog(dialog, caught); }) {}

SheetReader::~SheetReader() {
    if (PendingReader == this) PendingReader = nullptr;
}

std::vector<CaughtDialog> SheetReader::Messages() const {
    std::vector<CaughtDialog> messages;
    for (size_t i = cleared_; i < catcher_.Caught().size(); ++i) {
        if (catcher_.Caught()[i].isMessageBox) messages.push_back(catcher_.Caught()[i]);
    }
    return messages;
}

void SheetReader::Clear() {
    sheets_.clear();
    cleared_ = catcher_.Caught().size();
}

// A sheet gets its pages and caption after its first activation, so it is
// read from its own modal loop a moment later.
bool SheetReader::OnDialog(HWND dialog, const CaughtDialog& caught) {
    if (caught.isMessageBox) return false;
    PendingReader = this;
    PendingSheet = dialog;
    SetTimer(nullptr, 0, 1, ReadPendingSheet);
    return true;
}

void CALLBACK SheetReader::ReadPendingSheet(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND sheet = PendingSheet;
    SheetReader* reader = PendingReader;
    PendingSheet = nullptr;
    if (sheet == nullptr || !IsWindow(sheet)) return;
    if (reader != nullptr && WindowText(sheet) == "Object Properties") {
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        SeenSheet seen;
        if (page != nullptr) {
            seen.name = WindowText(page, IDC_DETAIL_NAME);
            seen.type = WindowText(page, IDC_DETAIL_TYPE);
            seen.linkValue = WindowText(page, IDC_DETAIL_SECTION_VALUE2);
            seen.handles = WindowText(page, IDC_DETAIL_HANDLES);
        }
        if (reader->showSecurity_) {
            PropSheet_SetCurSel(sheet, nullptr, 1);
            HWND security = PropSheet_GetCurrentPageHwnd(sheet);
            seen.permissionsRead = IsWindowEnabled(GetDlgItem(security, IDC_SECURITY_PERMISSIONS)) != FALSE;
        }
        reader->sheets_.push_back(seen);
        if (reader->during_) reader->during_(sheet);
    }
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

std::string RowField(int row, int subItem) {
    std::vector<char> text(4096);
    ListView_GetItemText(AppContext.objectList, row, subItem, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::string AnsiOf(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size, nullptr,
                        nullptr);
    return ansi;
}
