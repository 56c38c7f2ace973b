#include "properties/handles_page.h"

#include <windowsx.h>
#include <commctrl.h>

#include <cstdio>
#include <iterator>

#include "common/list_view.h"
#include "properties/security_page.h"
#include "resource_ids.h"

namespace {

constexpr int kPathSize = 1024;
// The uninspected line names this many processes, then says how many more.
constexpr std::size_t kNamedUninspected = 6;

constexpr char kNobodyElse[] = "No other process holds this object.";
constexpr char kNobodyInspected[] = "No process that could be inspected holds this object.";
constexpr char kOwnHandleNotListed[] = "The system's handle list does not show Tarnel's own handle to this object.";

// The page's state: set at page creation; the search waits for the first
// time the page is shown.
struct HandlesPageState {
    char path[kPathSize];  // the page's own copy of the object's path
    bool searched;
};
HandlesPageState HandlesPage = {};

struct ColumnDescription {
    const char* title;
    int width;  // dialog units
};
constexpr ColumnDescription kColumns[] = {
    {"Process", 70},
    {"PID", 30},
    {"Handle", 34},
    {"Access", 116},  // widened to its longest text after each search
};

const char* Plural(std::size_t count, const char* one, const char* many) { return count == 1 ? one : many; }

std::string Counted(long count, const char* one, const char* many) {
    char text[64];
    std::snprintf(text, sizeof text, "%ld %s", count, count == 1 ? one : many);
    return text;
}

// A right's title in the permission table without its mnemonic and without
// the trailing letter in parentheses: "&Query State (Q)" is "Query State".
std::string RightName(const wchar_t* title) {
    std::string name;
    for (const wchar_t* c = title; *c != L'\0'; ++c) {
        if (*c != L'&') name += static_cast<char>(*c < 0x80 ? *c : L'?');
    }
    const std::size_t open = name.rfind(" (");
    if (open != std::string::npos && !name.empty() && name.back() == ')') name.erase(open);
    return name;
}

SecurityObjectKind KindOfRow(int typeRow) {
    switch (typeRow) {
    case kTypeDirectory:
        return SecurityObjectKind::Directory;
    case kTypeKey:
        return SecurityObjectKind::Key;
    case kTypeDevice:
        return SecurityObjectKind::Device;
    default:
        return SecurityObjectKind::Other;
    }
}

std::string DescribeUninspected(const std::vector<UninspectedProcess>& processes) {
    if (processes.empty()) return {};
    std::string text =
        Counted(static_cast<long>(processes.size()), "process", "processes") + " could not be inspected: ";
    for (std::size_t i = 0; i < processes.size() && i < kNamedUninspected; ++i) {
        char entry[48];
        std::snprintf(entry, sizeof entry, " (%lu)", processes[i].processId);
        if (i > 0) text += ", ";
        text += processes[i].processName + entry;
    }
    if (processes.size() > kNamedUninspected)
        text += ", and " + std::to_string(processes.size() - kNamedUninspected) + " more";
    return text;
}

// Accounts for the handles the object's count has beyond those listed: this
// process's own, and those in processes that could not be inspected.
std::string DescribeDifference(const HolderSearch& search) {
    const long listed = static_cast<long>(search.handles.size());
    if (search.handleCount < 0 || search.handleCount == listed) return {};
    std::string text = "The object has " + Counted(search.handleCount, "handle", "handles") +
                       " now, as the Details page counts them. ";
    const long rest = search.handleCount - listed - search.ownHandles;
    std::string parts;
    auto add = [&parts](const std::string& part) { parts += (parts.empty() ? "" : ", ") + part; };
    if (search.ownHandles > 0) add(std::to_string(search.ownHandles) + " of Tarnel's own");
    if (rest > 0 && !search.uninspected.empty())
        add(std::to_string(rest) + " in " + Plural(search.uninspected.size(), "the process", "processes") +
            " that could not be inspected");
    else if (rest > 0)
        add(std::to_string(rest) + " not in the system's handle list");
    if (rest < 0) return text + "It changed while the list was read.";
    return text + "Not listed here: " + parts + ".";
}

// Holds the wait cursor for the extent of a search.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { SetCursor(previous_); }

private:
    HCURSOR previous_;
};

void InsertColumns(HWND page) {
    HWND list = GetDlgItem(page, IDC_HANDLES_LIST);
    for (std::size_t i = 0; i < std::size(kColumns); ++i) {
        RECT width = {0, 0, kColumns[i].width, 0};
        MapDialogRect(page, &width);
        InsertListColumn(list, static_cast<int>(i), kColumns[i].title, width.right);
    }
}

void AddHolderRow(HWND list, const HandleHolder& holder, int typeRow) {
    const int row = AppendListRow(list, holder.processName.c_str());
    if (row == -1) return;
    char number[32];
    std::snprintf(number, sizeof number, "%lu", holder.processId);
    SetListCell(list, row, 1, number);
    std::snprintf(number, sizeof number, "0x%llX", static_cast<unsigned long long>(holder.handleValue));
    SetListCell(list, row, 2, number);
    SetListCell(list, row, 3, DescribeAccess(holder.grantedAccess, typeRow).c_str());
}

// Widens the Access column to its longest text, or to the rest of the list
// where that is wider, so that it scrolls only when a text needs it.
void FitAccessColumn(HWND list) {
    constexpr int kAccessColumn = static_cast<int>(std::size(kColumns)) - 1;
    SendMessageA(list, LVM_SETCOLUMNWIDTH, kAccessColumn, LVSCW_AUTOSIZE);
    RECT client{};
    GetClientRect(list, &client);
    int rest = client.right;
    for (int column = 0; column < kAccessColumn; ++column)
        rest -= static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    if (SendMessageA(list, LVM_GETCOLUMNWIDTH, kAccessColumn, 0) < rest)
        SendMessageA(list, LVM_SETCOLUMNWIDTH, kAccessColumn, rest);
}

// Searches the object's handles and shows what was found.
void SearchAndShow(HWND page) {
    WaitCursor wait;
    const HolderSearch search = FindObjectHolders(HandlesPage.path);
    HWND list = GetDlgItem(page, IDC_HANDLES_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (const HandleHolder& holder : search.handles) AddHolderRow(list, holder, search.typeRow);
    FitAccessColumn(list);
    const HandlesPageTexts texts = DescribeHolders(search, HandlesPage.path);
    SetDlgItemTextA(page, IDC_HANDLES_SUMMARY, texts.summary.c_str());
    SetDlgItemTextA(page, IDC_HANDLES_UNINSPECTED, texts.uninspected.c_str());
    SetDlgItemTextA(page, IDC_HANDLES_NOTE, texts.note.c_str());
    HandlesPage.searched = true;
}

// Keeps the path and makes the columns; the search waits for the page to
// be shown, as most sheets are closed without it. lParam is the page record.
BOOL OnInitDialog(HWND page, HWND, LPARAM lParam) {
    const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
    const char* path = record != nullptr ? reinterpret_cast<const char*>(record->lParam) : nullptr;
    std::snprintf(HandlesPage.path, sizeof HandlesPage.path, "%s", path != nullptr ? path : "");
    HandlesPage.searched = false;
    InsertColumns(page);
    return TRUE;
}

void OnCommand(HWND page, int id, HWND, UINT code) {
    if (id == IDC_HANDLES_REFRESH && code == BN_CLICKED) SearchAndShow(page);
}

// The first activation searches; later ones show the last search.
void OnNotify(HWND page, const NMHDR* header) {
    if (header->code == static_cast<UINT>(PSN_SETACTIVE) && !HandlesPage.searched) SearchAndShow(page);
}

}  // namespace

HandlesPageTexts DescribeHolders(const HolderSearch& search, const char* path) {
    HandlesPageTexts texts;
    switch (search.result) {
    case HolderSearchResult::ObjectNotOpened:
        texts.summary = std::string("Unable to open ") + path;
        return texts;
    case HolderSearchResult::ListNotRead: {
        char text[96];
        std::snprintf(text, sizeof text, "The system's handle list could not be read (status 0x%08lX).",
                      static_cast<unsigned long>(search.status));
        texts.summary = text;
        return texts;
    }
    case HolderSearchResult::OwnHandleNotListed:
        texts.summary = kOwnHandleNotListed;
        return texts;
    case HolderSearchResult::Done:
        break;
    }
    if (search.handles.empty())
        texts.summary = search.uninspected.empty() ? kNobodyElse : kNobodyInspected;
    else
        texts.summary = Counted(static_cast<long>(search.handles.size()), "handle", "handles") + " in " +
                        Counted(static_cast<long>(search.ProcessCount()), "process", "processes");
    texts.uninspected = DescribeUninspected(search.uninspected);
    texts.note = DescribeDifference(search);
    return texts;
}

std::string DescribeAccess(ACCESS_MASK granted, int typeRow) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(granted));
    std::string words;
    const SedApplicationAccesses table = PermissionAccessesFor(KindOfRow(typeRow));
    for (ULONG i = 0; i < table.count; ++i) {
        const SedApplicationAccess& row = table.accessGroup[i];
        if (row.type != kSedSpecialAccess || row.accessMask1 == 0 || (granted & row.accessMask1) != row.accessMask1)
            continue;
        if (!words.empty()) words += ", ";
        words += RightName(row.permissionTitle);
    }
    return words.empty() ? hex : std::string(hex) + " (" + words + ")";
}

INT_PTR CALLBACK HandlesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(page, WM_INITDIALOG, OnInitDialog);
        HANDLE_MSG(page, WM_COMMAND, OnCommand);
    case WM_NOTIFY:
        // Nothing is answered: PSN_SETACTIVE's result 0 lets the page show.
        OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
        break;
    default:
        break;
    }
    return FALSE;
}
