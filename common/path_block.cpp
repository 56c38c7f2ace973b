#include "common/path_block.h"

#include <windows.h>

namespace {
PathBlockCounts Counts{};
}

char* AllocatePathBlock() {
    auto* block = static_cast<char*>(LocalAlloc(LMEM_FIXED, kObjectPathBlockSize));
    if (block != nullptr) {
        block[0] = '\0';
        ++Counts.allocated;
    }
    return block;
}

void FreePathBlock(char* block) {
    if (block == nullptr) return;
    ++Counts.freed;
    LocalFree(block);
}

PathBlockCounts GetPathBlockCounts() { return Counts; }
