// The allocator behind CSTR blocks. Tests replace it to make an allocation
// fail; the program never touches it.
#pragma once

#include <cstddef>

using CstrAllocFunction = void* (*)(std::size_t size);

// Sets the function that allocates CSTR blocks (null restores malloc) and
// returns the previous one.
CstrAllocFunction SetCstrAllocator(CstrAllocFunction alloc);
