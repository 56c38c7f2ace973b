#include "namespace/type_information.h"

#include <cstring>

namespace {

// A type record with room for its name; type names are a few dozen characters.
constexpr ULONG kTypeRecordBufferSize = sizeof(ObjectTypeRecord) + 512;
constexpr std::size_t kFirstListSize = 16u << 10;
constexpr std::size_t kMaxListSize = 1u << 20;

std::size_t AlignedToPointer(std::size_t offset) { return (offset + sizeof(void*) - 1) & ~(sizeof(void*) - 1); }

void FillFigures(const ObjectTypeRecord& record, std::string name, ObjectTypeFigures& figures) {
    figures.typeName = std::move(name);
    figures.objects = record.TotalNumberOfObjects;
    figures.handles = record.TotalNumberOfHandles;
    figures.peakObjects = record.HighWaterNumberOfObjects;
    figures.peakHandles = record.HighWaterNumberOfHandles;
    figures.invalidAttributes = record.InvalidAttributes;
    figures.genericMapping = record.GenericMapping;
    figures.validAccessMask = record.ValidAccessMask;
    figures.securityRequired = record.SecurityRequired != FALSE;
    figures.maintainsHandleCount = record.MaintainHandleCount != FALSE;
    figures.poolType = record.PoolType;
}

// The record's name, when its characters lie inside [first, first + size).
bool NameInside(const ObjectTypeRecord& record, const BYTE* first, std::size_t size, std::string& name) {
    const auto* characters = reinterpret_cast<const BYTE*>(record.TypeName.Buffer);
    if (record.TypeName.Length == 0) {
        name.clear();
        return true;
    }
    if (characters < first || characters > first + size ||
        record.TypeName.Length > static_cast<std::size_t>(first + size - characters))
        return false;
    return ConvertToAnsi(record.TypeName, name) == kStatusSuccess;
}

// Type names are plain ASCII words; only their letters' case may differ.
bool SameTypeName(std::string_view a, std::string_view b) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

bool IsShortage(NTSTATUS status) {
    return status == kStatusInfoLengthMismatch || status == kStatusBufferTooSmall || status == kStatusBufferOverflow;
}

}  // namespace

NTSTATUS QueryObjectTypeFigures(HANDLE handle, ObjectTypeFigures& figures) {
    alignas(8) BYTE buffer[kTypeRecordBufferSize];
    ULONG returned = 0;
    const NTSTATUS status = NtQueryObject(handle, static_cast<OBJECT_INFORMATION_CLASS>(kObjectTypeInformation),
                                          buffer, sizeof buffer, &returned);
    if (status != kStatusSuccess) return status;
    ObjectTypeRecord record;
    std::memcpy(&record, buffer, sizeof record);
    std::string name;
    if (!NameInside(record, buffer, sizeof buffer, name)) return kStatusInvalidParameter;
    FillFigures(record, std::move(name), figures);
    return kStatusSuccess;
}

bool FindTypeInList(const BYTE* list, std::size_t size, std::string_view typeName, ObjectTypeFigures& figures) {
    if (size < sizeof(ULONG)) return false;
    ULONG count = 0;
    std::memcpy(&count, list, sizeof count);
    std::size_t offset = AlignedToPointer(sizeof(ULONG));
    for (ULONG i = 0; i < count && offset + sizeof(ObjectTypeRecord) <= size; ++i) {
        ObjectTypeRecord record;
        std::memcpy(&record, list + offset, sizeof record);
        std::string name;
        if (!NameInside(record, list, size, name)) return false;
        if (SameTypeName(name, typeName)) {
            FillFigures(record, std::move(name), figures);
            return true;
        }
        // The name's characters follow the record; the next record is aligned after them.
        offset = AlignedToPointer(offset + sizeof(ObjectTypeRecord) + record.TypeName.MaximumLength);
    }
    return false;
}

NTSTATUS QueryTypeFiguresByName(std::string_view typeName, ObjectTypeFigures& figures) {
    // The list covers every type, whatever the handle; none is needed.
    for (std::size_t size = kFirstListSize;; size *= 2) {
        UniqueLocalBlock block(LocalAlloc(LMEM_FIXED, size));
        if (!block) return kStatusNoMemory;
        auto* list = static_cast<BYTE*>(block.get());
        ULONG returned = 0;
        const NTSTATUS status =
            NtQueryObject(nullptr, static_cast<OBJECT_INFORMATION_CLASS>(kObjectTypesInformation), list,
                          static_cast<ULONG>(size), &returned);
        if (status == kStatusSuccess) return FindTypeInList(list, size, typeName, figures) ? status : kStatusNotFound;
        if (!IsShortage(status) || size >= kMaxListSize) return status;
    }
}
