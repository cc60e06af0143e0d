#include "format_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Formatted {
    int result;
    std::string text;
};

template <typename... Args>
Formatted Format(std::size_t size, const char* format, Args... args) {
    char out[64];
    std::memset(out, '#', sizeof out);
    const int result = FormatText(out, size, format, args...);
    // Nothing is written past size bytes.
    for (std::size_t i = size; i < sizeof out; ++i) EXPECT_EQ(out[i], '#') << "byte " << i;
    return {result, out};
}

// Every form the programs format, as either runtime writes it.
TEST(FormatText, WritesEachFormOfThePrograms) {
    const struct {
        Formatted got;
        const char* text;
    } cases[] = {
        {Format(64, "%d", -2147483647 - 1), "-2147483648"},
        {Format(64, "%u", 4294967295u), "4294967295"},
        {Format(64, "%ld", -7L), "-7"},
        {Format(64, "%lf", 1.5), "1.500000"},
        {Format(64, "%4d KB/S (x%d)", 176, 1), " 176 KB/S (x1)"},
        {Format(64, "%-16s x%-2d (%s)\n", "DVD-ROM", 8, "Off"), "DVD-ROM          x8  (Off)\n"},
        {Format(64, "%02d:%02d", 0, 7), "00:07"},
        {Format(64, "%d.%d.%d.%d (0x%08X)", 4, 60, 0, 1021, 0x3FD003Cu),
         "4.60.0.1021 (0x03FD003C)"},
        {Format(64, "\\StringFileInfo\\%04x%04x\\%s", 0x411u, 0x4b0u, "FileVersion"),
         "\\StringFileInfo\\041104b0\\FileVersion"},
        {Format(64, "%d,%.*s", 1, 3, "Arial"), "1,Ari"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got.text, c.text);
        EXPECT_EQ(c.got.result, static_cast<int>(std::strlen(c.text))) << c.text;
    }
}

// The limits: a text that fills the buffer to its last byte fits; one byte
// more does not, and what fits is kept, ended with a zero.
TEST(FormatText, EndsEveryTextWithAZeroAndTellsWhatDidNotFit) {
    const struct {
        Formatted got;
        int result;
        const char* text;
    } cases[] = {
        {Format(6, "%s", "abcde"), 5, "abcde"},  {Format(6, "%s", "abcdef"), -1, "abcde"},
        {Format(6, "%d", 1234567), -1, "12345"}, {Format(1, "%s", ""), 0, ""},
        {Format(1, "%s", "a"), -1, ""},          {Format(64, "%s", ""), 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got.text, c.text);
        EXPECT_EQ(c.got.result, c.result) << c.text;
    }
    char one = '#';
    EXPECT_EQ(FormatText(&one, 0, "%s", "a"), -1);
    EXPECT_EQ(one, '#');
    EXPECT_EQ(FormatText(nullptr, 8, "%s", "a"), -1);
}

}  // namespace
