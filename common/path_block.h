// ObjectPath blocks: the 260-byte buffers that tree items and list rows own.
#pragma once

#include <cstddef>
#include <string>

// A path block holds at most this many characters and the terminating zero.
inline constexpr std::size_t kObjectPathBlockSize = 260;
inline constexpr std::size_t kMaxObjectPathLength = kObjectPathBlockSize - 1;

// The root's path, text and separator; a constant that is never freed.
inline constexpr char RootPath[] = "\\";

// Allocates a fixed 260-byte block (LocalAlloc); null when memory is exhausted.
char* AllocatePathBlock();

// Releases a block from AllocatePathBlock; null is ignored.
void FreePathBlock(char* block);

// Running totals, so tests and benchmarks can check that every block is
// released exactly once.
struct PathBlockCounts {
    long allocated;
    long freed;
};
PathBlockCounts GetPathBlockCounts();

// A block may hold only the visible form of a path: an entry whose name the
// ANSI code page cannot carry, or whose path does not fit the block. Its text
// names the object for the user but would address another object, or none;
// the block then carries the object's exact UTF-16 path, by which every open
// goes. Blocks whose text is the path exactly carry nothing more. The exact
// path goes when the block is freed.
void AttachExactPath(const char* block, std::wstring exact);
// The exact path a block carries, or null where its text is the path exactly
// (any other string, copies of a block's text included, carries none).
const std::wstring* ExactPathOf(const char* path);
// True where the text is the path: no exact path is attached.
inline bool IsPathAddressable(const char* path) { return path != nullptr && ExactPathOf(path) == nullptr; }
