#include "support/dialog_catcher.h"

namespace {
DialogCatcher* ActiveCatcher = nullptr;
constexpr int kMessageBoxTextId = 0xFFFF;
}  // namespace

std::string WindowText(HWND window, int id) {
    HWND target = id == 0 ? window : GetDlgItem(window, id);
    if (target == nullptr) return {};
    char text[1024] = {};
    GetWindowTextA(target, text, sizeof text);
    return text;
}

DialogCatcher::DialogCatcher(Handler handler) : handler_(std::move(handler)), previous_(ActiveCatcher) {
    ActiveCatcher = this;
    hook_ = SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId());
}

DialogCatcher::~DialogCatcher() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    ActiveCatcher = previous_;
}

int DialogCatcher::MessageBoxCount() const {
    int count = 0;
    for (const CaughtDialog& caught : caught_) count += caught.isMessageBox ? 1 : 0;
    return count;
}

LRESULT CALLBACK DialogCatcher::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && ActiveCatcher != nullptr) ActiveCatcher->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogCatcher::OnActivate(HWND window) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770") return;
    // Each window is reported once, at its first activation.
    if (GetPropA(window, "TarnelTestCaught") != nullptr) return;
    SetPropA(window, "TarnelTestCaught", reinterpret_cast<HANDLE>(1));

    CaughtDialog caught;
    caught.caption = WindowText(window);
    caught.isMessageBox = GetDlgItem(window, kMessageBoxTextId) != nullptr;
    caught.text = caught.isMessageBox ? WindowText(window, kMessageBoxTextId) : std::string();
    caught.hasOwner = GetWindow(window, GW_OWNER) != nullptr;
    caught_.push_back(caught);
    if (handler_ && handler_(window, caught)) return;
    PostMessageA(window, WM_COMMAND, caught.isMessageBox ? IDOK : IDCANCEL, 0);
}
