#include "cstr.h"

#include <cstdlib>
#include <cstring>

#include "cstr_alloc.h"
#include "format_text.h"

namespace {

CstrAllocFunction allocBlock = std::malloc;

}  // namespace

CstrAllocFunction SetCstrAllocator(CstrAllocFunction alloc) {
    CstrAllocFunction previous = allocBlock;
    allocBlock = alloc ? alloc : std::malloc;
    return previous;
}

CSTR::CSTR(const char* text) : textLength(0), buffer(nullptr), errorTrap(nullptr) { Append(text); }

CSTR::CSTR(int value) : textLength(0), buffer(nullptr), errorTrap(nullptr) { *this = value; }

CSTR::CSTR(const CSTR& other) : textLength(0), buffer(nullptr), errorTrap(other.errorTrap) {
    Replace(other.buffer, other.textLength);
}

CSTR::~CSTR() { Remove(); }

CSTR& CSTR::operator=(CSTR& other) {
    Replace(other.buffer, other.textLength);
    return *this;
}

CSTR& CSTR::operator=(const char* text) {
    Replace(text, text ? static_cast<std::uint32_t>(std::strlen(text)) : 0);
    return *this;
}

CSTR& CSTR::operator=(int value) {
    char digits[16];  // "-2147483648" and its zero fit
    int count = FormatText(digits, sizeof digits, "%d", value);
    Replace(digits, static_cast<std::uint32_t>(count));
    return *this;
}

void CSTR::Remove() {
    std::free(buffer);
    buffer = nullptr;
    textLength = 0;
}

const char* CSTR::Append(const char* text) {
    if (!text || !*text || text == buffer) return buffer;
    std::uint32_t added = static_cast<std::uint32_t>(std::strlen(text));
    std::uint32_t length = textLength + added;
    char* block = NewBlock(length);
    if (buffer) std::memcpy(block, buffer, textLength);
    // text may lie inside the old block: it is still there until the free below.
    std::memcpy(block + textLength, text, added);
    std::free(buffer);
    buffer = block;
    textLength = length;
    return buffer;
}

CSTR& CSTR::operator+=(CSTR& other) {
    Append(other.buffer);
    return *this;
}

CSTR& CSTR::operator+=(const char* text) {
    Append(text);
    return *this;
}

const char* CSTR::Insert(const char* text, unsigned int position) {
    if (!text || !*text || text == buffer || position >= textLength) return buffer;
    std::uint32_t added = static_cast<std::uint32_t>(std::strlen(text));
    std::uint32_t length = textLength + added;
    char* block = NewBlock(length);
    std::memcpy(block, buffer, position);
    std::memcpy(block + position, text, added);
    std::memcpy(block + position + added, buffer + position, textLength - position);
    std::free(buffer);
    buffer = block;
    textLength = length;
    return buffer;
}

bool CSTR::Compare(const char* text, unsigned int count) {
    if (text == buffer) return true;
    if (textLength == 0 || !text || !*text) return false;
    if (count == 0) count = textLength;
    return std::strncmp(buffer, text, count) == 0;
}

bool CSTR::operator==(CSTR& other) { return Compare(other.buffer, 0); }

bool CSTR::operator==(const char* text) { return Compare(text, 0); }

unsigned int CSTR::Length() { return textLength; }

const char* CSTR::String(unsigned int index) {
    // Past the terminating zero there is nothing to point at.
    if (!buffer || index > textLength) return nullptr;
    return buffer + index;
}

const char* CSTR::Convert(bool upper) {
    // Only the ASCII letters change, as in the C locale; Shift-JIS lead bytes
    // (0x81..0xFC) never do, trail bytes in the letter range do.
    for (std::uint32_t i = 0; i < textLength; ++i) {
        char c = buffer[i];
        if (upper && c >= 'a' && c <= 'z') buffer[i] = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') buffer[i] = static_cast<char>(c - 'A' + 'a');
    }
    return buffer;
}

const char* CSTR::Upper() { return Convert(true); }

const char* CSTR::Lower() { return Convert(false); }

long CSTR::Convert(int base) {
    if (!buffer) return 0;
    return std::strtol(buffer, nullptr, base);
}

long CSTR::Bit() { return Convert(2); }

long CSTR::Oct() { return Convert(8); }

long CSTR::Dec() { return Convert(10); }

long CSTR::Hex() { return Convert(16); }

const char* CSTR::TrimLeft(const char* set) {
    if (!buffer) return buffer;
    std::uint32_t start = 0;
    while (start < textLength && IsTrim(buffer[start], set)) ++start;
    Replace(buffer + start, textLength - start);
    return buffer;
}

const char* CSTR::TrimRight(const char* set) {
    if (!buffer) return buffer;
    std::uint32_t end = textLength;
    while (end > 0 && IsTrim(buffer[end - 1], set)) --end;
    Replace(buffer, end);
    return buffer;
}

const char* CSTR::Trim(const char* set) {
    TrimLeft(set);
    return TrimRight(set);
}

void CSTR::RegisterErrorTrap(void (*trap)(void)) { errorTrap = trap; }

bool CSTR::IsTrim(char c, const char* set) {
    if (c == '\0') return false;
    if (!set) {
        // The C locale's white space; bytes 0x80..0xFF never are.
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }
    for (; *set; ++set) {
        if (*set == c) return true;
    }
    return false;
}

void CSTR::ErrorTrap() { std::exit(0); }

char* CSTR::NewBlock(std::uint32_t length) {
    void* block = allocBlock(std::size_t(length) + 1);
    if (!block) {
        // The registered trap tells the user; whether it returns or not, the
        // operation must not go on without a block.
        if (errorTrap) errorTrap();
        ErrorTrap();
    }
    std::memset(block, 0, std::size_t(length) + 1);
    return static_cast<char*>(block);
}

void CSTR::Replace(const char* text, std::uint32_t length) {
    if (!text || length == 0) {
        Remove();
        return;
    }
    char* block = NewBlock(length);
    std::memcpy(block, text, length);
    std::free(buffer);
    buffer = block;
    textLength = length;
}
