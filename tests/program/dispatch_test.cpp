// The command ids: each range reaches the right command and address on the
// bus, ids outside them do nothing; the open-close and balloon timers and
// the unknown-timer box.
#include <string>
#include <vector>

#include "command_ids.h"
#include "events_fixture.h"
#include "test_language.h"
#include "window_services.h"

using drivetest::CdromSection;
using drivetest::kSpeeds52x;
using drivetest::StateOf;
using eventtest::Commands;
using eventtest::MediaCommands;
using Lines = std::vector<std::string>;

namespace {

class Dispatch : public eventtest::EventFixture {
protected:
    void SetUp() override {
        EventFixture::SetUp();
        if (HasFatalFailure()) return;
        // Drives 0..2 of the table at 0:0, 0:1, 0:3; a lockable drive at
        // 1:2 LUN 3 that only the media ids reach.
        Bind("[bus]\nadapters=2\n[adapter.0]\ntargets=8\n[adapter.1]\ntargets=8\n" +
             CdromSection(0, 0, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x) +
             CdromSection(0, 1, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x) +
             CdromSection(0, 3, "SIMDISC", "DVD-ROM DRIVE", "2.10", kSpeeds52x) +
             "[device.1.2.3]\ntype=5\nvendor=LUNDISC\nproduct=CHANGER SLOT\nrevision=1.0\n"
             "lockable=1\n");
        RescanDrives(window);
        ASSERT_EQ(3u, appState->driveCount);
        ASSERT_EQ(9u, appState->drives[2].speedCount);
        sim->ClearLog();
    }

    void ExpectNoBox() { EXPECT_EQ(0u, boxes->Count()); }

    // The box as the Japanese program words it; an English run expects its
    // English form.
    void ExpectErrorBox(const char* text) {
        ASSERT_EQ(1u, boxes->Count());
        const auto& box = boxes->Boxes()[0];
        EXPECT_EQ(window, box.owner);
        EXPECT_EQ(testsupport::Say(text), box.text);
        EXPECT_EQ(testsupport::Say("エラー情報"), box.caption);
        EXPECT_EQ(MB_FORM_ERROR, box.style);
    }
};

TEST_F(Dispatch, SpeedIdSelectsTheDriveAndSpeedIndex) {
    EXPECT_EQ(0, DispatchDeviceCommand(window, 0x0400 + 2 * 64 + 5));
    EXPECT_EQ((Lines{"0:3:0 bb00160dffff000000000000", "0:3:0 5a002a000000000100000000"}),
              Commands(*sim));
    EXPECT_EQ(5645, appState->drives[2].currentSpeed);
    EXPECT_EQ("5645", StateOf(*sim, "0:3:0", "speed"));

    // The high word does not count.
    sim->ClearLog();
    DispatchDeviceCommand(window, 0xABCD0000u | cmd::SpeedId(0, 1));
    EXPECT_EQ((Lines{"0:0:0 bb000583ffff000000000000", "0:0:0 5a002a000000000100000000"}),
              Commands(*sim));
    ExpectNoBox();
}

TEST_F(Dispatch, SpeedIdsOfNoDriveOrSpeedDoNothing) {
    const DriveEntry before = appState->drives[2];
    for (WPARAM id : {WPARAM(0x0400 + 2 * 64 + 40),  // index 40: past any list
                      WPARAM(0x0400 + 2 * 64 + 9),   // the drive has nine speeds
                      WPARAM(0x0400 + 2 * 64 + 63), WPARAM(0x0400 + 3 * 64 + 0),
                      WPARAM(0x0400 + 63 * 64 + 0), WPARAM(0x13FF)})
        DispatchDeviceCommand(window, id);
    EXPECT_TRUE(sim->Requests().empty());
    EXPECT_EQ(before.currentSpeed, appState->drives[2].currentSpeed);
    ExpectNoBox();
}

TEST_F(Dispatch, MediaIdsDecodeTheAddress) {
    const struct {
        WPARAM base;
        const char* cdb;
        const char* key;
        const char* value;
    } ranges[] = {
        {0x1400, "1b0000000200", "tray", "open"},
        {0x2400, "1b0000000300", "tray", "closed"},
        {0x4400, "1e0000000100", "locked", "1"},
        {0x5400, "1e0000000000", "locked", "0"},
    };
    for (const auto& r : ranges) {
        sim->ClearLog();
        EXPECT_EQ(0, DispatchDeviceCommand(window, r.base + 0x123));
        EXPECT_EQ(Lines{std::string("1:2:3 ") + r.cdb}, Commands(*sim)) << r.base;
        EXPECT_EQ(r.value, StateOf(*sim, "1:2:3", r.key)) << r.base;

        // Both ends of the range, and the high word ignored.
        sim->ClearLog();
        DispatchDeviceCommand(window, r.base);
        DispatchDeviceCommand(window, r.base + 0xFFF);
        DispatchDeviceCommand(window, 0xFFFF0000u | (r.base + 0x0A5));
        EXPECT_EQ((Lines{std::string("0:0:0 ") + r.cdb, std::string("15:15:15 ") + r.cdb,
                         std::string("0:10:5 ") + r.cdb}),
                  Commands(*sim))
            << r.base;
    }
    EXPECT_EQ(0u, appState->openCloseTimerId);
    ExpectNoBox();
}

TEST_F(Dispatch, IdsOutsideEveryRangeDoNothing) {
    for (WPARAM id : {WPARAM(0), WPARAM(0x03FF), WPARAM(0x6400), WPARAM(0x7FFF), WPARAM(0x8010),
                      WPARAM(0xFFFF), WPARAM(0x000103FFu), WPARAM(0xFFFF6400u)})
        EXPECT_EQ(0, DispatchDeviceCommand(window, id)) << id;
    EXPECT_TRUE(sim->Requests().empty());
    EXPECT_EQ(0u, appState->openCloseTimerId);
    ExpectNoBox();
}

TEST_F(Dispatch, OpenCloseEjectsAndItsTimerClosesTheTray) {
    appState->openCloseTimer = 2;  // seconds; the settings file allows 5 at least
    const DWORD start = GetTickCount();
    EXPECT_EQ(0, DispatchDeviceCommand(window, 0x3400 + 0x123));
    EXPECT_EQ(Lines{"1:2:3 1b0000000200"}, Commands(*sim));
    EXPECT_EQ("open", StateOf(*sim, "1:2:3", "tray"));
    EXPECT_EQ(0x2123u, appState->openCloseTimerId);

    ASSERT_TRUE(PumpUntil([&] { return appState->openCloseTimerId == 0; }, 10000));
    // The tray stays open for openCloseTimer seconds, not a fixed time.
    EXPECT_GE(GetTickCount() - start, 1900u);
    EXPECT_EQ((Lines{"1:2:3 1b0000000200", "1:2:3 1b0000000300"}), Commands(*sim));
    EXPECT_EQ("closed", StateOf(*sim, "1:2:3", "tray"));
    EXPECT_FALSE(KillTimer(window, 0x2123));  // the tick ended it
    ExpectNoBox();
}

TEST_F(Dispatch, OpenCloseTickDecodesTheTimerId) {
    appState->openCloseTimerId = 0x2FFF;
    EXPECT_EQ(0, OnTimer(window, 0x2FFF));
    EXPECT_EQ(Lines{"15:15:15 1b0000000300"}, Commands(*sim));
    EXPECT_EQ(0u, appState->openCloseTimerId);
    ExpectNoBox();
}

TEST_F(Dispatch, ASecondOpenCloseEndsTheFirstTimer) {
    DispatchDeviceCommand(window, 0x3400 + 0x123);
    ASSERT_EQ(0x2123u, appState->openCloseTimerId);
    DispatchDeviceCommand(window, 0xFFFF0000u | (0x3400 + 0x045));
    EXPECT_EQ(0x2045u, appState->openCloseTimerId);
    EXPECT_FALSE(KillTimer(window, 0x2123));
    EXPECT_EQ((Lines{"1:2:3 1b0000000200", "0:4:5 1b0000000200"}), MediaCommands(*sim));
    ExpectNoBox();
}

TEST_F(Dispatch, OpenCloseWithoutATimerSaysSoEvenWhenErrorsAreSilenced) {
    appState->noErrorMessage = 1;
    // The desktop belongs to another process: no timer can be set on it.
    const HWND desktop = GetDesktopWindow();
    ASSERT_EQ(0u, SetTimer(desktop, 0x2000, 1000, nullptr));

    DispatchDeviceCommand(desktop, 0x3400 + 0x123);
    EXPECT_EQ(Lines{"1:2:3 1b0000000200"}, Commands(*sim));
    EXPECT_EQ("open", StateOf(*sim, "1:2:3", "tray"));  // the tray stays open
    EXPECT_EQ(0u, appState->openCloseTimerId);
    ASSERT_EQ(1u, boxes->Count());
    const auto& box = boxes->Boxes()[0];
    EXPECT_EQ(testsupport::Say("タイマーの生成に失敗しました。"), box.text);
    EXPECT_EQ(testsupport::Say("エラー情報"), box.caption);
    // Over the desktop the box's own parameters are not readable; its icon is.
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(32513)), box.icon);  // IDI_ERROR
}

TEST_F(Dispatch, BalloonTimerEndsAtItsFirstTick) {
    appState->balloonTimerId =
        SetTimer(window, cmd::BALLOON_TIMER_ID, cmd::BALLOON_TIMER_MS, nullptr);
    ASSERT_EQ(0x1000u, appState->balloonTimerId);
    EXPECT_EQ(0, OnTimer(window, 0x1000));
    EXPECT_EQ(0u, appState->balloonTimerId);
    EXPECT_FALSE(KillTimer(window, 0x1000));
    EXPECT_TRUE(sim->Requests().empty());
    ExpectNoBox();
}

TEST_F(Dispatch, UnknownTimerIsShownEvenWhenErrorsAreSilenced) {
    appState->noErrorMessage = 1;
    appState->openCloseTimerId = 0x2123;
    appState->balloonTimerId = 0x1000;
    EXPECT_EQ(0, OnTimer(window, 0x2124));
    ExpectErrorBox("未知のタイマーイベントを検出しました。");
    EXPECT_EQ(0x2123u, appState->openCloseTimerId);
    EXPECT_EQ(0x1000u, appState->balloonTimerId);
    EXPECT_TRUE(sim->Requests().empty());

    // With no timer running, 0 is no timer of ours either.
    appState->openCloseTimerId = 0;
    appState->balloonTimerId = 0;
    boxes->Clear();
    OnTimer(window, 0);
    ExpectErrorBox("未知のタイマーイベントを検出しました。");
    EXPECT_TRUE(sim->Requests().empty());
}

}  // namespace
