// Alt+digit: the buses are walked live, the eligible devices take '1'..'9',
// '0' in bus order, and a CD-ROM tray toggles between open and closed.
#include <string>
#include <vector>

#include "events_fixture.h"

using drivetest::CdromSection;
using drivetest::StateOf;
using eventtest::MediaCommands;
using Lines = std::vector<std::string>;

namespace {

constexpr LPARAM kAlt = 0x20380001;  // Alt context, scan code 38h, one repeat
constexpr LPARAM kNoAlt = 0x00030001;

std::string Device(unsigned adapter, unsigned target, int type, const std::string& extra = "") {
    return "[device." + std::to_string(adapter) + "." + std::to_string(target) +
           "]\ntype=" + std::to_string(type) + "\nvendor=SIMDEV\nproduct=DEVICE " +
           std::to_string(target) + "\nrevision=1.00\n" + extra;
}

bool Reaches(const simtest::SimBus& sim, const std::string& target) {
    for (const auto& r : sim.Requests())
        if (r["tgt"] == target) return true;
    return false;
}

class HotKeys : public eventtest::EventFixture {
protected:
    void SetUp() override {
        EventFixture::SetUp();
        if (HasFatalFailure()) return;
        appState->mediaControl = 1;
        appState->useKeyboardHook = 1;
    }

    // Three eligible devices: a CD-ROM at 0:0, one at 0:2 and an optical
    // drive at 0:4; a disk and a CD-ROM whose INQUIRY fails do not count.
    void ThreeDevices() {
        Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=8\n" +
             CdromSection(0, 0, "SIMDISC", "CD-ROM DRIVE", "1.00", "706,1411") + Device(0, 1, 0) +
             CdromSection(0, 2, "SIMDISC", "CD-ROM DRIVE", "1.00", "706,1411") +
             CdromSection(0, 3, "SIMDISC", "CD-ROM DRIVE", "1.00", "706,1411", "fail=inquiry\n") +
             Device(0, 4, 7));
    }

    void Press(WPARAM key, LPARAM flags = kAlt) {
        sim->ClearLog();
        EXPECT_EQ(0, OnHotKey(window, key, flags));
    }
};

TEST_F(HotKeys, AltTwoTogglesTheSecondCdrom) {
    ThreeDevices();
    Press('2');
    EXPECT_EQ(Lines{"0:2:0 1b0000000200"}, MediaCommands(*sim));
    EXPECT_EQ("open", StateOf(*sim, "0:2:0", "tray"));
    EXPECT_FALSE(Reaches(*sim, "4"));  // the walk ends at the device found

    Press('2');
    EXPECT_EQ(Lines{"0:2:0 1b0000000300"}, MediaCommands(*sim));
    EXPECT_EQ("closed", StateOf(*sim, "0:2:0", "tray"));

    Press('2');
    EXPECT_EQ(Lines{"0:2:0 1b0000000200"}, MediaCommands(*sim));
    EXPECT_EQ("closed", StateOf(*sim, "0:0:0", "tray"));
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(HotKeys, AHeldKeyActsOnceNotOnEveryRepeat) {
    ThreeDevices();
    Press('1');
    EXPECT_EQ(Lines{"0:0:0 1b0000000200"}, MediaCommands(*sim));
    for (int i = 0; i < 3; ++i) {
        Press('1', kAlt | KEY_FLAG_PREVIOUS_STATE);  // auto-repeat while held
        EXPECT_EQ(Lines{}, MediaCommands(*sim)) << i;
    }
    EXPECT_EQ("open", StateOf(*sim, "0:0:0", "tray"));
    Press('1');  // released and pressed again
    EXPECT_EQ(Lines{"0:0:0 1b0000000300"}, MediaCommands(*sim));
}

TEST_F(HotKeys, OtherDeviceTypesAreAlwaysEjected) {
    ThreeDevices();
    for (int i = 0; i < 3; ++i) {
        Press('3');
        EXPECT_EQ(Lines{"0:4:0 1b0000000200"}, MediaCommands(*sim)) << i;
    }
    EXPECT_EQ("open", StateOf(*sim, "0:4:0", "tray"));
}

TEST_F(HotKeys, KeysWithoutADeviceDoNothing) {
    ThreeDevices();
    for (WPARAM key : {WPARAM('4'), WPARAM('0'), WPARAM('A'), WPARAM(0x132), WPARAM(0)}) {
        Press(key);
        EXPECT_TRUE(MediaCommands(*sim).empty()) << key;
        EXPECT_TRUE(Reaches(*sim, "7")) << key;  // the whole bus was walked
    }
}

TEST_F(HotKeys, NothingWithoutAltOrWhenSwitchedOff) {
    ThreeDevices();
    Press('2', kNoAlt);
    EXPECT_TRUE(sim->Log().empty());

    appState->mediaControl = 0;
    Press('2');
    EXPECT_TRUE(sim->Log().empty());

    appState->mediaControl = 1;
    appState->useKeyboardHook = 0;
    Press('2');
    EXPECT_TRUE(sim->Log().empty());

    // Switched back on, the toggle still starts from "open".
    appState->useKeyboardHook = 1;
    Press('2');
    EXPECT_EQ(Lines{"0:2:0 1b0000000200"}, MediaCommands(*sim));
}

TEST_F(HotKeys, AFailingAdapterIsPassedOverSilently) {
    appState->noErrorMessage = 0;
    Bind("[bus]\nadapters=2\n[adapter.0]\ntargets=8\nfail=1\n[adapter.1]\ntargets=8\n" +
         Device(1, 3, 1));
    Press('1');
    EXPECT_EQ(Lines{"1:3:0 1b0000000200"}, MediaCommands(*sim));
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(HotKeys, AnEleventhDeviceGetsNoKey) {
    std::string bus = "[bus]\nadapters=1\n[adapter.0]\ntargets=16\n";
    const int types[11] = {5, 1, 5, 4, 5, 7, 5, 8, 5, 5, 5};
    for (unsigned t = 0; t < 11; ++t) bus += Device(0, t, types[t]);
    Bind(bus);

    Press('0');
    EXPECT_EQ(Lines{"0:9:0 1b0000000200"}, MediaCommands(*sim));
    Press('1');
    EXPECT_EQ(Lines{"0:0:0 1b0000000200"}, MediaCommands(*sim));
    Press('5');
    EXPECT_EQ(Lines{"0:4:0 1b0000000200"}, MediaCommands(*sim));

    // A key no device holds: the walk ends after the tenth device and the
    // eleventh is never asked.
    Press('A');
    EXPECT_TRUE(MediaCommands(*sim).empty());
    EXPECT_TRUE(Reaches(*sim, "9"));
    EXPECT_FALSE(Reaches(*sim, "10"));
}

}  // namespace
