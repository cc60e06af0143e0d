#include "wide_text.h"

#include <cstring>
#include <new>

namespace {

constexpr char STAND_IN = '?';

bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

}  // namespace

WideText::WideText(const char* text) : local_{}, heap_(nullptr), text_(local_), length_(0) {
    Convert(text, text ? std::strlen(text) : 0);
}

WideText::WideText(const char* text, std::size_t length)
    : local_{}, heap_(nullptr), text_(local_), length_(0) {
    Convert(text, text ? strnlen(text, length) : 0);
}

WideText::~WideText() { delete[] heap_; }

void WideText::Convert(const char* text, std::size_t length) {
    if (length == 0) return;
    // Every byte gives at most one UTF-16 unit.
    char* bytes = new (std::nothrow) char[length];
    if (length + 1 > LOCAL_CHARS) heap_ = new (std::nothrow) wchar_t[length + 1];
    if (!bytes || (length + 1 > LOCAL_CHARS && !heap_)) {
        delete[] bytes;
        return;
    }
    std::memcpy(bytes, text, length);
    for (std::size_t i = 0; i < length; ++i) {
        if (!IsDBCSLeadByteEx(TEXT_CODE_PAGE, static_cast<BYTE>(bytes[i]))) continue;
        if (i + 1 < length && IsTrailByte(static_cast<unsigned char>(bytes[i + 1])))
            ++i;
        else
            bytes[i] = STAND_IN;
    }
    wchar_t* target = heap_ ? heap_ : local_;
    int written = MultiByteToWideChar(TEXT_CODE_PAGE, 0, bytes, static_cast<int>(length), target,
                                      static_cast<int>(length));
    // A Windows without the Japanese code page (an old one without the East
    // Asian languages) shows at least what the ANSI functions would.
    if (written <= 0)
        written = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), target,
                                      static_cast<int>(length));
    delete[] bytes;
    if (written <= 0) return;
    target[written] = L'\0';
    text_ = target;
    length_ = static_cast<std::size_t>(written);
}

bool ShiftJisText(const wchar_t* text, char* out, std::size_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = '\0';
    if (!text || !text[0]) return text != nullptr;
    BOOL lost = FALSE;
    const int written = WideCharToMultiByte(TEXT_CODE_PAGE, WC_NO_BEST_FIT_CHARS, text, -1, out,
                                            static_cast<int>(capacity), nullptr, &lost);
    if (written <= 0 || lost) {
        out[0] = '\0';
        return false;
    }
    return true;
}
