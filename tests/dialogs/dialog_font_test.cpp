// DialogFont: its empty description, every form of Create, the face-name
// limit, and that each font it lets go of is deleted.
#include "dialog_font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool IsFont(HFONT font) { return GetObjectType(font) == OBJ_FONT; }

bool SameDescription(const LOGFONTA& a, const LOGFONTA& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(DialogFontTest, StartsWithoutFontAndWithTheSystemDescription) {
    DialogFont font;
    EXPECT_EQ(nullptr, font.handle);
    LOGFONTA expected = {};
    expected.lfWeight = FW_NORMAL;
    std::strcpy(expected.lfFaceName, "System");
    EXPECT_TRUE(SameDescription(expected, font.logFont));
    LOGFONTA copy;
    std::memset(&copy, 0x5A, sizeof copy);
    font.GetLogFont(copy);
    EXPECT_TRUE(SameDescription(expected, copy));
}

TEST(DialogFontTest, FiveArgumentFormSetsTheDescriptionAndMakesTheFont) {
    DialogFont font;
    ASSERT_TRUE(font.Create(18, 8, ANSI_CHARSET, "Arial", FW_BOLD));
    EXPECT_TRUE(IsFont(font.handle));
    EXPECT_EQ(18, font.logFont.lfHeight);
    EXPECT_EQ(8, font.logFont.lfWidth);
    EXPECT_EQ(FW_BOLD, font.logFont.lfWeight);
    EXPECT_EQ(ANSI_CHARSET, font.logFont.lfCharSet);
    EXPECT_STREQ("Arial", font.logFont.lfFaceName);
    EXPECT_EQ(0, font.logFont.lfItalic);
    EXPECT_EQ(0, font.logFont.lfUnderline);
    EXPECT_EQ(0, font.logFont.lfStrikeOut);
    // The font made is the one described.
    LOGFONTA made = {};
    ASSERT_EQ(static_cast<int>(sizeof made), GetObjectA(font.handle, sizeof made, &made));
    EXPECT_EQ(18, made.lfHeight);
    EXPECT_EQ(8, made.lfWidth);
    EXPECT_EQ(FW_BOLD, made.lfWeight);
    EXPECT_STREQ("Arial", made.lfFaceName);
    // No byte of the longer default face is left after the new one.
    for (std::size_t i = std::strlen("Arial"); i < LF_FACESIZE; ++i)
        EXPECT_EQ(0, font.logFont.lfFaceName[i]) << i;
}

TEST(DialogFontTest, EightArgumentFormSetsItalicUnderlineAndStrikeOut) {
    DialogFont font;
    ASSERT_TRUE(font.Create(16, 7, SHIFTJIS_CHARSET, "Arial", FW_LIGHT, 1, 1, 1));
    EXPECT_EQ(1, font.logFont.lfItalic);
    EXPECT_EQ(1, font.logFont.lfUnderline);
    EXPECT_EQ(1, font.logFont.lfStrikeOut);
    EXPECT_EQ(FW_LIGHT, font.logFont.lfWeight);
    EXPECT_EQ(SHIFTJIS_CHARSET, font.logFont.lfCharSet);
    EXPECT_EQ(16, font.logFont.lfHeight);
}

TEST(DialogFontTest, FaceNamesOfThirtyTwoCharactersAreRefused) {
    DialogFont font;
    ASSERT_TRUE(font.Create(12, 5, ANSI_CHARSET, "Arial"));
    const HFONT held = font.handle;
    const LOGFONTA before = font.logFont;
    const std::string longest(LF_FACESIZE - 1, 'F');
    const std::string tooLong(LF_FACESIZE, 'F');

    EXPECT_FALSE(font.Create(20, 9, SHIFTJIS_CHARSET, tooLong.c_str()));
    EXPECT_FALSE(font.Create(20, 9, SHIFTJIS_CHARSET, nullptr));
    EXPECT_TRUE(SameDescription(before, font.logFont));
    EXPECT_EQ(held, font.handle);
    EXPECT_TRUE(IsFont(held));

    // The five-argument form takes the weight all the same.
    EXPECT_FALSE(font.Create(20, 9, SHIFTJIS_CHARSET, tooLong.c_str(), FW_HEAVY));
    EXPECT_EQ(FW_HEAVY, font.logFont.lfWeight);
    EXPECT_EQ(12, font.logFont.lfHeight);
    EXPECT_EQ(held, font.handle);

    // Thirty-one characters fit, with the terminator.
    EXPECT_TRUE(font.Create(20, 9, SHIFTJIS_CHARSET, longest.c_str()));
    EXPECT_EQ(longest, font.logFont.lfFaceName);
    EXPECT_FALSE(IsFont(held));
}

TEST(DialogFontTest, WholeDescriptionFormCopiesItAndReplacesTheFont) {
    DialogFont font;
    ASSERT_TRUE(font.Create());
    const HFONT first = font.handle;
    LOGFONTA description = {};
    description.lfHeight = -24;
    description.lfWeight = FW_SEMIBOLD;
    description.lfQuality = ANTIALIASED_QUALITY;
    std::strcpy(description.lfFaceName, "Courier New");
    ASSERT_TRUE(font.Create(description));
    EXPECT_TRUE(SameDescription(description, font.logFont));
    EXPECT_NE(nullptr, font.handle);
    EXPECT_FALSE(IsFont(first));
    LOGFONTA out = {};
    font.GetLogFont(out);
    EXPECT_TRUE(SameDescription(description, out));
}

TEST(DialogFontTest, DeleteAndDestructionDeleteTheFont) {
    HFONT made = nullptr;
    {
        DialogFont font;
        font.Delete();  // nothing held: nothing happens
        ASSERT_TRUE(font.Create(18, 8, ANSI_CHARSET, "Arial", FW_BOLD));
        const HFONT first = font.handle;
        font.Delete();
        EXPECT_EQ(nullptr, font.handle);
        EXPECT_FALSE(IsFont(first));
        ASSERT_TRUE(font.Create());
        made = font.handle;
        EXPECT_TRUE(IsFont(made));
    }
    EXPECT_FALSE(IsFont(made));
}

TEST(DialogFontTest, ApplyToItemSetsTheFontOnThatControlOnly) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, parent);
    HWND item = CreateWindowExA(0, "STATIC", "x", WS_CHILD, 0, 0, 50, 20, parent,
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
    HWND other = CreateWindowExA(0, "STATIC", "y", WS_CHILD, 0, 20, 50, 20, parent,
                                 reinterpret_cast<HMENU>(8), nullptr, nullptr);
    ASSERT_NE(nullptr, item);
    const LRESULT before = SendMessageA(item, WM_GETFONT, 0, 0);

    DialogFont font;
    font.ApplyToItem(parent, 7);  // no font yet
    EXPECT_EQ(before, SendMessageA(item, WM_GETFONT, 0, 0));

    ASSERT_TRUE(font.Create(18, 8, ANSI_CHARSET, "Arial", FW_BOLD));
    font.ApplyToItem(parent, 7);
    EXPECT_EQ(reinterpret_cast<LRESULT>(font.handle), SendMessageA(item, WM_GETFONT, 0, 0));
    EXPECT_EQ(before, SendMessageA(other, WM_GETFONT, 0, 0));
    DestroyWindow(parent);
}

}  // namespace
