#include "properties/type_page.h"

#include <windowsx.h>
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "common/list_view.h"
#include "namespace/type_facts.h"
#include "properties/sheet_object.h"
#include "resource_ids.h"

namespace {

constexpr UINT_PTR kCountTimer = 1;
long CountSlice = kDefaultCountSlice;

constexpr DialogListColumn kColumns[] = {
    {"Item", 84},  // both fitted to their texts after each fill
    {"Value", 160},
};

// The page's state: the page fills when first shown; the count runs on a
// timer of the page's until it ends, Refresh or the sheet's end.
struct TypePageState {
    SheetObject object;  // the page's own copy of the object's name
    bool filled;
    int countRow;  // the list row of the first count line
    DirectoryCount count;
};
TypePageState TypePage{};

// Appends the lines, a blank row before each heading but the first; the row
// of the first line, or -1 when the list refused it.
int AddLines(HWND list, const std::vector<FactLine>& lines) {
    int first = -1;
    for (const FactLine& line : lines) {
        if (line.heading && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0) AppendListRow(list, "");
        const int row = AppendListRow(list, line.label.c_str());
        if (row == -1) continue;
        SetListCell(list, row, 1, line.value.c_str());
        if (first == -1) first = row;
    }
    return first;
}

// Fits the Item column to its longest label or heading, and widens the Value
// column to its longest text, or to the rest of the list.
void FitColumns(HWND list) {
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE);
    RECT client{};
    GetClientRect(list, &client);
    const int rest = client.right - static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    if (SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0) < rest) SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, rest);
}

void ShowCount(HWND page) {
    HWND list = GetDlgItem(page, IDC_TYPE_LIST);
    const std::vector<FactLine> lines = TypePage.count.Lines();
    for (std::size_t i = 0; i < lines.size() && TypePage.countRow >= 0; ++i)
        SetListCell(list, TypePage.countRow + static_cast<int>(i), 1, lines[i].value.c_str());
}

void StopCounting(HWND page) {
    KillTimer(page, kCountTimer);
    TypePage.count.Stop();
}

// Holds the wait cursor while the facts are read: an object whose name no
// path carries is found by reading its directory up to it.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { SetCursor(previous_); }

private:
    HCURSOR previous_;
};

// Reads the object's facts anew; a directory's count starts over.
void Fill(HWND page) {
    WaitCursor wait;
    StopCounting(page);
    TypePage.filled = true;
    TypePage.countRow = -1;
    HWND list = GetDlgItem(page, IDC_TYPE_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    TypeFacts facts = GatherTypeFacts(TypePage.object.Name());
    if (!facts.located) {
        char text[kSheetPathSize + 32];
        std::snprintf(text, sizeof text, "Unable to open %s", TypePage.object.path);
        SetDlgItemTextA(page, IDC_TYPE_SUMMARY, text);
        return;
    }
    SetDlgItemTextA(page, IDC_TYPE_SUMMARY, TypePage.object.path);
    AddLines(list, facts.lines);
    if (facts.directory) {
        TypePage.count.Start(std::move(facts.directory));
        TypePage.countRow = AddLines(list, TypePage.count.Lines());
        SetTimer(page, kCountTimer, 0, nullptr);
    }
    FitColumns(list);
}

// Keeps the path and makes the columns; the facts wait for the page to be
// shown. The page changes nothing, so the sheet offers Close alone. lParam is
// the page record.
BOOL OnInitDialog(HWND page, HWND, LPARAM lParam) {
    SendMessageA(GetParent(page), PSM_CANCELTOCLOSE, 0, 0);
    TypePage.object = SheetObjectOf(lParam);
    TypePage.filled = false;
    TypePage.countRow = -1;
    InsertDialogListColumns(page, GetDlgItem(page, IDC_TYPE_LIST), kColumns);
    return TRUE;
}

void OnCommand(HWND page, int id, HWND, UINT code) {
    if (id == IDC_TYPE_REFRESH && code == BN_CLICKED) Fill(page);
}

// One slice of the count per tick, so that the window answers in between.
void OnTimer(HWND page, UINT id) {
    if (id != kCountTimer) return;
    TypePage.count.Step(CountSlice, kCountSliceBudgetMs);
    ShowCount(page);
    if (!TypePage.count.Running()) KillTimer(page, kCountTimer);
}

void OnDestroy(HWND page) { StopCounting(page); }

// The first activation fills the page; later ones show what was read.
void OnNotify(HWND page, const NMHDR* header) {
    if (header->code == static_cast<UINT>(PSN_SETACTIVE) && !TypePage.filled) Fill(page);
}

}  // namespace

void SetTypePageCountSlice(long entries) { CountSlice = entries > 0 ? entries : kDefaultCountSlice; }

INT_PTR CALLBACK TypePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(page, WM_COMMAND, OnCommand);
        HANDLE_MSG(page, WM_TIMER, OnTimer);
        HANDLE_MSG(page, WM_DESTROY, OnDestroy);
    case WM_NOTIFY:
        // Nothing is answered: PSN_SETACTIVE's result 0 lets the page show.
        OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
        break;
    default:
        break;
    }
    return FALSE;
}
