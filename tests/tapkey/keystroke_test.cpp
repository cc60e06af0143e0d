// The keystroke flags and the key tracking behind them.
#include "keystroke.h"

#include <gtest/gtest.h>

using tapkey::ComposeKeyFlags;
using tapkey::KeyEvent;
using tapkey::KeyReport;
using tapkey::KeyTracker;

namespace {

constexpr unsigned kVk1 = '1', kScan1 = 0x02;
constexpr unsigned kScanAlt = 0x38;

KeyEvent Down(unsigned vk, unsigned scan, bool extended = false, bool altFlag = false) {
    return KeyEvent{vk, scan, extended, false, altFlag};
}
KeyEvent Up(unsigned vk, unsigned scan, bool extended = false) {
    return KeyEvent{vk, scan, extended, true, false};
}

}  // namespace

TEST(ComposeKeyFlags, AltOneDown) {
    const std::uint32_t f = ComposeKeyFlags(kVk1, kScan1, false, true, false);
    EXPECT_EQ(f, 0x20020001u);
    EXPECT_EQ(f & tapkey::kRepeatCountMask, 1u);
    EXPECT_EQ((f & tapkey::kScanCodeMask) >> tapkey::kScanCodeShift, kScan1);
    EXPECT_NE(f & tapkey::kAltContextBit, 0u);
    EXPECT_EQ(f & tapkey::kTransitionBit, 0u);
    EXPECT_EQ(f & tapkey::kPreviousStateBit, 0u);
    EXPECT_EQ(f & tapkey::kExtendedBit, 0u);
}

TEST(ComposeKeyFlags, EachBitInItsPlace) {
    EXPECT_EQ(ComposeKeyFlags(kVk1, kScan1, false, false, false), 0x00020001u);
    // Right Alt: extended, scan 0x38, Alt held by itself.
    EXPECT_EQ(ComposeKeyFlags(tapkey::kVkRMenu, kScanAlt, true, true, false), 0x21380001u);
    // Auto-repeat: the key was already down.
    EXPECT_EQ(ComposeKeyFlags(kVk1, kScan1, false, false, true), 0x40020001u);
    EXPECT_EQ(ComposeKeyFlags(kVk1, kScan1, true, true, true), 0x61020001u);
    // Only the low 8 bits of the scan code fit; nothing spills into bit 24.
    EXPECT_EQ(ComposeKeyFlags(kVk1, 0x1E0, false, false, false), 0x00E00001u);
    EXPECT_EQ(ComposeKeyFlags(kVk1, 0xFF, false, false, false), 0x00FF0001u);
    EXPECT_EQ(ComposeKeyFlags(0, 0, false, false, false), 0x00000001u);
}

TEST(MessageKey, SidedModifiersBecomeGeneric) {
    EXPECT_EQ(tapkey::MessageKey(0xA0), 0x10u);
    EXPECT_EQ(tapkey::MessageKey(0xA1), 0x10u);
    EXPECT_EQ(tapkey::MessageKey(0xA2), 0x11u);
    EXPECT_EQ(tapkey::MessageKey(0xA3), 0x11u);
    EXPECT_EQ(tapkey::MessageKey(0xA4), 0x12u);
    EXPECT_EQ(tapkey::MessageKey(0xA5), 0x12u);
    EXPECT_EQ(tapkey::MessageKey(0x12), 0x12u);
    EXPECT_EQ(tapkey::MessageKey('1'), unsigned('1'));
    EXPECT_EQ(tapkey::MessageKey(0x5B), 0x5Bu);  // left Windows key stays
}

// Alt followed from its own events, for each of the three Alt codes, while the
// system's flag stays clear (as some systems leave it).
TEST(KeyTracker, AltTrackedFromItsOwnEvents) {
    for (unsigned alt : {tapkey::kVkMenu, tapkey::kVkLMenu, tapkey::kVkRMenu}) {
        SCOPED_TRACE(alt);
        KeyTracker t;
        KeyReport r{};
        ASSERT_TRUE(t.Feed(Down(alt, kScanAlt), r));
        EXPECT_EQ(r.key, tapkey::kVkMenu);
        EXPECT_EQ(r.flags, 0x20380001u);  // the Alt key-down itself carries the Alt bit
        ASSERT_TRUE(t.Feed(Down(kVk1, kScan1), r));
        EXPECT_EQ(r.key, kVk1);
        EXPECT_EQ(r.flags, 0x20020001u);
        EXPECT_FALSE(t.Feed(Up(kVk1, kScan1), r));
        EXPECT_FALSE(t.Feed(Up(alt, kScanAlt), r));
        EXPECT_FALSE(t.AltDown());
        ASSERT_TRUE(t.Feed(Down('2', 0x03), r));
        EXPECT_EQ(r.key, unsigned('2'));
        EXPECT_EQ(r.flags, 0x00030001u);
    }
}

TEST(KeyTracker, SystemAltFlagHonoured) {
    KeyTracker t;
    KeyReport r{};
    // No Alt event seen (pressed before the hook came), but the system says so.
    ASSERT_TRUE(t.Feed(Down(kVk1, kScan1, false, true), r));
    EXPECT_EQ(r.flags, 0x20020001u);
    EXPECT_FALSE(t.AltDown());
}

TEST(KeyTracker, BothAltKeysMustBeReleased) {
    KeyTracker t;
    KeyReport r{};
    t.Feed(Down(tapkey::kVkLMenu, kScanAlt), r);
    t.Feed(Down(tapkey::kVkRMenu, kScanAlt, true), r);
    t.Feed(Up(tapkey::kVkLMenu, kScanAlt), r);
    ASSERT_TRUE(t.Feed(Down(kVk1, kScan1), r));
    EXPECT_EQ(r.flags & tapkey::kAltContextBit, tapkey::kAltContextBit);
    t.Feed(Up(kVk1, kScan1), r);
    t.Feed(Up(tapkey::kVkRMenu, kScanAlt, true), r);
    ASSERT_TRUE(t.Feed(Down(kVk1, kScan1), r));
    EXPECT_EQ(r.flags, 0x00020001u);
}

TEST(KeyTracker, PreviousStatePerKeyOnAutoRepeat) {
    KeyTracker t;
    KeyReport r{};
    ASSERT_TRUE(t.Feed(Down(kVk1, kScan1), r));
    EXPECT_EQ(r.flags, 0x00020001u);
    ASSERT_TRUE(t.Feed(Down(kVk1, kScan1), r));  // auto-repeat
    EXPECT_EQ(r.flags, 0x40020001u);
    ASSERT_TRUE(t.Feed(Down('2', 0x03), r));  // another key: its own state
    EXPECT_EQ(r.flags, 0x00030001u);
    ASSERT_TRUE(t.Feed(Down(kVk1, kScan1), r));
    EXPECT_EQ(r.flags, 0x40020001u);
    EXPECT_FALSE(t.Feed(Up(kVk1, kScan1), r));
    EXPECT_FALSE(t.IsDown(kVk1));
    EXPECT_TRUE(t.IsDown('2'));
    ASSERT_TRUE(t.Feed(Down(kVk1, kScan1), r));
    EXPECT_EQ(r.flags, 0x00020001u);
    // An up for a key never seen down is only recorded.
    EXPECT_FALSE(t.Feed(Up('9', 0x0A), r));
    t.Reset();
    EXPECT_FALSE(t.IsDown(kVk1));
    EXPECT_FALSE(t.IsDown('2'));
}

TEST(KeyTracker, ExtendedKeysAndOutOfRangeCodes) {
    KeyTracker t;
    KeyReport r{};
    ASSERT_TRUE(t.Feed(Down(0x2E, 0x53, true), r));  // Delete on the edit pad
    EXPECT_EQ(r.key, 0x2Eu);
    EXPECT_EQ(r.flags, 0x01530001u);
    // A code beyond 255 is folded into the table, never read out of it.
    ASSERT_TRUE(t.Feed(Down(0x1FF, 0x00), r));
    EXPECT_EQ(r.key, 0xFFu);
    ASSERT_TRUE(t.Feed(Down(0xFF, 0x00), r));
    EXPECT_EQ(r.flags, 0x40000001u);
}
