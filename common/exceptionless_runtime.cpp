// The shipped program and its stand-in editor are built without exceptions.
// The C++ library's own allocation and error paths still throw, and throwing
// drags in the unwinder and, with it, the thread library, whose imports need
// a newer Windows than the program declares. These definitions take their
// place: an allocation that fails, or a container asked for more than it can
// hold, ends the program as an uncaught exception would have.
//
// Linked into tarnel.exe and tarnel-acledit.dll only; the tests keep the library's
// throwing versions, which GoogleTest relies on.

#include <windows.h>

#include <bits/functexcept.h>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void EndProgram() {
    FatalAppExitA(0, "Tarnel ran out of memory.");
    std::abort();
}

void* Allocate(std::size_t size) {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) EndProgram();
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
void __throw_bad_exception() { EndProgram(); }
void __throw_bad_alloc() { EndProgram(); }
void __throw_bad_array_new_length() { EndProgram(); }
void __throw_bad_cast() { EndProgram(); }
void __throw_bad_typeid() { EndProgram(); }
void __throw_logic_error(const char*) { EndProgram(); }
void __throw_domain_error(const char*) { EndProgram(); }
void __throw_invalid_argument(const char*) { EndProgram(); }
void __throw_length_error(const char*) { EndProgram(); }
void __throw_out_of_range(const char*) { EndProgram(); }
void __throw_out_of_range_fmt(const char*, ...) { EndProgram(); }
void __throw_runtime_error(const char*) { EndProgram(); }
void __throw_range_error(const char*) { EndProgram(); }
void __throw_overflow_error(const char*) { EndProgram(); }
void __throw_underflow_error(const char*) { EndProgram(); }
void __throw_ios_failure(const char*) { EndProgram(); }
void __throw_ios_failure(const char*, int) { EndProgram(); }
void __throw_system_error(int) { EndProgram(); }
void __throw_future_error(int) { EndProgram(); }
void __throw_bad_function_call() { EndProgram(); }
}  // namespace std
