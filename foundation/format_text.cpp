#include "format_text.h"

#include <cstdarg>
#include <cstdio>

int FormatText(char* out, std::size_t size, const char* format, ...) {
    if (!out || size == 0) return -1;
    std::va_list args;
    va_start(args, format);
#ifdef _WIN32
    // msvcrt's _vsnprintf ends the text with a zero only when there is room
    // for it and gives -1 when the text does not fit: the last byte is kept
    // for the zero.
    const int n = _vsnprintf(out, size - 1, format, args);
#else
    const int n = std::vsnprintf(out, size, format, args);
#endif
    va_end(args);
    out[size - 1] = '\0';
    if (n < 0 || static_cast<std::size_t>(n) >= size) return -1;
    out[n] = '\0';
    return n;
}
