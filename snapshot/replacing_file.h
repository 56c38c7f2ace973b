// A file written in full or not at all: the bytes go to a temporary file
// beside the target, which takes the target's place only once all of them
// were written. Until then, and after a failed write, a full disk or a stop,
// the target keeps what it held.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/unique_owner.h"

class ReplacingFile {
public:
    // Writes all of bytes to file: 0, or the Win32 error. Tests put in one that fails.
    using WriteProc = DWORD (*)(HANDLE file, const char* bytes, DWORD size);
    static DWORD WriteAll(HANDLE file, const char* bytes, DWORD size);

    explicit ReplacingFile(WriteProc write = WriteAll) : write_(write) {}
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { Abandon(); }

    // Creates the temporary file beside target; false with why.
    bool Open(const std::wstring& target, std::string& why);
    // Adds bytes, written out a buffer at a time; false with why once a write failed.
    bool Write(std::string_view bytes, std::string& why);
    // Writes the rest and puts the file in the target's place; false with why,
    // the target untouched and the temporary file gone.
    bool Commit(std::string& why);
    // Closes and deletes the temporary file, if any.
    void Abandon();

    // "<target>.<process id>.partial"
    const std::wstring& TemporaryPath() const { return temporary_; }

private:
    bool WriteBuffer(std::string& why);

    WriteProc write_;
    std::wstring target_;
    std::wstring temporary_;
    UniqueWin32Handle file_;
    std::string buffer_;
};
