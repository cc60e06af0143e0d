// Shift-JIS to UTF-16 and back with code page 932, whatever the system's
// ANSI code page (this test runs under 932 and under 1252).
#include "wide_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::wstring Wide(const char* text) { return WideText(text).Get(); }

TEST(WideTextTest, ShiftJisBecomesUtf16) {
    struct Case {
        const char* text;
        const wchar_t* wide;
    } cases[] = {
        {"設定画面", L"\u8a2d\u5b9a\u753b\u9762"},
        {"ASPI32の生成に失敗しました。",
         L"ASPI32\u306e\u751f\u6210\u306b\u5931\u6557\u3057\u307e\u3057\u305f\u3002"},
        {"\xb1\xb2", L"\uff71\uff72"},  // half-width katakana: one byte each
        {"a\r\nb\tc", L"a\r\nb\tc"},    // line ends and tabs stay
        {"", L""},
        // A lead byte without its trail byte never takes what follows.
        {"CD-ROM\x81", L"CD-ROM?"},
        {"X\x81\nY", L"X?\nY"},
        {"X\x81 x8", L"X? x8"},
        {"\x81\x81\x40", L"\uff1d@"},  // 81 is a trail byte too
        {"\x82\xa0\x81", L"\u3042?"},
    };
    for (const Case& c : cases) {
        const WideText text(c.text);
        EXPECT_EQ(std::wstring(c.wide), text.Get()) << c.text;
        EXPECT_EQ(std::wcslen(c.wide), text.Length()) << c.text;
    }
    EXPECT_EQ(L"", Wide(nullptr));
    // At most the length given, and never past a zero byte; a pair the
    // length cuts in two is a lone lead byte.
    EXPECT_EQ(std::wstring(L"\u8a2d"), WideText("設定", 2).Get());
    EXPECT_EQ(std::wstring(L"\u8a2d?"), WideText("設定", 3).Get());
    EXPECT_EQ(std::wstring(L"ab"), WideText("ab\0cd", 5).Get());
    EXPECT_EQ(std::wstring(L""), WideText("abc", 0).Get());
}

TEST(WideTextTest, LongTextsAndEveryByte) {
    std::string long_text;
    std::wstring long_wide;
    for (int i = 0; i < 1000; ++i) long_text += "あ", long_wide += L"\u3042";
    EXPECT_EQ(long_wide, Wide(long_text.c_str()));
    // Every byte value but zero: each gives something, none takes a
    // control character below it.
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c), all += '\n';
    const WideText text(all.c_str());
    int lines = 0;
    for (std::size_t i = 0; i < text.Length(); ++i) lines += text.Get()[i] == L'\n';
    EXPECT_EQ(256, lines);  // the 255 added and the byte 0A itself
}

TEST(WideTextTest, BackToShiftJis) {
    char out[16];
    EXPECT_TRUE(ShiftJisText(L"\u8a2d\u5b9a", out, sizeof out));
    EXPECT_STREQ("設定", out);
    EXPECT_TRUE(ShiftJisText(L"C:\\\u8868\\A.DLL", out, sizeof out));
    EXPECT_STREQ("C:\\表\\A.DLL", out);
    EXPECT_TRUE(ShiftJisText(L"", out, sizeof out));
    EXPECT_STREQ("", out);
    // Characters Shift-JIS lacks (no best-fit look-alikes), texts too long,
    // no room: false and nothing.
    for (const wchar_t* lost : {L"\u00e9lan", L"\u20ac", L"\u00c5", L"0123456789abcdef"}) {
        std::strcpy(out, "old");
        EXPECT_FALSE(ShiftJisText(lost, out, sizeof out));
        EXPECT_STREQ("", out);
    }
    EXPECT_FALSE(ShiftJisText(L"\u8a2d\u5b9a", out, 4));  // 4 bytes and the terminator
    EXPECT_TRUE(ShiftJisText(L"\u8a2d\u5b9a", out, 5));
    EXPECT_FALSE(ShiftJisText(nullptr, out, sizeof out));
    EXPECT_FALSE(ShiftJisText(L"a", nullptr, 4));
    EXPECT_FALSE(ShiftJisText(L"a", out, 0));
}

}  // namespace
