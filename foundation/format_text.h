// Formatting into a fixed buffer, the one way the programs do it. On Windows
// the system's C runtime (msvcrt.dll) formats, not MinGW's own C99 printf,
// which would add about 20 KB to every program that formats a number.
#pragma once

#include <cstddef>

#ifdef _WIN32
#define KORVEX_FORMAT_CHECK __attribute__((format(ms_printf, 3, 4)))
#else
#define KORVEX_FORMAT_CHECK __attribute__((format(printf, 3, 4)))
#endif

// Formats into out (size bytes) and always ends it with a zero. Returns the
// length of the text, or -1 when it does not fit (out then holds as much as
// fits) or there is no room at all. The formats are those both runtimes
// read alike: d, u, x, X, s, c and f, with flags, width, precision and the
// l modifier; never z, j, t, hh or ll.
int FormatText(char* out, std::size_t size, const char* format, ...) KORVEX_FORMAT_CHECK;
