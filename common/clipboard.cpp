#include "common/clipboard.h"

#include <cstring>

namespace {

// A global memory block of the clipboard's, filled with bytes.
HGLOBAL ClipboardBlock(const void* bytes, std::size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block == nullptr) return nullptr;
    void* target = GlobalLock(block);
    if (target == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(block);
    return block;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, const std::string& text, const std::wstring* unicode) {
    std::wstring wide;
    if (unicode != nullptr) {
        wide = *unicode + L'\0';
    } else {
        const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
        wide.assign(static_cast<std::size_t>(wideLength > 0 ? wideLength : 1), L'\0');
        if (wideLength > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), wideLength);
    }
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool copied = false;
    // The clipboard owns a block it accepts; one it refuses is freed here.
    if (HGLOBAL ansi = ClipboardBlock(text.c_str(), text.size() + 1)) {
        copied = SetClipboardData(CF_TEXT, ansi) != nullptr;
        if (!copied) GlobalFree(ansi);
    }
    if (HGLOBAL unicode = ClipboardBlock(wide.c_str(), wide.size() * sizeof(wchar_t))) {
        if (SetClipboardData(CF_UNICODETEXT, unicode) == nullptr) GlobalFree(unicode);
    }
    CloseClipboard();
    return copied;
}
