#include "namespace/handle_list.h"

#include <algorithm>
#include <cstring>
#include <utility>

InformationBlockSource InformationBlocks = {
    [](std::size_t size) { return LocalAlloc(LMEM_FIXED, size); },
    [](HLOCAL block) { LocalFree(block); },
};
SystemInformationProcedure SystemInformationQuery = CallSystemInformation;

namespace {

constexpr std::size_t kFirstBufferSize = 64u << 10;
// Process records carry their threads; this holds thousands of processes.
constexpr std::size_t kMaxProcessBufferSize = 16u << 20;

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

// Copies a record out of a buffer, which need not be aligned for it; the
// caller has checked that it lies inside.
template <typename Record>
Record ReadRecord(const InformationBuffer& buffer, std::size_t offset) {
    Record record;
    std::memcpy(&record, buffer.Data() + offset, sizeof record);
    return record;
}

// True when the characters of text lie inside the buffer.
bool LiesInside(const UNICODE_STRING& text, const InformationBuffer& buffer) {
    const auto* characters = reinterpret_cast<const BYTE*>(text.Buffer);
    const BYTE* first = buffer.Data();
    return characters != nullptr && characters >= first && characters <= first + buffer.Size() &&
           text.Length <= static_cast<std::size_t>(first + buffer.Size() - characters);
}

bool Signalled(HANDLE event) { return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

}  // namespace

void FreeInformationBlock(HLOCAL block) noexcept { InformationBlocks.release(block); }

NTSTATUS CallSystemInformation(ULONG informationClass, void* buffer, ULONG size, ULONG* needed) {
    return NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(informationClass), buffer, size, needed);
}

bool InformationBuffer::Allocate(std::size_t size) {
    // The old block goes first: the two are never held together.
    Free();
    block_.reset(InformationBlocks.allocate(size));
    size_ = block_ ? size : 0;
    return static_cast<bool>(block_);
}

void InformationBuffer::Free() {
    block_.reset();
    size_ = 0;
}

NTSTATUS QuerySystemInformation(ULONG informationClass, InformationBuffer& buffer, std::size_t limit,
                                HANDLE stopEvent) {
    std::size_t size = std::min(kFirstBufferSize, limit);
    for (;;) {
        if (Signalled(stopEvent)) {
            buffer.Free();
            return kStatusCancelled;
        }
        if (!buffer.Allocate(size)) return kStatusNoMemory;
        ULONG needed = 0;
        const NTSTATUS status =
            SystemInformationQuery(informationClass, buffer.Data(), static_cast<ULONG>(size), &needed);
        if (status == kStatusSuccess) return status;
        if (status != kStatusInfoLengthMismatch || size >= limit) {
            buffer.Free();
            return status;
        }
        // The list may grow between two calls: ask for a quarter more than was needed.
        size = std::min(std::max<std::size_t>(size * 2, needed + needed / 4), limit);
    }
}

NTSTATUS SystemHandleList::Read(HandleListClass listClass, HANDLE stopEvent) {
    InformationBuffer buffer;
    const NTSTATUS status = QuerySystemInformation(InformationClassOf(listClass), buffer, kMaxBufferSize, stopEvent);
    Assign(listClass, std::move(buffer));
    return status;
}

void SystemHandleList::Assign(HandleListClass listClass, InformationBuffer buffer) {
    class_ = listClass;
    buffer_ = std::move(buffer);
    count_ = 0;
    const ListLayout layout = LayoutOf(listClass);
    if (buffer_.Size() < layout.headerSize) return;
    const std::size_t reported = listClass == HandleListClass::Extended ? ReadRecord<ULONG_PTR>(buffer_, 0)
                                                                        : ReadRecord<ULONG>(buffer_, 0);
    count_ = std::min(reported, (buffer_.Size() - layout.headerSize) / layout.entrySize);
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
    if (class_ == HandleListClass::Legacy) {
        value &= 0xFFFF;
        processId &= 0xFFFF;
    }
    for (std::size_t i = 0; i < count_; ++i) {
        const SystemHandle entry = At(i);
        if (entry.processId == processId && entry.handleValue == value) {
            found = entry;
            return true;
        }
    }
    return false;
}

NTSTATUS ProcessNames::Read(HANDLE stopEvent) {
    entries_.clear();
    InformationBuffer buffer;
    const NTSTATUS status = QuerySystemInformation(kSystemProcessInformation, buffer, kMaxProcessBufferSize, stopEvent);
    if (status != kStatusSuccess) return status;
    for (std::size_t offset = 0; offset + sizeof(SystemProcessRecord) <= buffer.Size();) {
        const auto record = ReadRecord<SystemProcessRecord>(buffer, offset);
        Entry entry{static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record.processId)), {}};
        if (LiesInside(record.imageName, buffer)) ConvertToAnsi(record.imageName, entry.name);
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
    std::vector<DWORD> ids;
    for (const HandleHolder& holder : handles) ids.push_back(holder.processId);
    std::sort(ids.begin(), ids.end());
    return static_cast<std::size_t>(std::unique(ids.begin(), ids.end()) - ids.begin());
}
