// The system's handle list: both record layouts read from buffers laid out
// byte by byte as the platform lays them out, the matching by address that
// only systems giving addresses exercise, and the live list and process names.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "namespace/handle_list.h"
#include "support/test_namespace.h"

namespace {

// Where the platform puts each field of a record, in bytes, written out here
// rather than taken from the program's structs, so that a wrong struct shows.
struct RecordLayout {
    std::size_t header, entry;           // the list's header; one record
    std::size_t object, objectSize;      // the object's address
    std::size_t process, processSize;    // the process id
    std::size_t backTrace;               // the 16-bit stack trace index
    std::size_t type, typeSize;          // the type number
    std::size_t handle, handleSize;      // the handle value
    std::size_t access;                  // the granted access, 32 bits
};
constexpr bool k64 = sizeof(void*) == 8;
// Class 64: Object, UniqueProcessId, HandleValue, GrantedAccess, CreatorBackTraceIndex, ObjectTypeIndex, ...
constexpr RecordLayout kExtendedLayout = k64 ? RecordLayout{16, 40, 0, 8, 8, 8, 28, 30, 2, 16, 8, 24}
                                             : RecordLayout{8, 28, 0, 4, 4, 4, 16, 18, 2, 8, 4, 12};
// Class 16: UniqueProcessId (16 bits), CreatorBackTraceIndex, ObjectTypeIndex (8 bits), HandleAttributes,
// HandleValue (16 bits), Object, GrantedAccess.
constexpr RecordLayout kLegacyLayout = k64 ? RecordLayout{8, 24, 8, 8, 0, 2, 2, 4, 1, 6, 2, 16}
                                           : RecordLayout{4, 16, 8, 4, 0, 2, 2, 4, 1, 6, 2, 12};

// Writes the low size bytes of value at offset, least significant first.
void Put(std::vector<BYTE>& buffer, std::size_t offset, unsigned long long value, std::size_t size) {
    if (buffer.size() < offset + size) buffer.resize(offset + size);
    for (std::size_t i = 0; i < size; ++i) buffer[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

// The buffer class 64 or 16 returns for these handles, with reportedCount in
// its header; every record carries a stack trace index beside its fields.
std::vector<BYTE> ListBuffer(HandleListClass listClass, const std::vector<SystemHandle>& handles,
                             std::size_t reportedCount) {
    const RecordLayout& layout = listClass == HandleListClass::Extended ? kExtendedLayout : kLegacyLayout;
    std::vector<BYTE> buffer;
    Put(buffer, 0, reportedCount, listClass == HandleListClass::Extended ? sizeof(void*) : 4);
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const SystemHandle& h = handles[i];
        const std::size_t at = layout.header + i * layout.entry;
        Put(buffer, at + layout.entry - 1, 0, 1);  // the whole record, padding included
        Put(buffer, at + layout.object, h.objectAddress, layout.objectSize);
        Put(buffer, at + layout.process, h.processId, layout.processSize);
        Put(buffer, at + layout.backTrace, 0xBEEF, 2);
        Put(buffer, at + layout.type, h.typeIndex, layout.typeSize);
        Put(buffer, at + layout.handle, h.handleValue, layout.handleSize);
        Put(buffer, at + layout.access, h.grantedAccess, 4);
    }
    return buffer;
}

InformationBuffer BufferOf(const std::vector<BYTE>& bytes) {
    InformationBuffer buffer;
    if (buffer.Allocate(bytes.size()) && !bytes.empty()) std::memcpy(buffer.Data(), bytes.data(), bytes.size());
    return buffer;
}

SystemHandleList ListOf(HandleListClass listClass, const std::vector<SystemHandle>& handles) {
    SystemHandleList list;
    list.Assign(listClass, BufferOf(ListBuffer(listClass, handles, handles.size())));
    return list;
}

bool Same(const SystemHandle& a, const SystemHandle& b) {
    return a.processId == b.processId && a.handleValue == b.handleValue && a.objectAddress == b.objectAddress &&
           a.grantedAccess == b.grantedAccess && a.typeIndex == b.typeIndex;
}

constexpr HandleListClass kBothClasses[] = {HandleListClass::Extended, HandleListClass::Legacy};
const char* NameOf(HandleListClass listClass) {
    return listClass == HandleListClass::Extended ? "class 64" : "class 16";
}

// Values that fit the older layout's narrower fields.
const std::vector<SystemHandle> kThreeHandles = {
    {4, 0x10, 0x1000, 0x001F0003, 8},
    {0x1234, 0xFFFC, 0x7FFF0000, 0x00100001, 0xFE},
    {0xFFF0, 0x4, 0, 0x2, 1},
};

TEST(HandleListTest, BothLayoutsReadBackEveryField) {
    for (HandleListClass listClass : kBothClasses) {
        SCOPED_TRACE(NameOf(listClass));
        const SystemHandleList list = ListOf(listClass, kThreeHandles);
        ASSERT_EQ(list.Count(), kThreeHandles.size());
        for (std::size_t i = 0; i < kThreeHandles.size(); ++i) EXPECT_TRUE(Same(list.At(i), kThreeHandles[i])) << i;
    }
}

// A header that claims more than the buffer holds, or a buffer too short for
// the header, reads no further than the buffer.
TEST(HandleListTest, CountIsBoundedByTheBuffer) {
    for (HandleListClass listClass : kBothClasses) {
        SCOPED_TRACE(NameOf(listClass));
        SystemHandleList list;
        list.Assign(listClass, BufferOf(ListBuffer(listClass, kThreeHandles, 100000)));
        EXPECT_EQ(list.Count(), kThreeHandles.size());
        std::vector<BYTE> cut = ListBuffer(listClass, kThreeHandles, 3);
        cut.resize(cut.size() - 1);
        list.Assign(listClass, BufferOf(cut));
        EXPECT_EQ(list.Count(), 2u);
        list.Assign(listClass, BufferOf(std::vector<BYTE>(2)));
        EXPECT_EQ(list.Count(), 0u);
    }
}

// The older class keeps only 16 bits of a process id and of a handle value.
TEST(HandleListTest, FindComparesValuesAsWideAsTheClassGivesThem) {
    SystemHandle found{};
    const SystemHandleList legacy = ListOf(HandleListClass::Legacy, kThreeHandles);
    const SystemHandleList extended = ListOf(HandleListClass::Extended, kThreeHandles);
    EXPECT_TRUE(legacy.Find(4, reinterpret_cast<HANDLE>(0x10010), found));
    EXPECT_TRUE(Same(found, kThreeHandles[0]));
    EXPECT_TRUE(legacy.Find(0x1FFF0, reinterpret_cast<HANDLE>(0x4), found));
    EXPECT_TRUE(Same(found, kThreeHandles[2]));
    EXPECT_FALSE(extended.Find(4, reinterpret_cast<HANDLE>(0x10010), found));
    EXPECT_FALSE(extended.Find(0x1FFF0, reinterpret_cast<HANDLE>(0x4), found));
    EXPECT_TRUE(extended.Find(0xFFF0, reinterpret_cast<HANDLE>(0x4), found));
    EXPECT_FALSE(extended.Find(4, reinterpret_cast<HANDLE>(0x4), found));
}

// Where the list gives addresses, a handle refers to the object when both its
// type and its address are the object's; the own process's others are counted.
TEST(HandleListTest, AddressMatchTakesTheSameTypeAndAddressOnly) {
    const SystemHandle own{7, 0x10, 0xA000, 0x1F0003, 5};
    const std::vector<SystemHandle> handles = {
        {7, 0x20, 0xA000, 0x100000, 5},  // the own process's other handle
        own,
        {9, 0x30, 0xA000, 0x100001, 5},  // another process's: listed
        {9, 0x34, 0xB000, 0x100001, 5},  // another object
        {11, 0x40, 0xA000, 0x2, 6},      // another type
        {12, 0x44, 0xA000, 0x2, 5},      // listed
    };
    const AddressMatch match = MatchByAddress(ListOf(HandleListClass::Extended, handles), own);
    ASSERT_EQ(match.others.size(), 2u);
    EXPECT_TRUE(Same(match.others[0], handles[2]));
    EXPECT_TRUE(Same(match.others[1], handles[5]));
    EXPECT_EQ(match.ownProcessHandles, 1);
}

// The live list shows a handle of this process with the access it was
// granted, under the type number of events, which a directory does not share.
TEST(HandleListTest, LiveListShowsThisProcesssHandles) {
    ScratchDirectory scratch;
    const std::string event = scratch.AddEvent("Listed", true, false);
    const std::string directory = scratch.AddDirectory("Dir");
    NamedAttributes eventName(event), directoryName(directory);
    HANDLE eventHandle = nullptr, directoryHandle = nullptr;
    ASSERT_EQ(NtOpenEvent(&eventHandle, SYNCHRONIZE | 0x1, eventName.Get()), kStatusSuccess);
    UniqueNtHandle eventOwner(eventHandle);
    ASSERT_EQ(NtOpenDirectoryObject(&directoryHandle, 0x1, directoryName.Get()), kStatusSuccess);
    UniqueNtHandle directoryOwner(directoryHandle);

    for (HandleListClass listClass : kBothClasses) {
        SCOPED_TRACE(NameOf(listClass));
        SystemHandleList list;
        ASSERT_EQ(list.Read(listClass), kStatusSuccess);
        SystemHandle eventEntry{}, directoryEntry{};
        ASSERT_TRUE(list.Find(GetCurrentProcessId(), eventHandle, eventEntry));
        ASSERT_TRUE(list.Find(GetCurrentProcessId(), directoryHandle, directoryEntry));
        EXPECT_EQ(eventEntry.grantedAccess, static_cast<ACCESS_MASK>(SYNCHRONIZE | 0x1));
        EXPECT_EQ(directoryEntry.grantedAccess, 0x1u);
        EXPECT_NE(eventEntry.typeIndex, directoryEntry.typeIndex);
    }
}

// A list that needs more than the limit, or more memory than can be had, is
// not read and leaves no buffer.
TEST(HandleListTest, QueryStopsAtItsLimitAndWithoutMemory) {
    InformationBuffer buffer;
    EXPECT_EQ(QuerySystemInformation(kSystemExtendedHandleInformation, buffer, 256), kStatusInfoLengthMismatch);
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_EQ(QuerySystemInformation(kSystemExtendedHandleInformation, buffer, SystemHandleList::kMaxBufferSize),
              kStatusSuccess);
    EXPECT_GT(buffer.Size(), 0u);

    const InformationBlockSource platform = InformationBlocks;
    InformationBlocks.allocate = [](std::size_t) -> HLOCAL { return nullptr; };
    SystemHandleList list;
    EXPECT_EQ(list.Read(HandleListClass::Extended), kStatusNoMemory);
    EXPECT_EQ(QuerySystemInformation(kSystemExtendedHandleInformation, buffer, SystemHandleList::kMaxBufferSize),
              kStatusNoMemory);
    InformationBlocks = platform;
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(buffer.Size(), 0u);
}

TEST(HandleListTest, ProcessNamesNameThisProcessAndNoEndedOne) {
    ProcessNames names;
    ASSERT_EQ(names.Read(), kStatusSuccess);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string path(module);
    EXPECT_EQ(names.Of(GetCurrentProcessId()), path.substr(path.find_last_of('\\') + 1));
    EXPECT_EQ(names.Of(0xFFFFFFF0), "(ended)");
    EXPECT_EQ(ProcessNames().Of(GetCurrentProcessId()), "(unknown)");
}

}  // namespace
