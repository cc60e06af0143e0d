// What the program shows, read back as Unicode and turned into Shift-JIS
// with code page 932 named explicitly, so that the tests compare it with
// their Shift-JIS literals whatever the system's ANSI code page is. A text
// that reached the screen through an ANSI function on a system that is not
// Japanese reads back as question marks or Latin letters, and so differs.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

inline std::string Sjis(const wchar_t* text, int length = -1) {
    if (!text || length == 0 || (length < 0 && !text[0])) return "";
    const int size = WideCharToMultiByte(932, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return "";
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(932, 0, text, length, &out[0], size, nullptr, nullptr);
    if (length < 0) out.resize(out.size() - 1);  // the terminator
    return out;
}

inline std::string WindowText(HWND window) {
    if (!window) return "";
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, &text[0], length + 1);
    return Sjis(text.c_str(), got > 0 ? got : 0);
}

inline std::string MenuText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    const int got = GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return Sjis(text, got > 0 ? got : 0);
}

}  // namespace testsupport
