#include "namespace/directory_walk.h"

#include <cstring>

#include "common/path_block.h"
#include "namespace/name_lookup.h"
#include "namespace/object_opener.h"
#include "namespace/path_resolver.h"
#include "namespace/visible_name.h"

namespace {

constexpr ULONG kInitialEntryBufferBytes = 256;
// Names and targets are counted in 16-bit byte lengths.
constexpr ULONG kLargestEntryBytes = 0x30000;

bool IsBufferShortage(NTSTATUS status) {
    return status == kStatusBufferTooSmall || status == kStatusBufferOverflow;
}

}  // namespace

std::string ChildPathOf(const std::string& parent, const std::string& name) {
    return parent.size() > 1 ? parent + '\\' + name : parent + name;
}

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

bool DirectoryReader::Open(const ObjectName& path) {
    HANDLE handle = nullptr;
    if (OpenObjectByType(kTypeDirectory, path, 0, false, &handle) != kStatusSuccess) return false;
    Adopt(UniqueNtHandle(handle));
    return true;
}

void DirectoryReader::Adopt(UniqueNtHandle directory) {
    directory_ = std::move(directory);
    context_ = 0;
    restart_ = true;
    buffer_.assign(kInitialEntryBufferBytes / sizeof(ULONG_PTR), 0);
    ++NamespaceCounters().enumerations;
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
    if (!directory_) return false;
    NTSTATUS status = QueryEntry();
    restart_ = false;
    if (status == kStatusSuccess) {
        const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer_.data());
        nameIsExact_ = DescribeName(entry->name, name_);
        DescribeName(entry->typeName, typeName_);
        return true;
    }
    directory_.reset();
    return false;
}

NTSTATUS DirectoryReader::OpenEntry(int typeIndex, ACCESS_MASK desiredAccess, bool wantReadControl,
                                    HANDLE* handle) const {
    *handle = nullptr;
    if (!directory_) return kStatusInvalidParameter;
    const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer_.data());
    return OpenObjectByTypeIn(typeIndex, directory_.get(), entry->name, desiredAccess, wantReadControl, handle);
}

OBJECT_ATTRIBUTES DirectoryReader::EntryAttributes(UNICODE_STRING& name) const {
    name = WideName();
    OBJECT_ATTRIBUTES attributes = MakeObjectAttributes(&name);
    attributes.RootDirectory = directory_.get();
    return attributes;
}

namespace {

constexpr char kLogonDevicesName[] = "??";

struct TreeWalk {
    AddDirectoryProc add;
    void* context;
    const WalkProgress& progress;
    long entriesRead;  // of the whole walk
};

void WalkTreeLevel(TreeWalk& walk, const ObjectName& path, void* parentNode);

// Hands one sub-directory, its path in childPath, to the walk's add and descends into it.
void AddAndDescend(TreeWalk& walk, void* parentNode, const char* name, char* childPath) {
    void* node = walk.add(walk.context, parentNode, name, childPath);
    if (node == nullptr) {
        FreePathBlock(childPath);
        return;
    }
    WalkTreeLevel(walk, NameOfBlock(childPath), node);
}

void WalkTreeLevel(TreeWalk& walk, const ObjectName& path, void* parentNode) {
    DirectoryReader reader;
    if (!reader.Open(path)) return;
    const bool root = path.exact == nullptr && std::strcmp(path.path, RootPath) == 0;
    bool listsLogonDevices = false;
    while (reader.Next()) {
        walk.progress.Report(++walk.entriesRead);
        if (std::strcmp(reader.TypeName(), "Directory") != 0) continue;
        listsLogonDevices = listsLogonDevices || (root && std::strcmp(reader.Name(), kLogonDevicesName) == 0);
        char* childPath = AllocatePathBlock();
        if (childPath == nullptr) continue;
        FillChildPath(childPath, path, reader);
        AddAndDescend(walk, parentNode, reader.Name(), childPath);
    }
    // Later systems keep \?? per logon, and the root does not list it: it goes last.
    if (root && ShowsLogonDevicesUnderRoot(listsLogonDevices)) {
        char* childPath = AllocatePathBlock();
        if (childPath == nullptr) return;
        MakeChildPath(childPath, kObjectPathBlockSize, RootPath, kLogonDevicesName);
        AddAndDescend(walk, parentNode, kLogonDevicesName, childPath);
    }
}

}  // namespace

void WalkDirectoryTree(const ObjectName& path, void* parentNode, AddDirectoryProc add, void* context,
                       const WalkProgress& progress) {
    TreeWalk walk{add, context, progress, 0};
    WalkTreeLevel(walk, path, parentNode);
}

NTSTATUS ReadSymbolicLinkTargetExactly(HANDLE link, std::wstring& target) {
    std::vector<WCHAR> characters(kInitialEntryBufferBytes / sizeof(WCHAR));
    for (;;) {
        UNICODE_STRING text{};
        text.Buffer = characters.data();
        text.MaximumLength = static_cast<USHORT>(characters.size() * sizeof(WCHAR));
        ULONG returned = 0;
        NTSTATUS status = NtQuerySymbolicLinkObject(link, &text, &returned);
        if (status == kStatusSuccess) {
            target.assign(text.Buffer, text.Length / sizeof(WCHAR));
            return status;
        }
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

NTSTATUS ReadSymbolicLinkTarget(HANDLE link, std::string& target, bool* exact) {
    std::wstring wide;
    const NTSTATUS status = ReadSymbolicLinkTargetExactly(link, wide);
    if (status != kStatusSuccess) {
        target.clear();
        return status;
    }
    const bool carried = NarrowPath(wide, target);
    if (exact != nullptr) *exact = carried;
    return status;
}

namespace {

bool IsOfType(const char* typeName, int typeIndex) { return std::strcmp(typeName, ObjectTypeName(typeIndex)) == 0; }

// Opens the current entry: by its path where the path addresses it, by its
// own name in the open directory where it does not.
NTSTATUS OpenListedEntry(const DirectoryReader& reader, const char* childPath, bool addressable, int typeIndex,
                         bool wantReadControl, HANDLE* handle) {
    if (addressable) return OpenObjectByType(typeIndex, childPath, 0, wantReadControl, handle);
    return reader.OpenEntry(typeIndex, 0, wantReadControl, handle);
}

// A link's target, or "Invalid" when the link cannot be opened. A target that
// cannot be read is shown as an empty field, never as stale bytes.
std::string LinkColumn(const DirectoryReader& reader, const char* childPath, bool addressable) {
    HANDLE handle = nullptr;
    if (OpenListedEntry(reader, childPath, addressable, kTypeSymbolicLink, true, &handle) != kStatusSuccess)
        return "Invalid";
    UniqueNtHandle link(handle);
    std::string target;
    ReadSymbolicLinkTarget(link.get(), target);
    return target;
}

// The sort's directory test: the entry opens as a "Directory" with no extra access.
bool OpensAsDirectory(const DirectoryReader& reader, const char* childPath, bool addressable) {
    HANDLE handle = nullptr;
    if (OpenListedEntry(reader, childPath, addressable, kTypeDirectory, false, &handle) != kStatusSuccess)
        return false;
    NtClose(handle);
    return true;
}

}  // namespace

namespace {

bool FillBlock(char* block, const ObjectName& parent, const char* shownName, bool nameIsExact,
               std::wstring_view exactName) {
    if (parent.exact == nullptr && nameIsExact && MakeChildPath(block, kObjectPathBlockSize, parent.path, shownName))
        return true;
    lstrcpynA(block, ChildPathOf(parent.path, shownName).c_str(), static_cast<int>(kObjectPathBlockSize));
    AttachExactPath(block, JoinPath(parent.Wide(), exactName));
    return false;
}

}  // namespace

bool FillChildPath(char* block, const ObjectName& parent, const DirectoryReader& reader) {
    const UNICODE_STRING& name = reader.WideName();
    return FillBlock(block, parent, reader.Name(), reader.NameIsExact(),
                     std::wstring_view(name.Buffer, name.Length / sizeof(WCHAR)));
}

bool FillChildPath(char* block, const ObjectName& parent, std::wstring_view name) {
    std::string shown;
    const bool exact = DescribeName(CountedView(name), shown);
    return FillBlock(block, parent, shown.c_str(), exact, name);
}

std::vector<ListedRow> WalkObjectRows(const ObjectName& path, AddRowProc add, void* context,
                                      const WalkProgress& progress) {
    std::vector<ListedRow> accepted;
    DirectoryReader reader;
    if (!reader.Open(path)) return accepted;
    int position = 0;
    while (reader.Next()) {
        progress.Report(position + 1);
        char* childPath = AllocatePathBlock();
        if (childPath == nullptr) continue;
        const bool addressable = FillChildPath(childPath, path, reader);
        const bool isLink = IsOfType(reader.TypeName(), kTypeSymbolicLink);
        std::string row = reader.Name();
        row += '\t';
        row += reader.TypeName();
        if (isLink) {
            row += '\t';
            row += LinkColumn(reader, childPath, addressable);
        }
        const bool mayBeDirectory = isLink || IsOfType(reader.TypeName(), kTypeDirectory);
        const ListedRow listed{childPath, mayBeDirectory && OpensAsDirectory(reader, childPath, addressable)};
        if (add(context, position++, reader.TypeName(), row.data(), childPath)) {
            accepted.push_back(listed);
        } else {
            FreePathBlock(childPath);
        }
    }
    return accepted;
}
