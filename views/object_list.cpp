#include "views/object_list.h"

#include <cstring>

#include <windowsx.h>

#include "common/list_view.h"
#include "common/path_block.h"
#include "properties/object_properties.h"
#include "shell/app_context.h"
#include "views/directory_fill.h"
#include "views/namespace_tree.h"

// Row order decides the order of the icons in the image lists and of the lookup.
TypeIconRow TypeIconTable[kTypeIconCount] = {
    {"", "OBJECT_UNK_ICON", 0},
    {"Key", "OBJECT_KEY_ICON", 0},
    {"Port", "OBJECT_PORT_ICON", 0},
    {"Device", "OBJECT_DEVICE_ICON", 0},
    {"Event", "OBJECT_EVENT_ICON", 0},
    {"SymbolicLink", "OBJECT_SYMLINK_ICON", 0},
    {"Section", "OBJECT_SECTION_ICON", 0},
    {"Driver", "OBJECT_DRIVER_ICON", 0},
    {"Directory", "OBJECT_DIR_ICON", 0},
    {"Mutant", "OBJECT_MUTANT_ICON", 0},
    {"WindowStation", "OBJECT_WINDOWSTATION_ICON", 0},
    {"Semaphore", "OBJECT_SEMAPHORE_ICON", 0},
    {"Timer", "OBJECT_TIMER_ICON", 0},
};

HIMAGELIST SmallImageList = nullptr;
HIMAGELIST LargeImageList = nullptr;
LONG ListViewStyle = LVS_REPORT;

namespace {

constexpr int kPaneTop = 27;
constexpr int kListBottomMargin = 42;
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER |
                             LVS_AUTOARRANGE;  // 0x100; no LVS_SHAREIMAGELISTS: the list owns its image lists
static_assert(kListStyle == 0x50800100);

constexpr const char* kColumnTitles[] = {"Name", "Type", "SymLink"};

struct ViewCommandRow {
    WORD command;
    LONG viewType;
};
constexpr ViewCommandRow kViewCommands[] = {
    {120, LVS_ICON},       // "&Large Icon View"
    {121, LVS_SMALLICON},  // "&Small Icon View"
    {122, LVS_LIST},       // "List &View"
    {123, LVS_REPORT},     // "&Details View"
};

void LoadTypeIcons(HINSTANCE instance) {
    for (TypeIconRow& row : TypeIconTable) {
        HICON icon = LoadIconA(instance, row.iconName);
        int smallIndex = ImageList_ReplaceIcon(SmallImageList, -1, icon);
        int largeIndex = ImageList_ReplaceIcon(LargeImageList, -1, icon);
        row.imageIndex = smallIndex != -1 && smallIndex == largeIndex ? smallIndex : 0;
    }
}

bool InsertColumns(HWND list, int width) {
    const auto columnWidth = static_cast<int>(static_cast<unsigned>(width) / 3u + 1u);
    for (int position = 0; position < 3; ++position) {
        if (!InsertListColumn(list, position, kColumnTitles[position], columnWidth)) return false;
    }
    return true;
}

// Image index of a type name, compared exactly; 0 when no row names it.
int LookupTypeImage(const char* typeName) {
    for (const TypeIconRow& row : TypeIconTable) {
        if (std::strcmp(row.typeName, typeName) == 0) return row.imageIndex;
    }
    return 0;
}

// Cuts text at its first TAB; the rest after the TAB, or null when there is none.
char* CutAtTab(char* text) {
    char* tab = std::strchr(text, '\t');
    if (tab == nullptr) return nullptr;
    *tab = '\0';
    return tab + 1;
}

enum class RowHit { kNoPosition, kNotOnRow, kUnreadable, kFound };

// The row under the position of the message being handled, and its path.
RowHit FindClickedRow(HWND list, HWND notifier, char** path) {
    const int row = ListRowAtMessagePos(list);
    if (row == kNoMessagePosition) return RowHit::kNoPosition;
    if (row < 0) return RowHit::kNotOnRow;

    *path = ObjectRowPath(notifier, row);
    return *path != nullptr ? RowHit::kFound : RowHit::kUnreadable;
}

// A directory the tree holds is shown by selecting it there; any other row
// opens the property sheet.
int OnRowDoubleClicked(HWND list, HWND tree, const NMHDR* header, HINSTANCE instance, const char** selectedPath) {
    char* path = nullptr;
    if (FindClickedRow(list, header->hwndFrom, &path) != RowHit::kFound) return 0;
    // A row that carries an exact path is looked up by it, never by its text.
    HTREEITEM item = FindTreeItemByName(tree, NameOfBlock(path));
    if (item != nullptr) {
        // The selection refills the list and frees this row's path: touch nothing after it.
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        return 0;
    }
    *selectedPath = path;
    ShowObjectProperties(list, instance, NameOfBlock(path));
    return 1;
}

// A click outside the rows keeps the pick, but the status text is written again.
int OnRowClicked(HWND list, const NMHDR* header, const char** selectedPath) {
    char* path = nullptr;
    switch (FindClickedRow(list, header->hwndFrom, &path)) {
        case RowHit::kFound:
            *selectedPath = path;
            return 1;
        case RowHit::kNotOnRow:
            return 1;
        default:
            return 0;
    }
}

}  // namespace

HWND CreateObjectList(HWND parent, HINSTANCE instance) {
    RECT client;
    GetClientRect(parent, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const int quarter = width / 4;

    // Only the type bits of a stored style count, so no other list style can creep in.
    ListViewStyle &= LVS_TYPEMASK;
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", static_cast<DWORD>(ListViewStyle) | kListStyle,
                                quarter, kPaneTop, width - quarter, height - kListBottomMargin, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kObjectListId)), instance, nullptr);
    if (list == nullptr) return nullptr;

    SmallImageList = ImageList_Create(16, 16, ILC_MASK, 1, 0);
    LargeImageList = ImageList_Create(32, 32, ILC_MASK, 1, 0);
    LoadTypeIcons(instance);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(SmallImageList));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(LargeImageList));

    if (!InsertColumns(list, width - quarter)) return nullptr;
    return list;
}

bool AddObjectRow(HWND list, int position, const char* typeName, char* rowText, char* path) {
    char* fields = CutAtTab(rowText);

    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = position;
    item.pszText = rowText;
    item.cchTextMax = lstrlenA(rowText);
    item.iImage = LookupTypeImage(typeName);
    item.lParam = reinterpret_cast<LPARAM>(path);
    const auto row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row == -1) return false;

    // Type and SymLink, at the index the row got (not the position asked
    // for, which the list may not have); a fourth field and any later one are not shown.
    for (int subItem = 1; subItem <= 2 && fields != nullptr; ++subItem) {
        char* field = fields;
        fields = CutAtTab(field);
        SetListCell(list, row, subItem, field);
    }
    return true;
}

bool DeleteObjectRow(HWND list, int index) {
    if (char* path = ObjectRowPath(list, index)) {
        // A deleted row's path must not stay picked.
        if (AppContext.SelectedPath == path) AppContext.SelectedPath = nullptr;
        FreePathBlock(path);
    }
    return SendMessageA(list, LVM_DELETEITEM, index, 0) != 0;
}

char* ObjectRowPath(HWND list, int row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (row < 0 || !SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<char*>(item.lParam);
}

void DeleteAllObjectRows(HWND list) {
    // The sort record names the rows' paths, which go with the rows.
    ForgetListingRecord();
    while (DeleteObjectRow(list, 0)) {
    }
}

void RepaintWhole(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void SetListViewStyle(HWND list, WPARAM command) {
    for (const ViewCommandRow& row : kViewCommands) {
        if (row.command != LOWORD(command)) continue;
        LONG style = GetWindowLongA(list, GWL_STYLE);
        ListViewStyle = row.viewType;
        if ((style & LVS_TYPEMASK) != row.viewType) {
            SetWindowLongA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | row.viewType);
            // The control repaints only what it thinks changed; the old view's
            // labels would stay under the new one.
            RepaintWhole(list);
        }
        return;
    }
}

int HandleListNotify(HWND list, HWND tree, int controlId, const NMHDR* header, HINSTANCE instance,
                     const char** selectedPath) {
    if (controlId != kObjectListId) return 0;
    switch (header->code) {
        case NM_DBLCLK:
            return OnRowDoubleClicked(list, tree, header, instance, selectedPath);
        case NM_CLICK:
            return OnRowClicked(list, header, selectedPath);
        default:
            return 0;
    }
}
