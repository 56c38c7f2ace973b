// The system's handle list: both record layouts read from buffers laid out
// as the platform lays them out, the matching by address that only systems
// giving addresses exercise, and the live list and process names.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "namespace/handle_list.h"
#include "support/test_namespace.h"

namespace {

// The buffer class 64 or 16 returns for these handles, with reportedCount in its header.
std::vector<BYTE> ListBuffer(HandleListClass listClass, const std::vector<SystemHandle>& handles,
                             std::size_t reportedCount) {
    std::vector<BYTE> buffer;
    auto put = [&buffer](std::size_t offset, const auto& record) {
        if (buffer.size() < offset + sizeof record) buffer.resize(offset + sizeof record);
        std::memcpy(buffer.data() + offset, &record, sizeof record);
    };
    if (listClass == HandleListClass::Extended) {
        put(0, static_cast<ULONG_PTR>(reportedCount));
        for (std::size_t i = 0; i < handles.size(); ++i) {
            const SystemHandle& h = handles[i];
            const SystemHandleEntryEx entry{reinterpret_cast<PVOID>(h.objectAddress), h.processId, h.handleValue,
                                            h.grantedAccess, 0, h.typeIndex, 0, 0};
            put(offsetof(SystemHandleTableEx, handles) + i * sizeof entry, entry);
        }
    } else {
        put(0, static_cast<ULONG>(reportedCount));
        for (std::size_t i = 0; i < handles.size(); ++i) {
            const SystemHandle& h = handles[i];
            const SystemHandleEntry entry{h.processId, static_cast<UCHAR>(h.typeIndex), 0,
                                          static_cast<USHORT>(h.handleValue), reinterpret_cast<PVOID>(h.objectAddress),
                                          h.grantedAccess};
            put(offsetof(SystemHandleTable, handles) + i * sizeof entry, entry);
        }
    }
    return buffer;
}

SystemHandleList ListOf(HandleListClass listClass, const std::vector<SystemHandle>& handles) {
    SystemHandleList list;
    list.Assign(listClass, ListBuffer(listClass, handles, handles.size()));
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
    {70000, 0x4, 0, 0x2, 1},
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
        list.Assign(listClass, ListBuffer(listClass, kThreeHandles, 100000));
        EXPECT_EQ(list.Count(), kThreeHandles.size());
        std::vector<BYTE> cut = ListBuffer(listClass, kThreeHandles, 3);
        cut.resize(cut.size() - 1);
        list.Assign(listClass, cut);
        EXPECT_EQ(list.Count(), 2u);
        list.Assign(listClass, std::vector<BYTE>(2));
        EXPECT_EQ(list.Count(), 0u);
    }
}

// The older class keeps only 16 bits of a handle value.
TEST(HandleListTest, FindComparesHandleValuesAsWideAsTheClassGivesThem) {
    SystemHandle found{};
    EXPECT_TRUE(ListOf(HandleListClass::Legacy, kThreeHandles).Find(4, reinterpret_cast<HANDLE>(0x10010), found));
    EXPECT_TRUE(Same(found, kThreeHandles[0]));
    EXPECT_FALSE(ListOf(HandleListClass::Extended, kThreeHandles).Find(4, reinterpret_cast<HANDLE>(0x10010), found));
    EXPECT_TRUE(ListOf(HandleListClass::Extended, kThreeHandles).Find(70000, reinterpret_cast<HANDLE>(0x4), found));
    EXPECT_FALSE(ListOf(HandleListClass::Extended, kThreeHandles).Find(4, reinterpret_cast<HANDLE>(0x4), found));
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

// A list that needs more than the limit is not read, and leaves no buffer.
TEST(HandleListTest, QueryStopsAtItsLimit) {
    std::vector<BYTE> buffer;
    EXPECT_EQ(QuerySystemInformation(kSystemExtendedHandleInformation, buffer, 256), kStatusInfoLengthMismatch);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(QuerySystemInformation(kSystemExtendedHandleInformation, buffer, SystemHandleList::kMaxBufferSize),
              kStatusSuccess);
    EXPECT_FALSE(buffer.empty());
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
