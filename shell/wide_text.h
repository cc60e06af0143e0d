// The program's texts are Shift-JIS bytes. What a person sees goes through
// the Unicode ("W") functions, converted with code page 932 named explicitly:
// the system's ANSI code page is 932 only on a Japanese Windows, and any
// other one would show the texts as question marks or accented Latin.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr UINT TEXT_CODE_PAGE = 932;

// A Shift-JIS text as UTF-16 (in the ANSI code page where the system lacks
// code page 932). A lead byte that is not followed by a trail
// byte (a device text may end in one) becomes '?', so that it never takes
// the line end, blank or terminator after it into a character of its own.
class WideText {
public:
    // The whole zero-terminated text; null gives "".
    explicit WideText(const char* text);
    // At most length bytes, and no further than a zero byte.
    WideText(const char* text, std::size_t length);
    ~WideText();

    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;

    const wchar_t* Get() const { return text_; }
    operator const wchar_t*() const { return text_; }
    // In UTF-16 units, the terminator not counted.
    std::size_t Length() const { return length_; }

private:
    void Convert(const char* text, std::size_t length);

    static constexpr std::size_t LOCAL_CHARS = 256;
    wchar_t local_[LOCAL_CHARS];
    wchar_t* heap_;
    wchar_t* text_;
    std::size_t length_;
};

// UTF-16 back to Shift-JIS into out (capacity bytes, terminator included).
// False, with out emptied, when a character has no Shift-JIS form or the
// text does not fit.
bool ShiftJisText(const wchar_t* text, char* out, std::size_t capacity);
