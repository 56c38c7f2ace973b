#include "namespace/handle_list.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kFirstBufferSize = 64u << 10;
// Process records carry their threads; this holds thousands of processes.
constexpr std::size_t kMaxProcessBufferSize = 16u << 20;
// An object name record: the counted string and up to about 2000 characters.
constexpr std::size_t kNameBufferSize = 4096;

constexpr const char kNoImageName[] = "(no name)";
constexpr const char kEndedProcess[] = "(ended)";
constexpr const char kUnknownProcess[] = "(unknown)";

struct ListLayout {
    std::size_t headerSize;
    std::size_t entrySize;
};

ListLayout LayoutOf(HandleListClass listClass) {
    if (listClass == HandleListClass::Extended)
        return {offsetof(SystemHandleTableEx, handles), sizeof(SystemHandleEntryEx)};
    return {offsetof(SystemHandleTable, handles), sizeof(SystemHandleEntry)};
}

ULONG InformationClassOf(HandleListClass listClass) {
    return listClass == HandleListClass::Extended ? kSystemExtendedHandleInformation : kSystemHandleInformation;
}

// Copies a record out of a byte buffer, which need not be aligned for it.
template <typename Record>
Record ReadRecord(const std::vector<BYTE>& buffer, std::size_t offset) {
    Record record;
    std::memcpy(&record, buffer.data() + offset, sizeof record);
    return record;
}

// True when the characters of text lie inside [first, first + size).
bool LiesInside(const UNICODE_STRING& text, const BYTE* first, std::size_t size) {
    const auto* characters = reinterpret_cast<const BYTE*>(text.Buffer);
    return characters != nullptr && characters >= first && characters <= first + size &&
           text.Length <= static_cast<std::size_t>(first + size - characters);
}

// The name the platform gives for an open handle; false when it gives none
// or the name does not fit the buffer. name points into buffer.
bool QueryObjectName(HANDLE handle, BYTE (&buffer)[kNameBufferSize], UNICODE_STRING& name) {
    ULONG length = 0;
    if (NtQueryObject(handle, static_cast<OBJECT_INFORMATION_CLASS>(kObjectNameInformation), buffer, sizeof buffer,
                      &length) != kStatusSuccess)
        return false;
    std::memcpy(&name, buffer, sizeof name);
    return name.Length != 0 && LiesInside(name, buffer, sizeof buffer);
}

// The name a candidate must have: the one the platform gives for the search's
// own handle, with any link on the path resolved; the path where it gives none.
std::wstring TargetNameOf(HANDLE object, const char* path) {
    alignas(8) BYTE buffer[kNameBufferSize];
    UNICODE_STRING name{};
    if (QueryObjectName(object, buffer, name)) return std::wstring(name.Buffer, name.Length / sizeof(WCHAR));
    CountedUnicode widened;
    if (widened.AssignAnsi(path) != kStatusSuccess) return {};
    const UNICODE_STRING* text = widened.Get();
    return std::wstring(text->Buffer, text->Length / sizeof(WCHAR));
}

// The object's handle count less the handle it is read through, as the
// Details page counts; -1 when the platform does not tell.
long HandleCountBesides(HANDLE handle) {
    OBJECT_BASIC_INFORMATION basic{};
    if (NtQueryObject(handle, ObjectBasicInformation, &basic, sizeof basic, nullptr) != kStatusSuccess) return -1;
    return static_cast<long>(basic.HandleCount) - 1;
}

// The processes of one search, each opened at most once to duplicate from.
class ProcessCache {
public:
    // The process's handle, or null when it cannot be opened; error says why.
    HANDLE Open(DWORD processId, DWORD& error) {
        // The list gives a process's handles together: the last entry is the likely one.
        if (last_ < entries_.size() && entries_[last_].processId == processId) return Result(entries_[last_], error);
        for (last_ = 0; last_ < entries_.size(); ++last_) {
            if (entries_[last_].processId == processId) return Result(entries_[last_], error);
        }
        Entry entry{processId, UniqueWin32Handle(OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId)), 0};
        if (!entry.handle) entry.error = GetLastError();
        entries_.push_back(std::move(entry));
        last_ = entries_.size() - 1;
        return Result(entries_[last_], error);
    }

private:
    struct Entry {
        DWORD processId;
        UniqueWin32Handle handle;
        DWORD error;
    };
    static HANDLE Result(const Entry& entry, DWORD& error) {
        error = entry.error;
        return entry.handle.get();
    }
    std::vector<Entry> entries_;
    std::size_t last_ = 0;
};

enum class Examined { Match, Other, Closed, Failed };

// Duplicates one handle of process into this one and compares the object's
// name with target; the duplicate is closed before returning.
Examined ExamineByName(HANDLE process, ULONG_PTR value, bool skipPipes, const UNICODE_STRING& target,
                       DWORD& error) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        error = GetLastError();
        // A handle closed since the list was read holds nothing.
        return error == ERROR_INVALID_HANDLE ? Examined::Closed : Examined::Failed;
    }
    UniqueNtHandle owner(copy);
    // The name query on a synchronous pipe waits for as long as a read
    // pending on it does, possibly forever; no device sought by name is a
    // pipe, so pipe handles are passed over unasked.
    if (skipPipes && GetFileType(copy) == FILE_TYPE_PIPE) return Examined::Other;
    alignas(8) BYTE buffer[kNameBufferSize];
    UNICODE_STRING name{};
    if (!QueryObjectName(copy, buffer, name)) return Examined::Other;
    return RtlEqualUnicodeString(&name, &target, TRUE) ? Examined::Match : Examined::Other;
}

HandleHolder HolderOf(const SystemHandle& entry, const ProcessNames& names) {
    return {entry.processId, names.Of(entry.processId), entry.handleValue, entry.grantedAccess};
}

void NoteUninspected(HolderSearch& search, DWORD processId, const ProcessNames& names, DWORD error) {
    for (const UninspectedProcess& process : search.uninspected) {
        if (process.processId == processId) return;
    }
    search.uninspected.push_back({processId, names.Of(processId), error});
}

void SearchByAddress(const SystemHandleList& list, const SystemHandle& own, const ProcessNames& names,
                     HolderSearch& search) {
    search.byAddress = true;
    AddressMatch match = MatchByAddress(list, own);
    search.ownHandles = match.ownProcessHandles;
    for (const SystemHandle& entry : match.others) search.handles.push_back(HolderOf(entry, names));
}

void SearchByName(const SystemHandleList& list, const SystemHandle& own, HANDLE object, int typeRow,
                  const char* path, const ProcessNames& names, HolderSearch& search) {
    const std::wstring target = TargetNameOf(object, path);
    UNICODE_STRING targetName{};
    targetName.Buffer = const_cast<PWSTR>(target.c_str());
    targetName.Length = targetName.MaximumLength = static_cast<USHORT>(target.size() * sizeof(WCHAR));
    // A device opened through its file name is held by File handles, among them pipes.
    const bool skipPipes = typeRow == kTypeDevice;

    ProcessCache processes;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const SystemHandle entry = list.At(i);
        if (entry.typeIndex != own.typeIndex) continue;
        const bool ownProcess = entry.processId == own.processId;
        if (ownProcess && entry.handleValue == own.handleValue) continue;
        DWORD error = 0;
        HANDLE process = ownProcess ? GetCurrentProcess() : processes.Open(entry.processId, error);
        if (process == nullptr) {
            NoteUninspected(search, entry.processId, names, error);
            continue;
        }
        ++search.examined;
        switch (ExamineByName(process, entry.handleValue, skipPipes, targetName, error)) {
        case Examined::Match:
            if (ownProcess)
                ++search.ownHandles;
            else
                search.handles.push_back(HolderOf(entry, names));
            break;
        case Examined::Failed:
            if (!ownProcess) NoteUninspected(search, entry.processId, names, error);
            break;
        case Examined::Other:
        case Examined::Closed:
            break;
        }
    }
}

}  // namespace

NTSTATUS QuerySystemInformation(ULONG informationClass, std::vector<BYTE>& buffer, std::size_t limit) {
    std::size_t size = std::min(kFirstBufferSize, limit);
    for (;;) {
        buffer.resize(size);
        ULONG needed = 0;
        const NTSTATUS status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(informationClass),
                                                         buffer.data(), static_cast<ULONG>(size), &needed);
        if (status == kStatusSuccess) return status;
        if (status != kStatusInfoLengthMismatch || size >= limit) {
            buffer.clear();
            return status;
        }
        // The list may grow between two calls: ask for a quarter more than was needed.
        size = std::min(std::max<std::size_t>(size * 2, needed + needed / 4), limit);
    }
}

NTSTATUS SystemHandleList::Read(HandleListClass listClass) {
    std::vector<BYTE> buffer;
    const NTSTATUS status = QuerySystemInformation(InformationClassOf(listClass), buffer, kMaxBufferSize);
    Assign(listClass, status == kStatusSuccess ? std::move(buffer) : std::vector<BYTE>());
    return status;
}

void SystemHandleList::Assign(HandleListClass listClass, std::vector<BYTE> buffer) {
    class_ = listClass;
    buffer_ = std::move(buffer);
    count_ = 0;
    const ListLayout layout = LayoutOf(listClass);
    if (buffer_.size() < layout.headerSize) return;
    const std::size_t reported = listClass == HandleListClass::Extended ? ReadRecord<ULONG_PTR>(buffer_, 0)
                                                                        : ReadRecord<ULONG>(buffer_, 0);
    count_ = std::min(reported, (buffer_.size() - layout.headerSize) / layout.entrySize);
}

SystemHandle SystemHandleList::At(std::size_t index) const {
    if (index >= count_) return {};
    const ListLayout layout = LayoutOf(class_);
    const std::size_t offset = layout.headerSize + index * layout.entrySize;
    if (class_ == HandleListClass::Extended) {
        const auto entry = ReadRecord<SystemHandleEntryEx>(buffer_, offset);
        return {static_cast<DWORD>(entry.processId), entry.handleValue,
                reinterpret_cast<ULONG_PTR>(entry.objectAddress), entry.grantedAccess, entry.typeIndex};
    }
    const auto entry = ReadRecord<SystemHandleEntry>(buffer_, offset);
    return {entry.processId, entry.handleValue, reinterpret_cast<ULONG_PTR>(entry.objectAddress),
            entry.grantedAccess, entry.typeIndex};
}

bool SystemHandleList::Find(DWORD processId, HANDLE handle, SystemHandle& found) const {
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(handle);
    if (class_ == HandleListClass::Legacy) value &= 0xFFFF;
    for (std::size_t i = 0; i < count_; ++i) {
        const SystemHandle entry = At(i);
        if (entry.processId == processId && entry.handleValue == value) {
            found = entry;
            return true;
        }
    }
    return false;
}

NTSTATUS ProcessNames::Read() {
    entries_.clear();
    std::vector<BYTE> buffer;
    const NTSTATUS status = QuerySystemInformation(kSystemProcessInformation, buffer, kMaxProcessBufferSize);
    if (status != kStatusSuccess) return status;
    for (std::size_t offset = 0; offset + sizeof(SystemProcessRecord) <= buffer.size();) {
        const auto record = ReadRecord<SystemProcessRecord>(buffer, offset);
        Entry entry{static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record.processId)), {}};
        if (LiesInside(record.imageName, buffer.data(), buffer.size())) ConvertToAnsi(record.imageName, entry.name);
        entries_.push_back(std::move(entry));
        if (record.nextEntryOffset == 0) break;
        offset += record.nextEntryOffset;
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return a.processId < b.processId; });
    return kStatusSuccess;
}

std::string ProcessNames::Of(DWORD processId) const {
    if (entries_.empty()) return kUnknownProcess;
    auto found = std::lower_bound(entries_.begin(), entries_.end(), processId,
                                  [](const Entry& entry, DWORD id) { return entry.processId < id; });
    if (found == entries_.end() || found->processId != processId) return kEndedProcess;
    return found->name.empty() ? kNoImageName : found->name;
}

AddressMatch MatchByAddress(const SystemHandleList& list, const SystemHandle& own) {
    AddressMatch match;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const SystemHandle entry = list.At(i);
        if (entry.typeIndex != own.typeIndex || entry.objectAddress != own.objectAddress) continue;
        if (entry.processId != own.processId)
            match.others.push_back(entry);
        else if (entry.handleValue != own.handleValue)
            ++match.ownProcessHandles;
    }
    return match;
}

std::size_t HolderSearch::ProcessCount() const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if (i == 0 || handles[i].processId != handles[i - 1].processId) ++count;
    }
    return count;
}

HolderSearch FindObjectHolders(const char* path, HandleListClass firstClass) {
    ++NamespaceCounters().holderSearches;
    HolderSearch search;
    OpenedObject object = OpenAnyObject(path, 0);
    if (!object) {
        search.result = HolderSearchResult::ObjectNotOpened;
        return search;
    }
    search.typeRow = object.typeIndex;
    search.handleCount = HandleCountBesides(object.handle.get());

    SystemHandleList list;
    NTSTATUS status = list.Read(firstClass);
    if (status != kStatusSuccess && firstClass == HandleListClass::Extended)
        status = list.Read(HandleListClass::Legacy);
    if (status != kStatusSuccess) {
        search.result = HolderSearchResult::ListNotRead;
        search.status = status;
        return search;
    }
    SystemHandle own{};
    if (!list.Find(GetCurrentProcessId(), object.handle.get(), own)) {
        search.result = HolderSearchResult::OwnHandleNotListed;
        return search;
    }
    ProcessNames names;
    names.Read();  // without names, the handles are still found

    if (own.objectAddress != 0)
        SearchByAddress(list, own, names, search);
    else
        SearchByName(list, own, object.handle.get(), object.typeIndex, path, names, search);

    std::sort(search.handles.begin(), search.handles.end(), [](const HandleHolder& a, const HandleHolder& b) {
        return a.processId != b.processId ? a.processId < b.processId : a.handleValue < b.handleValue;
    });
    std::sort(search.uninspected.begin(), search.uninspected.end(),
              [](const UninspectedProcess& a, const UninspectedProcess& b) { return a.processId < b.processId; });
    return search;
}
