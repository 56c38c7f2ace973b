#include "namespace/directory_walk.h"

#include <cstring>

#include "common/path_block.h"
#include "namespace/object_opener.h"

namespace {

constexpr ULONG kInitialEntryBufferBytes = 256;
// Names and targets are counted in 16-bit byte lengths.
constexpr ULONG kLargestEntryBytes = 0x30000;

bool IsBufferShortage(NTSTATUS status) {
    return status == kStatusBufferTooSmall || status == kStatusBufferOverflow;
}

}  // namespace

bool MakeChildPath(char* block, std::size_t size, const char* parent, const char* name) {
    const std::size_t parentLength = std::strlen(parent);
    const std::size_t separatorLength = parentLength > 1 ? 1 : 0;
    const std::size_t nameLength = std::strlen(name);
    if (size == 0 || parentLength + separatorLength + nameLength >= size) return false;
    char* out = block;
    std::memcpy(out, parent, parentLength);
    out += parentLength;
    if (separatorLength != 0) *out++ = '\\';
    std::memcpy(out, name, nameLength);
    out[nameLength] = '\0';
    return true;
}

bool DirectoryReader::Open(const char* path) {
    HANDLE handle = nullptr;
    if (OpenObjectByType(kTypeDirectory, path, 0, false, &handle) != kStatusSuccess) return false;
    directory_.reset(handle);
    context_ = 0;
    restart_ = true;
    buffer_.assign(kInitialEntryBufferBytes / sizeof(ULONG_PTR), 0);
    ++NamespaceCounters().enumerations;
    return true;
}

NTSTATUS DirectoryReader::QueryEntry() {
    for (;;) {
        ULONG returned = 0;
        const ULONG bytes = static_cast<ULONG>(buffer_.size() * sizeof(ULONG_PTR));
        ++NamespaceCounters().directoryQueries;
        // The context only advances when an entry was delivered, so a retry
        // with a larger buffer asks for the same entry again.
        NTSTATUS status = NtQueryDirectoryObject(directory_.get(), buffer_.data(), bytes, TRUE,
                                                 restart_ ? TRUE : FALSE, &context_, &returned);
        if (!IsBufferShortage(status) || bytes >= kLargestEntryBytes) return status;
        ULONG wanted = returned > bytes ? returned : bytes * 2;
        if (wanted > kLargestEntryBytes) wanted = kLargestEntryBytes;
        buffer_.assign((wanted + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR), 0);
    }
}

bool DirectoryReader::Next() {
    while (directory_) {
        NTSTATUS status = QueryEntry();
        restart_ = false;
        if (status != kStatusSuccess) break;
        const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer_.data());
        if (ConvertToAnsi(entry->name, name_) != kStatusSuccess ||
            ConvertToAnsi(entry->typeName, typeName_) != kStatusSuccess)
            break;
        // Objects are addressed by ANSI path: a name the code page cannot hold
        // would address another object (or none), so such an entry is passed over.
        if (IsExactAnsi(entry->name, name_)) return true;
    }
    directory_.reset();
    return false;
}

void WalkDirectoryTree(const char* path, void* parentNode, AddDirectoryProc add, void* context) {
    DirectoryReader reader;
    if (!reader.Open(path)) return;
    while (reader.Next()) {
        if (std::strcmp(reader.TypeName(), "Directory") != 0) continue;
        char* childPath = AllocatePathBlock();
        if (childPath == nullptr) continue;
        // A path too long for its block is skipped alone; the walk goes on.
        if (!MakeChildPath(childPath, kObjectPathBlockSize, path, reader.Name())) {
            FreePathBlock(childPath);
            continue;
        }
        void* node = add(context, parentNode, reader.Name(), childPath);
        if (node == nullptr) {
            FreePathBlock(childPath);
            continue;
        }
        WalkDirectoryTree(childPath, node, add, context);
    }
}

NTSTATUS ReadSymbolicLinkTarget(HANDLE link, std::string& target) {
    std::vector<WCHAR> characters(kInitialEntryBufferBytes / sizeof(WCHAR));
    for (;;) {
        UNICODE_STRING text{};
        text.Buffer = characters.data();
        text.MaximumLength = static_cast<USHORT>(characters.size() * sizeof(WCHAR));
        ULONG returned = 0;
        NTSTATUS status = NtQuerySymbolicLinkObject(link, &text, &returned);
        if (status == kStatusSuccess) return ConvertToAnsi(text, target);
        // A counted string holds at most 65534 bytes; beyond that no retry can help.
        if (!IsBufferShortage(status) || characters.size() * sizeof(WCHAR) >= 0xFFFE) {
            target.clear();
            return status;
        }
        std::size_t wanted = returned > text.MaximumLength ? returned : characters.size() * 2 * sizeof(WCHAR);
        if (wanted > 0xFFFE) wanted = 0xFFFE;
        characters.assign(wanted / sizeof(WCHAR), 0);
    }
}

std::string ComposeObjectRowText(const char* name, const char* typeName, const char* childPath) {
    std::string row = name;
    row += '\t';
    row += typeName;
    if (std::strcmp(typeName, "SymbolicLink") != 0) return row;

    row += '\t';
    HANDLE handle = nullptr;
    std::string target;
    if (OpenObjectByType(kTypeSymbolicLink, childPath, 0, true, &handle) != kStatusSuccess) {
        row += "Invalid";
        return row;
    }
    UniqueNtHandle link(handle);
    // A target that cannot be read is shown as an empty field, never as stale bytes.
    if (ReadSymbolicLinkTarget(link.get(), target) == kStatusSuccess) row += target;
    return row;
}

std::vector<const char*> WalkObjectRows(const char* path, AddRowProc add, void* context) {
    std::vector<const char*> accepted;
    DirectoryReader reader;
    if (!reader.Open(path)) return accepted;
    int position = 0;
    while (reader.Next()) {
        char* childPath = AllocatePathBlock();
        if (childPath == nullptr) continue;
        if (!MakeChildPath(childPath, kObjectPathBlockSize, path, reader.Name())) {
            FreePathBlock(childPath);
            continue;
        }
        std::string row = ComposeObjectRowText(reader.Name(), reader.TypeName(), childPath);
        if (add(context, position++, reader.TypeName(), row.data(), childPath)) {
            accepted.push_back(childPath);
        } else {
            FreePathBlock(childPath);
        }
    }
    return accepted;
}
