#include "browser_fixture.h"

#include "common/unique_owner.h"
#include "shell/app_context.h"
#include "shell/startup.h"
#include "views/namespace_tree.h"

namespace {

constexpr UINT kPositionMessage = WM_APP + 7;

bool SettingsKeyExists() {
    UniqueRegistryKey key;
    return RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()) == ERROR_SUCCESS;
}

}  // namespace

std::optional<StoredValue> ReadSettingsValue() {
    UniqueRegistryKey key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()) != ERROR_SUCCESS) return std::nullopt;
    StoredValue value{};
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), kSettingsValue, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    RegQueryValueExA(key.get(), kSettingsValue, nullptr, &value.type, value.bytes.data(), &size);
    return value;
}

void WriteSettingsValue(DWORD type, const void* data, DWORD size) {
    UniqueRegistryKey key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()), ERROR_SUCCESS);
    RegSetValueExA(key.get(), kSettingsValue, 0, type, static_cast<const BYTE*>(data), size);
}

void DeleteSettingsKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }

void BrowserTest::SetUp() {
    hadKey_ = SettingsKeyExists();
    savedValue_ = ReadSettingsValue();
    WriteSettingsValue(REG_BINARY, &kTestPlacement, sizeof kTestPlacement);
    countsBefore_ = GetPathBlockCounts();
    ASSERT_EQ(RegisterWindowClasses(instance_), 1);
}

void BrowserTest::TearDown() {
    CloseBrowser();
    UnregisterClassA("TarnelWClass", instance_);
    UnregisterClassA("ZezidSplitterWClass", instance_);
    PathBlockCounts after = GetPathBlockCounts();
    EXPECT_EQ(after.allocated - countsBefore_.allocated, after.freed - countsBefore_.freed)
        << "every path block is released exactly once";

    DeleteSettingsKey();
    if (hadKey_) {
        UniqueRegistryKey key;
        RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put());
        if (savedValue_) WriteSettingsValue(savedValue_->type, savedValue_->bytes.data(), savedValue_->bytes.size());
    }
}

bool BrowserTest::OpenBrowser() { return CreateMainWindow(instance_, SW_SHOWNORMAL) == 1; }

void BrowserTest::CloseBrowser() {
    if (IsWindow(AppContext.mainWindow)) DestroyWindow(AppContext.mainWindow);
    AppContext = {};
    TakeQuitRequest();
}

int BrowserTest::TakeQuitRequest() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return -1;
    return static_cast<int>(message.wParam);
}

void BrowserTest::Command(UINT id) { SendMessageA(AppContext.mainWindow, WM_COMMAND, id, 0); }

void BrowserTest::SetClientSize(int width, int height) {
    RECT outer;
    RECT client;
    GetWindowRect(AppContext.mainWindow, &outer);
    GetClientRect(AppContext.mainWindow, &client);
    SetWindowPos(AppContext.mainWindow, nullptr, 0, 0, width + (outer.right - outer.left) - client.right,
                 height + (outer.bottom - outer.top) - client.bottom, SWP_NOMOVE | SWP_NOZORDER);
}

RECT BrowserTest::PaneRect(HWND pane) {
    RECT rect;
    GetWindowRect(pane, &rect);
    MapWindowPoints(nullptr, AppContext.mainWindow, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string BrowserTest::StatusText() {
    char text[512] = {};
    SendMessageA(AppContext.statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::string> BrowserTest::ListNames() {
    std::vector<std::string> names;
    const int count = static_cast<int>(SendMessageA(AppContext.objectList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        char text[kObjectPathBlockSize] = {};
        LVITEMA item{};
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(AppContext.objectList, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        names.push_back(text);
    }
    return names;
}

int BrowserTest::FindRow(const std::string& name) {
    std::vector<std::string> names = ListNames();
    for (size_t row = 0; row < names.size(); ++row) {
        if (names[row] == name) return static_cast<int>(row);
    }
    return -1;
}

HTREEITEM BrowserTest::TreeItem(const std::string& path) {
    std::string writable = path;
    return FindTreeItemByPath(AppContext.namespaceTree, nullptr, writable.data());
}

HTREEITEM BrowserTest::TreeCaret() {
    return reinterpret_cast<HTREEITEM>(SendMessageA(AppContext.namespaceTree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

const char* BrowserTest::TreeItemPathPointer(HTREEITEM item) {
    TVITEMA read{};
    read.mask = TVIF_PARAM;
    read.hItem = item;
    if (item == nullptr || !SendMessageA(AppContext.namespaceTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(read.lParam);
}

std::string BrowserTest::TreeItemPath(HTREEITEM item) {
    const char* path = TreeItemPathPointer(item);
    return path == nullptr ? std::string() : std::string(path);
}

void BrowserTest::SelectInTree(const std::string& path) {
    HTREEITEM item = TreeItem(path);
    ASSERT_NE(item, nullptr) << path;
    SendMessageA(AppContext.namespaceTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void BrowserTest::Notify(HWND from, int id, UINT code) {
    NMHDR header{from, static_cast<UINT_PTR>(id), code};
    SendMessageA(AppContext.mainWindow, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
}

void BrowserTest::SetMessagePosition(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    PostMessageA(AppContext.mainWindow, kPositionMessage, 0, 0);
    MSG message;
    while (PeekMessageA(&message, AppContext.mainWindow, kPositionMessage, kPositionMessage, PM_REMOVE)) {
    }
    DWORD position = GetMessagePos();
    ASSERT_EQ(static_cast<short>(LOWORD(position)), screen.x);
    ASSERT_EQ(static_cast<short>(HIWORD(position)), screen.y);
}

POINT BrowserTest::RowPoint(int row) {
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageA(AppContext.objectList, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label));
    POINT point{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
    ClientToScreen(AppContext.objectList, &point);
    return point;
}

void BrowserTest::ClickRow(int row, UINT code) {
    SetMessagePosition(RowPoint(row));
    Notify(AppContext.objectList, kObjectListId, code);
}
