#include "support/sheet_pages.h"

#include <commctrl.h>

#include <map>
#include <string>

#include "common/list_view.h"
#include "resource_ids.h"
#include "support/dialog_catcher.h"

namespace {

std::map<UINT_PTR, std::function<void()>> PendingTasks;

void CALLBACK RunPendingTask(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto found = PendingTasks.find(id);
    if (found == PendingTasks.end()) return;
    std::function<void()> task = std::move(found->second);
    PendingTasks.erase(found);
    task();  // may run modal loops of its own, which run later tasks
}

}  // namespace

void RunSoon(std::function<void()> task) {
    const UINT_PTR id = SetTimer(nullptr, 0, 1, RunPendingTask);
    PendingTasks.emplace(id, std::move(task));
}

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

AccessView ReadAccessPage(HWND page) {
    AccessView view{WindowText(page, IDC_ACCESS_SUMMARY), WindowText(page, IDC_ACCESS_CHECK),
                    WindowText(page, IDC_ACCESS_SDDL_LABEL), WindowText(page, IDC_ACCESS_SDDL), {},
                    IsWindowEnabled(GetDlgItem(page, IDC_ACCESS_COPY)) != FALSE};
    HWND list = GetDlgItem(page, IDC_ACCESS_RIGHTS);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) view.states[ListCellText(list, row, 0)] = ListCellText(list, row, 2);
    return view;
}
