// operator new and delete of the shipped programs and libraries, straight
// over the C runtime's heap. The C++ library's own nothrow new calls its
// throwing new and catches what it throws, and so drags the whole exception
// machinery (unwinder, terminate handler, demangler: most of a small
// program's size) into code that is built without exceptions.
//
// Where a caller cannot be told (the throwing forms, used by the standard
// containers), running out of memory ends the process, as it does in CSTR.
// So do the containers' own failures, which the C++ library would report
// by throwing: the library's versions link the same machinery.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace {

void* Allocate(std::size_t size) { return std::malloc(size ? size : 1); }

[[noreturn]] void End() { std::exit(0); }

void* AllocateOrEnd(std::size_t size) {
    void* block = Allocate(size);
    if (!block) End();
    return block;
}

}  // namespace

namespace std {
void __throw_bad_alloc() { End(); }
void __throw_bad_array_new_length() { End(); }
void __throw_length_error(const char*) { End(); }
}  // namespace std

void* operator new(std::size_t size) { return AllocateOrEnd(size); }
void* operator new[](std::size_t size) { return AllocateOrEnd(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
