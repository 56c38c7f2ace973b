#include "common/path_block.h"

#include <windows.h>

#include <unordered_set>

namespace {
PathBlockCounts Counts{};
// Blocks whose text is a visible form rather than an address (see the header).
std::unordered_set<const char*>& UnaddressableBlocks() {
    static std::unordered_set<const char*> blocks;
    return blocks;
}
}  // namespace

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
    UnaddressableBlocks().erase(block);
    LocalFree(block);
}

PathBlockCounts GetPathBlockCounts() { return Counts; }

void MarkPathUnaddressable(const char* block) {
    if (block != nullptr) UnaddressableBlocks().insert(block);
}

bool IsPathAddressable(const char* path) {
    return path != nullptr && UnaddressableBlocks().count(path) == 0;
}
