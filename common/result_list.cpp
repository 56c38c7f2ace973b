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

void ResultListView::ShowRowCount(std::size_t count) {
    if (count == shown_) return;
    if (count == 0)
        SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    else  // more rows repaint only where they show; fewer repaint the whole list
        SendMessageA(list_, LVM_SETITEMCOUNT, count, count > shown_ ? LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL : 0);
    shown_ = count;
}

void ResultListView::Repaint() {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    InvalidateRect(list_, nullptr, TRUE);
}

// The list is an ANSI window and asks in ANSI: its box is an ANSI dialog, or
// answers WM_NOTIFYFORMAT so.
int ResultListView::OnNotify(const NMHDR* header) {
    if (header->hwndFrom != list_) return -1;
    if (header->code == static_cast<UINT>(NM_DBLCLK)) return ListRowAtMessagePos(list_);
    if (header->code == LVN_COLUMNCLICK) {
        SortByColumn(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return -1;
    }
    if (header->code != LVN_GETDISPINFOA) return -1;
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(header))->item;
    if (item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < RowCount())
        CopyCellText(CellText(static_cast<std::size_t>(item.iItem), item.iSubItem), item);
    return -1;
}
