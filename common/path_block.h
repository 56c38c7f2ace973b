// ObjectPath blocks: the 260-byte buffers that tree items and list rows own.
#pragma once

#include <cstddef>

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
// names the object for the user but would address another object, or none,
// so nothing opens it. The mark goes when the block is freed.
void MarkPathUnaddressable(const char* block);
// False for a marked block (and for null); true for any other path, copies included.
bool IsPathAddressable(const char* path);
