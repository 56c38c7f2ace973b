#include "views/list_sort.h"

#include <commctrl.h>

#include <string>
#include <unordered_map>

#include "namespace/object_order.h"
#include "views/directory_fill.h"

namespace {

constexpr SortColumn kColumns[] = {SortColumn::Name, SortColumn::Type, SortColumn::SymLink};

// Each row's text in one column, by the row's path.
std::unordered_map<const char*, std::string> ColumnTexts(HWND list, int subItem) {
    std::unordered_map<const char*, std::string> texts;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    texts.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        char text[1024] = {};
        LVITEMA item{};
        item.mask = LVIF_PARAM | LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = subItem;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        if (SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
            texts.emplace(reinterpret_cast<const char*>(item.lParam), text);
    }
    return texts;
}

}  // namespace

void SortObjectListByColumn(HWND list, int subItem) {
    DirectoryTestRecord* record = CurrentListingRecord();
    if (record == nullptr || subItem < 0 || subItem > 2 || IsFillRunning()) return;
    SortOrder order = record->Order();
    const SortColumn column = kColumns[subItem];
    if (order.chosen && order.column == column) {
        order.descending = !order.descending;
    } else {
        order = {column, false, true};
    }
    if (column == SortColumn::Name) {
        record->SortBy(order);
    } else {
        const std::unordered_map<const char*, std::string> texts = ColumnTexts(list, subItem);
        record->SortBy(order, [&texts](const char* path) {
            auto found = texts.find(path);
            return found != texts.end() ? found->second : std::string();
        });
    }
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(record),
                 reinterpret_cast<LPARAM>(CompareObjectEntriesForSort));
}
