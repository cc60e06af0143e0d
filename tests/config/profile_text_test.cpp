#include "profile_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

namespace {

FontFields Arial() {
    FontFields f{};
    f.height = -12;
    f.weight = 400;
    std::strcpy(f.faceName, "Arial");
    return f;
}

// A record whose every field differs from what the tests parse.
FontFields Filled() {
    FontFields f;
    std::memset(&f, 0x5A, sizeof f);
    std::strcpy(f.faceName, "Before");
    return f;
}

std::string Format(const FontFields& f) {
    char text[kFontTextSize];
    FormatFontText(f, text);
    return text;
}

bool SameFont(const FontFields& a, const FontFields& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(FontText, WritesThirteenNumbersThenTheFace) {
    EXPECT_EQ(Format(Arial()), "-12,0,0,0,400,0,0,0,0,0,0,0,0,Arial");

    FontFields f{1, -2, 3, -4, 700, 255, 1, 0, 128, 3, 2, 1, 0x31, "ＭＳ ゴシック"};
    EXPECT_EQ(Format(f), "1,-2,3,-4,700,255,1,0,128,3,2,1,49,ＭＳ ゴシック");
}

TEST(FontText, RoundTripRestoresTheRecord) {
    FontFields arial = Arial(), read = Filled();
    std::memset(arial.faceName + 6, 0, sizeof arial.faceName - 6);
    EXPECT_EQ(ParseFontText(Format(arial).c_str(), &read), 1);
    EXPECT_TRUE(SameFont(read, arial));

    FontFields extreme{INT_MIN, INT_MAX, -1,  0,   INT_MIN, 255, 254,
                       253,     252,     251, 250, 249,     248, ""};
    std::memset(extreme.faceName, 'W', 31);
    std::string text = Format(extreme);
    EXPECT_LT(text.size(), kFontTextSize);
    read = Filled();
    ParseFontText(text.c_str(), &read);
    EXPECT_TRUE(SameFont(read, extreme));
}

TEST(FontText, FaceOfThirtyTwoBytesWithoutZeroIsNotOverread) {
    // Heap-held so that a read past the record is caught.
    auto font = std::make_unique<FontFields>(Arial());
    std::memset(font->faceName, 'F', sizeof font->faceName);
    std::string text = Format(*font);
    EXPECT_EQ(text, "-12,0,0,0,400,0,0,0,0,0,0,0,0," + std::string(32, 'F'));
}

TEST(FontText, EmptyOrNullTextChangesNothing) {
    FontFields f = Filled(), before = Filled();
    EXPECT_EQ(ParseFontText("", &f), 0);
    EXPECT_EQ(ParseFontText(nullptr, &f), 0);
    EXPECT_TRUE(SameFont(f, before));
}

TEST(FontText, TrailingCommaKeepsTheFace) {
    FontFields f = Filled();
    EXPECT_EQ(ParseFontText("1,2,3,4,5,6,7,8,9,10,11,12,13,", &f), 1);
    EXPECT_EQ(f.height, 1);
    EXPECT_EQ(f.weight, 5);
    EXPECT_EQ(f.pitchAndFamily, 13);
    EXPECT_STREQ(f.faceName, "Before");
}

TEST(FontText, StopsAtTheFirstNumberThatDoesNotParse) {
    FontFields f = Filled(), before = Filled();
    EXPECT_EQ(ParseFontText("10,20,x,40", &f), 1);
    EXPECT_EQ(f.height, 10);
    EXPECT_EQ(f.width, 20);
    EXPECT_EQ(f.escapement, before.escapement);
    EXPECT_EQ(f.orientation, before.orientation);
    EXPECT_EQ(f.italic, before.italic);
    EXPECT_STREQ(f.faceName, "40");  // whatever follows the last comma

    f = Filled();
    ParseFontText("7 ,8", &f);  // a comma must follow its number directly
    EXPECT_EQ(f.height, 7);
    EXPECT_EQ(f.width, before.width);

    f = Filled();
    ParseFontText(" -7,\t+8,-,9", &f);  // blanks and signs before a number
    EXPECT_EQ(f.height, -7);
    EXPECT_EQ(f.width, 8);
    EXPECT_EQ(f.escapement, before.escapement);

    f = Filled();
    EXPECT_EQ(ParseFontText("Arial", &f), 1);  // no number, no comma
    EXPECT_TRUE(SameFont(f, before));
}

TEST(FontText, ByteFieldsTakeTheLowByte) {
    FontFields f = Filled();
    ParseFontText("0,0,0,0,0,256,-1,300,511,0,0,0,0,X", &f);
    EXPECT_EQ(f.italic, 0);
    EXPECT_EQ(f.underline, 255);
    EXPECT_EQ(f.strikeOut, 44);
    EXPECT_EQ(f.charSet, 255);
    // Numbers past 32 bits wrap.
    ParseFontText("4294967297,-4294967297", &f);
    EXPECT_EQ(f.height, 1);
    EXPECT_EQ(f.width, -1);
}

TEST(FontText, FaceIsTheTextAfterTheLastCommaCutTo31Bytes) {
    FontFields f = Filled();
    ParseFontText("1,2,Foo,Bar", &f);
    EXPECT_STREQ(f.faceName, "Bar");

    auto heap = std::make_unique<FontFields>(Filled());
    std::string text = "1,2,3,4,5,6,7,8,9,10,11,12,13," + std::string(40, 'L');
    ParseFontText(text.c_str(), heap.get());
    EXPECT_EQ(std::string(heap->faceName), std::string(31, 'L'));
    EXPECT_EQ(heap->faceName[31], '\0');

    ParseFontText("1,Ab", heap.get());  // a shorter face leaves no tail of the longer one
    EXPECT_EQ(std::string(heap->faceName, 32), "Ab" + std::string(30, '\0'));
}

std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | g << 8 | b << 16;
}

TEST(ColourText, WritesRedGreenBlue) {
    char text[kColourTextSize];
    FormatColourText(Rgb(255, 128, 0), text);
    EXPECT_STREQ(text, "255,128,0");
    FormatColourText(0xFF000000u | Rgb(1, 2, 3), text);
    EXPECT_STREQ(text, "1,2,3");
}

TEST(ColourText, ReadsOverTheCurrentValue) {
    std::uint32_t c = Rgb(1, 2, 3);
    EXPECT_EQ(ParseColourText("10,20", &c), 1);
    EXPECT_EQ(c, Rgb(10, 20, 3));

    c = 0xFF000000u | Rgb(1, 2, 3);
    EXPECT_EQ(ParseColourText("5", &c), 1);
    EXPECT_EQ(c, Rgb(5, 2, 3));  // the top byte is cleared

    c = Rgb(1, 2, 3);
    ParseColourText("256,-1,300", &c);
    EXPECT_EQ(c, Rgb(0, 255, 44));

    c = 0xFF000000u | Rgb(1, 2, 3);
    EXPECT_EQ(ParseColourText("red", &c), 1);
    EXPECT_EQ(c, Rgb(1, 2, 3));

    c = Rgb(1, 2, 3);
    ParseColourText("9,x,7", &c);
    EXPECT_EQ(c, Rgb(9, 2, 3));
}

TEST(ColourText, EmptyOrNullTextChangesNothing) {
    std::uint32_t c = 0xFF010203u;
    EXPECT_EQ(ParseColourText("", &c), 0);
    EXPECT_EQ(ParseColourText(nullptr, &c), 0);
    EXPECT_EQ(c, 0xFF010203u);
}

}  // namespace

// Decimal text only: sign, digits, point, exponent; the rest is 0.0.
TEST(DecimalText, TakesTheDecimalPrefixAndNothingElse) {
    const struct {
        const char* text;
        float value;
    } cases[] = {
        {"2.5", 2.5f},    {"-0.5", -0.5f},     {"+3", 3.0f},   {"  7.25", 7.25f},
        {"1e3", 1000.0f}, {"1.5E-1", 0.15f},   {".5", 0.5f},   {"4.", 4.0f},
        {"12abc", 12.0f}, {"1e", 1.0f},        {"1e+", 1.0f},  {"2.5.6", 2.5f},
        {"0x1p3", 0.0f},  {"0X10", 0.0f},      {"inf", 0.0f},  {"-INF", 0.0f},
        {"nan", 0.0f},    {"infinity", 0.0f},  {"1e39", 0.0f}, {"-1e300", 0.0f},
        {"", 0.0f},       {"-", 0.0f},         {".", 0.0f},    {"e5", 0.0f},
        {"abc", 0.0f},    {"3.4e38", 3.4e38f},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, ParseDecimalText(c.text)) << c.text;
    EXPECT_EQ(0.0f, ParseDecimalText(nullptr));
}
