// The entry of tarnel-snapshot.exe, the console program of snapshots (see
// console/snapshot_command.h).
#include <windows.h>

#include <string>

#include "console/snapshot_command.h"
#include "namespace/visible_name.h"

namespace {

// A standard stream: a console gets UTF-16 through the console's own call,
// a file or pipe gets UTF-8.
class StandardStream {
public:
    explicit StandardStream(DWORD which) : handle_(GetStdHandle(which)) {
        DWORD mode = 0;
        console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
    }

    void WriteUtf8(std::string_view text) {
        if (!console_) {
            WriteBytes(text);
            return;
        }
        const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
        WriteWide(wide);
    }

    void WriteAnsi(std::string_view text) {
        const std::wstring wide = WidenPath(text);
        if (console_) {
            WriteWide(wide);
            return;
        }
        const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                               nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(length), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr,
                            nullptr);
        WriteBytes(utf8);
    }

private:
    void WriteBytes(std::string_view bytes) {
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    void WriteWide(const std::wstring& text) {
        DWORD written = 0;
        if (!text.empty()) WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    HANDLE handle_;
    bool console_ = false;
};

class StandardOutput final : public CommandOutput {
public:
    void Out(std::string_view utf8) override { out_.WriteUtf8(utf8); }
    void Error(std::string_view ansi) override { error_.WriteAnsi(ansi); }

private:
    StandardStream out_{STD_OUTPUT_HANDLE};
    StandardStream error_{STD_ERROR_HANDLE};
};

}  // namespace

int main() {
    std::vector<std::wstring> arguments = SplitCommandLine(GetCommandLineW());
    arguments.erase(arguments.begin());
    StandardOutput output;
    return RunSnapshotCommand(arguments, output);
}
