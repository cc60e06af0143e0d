// CSTR: a heap-held, zero-terminated byte string that is always exactly as
// large as its text (length + 1 bytes; no block at all when empty). Every
// change builds the new text in a fresh block and only then releases the old
// one. Texts are Shift-JIS bytes; the class knows nothing of double-byte
// characters.
#pragma once

#include <cstdint>

#include "korvex_api.h"

class KORVEX_API CSTR {
public:
    CSTR(const char* text = nullptr);
    CSTR(int value);
    CSTR(const CSTR& other);
    virtual ~CSTR();

    CSTR& operator=(CSTR& other);
    CSTR& operator=(const char* text);
    CSTR& operator=(int value);
    void Remove();

    const char* Append(const char* text);
    CSTR& operator+=(CSTR& other);
    CSTR& operator+=(const char* text);
    const char* Insert(const char* text, unsigned int position);

    // count 0 compares this string's own length, so "abc" equals "abcd".
    bool Compare(const char* text, unsigned int count);
    bool operator==(CSTR& other);
    bool operator==(const char* text);

    unsigned int Length();
    const char* String(unsigned int index);

    const char* Convert(bool upper);
    const char* Upper();
    const char* Lower();
    long Convert(int base);
    long Bit();
    long Oct();
    long Dec();
    long Hex();

    // A null set means white space.
    const char* TrimLeft(const char* set);
    const char* TrimRight(const char* set);
    const char* Trim(const char* set);

    // The trap runs when a block cannot be allocated, just before the
    // process ends with status 0.
    void RegisterErrorTrap(void (*trap)(void));

private:
    bool IsTrim(char c, const char* set);
    [[noreturn]] static void ErrorTrap();

    char* NewBlock(std::uint32_t length);
    // Makes text[0..length) the new text: copies into a new block first and
    // releases the old one after, so text may lie inside the old block.
    void Replace(const char* text, std::uint32_t length);

    std::uint32_t textLength;
    char* buffer;
    void (*errorTrap)(void);
};
