#include "common/path_block.h"

#include <windows.h>

#include <unordered_map>

namespace {
PathBlockCounts Counts{};
// Blocks whose text is a visible form rather than an address, with the exact
// path each stands for (see the header).
std::unordered_map<const char*, std::wstring>& ExactPaths() {
    static std::unordered_map<const char*, std::wstring> paths;
    return paths;
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
    ExactPaths().erase(block);
    LocalFree(block);
}

PathBlockCounts GetPathBlockCounts() { return Counts; }

void AttachExactPath(const char* block, std::wstring exact) {
    if (block != nullptr) ExactPaths()[block] = std::move(exact);
}

const std::wstring* ExactPathOf(const char* path) {
    if (path == nullptr) return nullptr;
    const auto found = ExactPaths().find(path);
    return found != ExactPaths().end() ? &found->second : nullptr;
}
