#include "cstr.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cstr_alloc.h"

namespace {

std::string Text(CSTR& s) {
    const char* p = s.String(0);
    return p ? std::string(p) : std::string("<null>");
}

// Records the size of every block CSTR asks for.
std::vector<std::size_t> requested;
void* RecordingAlloc(std::size_t size) {
    requested.push_back(size);
    return std::malloc(size);
}
void* FailingAlloc(std::size_t) { return nullptr; }

struct RecordAllocations {
    RecordAllocations() {
        requested.clear();
        previous = SetCstrAllocator(RecordingAlloc);
    }
    ~RecordAllocations() { SetCstrAllocator(previous); }
    CstrAllocFunction previous;
};

TEST(CstrConstruct, NullAndEmptyTextGiveAnEmptyStringWithoutBlock) {
    RecordAllocations record;
    CSTR fromNull(nullptr), fromEmpty(""), byDefault;
    for (CSTR* s : {&fromNull, &fromEmpty, &byDefault}) {
        EXPECT_EQ(s->Length(), 0u);
        EXPECT_EQ(s->String(0), nullptr);
    }
    EXPECT_TRUE(requested.empty());
}

TEST(CstrConstruct, IntegersInDecimal) {
    CSTR negative(-120), zero(0), lowest(INT_MIN), highest(INT_MAX);
    EXPECT_EQ(Text(negative), "-120");
    EXPECT_EQ(negative.Length(), 4u);
    EXPECT_EQ(Text(zero), "0");
    EXPECT_EQ(zero.Length(), 1u);
    EXPECT_EQ(Text(lowest), "-2147483648");
    EXPECT_EQ(lowest.Length(), 11u);
    EXPECT_EQ(Text(highest), "2147483647");

    CSTR s("old text");
    s = 7;
    EXPECT_EQ(Text(s), "7");
    EXPECT_EQ(s.Length(), 1u);
}

TEST(CstrConstruct, EveryChangeTakesABlockOfExactlyLengthPlusOne) {
    RecordAllocations record;
    CSTR s("abc");
    s.Append("de");
    s.Insert("X", 1);
    s = -120;
    s.Upper();  // in place
    s = "";     // empties without a block
    s.Append("");
    s = nullptr;
    CSTR copy(s);  // empty copy, no block
    s = "xyz";
    CSTR other(s);
    EXPECT_EQ(requested, (std::vector<std::size_t>{4, 6, 7, 5, 4, 4}));
    EXPECT_NE(other.String(0), s.String(0));
}

TEST(CstrTrim, TheRemainderTakesABlockOfExactlyLengthPlusOne) {
    CSTR s("  abc  ");
    {
        RecordAllocations record;
        s.TrimLeft(nullptr);
        EXPECT_EQ(requested, (std::vector<std::size_t>{6}));
        s.TrimRight(nullptr);
        EXPECT_EQ(requested, (std::vector<std::size_t>{6, 4}));
        EXPECT_EQ(Text(s), "abc");
        // Nothing to trim: the text, its length and its block size stay.
        requested.clear();
        s.Trim(nullptr);
        EXPECT_EQ(Text(s), "abc");
        EXPECT_EQ(3u, s.Length());
        for (std::size_t size : requested) EXPECT_EQ(4u, size);
        // Trimmed away entirely: no block at all.
        requested.clear();
        CSTR blanks(" \t ");
        requested.clear();
        blanks.Trim(nullptr);
        EXPECT_TRUE(requested.empty());
        EXPECT_EQ(nullptr, blanks.String(0));
    }
    // Sets of bytes 80h..FFh, as in Shift-JIS texts.
    CSTR high(
        "\x81\xff\x81"
        "ab\xff\xa0");
    high.Trim("\xff\x81\xa0");
    EXPECT_EQ(Text(high), "ab");
    CSTR kept("\x82\xa0");
    kept.Trim("\x81");
    EXPECT_EQ(Text(kept), "\x82\xa0");
}

TEST(CstrConstruct, CopiesOwnSeparateBlocks) {
    auto* original = new CSTR("shared?");
    auto* copy = new CSTR(*original);
    EXPECT_NE(copy->String(0), original->String(0));
    EXPECT_EQ(Text(*copy), "shared?");
    delete original;  // a shared block would now be freed twice or read after free
    EXPECT_EQ(Text(*copy), "shared?");
    delete copy;
}

TEST(CstrAssign, SelfAndOwnTextCopyBeforeRelease) {
    CSTR s("abc");
    CSTR& same = s;
    s = same;
    EXPECT_EQ(Text(s), "abc");
    s = s.String(0);
    EXPECT_EQ(Text(s), "abc");
    s = s.String(1);
    EXPECT_EQ(Text(s), "bc");
    s = s.String(1);
    EXPECT_EQ(Text(s), "c");
    s = s.String(1);  // the terminating zero: empty text
    EXPECT_EQ(s.Length(), 0u);
    EXPECT_EQ(s.String(0), nullptr);
}

TEST(CstrAssign, NullEmptyAndOtherStrings) {
    CSTR s("abc"), other("longer text"), empty;
    s = other;
    EXPECT_EQ(Text(s), "longer text");
    EXPECT_EQ(s.Length(), 11u);
    EXPECT_NE(s.String(0), other.String(0));
    s = empty;
    EXPECT_EQ(s.String(0), nullptr);
    s = "x";
    s = static_cast<const char*>(nullptr);
    EXPECT_EQ(s.Length(), 0u);
    s = "x";
    s = "";
    EXPECT_EQ(s.String(0), nullptr);
    s.Remove();
    EXPECT_EQ(s.Length(), 0u);
}

TEST(CstrAppend, OwnBufferOwnTailNullAndEmpty) {
    CSTR s("abc");
    EXPECT_EQ(std::string(s.Append(s.String(0))), "abc");
    EXPECT_EQ(s.Length(), 3u);
    s.Append(s.String(1));
    EXPECT_EQ(Text(s), "abcbc");
    EXPECT_EQ(s.Length(), 5u);
    s.Append(nullptr);
    s.Append("");
    EXPECT_EQ(Text(s), "abcbc");

    CSTR empty, tail("tail");
    EXPECT_EQ(std::string(empty.Append("x")), "x");
    empty += tail;
    empty += "!";
    EXPECT_EQ(Text(empty), "xtail!");
    EXPECT_EQ(empty.Length(), 6u);
    CSTR nothing;
    empty += nothing;
    EXPECT_EQ(Text(empty), "xtail!");
}

TEST(CstrInsert, PositionsAndRefusals) {
    CSTR front("xyz"), second("xyz"), end("xyz"), past("xyz");
    EXPECT_EQ(std::string(front.Insert("ab", 0)), "abxyz");
    EXPECT_EQ(front.Length(), 5u);
    second.Insert("ab", 1);
    EXPECT_EQ(Text(second), "xabyz");
    end.Insert("ab", 3);
    EXPECT_EQ(Text(end), "xyz");
    past.Insert("ab", 4);
    EXPECT_EQ(Text(past), "xyz");

    CSTR s("xyz");
    s.Insert(s.String(0), 1);  // its own buffer: refused
    s.Insert(nullptr, 1);
    s.Insert("", 1);
    EXPECT_EQ(Text(s), "xyz");
    s.Insert(s.String(1), 1);  // its own tail: copied before release
    EXPECT_EQ(Text(s), "xyzyz");

    CSTR empty;
    EXPECT_EQ(empty.Insert("ab", 0), nullptr);
}

TEST(CstrCompare, NullEmptyAndPrefixTexts) {
    CSTR empty, abc("abc"), abcd("abcd");
    EXPECT_TRUE(empty.Compare(nullptr, 0));
    EXPECT_TRUE(empty == static_cast<const char*>(nullptr));
    EXPECT_FALSE(empty == "");
    EXPECT_FALSE(empty == "abc");
    EXPECT_FALSE(abc == static_cast<const char*>(nullptr));
    EXPECT_FALSE(abc == "");

    EXPECT_TRUE(abc.Compare("abd", 2));
    EXPECT_FALSE(abc.Compare("abd", 3));
    EXPECT_FALSE(abc.Compare("abd", 0));
    EXPECT_TRUE(abc.Compare("abc", 10));  // stops at the terminating zeros
    EXPECT_FALSE(abc.Compare("abcd", 10));

    // count 0 covers this string's length only
    EXPECT_TRUE(abc == "abc");
    EXPECT_TRUE(abc == "abcd");
    EXPECT_FALSE(abcd == "abc");
    EXPECT_TRUE(abc == abcd);
    EXPECT_FALSE(abcd == abc);
    EXPECT_TRUE(abc == abc);
    CSTR otherEmpty;
    EXPECT_TRUE(empty == otherEmpty);
    EXPECT_FALSE(empty == abc);
    EXPECT_FALSE(abc == empty);
}

TEST(CstrAccess, StringIndexes) {
    CSTR s("abc");
    EXPECT_EQ(s.String(1), s.String(0) + 1);
    EXPECT_EQ(*s.String(3), '\0');
    EXPECT_EQ(s.String(4), nullptr);
}

TEST(CstrCase, AsciiLettersOnlyShiftJisTrailBytesIncluded) {
    CSTR s("abc"), mixed("aB1-z{`@Z");
    EXPECT_EQ(std::string(s.Upper()), "ABC");
    EXPECT_EQ(std::string(s.Lower()), "abc");
    EXPECT_EQ(std::string(mixed.Upper()), "AB1-Z{`@Z");
    EXPECT_EQ(std::string(mixed.Lower()), "ab1-z{`@z");

    // "ッ" is 0x83 0x62: the trail byte is 'b' and goes up to 'B', making "イ".
    CSTR kana("ッ");
    ASSERT_EQ(Text(kana), "\x83\x62");
    EXPECT_EQ(std::string(kana.Upper()), "\x83\x42");
    EXPECT_EQ(std::string(kana.Lower()), "\x83\x62");
    EXPECT_EQ(kana.Length(), 2u);

    // Bytes above 0x7F are letters in Latin-1, never here.
    CSTR high("\xe0\xe9\xc0\xff");
    EXPECT_EQ(std::string(high.Upper()), "\xe0\xe9\xc0\xff");
    EXPECT_EQ(std::string(high.Lower()), "\xe0\xe9\xc0\xff");

    CSTR empty;
    EXPECT_EQ(empty.Upper(), nullptr);
}

TEST(CstrNumber, Bases) {
    CSTR hex("1f"), prefixed("0x1f"), dec("12ab"), two("2"), bits("101"), oct("017");
    EXPECT_EQ(hex.Hex(), 31);
    EXPECT_EQ(prefixed.Hex(), 31);
    EXPECT_EQ(dec.Dec(), 12);
    EXPECT_EQ(two.Bit(), 0);
    EXPECT_EQ(bits.Bit(), 5);
    EXPECT_EQ(oct.Oct(), 15);
    EXPECT_EQ(oct.Dec(), 17);
    EXPECT_EQ(prefixed.Dec(), 0);

    CSTR signedText(" \t-42x"), plus("+7"), empty, word("abc");
    EXPECT_EQ(signedText.Dec(), -42);
    EXPECT_EQ(plus.Dec(), 7);
    EXPECT_EQ(empty.Dec(), 0);
    EXPECT_EQ(word.Dec(), 0);
    EXPECT_EQ(word.Hex(), 0xabc);

    CSTR upperPrefix("0X1F"), negative("-0x10"), bare("0x"), octal("0789"), nine("9");
    EXPECT_EQ(upperPrefix.Hex(), 31);
    EXPECT_EQ(negative.Hex(), -16);
    EXPECT_EQ(bare.Hex(), 0);
    EXPECT_EQ(octal.Oct(), 7);  // stops at the first digit that is not octal
    EXPECT_EQ(nine.Oct(), 0);

    CSTR huge("99999999999999999999999"), tiny("-99999999999999999999999");
    EXPECT_EQ(huge.Dec(), LONG_MAX);
    EXPECT_EQ(tiny.Dec(), LONG_MIN);
}

TEST(CstrTrim, WhiteSpaceSetsAndEmptySet) {
    CSTR s(" a b ");
    EXPECT_EQ(std::string(s.Trim(nullptr)), "a b");
    EXPECT_EQ(s.Length(), 3u);

    CSTR punct(",;a;");
    punct.Trim(",;");
    EXPECT_EQ(Text(punct), "a");
    EXPECT_EQ(punct.Length(), 1u);

    CSTR blanks("   ");
    EXPECT_EQ(blanks.TrimRight(nullptr), nullptr);
    EXPECT_EQ(blanks.Length(), 0u);

    CSTR kept(" x ");
    kept.Trim("");
    EXPECT_EQ(Text(kept), " x ");

    CSTR every("\t\n\v\f\r x\r\n");
    every.Trim(nullptr);
    EXPECT_EQ(Text(every), "x");

    // 0xA0 is a space in Latin-1, not here; the other end keeps its blank.
    CSTR high(" \xa0 ");
    high.TrimLeft(nullptr);
    EXPECT_EQ(Text(high), "\xa0 ");
    high.TrimRight(nullptr);
    EXPECT_EQ(Text(high), "\xa0");

    CSTR left("xxabxx");
    left.TrimLeft("x");
    EXPECT_EQ(Text(left), "abxx");
    EXPECT_EQ(left.Length(), 4u);
    left.TrimRight("x");
    EXPECT_EQ(Text(left), "ab");

    CSTR all(";;;");
    EXPECT_EQ(all.TrimLeft(";"), nullptr);
    EXPECT_EQ(all.Length(), 0u);

    CSTR empty;
    EXPECT_EQ(empty.Trim(nullptr), nullptr);
}

// Out of memory: the registered trap runs first, then the process ends with
// status 0 and its exit handlers run; the operation never goes on.
void PrintTrap() { std::fputs("trap;", stderr); }
void PrintAtExit() { std::fputs("exit handler\n", stderr); }
void ExhaustAndContinue(void (*operation)(CSTR&)) {
    std::atexit(PrintAtExit);
    CSTR s("ab");
    s.RegisterErrorTrap(PrintTrap);
    SetCstrAllocator(FailingAlloc);
    operation(s);
    std::fputs("went on\n", stderr);
}

TEST(CstrOutOfMemoryDeathTest, AppendCallsTrapThenExitsWithZero) {
    EXPECT_EXIT(ExhaustAndContinue([](CSTR& s) { s.Append("c"); }), testing::ExitedWithCode(0),
                "^trap;exit handler");
}

TEST(CstrOutOfMemoryDeathTest, InsertAndIntegerAssignment) {
    EXPECT_EXIT(ExhaustAndContinue([](CSTR& s) { s.Insert("c", 1); }), testing::ExitedWithCode(0),
                "^trap;exit handler");
    EXPECT_EXIT(ExhaustAndContinue([](CSTR& s) { s = 12; }), testing::ExitedWithCode(0),
                "^trap;exit handler");
}

TEST(CstrOutOfMemoryDeathTest, AssignmentKeepsTheTargetsTrap) {
    EXPECT_EXIT(ExhaustAndContinue([](CSTR& s) {
                    SetCstrAllocator(std::malloc);
                    CSTR other("xyz");  // no trap of its own
                    s = other;
                    SetCstrAllocator(FailingAlloc);
                    s.Append("c");
                }),
                testing::ExitedWithCode(0), "^trap;exit handler");
}

TEST(CstrOutOfMemoryDeathTest, CopyKeepsTheTrapAndNoTrapStillExits) {
    EXPECT_EXIT(ExhaustAndContinue([](CSTR& s) { CSTR copy(s); }), testing::ExitedWithCode(0),
                "^trap;exit handler");
    EXPECT_EXIT(
        {
            std::atexit(PrintAtExit);
            SetCstrAllocator(FailingAlloc);
            CSTR s("abc");
            std::fputs("went on\n", stderr);
        },
        testing::ExitedWithCode(0), "^exit handler");
}

}  // namespace
