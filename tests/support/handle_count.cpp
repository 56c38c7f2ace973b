#include "support/handle_count.h"

#include <windows.h>

#include <atomic>

namespace {

// The blocks are taken and given back on the search's threads.
std::atomic<long> LiveBlocks{0};

HLOCAL TakeCountedBlock(std::size_t size) {
    HLOCAL block = LocalAlloc(LMEM_FIXED, size);
    if (block != nullptr) ++LiveBlocks;
    return block;
}

void GiveBackCountedBlock(HLOCAL block) {
    LocalFree(block);
    --LiveBlocks;
}

}  // namespace

// Handle values are multiples of 4, given out lowest first, so probing the
// first 16384 of them finds every handle a test process holds.
long CountProcessHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return static_cast<long>(count);
    long probed = 0;
    for (ULONG_PTR value = 4; value < 4 * 0x4000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++probed;
    }
    return probed;
}

InformationBlockCount::InformationBlockCount() : platform_(InformationBlocks) {
    LiveBlocks = 0;
    InformationBlocks = {TakeCountedBlock, GiveBackCountedBlock};
}

InformationBlockCount::~InformationBlockCount() { InformationBlocks = platform_; }

long InformationBlockCount::Live() const { return LiveBlocks; }
