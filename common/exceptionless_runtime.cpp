// The shipped program and its stand-in editor are built without exceptions.
// The C++ library's own allocation and error paths still throw, and throwing
// drags in the unwinder and, with it, the thread library, whose imports need
// a newer Windows than the program declares. These definitions take their
// place: an allocation that fails, a container asked for more than it can
// hold, or a fault the library detects ends the program as an uncaught
// exception would have, with a message that says which of them it was.
//
// Linked into tarnel.exe and tarnel-acledit.dll only; the tests keep the library's
// throwing versions, which GoogleTest relies on.

#include <windows.h>

#include <bits/functexcept.h>
#include <cstdlib>
#include <new>

#include "common/fatal_message.h"

namespace {

[[noreturn]] void EndProgram(FatalCause cause, const char* detail = nullptr) {
    char message[256];
    FormatFatalMessage(cause, detail, message, sizeof message);
    FatalAppExitA(0, message);
    std::abort();
}

void* Allocate(std::size_t size) {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) EndProgram(FatalCause::OutOfMemory);
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

// Every throw helper the library's headers may call, so that the library's
// own throwing versions are never linked.
namespace std {
void __throw_bad_exception() { EndProgram(FatalCause::LibraryFault); }
void __throw_bad_alloc() { EndProgram(FatalCause::OutOfMemory); }
void __throw_bad_array_new_length() { EndProgram(FatalCause::TooLarge); }
void __throw_bad_cast() { EndProgram(FatalCause::LibraryFault, "bad cast"); }
void __throw_bad_typeid() { EndProgram(FatalCause::LibraryFault, "bad typeid"); }
void __throw_logic_error(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_domain_error(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_invalid_argument(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_length_error(const char*) { EndProgram(FatalCause::TooLarge); }
void __throw_out_of_range(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_out_of_range_fmt(const char*, ...) { EndProgram(FatalCause::LibraryFault, "index out of range"); }
void __throw_runtime_error(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_range_error(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_overflow_error(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_underflow_error(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_ios_failure(const char* what) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_ios_failure(const char* what, int) { EndProgram(FatalCause::LibraryFault, what); }
void __throw_system_error(int) { EndProgram(FatalCause::LibraryFault, "system error"); }
void __throw_future_error(int) { EndProgram(FatalCause::LibraryFault, "future error"); }
void __throw_bad_function_call() { EndProgram(FatalCause::LibraryFault, "empty function called"); }
}  // namespace std
