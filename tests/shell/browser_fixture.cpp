#include "browser_fixture.h"

#include "common/unique_owner.h"
#include "namespace/visible_name.h"
#include "resource_ids.h"

std::optional<std::vector<BYTE>> ReadSettingsValue(DWORD* type) {
    UniqueRegistryKey key;
    DWORD size = 0;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()) != ERROR_SUCCESS ||
        RegQueryValueExA(key.get(), kSettingsValue, nullptr, type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<BYTE> bytes(size);
    RegQueryValueExA(key.get(), kSettingsValue, nullptr, type, bytes.data(), &size);
    return bytes;
}

void WriteSettingsValue(DWORD type, const void* data, DWORD size) {
    UniqueRegistryKey key;
    RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put());
    RegSetValueExA(key.get(), kSettingsValue, 0, type, static_cast<const BYTE*>(data), size);
}

void BrowserTest::SetUp() {
    UniqueRegistryKey key;
    hadKey_ = RegOpenKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put()) == ERROR_SUCCESS;
    savedValue_ = ReadSettingsValue(&savedType_);
    WriteSettingsValue(REG_BINARY, &kTestPlacement, sizeof kTestPlacement);
    countsBefore_ = GetPathBlockCounts();
    ASSERT_EQ(RegisterWindowClasses(instance_), 1);
}

void BrowserTest::TearDown() {
    CloseBrowser();
    UnregisterClassA("TarnelWClass", instance_);
    UnregisterClassA("ZezidSplitterWClass", instance_);
    const PathBlockCounts after = GetPathBlockCounts();
    EXPECT_EQ(after.allocated - countsBefore_.allocated, after.freed - countsBefore_.freed) << "path blocks";

    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    UniqueRegistryKey key;
    if (hadKey_) RegCreateKeyA(HKEY_CURRENT_USER, kSettingsKey, key.put());
    if (savedValue_) WriteSettingsValue(savedType_, savedValue_->data(), static_cast<DWORD>(savedValue_->size()));
}

void BrowserTest::CloseBrowser() {
    if (IsWindow(AppContext.mainWindow)) DestroyWindow(AppContext.mainWindow);
    AppContext = {};
    TakeQuitRequest();
}

int BrowserTest::TakeQuitRequest() {
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? static_cast<int>(message.wParam) : -1;
}

std::string BrowserTest::StatusText() {
    char text[512] = {};
    SendMessageA(AppContext.statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::string> BrowserTest::GoTo(const std::wstring& text) {
    std::vector<std::string> messages;
    HWND box = nullptr;
    DialogCatcher catcher([&](HWND dialog, const CaughtDialog& caught) {
        if (caught.isMessageBox) {
            messages.push_back(caught.text);
            if (box != nullptr) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            return false;  // closed with OK, before the box gets the Cancel
        }
        if (caught.caption != "Go To") return false;
        box = dialog;
        SetDlgItemTextW(dialog, IDC_GOTO_PATH, text.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    Command(CMD_GO_TO);
    return messages;
}

std::vector<std::string> BrowserTest::GoTo(const std::string& path) { return GoTo(WidenPath(path)); }

std::vector<std::string> BrowserTest::ListNames() {
    std::vector<std::string> names(ListView_GetItemCount(AppContext.objectList));
    for (size_t row = 0; row < names.size(); ++row) {
        char text[1024] = {};  // names are not bound by a path block
        ListView_GetItemText(AppContext.objectList, static_cast<int>(row), 0, text, sizeof text);
        names[row] = text;
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

const char* BrowserTest::TreeItemPath(HTREEITEM item) {
    TVITEMA read{};
    read.mask = TVIF_PARAM;
    read.hItem = item;
    if (item == nullptr || !TreeView_GetItem(AppContext.namespaceTree, &read)) return nullptr;
    return reinterpret_cast<const char*>(read.lParam);
}

namespace {

// A posted message carries the cursor position; retrieving it makes that the message position.
void SetMessagePos(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    PostMessageA(AppContext.mainWindow, WM_APP, 0, 0);
    MSG message;
    while (PeekMessageA(&message, AppContext.mainWindow, WM_APP, WM_APP, PM_REMOVE)) {
    }
    ASSERT_EQ(GetMessagePos(), static_cast<DWORD>(MAKELONG(screen.x, screen.y)));
}

POINT RowCentre(HWND list, int row) {
    RECT label{};
    ListView_GetItemRect(list, row, &label, LVIR_LABEL);
    POINT screen = {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
    ClientToScreen(list, &screen);
    return screen;
}

}  // namespace

void BrowserTest::ClickList(UINT code, int row, POINT screen) {
    SetMessagePos(row >= 0 ? RowCentre(AppContext.objectList, row) : screen);
    NMHDR header{AppContext.objectList, kObjectListId, code};
    SendMessageA(AppContext.mainWindow, WM_NOTIFY, kObjectListId, reinterpret_cast<LPARAM>(&header));
}

void BrowserTest::PointAtRow(HWND list, int row) { SetMessagePos(RowCentre(list, row)); }

void BrowserTest::SelectRow(int row) {
    ListView_SetItemState(AppContext.objectList, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(AppContext.objectList, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

std::vector<std::string> BrowserTest::SelectedNames() {
    std::vector<std::string> names;
    const std::vector<std::string> all = ListNames();
    for (int row = -1; (row = ListView_GetNextItem(AppContext.objectList, row, LVNI_SELECTED)) >= 0;)
        names.push_back(all[static_cast<size_t>(row)]);
    return names;
}
