#include "common/result_list.h"

#include <algorithm>
#include <cstring>

namespace {

// A cell's text into the list's buffer, cut to fit.
void CopyCellText(const std::string& text, LVITEMA& item) {
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    std::memcpy(item.pszText, text.data(), length);
    item.pszText[length] = '\0';
}

std::string LowerCase(std::string text) {
    if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

bool ResultListView::Create(HWND dialog, int id, std::span<const DialogListColumn> columns) {
    HWND placeholder = GetDlgItem(dialog, id);
    if (placeholder == nullptr) return false;
    const auto style = static_cast<DWORD>(GetWindowLongA(placeholder, GWL_STYLE));
    HWND list = placeholder;
    // The style is fixed when a list is made: a list of the template's is remade as owner-data.
    if ((style & LVS_OWNERDATA) == 0) {
        RECT place{};
        GetWindowRect(placeholder, &place);
        POINT corners[] = {{place.left, place.top}, {place.right, place.bottom}};
        for (POINT& corner : corners) ScreenToClient(dialog, &corner);
        list = CreateWindowExA(static_cast<DWORD>(GetWindowLongA(placeholder, GWL_EXSTYLE)), WC_LISTVIEWA, "",
                               style | LVS_OWNERDATA, corners[0].x, corners[0].y, corners[1].x - corners[0].x,
                               corners[1].y - corners[0].y, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleA(nullptr), nullptr);
        if (list == nullptr) return false;
        // Right after the template's control: the same place in the tab order.
        SetWindowPos(list, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SendMessageA(list, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
        DestroyWindow(placeholder);
    }
    list_ = list;
    InsertDialogListColumns(dialog, list, columns);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    return true;
}

int ResultListView::SelectedRow() const {
    return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ResultListView::ShowRowCount(std::size_t count) const {
    if (count == 0) {
        SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
        return;
    }
    // More rows repaint only where they show; fewer repaint the whole list.
    const auto shown = static_cast<std::size_t>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    const LPARAM flags = count >= shown ? LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL : 0;
    SendMessageA(list_, LVM_SETITEMCOUNT, count, flags);
}

LRESULT ResultListView::OnNotify(const NMHDR* header) const {
    if (header->hwndFrom != list_) return 0;
    if (header->code == LVN_GETDISPINFOA) {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header))->item;
        if (item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < RowCount())
            CopyCellText(CellText(static_cast<std::size_t>(item.iItem), item.iSubItem), item);
        return 0;
    }
    if (header->code == LVN_ODFINDITEMA) {
        const auto* find = reinterpret_cast<const NMLVFINDITEMA*>(header);
        if ((find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find->lvfi.psz == nullptr) return -1;
        return FindRow(find->iStart, find->lvfi.psz, (find->lvfi.flags & LVFI_WRAP) != 0);
    }
    return 0;
}

// The first row from start whose first column begins with text, whatever the
// case, as the list's own search by typed text finds; -1 for none.
int ResultListView::FindRow(int start, const char* text, bool wrap) const {
    const std::string wanted = LowerCase(text);
    const std::size_t count = RowCount();
    if (count == 0) return -1;
    const std::size_t first = start >= 0 && static_cast<std::size_t>(start) < count ? start : 0;
    const std::size_t tries = wrap ? count : count - first;
    for (std::size_t tried = 0; tried < tries; ++tried) {
        const std::size_t row = (first + tried) % count;
        if (LowerCase(CellText(row, 0)).compare(0, wanted.size(), wanted) == 0) return static_cast<int>(row);
    }
    return -1;
}
