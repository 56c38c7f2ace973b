#include "snapshot/replacing_file.h"

#include "common/system_error.h"
#include "namespace/visible_name.h"

namespace {

constexpr std::size_t kBufferBytes = 64u << 10;

}  // namespace

DWORD ReplacingFile::WriteAll(HANDLE file, const char* bytes, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, size, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes += written;
        size -= written;
    }
    return NO_ERROR;
}

bool ReplacingFile::Open(const std::wstring& target, std::string& why) {
    Abandon();
    target_ = target;
    const std::string process = std::to_string(GetCurrentProcessId());
    temporary_ = target + L"." + std::wstring(process.begin(), process.end()) + L".partial";
    file_ = OwnFileHandle(
        CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        why = "cannot create " + VisiblePath(temporary_) + ": " + SystemErrorText(GetLastError());
        temporary_.clear();
        return false;
    }
    buffer_.clear();
    buffer_.reserve(kBufferBytes);
    return true;
}

bool ReplacingFile::WriteBuffer(std::string& why) {
    if (!file_) {
        why = "the file is not open";
        return false;
    }
    const DWORD error = buffer_.empty() ? NO_ERROR : write_(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()));
    buffer_.clear();
    if (error == NO_ERROR) return true;
    why = "cannot write " + VisiblePath(temporary_) + ": " + SystemErrorText(error);
    Abandon();
    return false;
}

bool ReplacingFile::Write(std::string_view bytes, std::string& why) {
    if (!file_) {
        why = "the file is not open";
        return false;
    }
    buffer_.append(bytes);
    return buffer_.size() < kBufferBytes || WriteBuffer(why);
}

bool ReplacingFile::Commit(std::string& why) {
    if (!WriteBuffer(why)) return false;
    // On the disk before it takes the target's place.
    if (!FlushFileBuffers(file_.get())) {
        why = "cannot write " + VisiblePath(temporary_) + ": " + SystemErrorText(GetLastError());
        Abandon();
        return false;
    }
    file_.reset();
    if (!MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        why = "cannot replace " + VisiblePath(target_) + ": " + SystemErrorText(GetLastError());
        Abandon();
        return false;
    }
    temporary_.clear();
    return true;
}

void ReplacingFile::Abandon() {
    file_.reset();
    if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
    temporary_.clear();
    buffer_.clear();
}
