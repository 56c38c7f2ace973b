// Files of a test's own in the temporary folder.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// A path in the temporary folder that no other test uses; the file, and a
// save's temporary file beside it, go with the record.
class ScratchFile {
public:
    explicit ScratchFile(const char* stem);
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();
    const std::wstring& Path() const { return path_; }
    // The bytes the file holds; empty when it is missing.
    std::string Bytes() const;
    void Write(std::string_view bytes) const;
    bool Exists() const;
    // Whether anything but the file itself lies beside it under its name (a save's leftovers).
    bool LeftOvers() const;

private:
    std::wstring path_;
};
