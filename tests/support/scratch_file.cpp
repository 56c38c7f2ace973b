#include "support/scratch_file.h"

#include <atomic>

#include "common/unique_owner.h"
#include "namespace/visible_name.h"
#include "snapshot/snapshot_format.h"

namespace {
std::atomic<int> FileCounter{0};
}  // namespace

ScratchFile::ScratchFile(const char* stem) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    path_ = folder + WidenPath(std::string("tarnel-") + stem + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(FileCounter++) + ".snapshot");
}

ScratchFile::~ScratchFile() {
    DeleteFileW(path_.c_str());
    const std::wstring pattern = path_ + L".*";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    const std::wstring folder = path_.substr(0, path_.find_last_of(L'\\') + 1);
    do {
        DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// "name.*" matches the name itself too.
bool ScratchFile::LeftOvers() const {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((path_ + L".*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    const std::wstring own = path_.substr(path_.find_last_of(L'\\') + 1);
    bool others = false;
    do {
        others = others || own != found.cFileName;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return others;
}

std::string ScratchFile::Bytes() const {
    std::string text;
    std::string why;
    ReadSnapshotFile(path_, text, why);
    return text;
}

void ScratchFile::Write(std::string_view bytes) const {
    const UniqueWin32Handle file =
        OwnFileHandle(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool ScratchFile::Exists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }
