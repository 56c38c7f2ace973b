#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/fatal_message.h"
#include "common/unique_owner.h"
#include "support/beside_program.h"
#include "tarnel_version.h"

namespace {

constexpr char kKey[] = "Software\\Halvorsteen\\Tarnel";
constexpr char kValue[] = "Settings";
constexpr DWORD kWaitMilliseconds = 30000;

struct Stored {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    bool operator==(const Stored&) const = default;
};

std::optional<Stored> ReadStored() {
    UniqueRegistryKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    Stored stored;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), kValue, nullptr, &stored.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    stored.bytes.resize(size);
    if (RegQueryValueExA(key.get(), kValue, nullptr, &stored.type, stored.bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    stored.bytes.resize(size);
    return stored;
}

void WriteStored(DWORD type, const std::vector<BYTE>& bytes) {
    UniqueRegistryKey key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kKey, key.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), kValue, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

void DeleteStored() {
    UniqueRegistryKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        RegDeleteValueA(key.get(), kValue);
}

std::vector<BYTE> Record(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                         std::int32_t split, std::int32_t style, std::int32_t command) {
    const std::int32_t fields[] = {x, y, width, height, split, style, command};
    const auto* first = reinterpret_cast<const BYTE*>(fields);
    return std::vector<BYTE>(first, first + sizeof fields);
}

// The program started as a process of its own, with its main window found.
class RunningProgram {
public:
    RunningProgram() {
        const std::string program = BesideThisProgram("tarnel.exe");
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + program + "\"";
        if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
            return;
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        processId_ = info.dwProcessId;
        WaitForInputIdle(process_.get(), kWaitMilliseconds);
        for (DWORD waited = 0; waited < kWaitMilliseconds && window_ == nullptr; waited += 50) {
            window_ = FindOwnWindow();
            if (window_ == nullptr) Sleep(50);
        }
    }
    ~RunningProgram() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 99);
    }

    HWND Window() const { return window_; }
    HWND Pane(int id) const { return GetDlgItem(window_, id); }

    // Waits for the process to end; its exit value, or -1 when it does not end.
    int ExitValue() {
        if (WaitForSingleObject(process_.get(), kWaitMilliseconds) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<int>(code);
    }

private:
    HWND FindOwnWindow() const {
        HWND found = nullptr;
        while ((found = FindWindowExA(nullptr, found, "TarnelWClass", "Tarnel")) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == processId_) return found;
        }
        return nullptr;
    }

    UniqueWin32Handle process_;
    DWORD processId_ = 0;
    HWND window_ = nullptr;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = ReadStored(); }
    void TearDown() override {
        if (saved_) WriteStored(saved_->type, saved_->bytes);
        else DeleteStored();
    }
    std::optional<Stored> saved_;
};

TEST_F(ProgramTest, ClosingSavesAndTheNextStartRestores) {
    DeleteStored();
    {
        RunningProgram program;
        ASSERT_NE(program.Window(), nullptr);
        SetWindowPos(program.Window(), nullptr, 100, 50, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(program.Window(), WM_COMMAND, 122, 0);  // List View
        // Closed while minimised: what is stored is the restored rectangle.
        ShowWindow(program.Window(), SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(program.Window()));
        PostMessageA(program.Window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(program.ExitValue(), 0);
    }
    std::optional<Stored> stored = ReadStored();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(stored->bytes.size(), 28u);
    EXPECT_EQ(stored->bytes, Record(100, 50, 800, 600, 50, 3, 122));

    // The second start comes up, visible, where the first one ended.
    RunningProgram again;
    ASSERT_NE(again.Window(), nullptr);
    EXPECT_TRUE(IsWindowVisible(again.Window()));
    EXPECT_FALSE(IsIconic(again.Window()));
    RECT rect{};
    GetWindowRect(again.Window(), &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right - rect.left, 800);
    EXPECT_EQ(rect.bottom - rect.top, 600);
    EXPECT_EQ(GetWindowLongA(again.Pane(1002), GWL_STYLE) & 3, 3);

    // File > Exit ends the run without writing, even after the window moved.
    SetWindowPos(again.Window(), nullptr, 10, 10, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageA(again.Window(), WM_COMMAND, 110, 0);
    EXPECT_EQ(again.ExitValue(), 0);
    EXPECT_EQ(ReadStored(), stored);
}

// Both shipped programs carry the project's version and product name, and
// name as their maker the one whose name the settings key carries.
TEST(VersionResourceTest, ShippedProgramsCarryTheProjectsVersion) {
    for (const char* program : {"tarnel.exe", "tarnel-acledit.dll"}) {
        SCOPED_TRACE(program);
        const std::string file = BesideThisProgram(program);
        DWORD ignored = 0;
        std::vector<BYTE> block(GetFileVersionInfoSizeA(file.c_str(), &ignored));
        ASSERT_FALSE(block.empty());
        ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
        EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(TARNEL_VERSION_MINOR, TARNEL_VERSION_MAJOR)));
        EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, TARNEL_VERSION_PATCH)));
        char* text = nullptr;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\ProductName",
                                   reinterpret_cast<void**>(&text), &size));
        EXPECT_STREQ(text, "Tarnel");
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\CompanyName",
                                   reinterpret_cast<void**>(&text), &size));
        const std::string_view key = kKey;
        EXPECT_EQ(text, key.substr(9, key.rfind('\\') - 9));
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileVersion",
                                   reinterpret_cast<void**>(&text), &size));
        EXPECT_STREQ(text, TARNEL_VERSION_TEXT);
    }
}

// The message the shipped programs end with when the C++ library cannot go
// on says why; only a failed allocation says memory ran out.
TEST(FatalMessageTest, SaysWhyTheProgramStopped) {
    struct Case {
        FatalCause cause;
        const char* detail;
        std::size_t size;
        std::string_view expected;
    };
    constexpr Case kCases[] = {
        {FatalCause::OutOfMemory, nullptr, 256, "Tarnel ran out of memory."},
        {FatalCause::TooLarge, "vector::reserve", 256, "Tarnel stopped: a list or text grew larger than it can ever be."},
        {FatalCause::LibraryFault, "vector::_M_range_check", 256,
         "Tarnel stopped on an internal error: vector::_M_range_check."},
        {FatalCause::LibraryFault, nullptr, 256, "Tarnel stopped on an internal error."},
        {FatalCause::LibraryFault, "basic_string::at", 20, "Tarnel stopped on a"},
        {FatalCause::OutOfMemory, nullptr, 1, ""},
    };
    for (const Case& test : kCases) {
        char message[300];
        std::memset(message, 'x', sizeof message);
        FormatFatalMessage(test.cause, test.detail, message, test.size);
        EXPECT_EQ(message, test.expected);
        EXPECT_EQ(message[test.size], 'x') << "written past the bound";
    }
}

}  // namespace
