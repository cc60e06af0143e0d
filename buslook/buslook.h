// The console listing of every host adapter and device of an ASPI32 library.
#pragma once

#include <cstdio>

// Prints the whole listing for the library named fileName to out.
void ListBus(const char* fileName, std::FILE* out);

// The library buslook binds when ASPILIB is not set.
constexpr const char* DEFAULT_ASPI_LIBRARY = "WNASPI32.DLL";
