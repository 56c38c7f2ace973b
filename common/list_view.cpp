#include "common/list_view.h"

#include <windowsx.h>

bool InsertListColumn(HWND list, int index, const char* title, int width) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(title);  // the list copies the title
    column.iSubItem = index;
    return SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)) != -1;
}

void InsertDialogListColumns(HWND dialog, HWND list, std::span<const DialogListColumn> columns) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        RECT width = {0, 0, columns[i].width, 0};
        MapDialogRect(dialog, &width);
        InsertListColumn(list, static_cast<int>(i), columns[i].title, width.right);
    }
}

int AppendListRow(HWND list, const char* text, LPARAM param) {
    return InsertListRow(list, static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)), text, param);
}

int InsertListRow(HWND list, int index, const char* text, LPARAM param) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(text);
    item.lParam = param;
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetListCell(HWND list, int row, int subItem, const char* text) {
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text);  // the list copies the text
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

std::string ListCellText(HWND list, int row, int subItem) {
    char text[256] = {};
    LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

POINT PointOfMessagePos(DWORD position) {
    // Signed: left of or above the primary monitor, coordinates are negative.
    return {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
}

int ListRowAtMessagePos(HWND list) {
    POINT point = PointOfMessagePos(GetMessagePos());
    if (!ScreenToClient(list, &point)) return kNoMessagePosition;
    LVHITTESTINFO hit{};
    hit.pt = point;
    SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    return (hit.flags & LVHT_ONITEM) != 0 && hit.iItem >= 0 ? hit.iItem : -1;
}
