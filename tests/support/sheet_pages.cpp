#include "support/sheet_pages.h"

#include <commctrl.h>

#include <string>

#include "resource_ids.h"
#include "support/dialog_catcher.h"

std::vector<std::string> PageTitles(HWND sheet) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    std::vector<std::string> titles;
    const auto count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        char text[64] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
        titles.push_back(text);
    }
    return titles;
}

HWND ShowPageTitled(HWND sheet, const char* title) {
    const std::vector<std::string> titles = PageTitles(sheet);
    for (std::size_t index = 0; index < titles.size(); ++index) {
        if (titles[index] != title) continue;
        SendMessageA(sheet, PSM_SETCURSEL, index, 0);
        return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, index, 0));
    }
    return nullptr;
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

bool HandlesSearchRunning(HWND page) { return WindowText(page, IDC_HANDLES_SUMMARY).rfind("Searching", 0) == 0; }

bool WaitForHandlesSearch(HWND page) {
    return PumpUntil([page] { return !HandlesSearchRunning(page); });
}
