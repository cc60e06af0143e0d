// Resume from a sleep state re-applies the settings file; device changes
// rebuild the drive table; pause holds both back.
#include <cstring>
#include <string>

#include "events_fixture.h"

using drivetest::CdromSection;
using drivetest::kSpeeds52x;
using drivetest::StateOf;

namespace {

class Resume : public eventtest::EventFixture {
protected:
    void SetUp() override {
        EventFixture::SetUp();
        if (HasFatalFailure()) return;
        Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=8\n" +
             CdromSection(0, 1, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x));
        RescanDrives(window);
        ASSERT_EQ(1u, appState->driveCount);
        ASSERT_EQ("9173", StateOf(*sim, "0:1:0", "speed"));
        drivetest::WriteSettingsFile(
            "[COMMON]\r\nUpdate=1\r\n[CDROM00]\r\nVendor=SIMDISC\r\nProduct=CD-ROM DRIVE\r\n"
            "Version=1.00\r\nSpeed=2\r\nSpinDown=0x05\r\n");
        appState->update = 1;
        appState->paused = 0;
        sim->ClearLog();
    }

    void ExpectNothing() {
        EXPECT_TRUE(sim->Log().empty());
        EXPECT_EQ("9173", StateOf(*sim, "0:1:0", "speed"));
        EXPECT_EQ("0", StateOf(*sim, "0:1:0", "inactivity"));
        EXPECT_TRUE(Calls().empty());
    }
};

TEST_F(Resume, AutomaticResumeReappliesTheSettingsAndShowsTheBalloon) {
    EXPECT_EQ(0, OnPowerBroadcast(window, 0x12));
    EXPECT_EQ("2117", StateOf(*sim, "0:1:0", "speed"));
    EXPECT_EQ("5", StateOf(*sim, "0:1:0", "inactivity"));
    EXPECT_EQ(1u, appState->driveCount);
    // No rescan: nothing asks for device types or identities.
    for (const auto& r : sim->Requests()) {
        EXPECT_NE("01", r["cmd"]);
        EXPECT_NE("12", r["cdb"].substr(0, 2));
    }
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(static_cast<UINT>(NIF_ICON | NIF_INFO), Calls()[0].data.uFlags);
    EXPECT_STREQ("CD-ROM DRIVE     x12 (2sec)", Calls()[0].info.c_str());
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(Resume, WithoutUpdateNothingHappens) {
    appState->update = 0;
    EXPECT_EQ(0, OnPowerBroadcast(window, 0x12));
    ExpectNothing();
}

TEST_F(Resume, WhilePausedNothingHappens) {
    appState->paused = 1;
    EXPECT_EQ(0, OnPowerBroadcast(window, 0x12));
    ExpectNothing();
}

TEST_F(Resume, OtherPowerEventsAreNotActedOn) {
    for (WPARAM event : {WPARAM(0x7), WPARAM(0x4), WPARAM(0xA), WPARAM(0x18), WPARAM(0x10012)})
        EXPECT_EQ(0, OnPowerBroadcast(window, event)) << event;
    ExpectNothing();
}

class DeviceChange : public eventtest::EventFixture {
protected:
    void SetUp() override {
        EventFixture::SetUp();
        if (HasFatalFailure()) return;
        Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=8\n" +
             CdromSection(0, 0, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x) +
             CdromSection(0, 5, "OTHERCO", "DVD-ROM DRIVE", "2.10", "706,1411"));
    }
    // A table that a rescan would not give.
    void Forget() {
        std::memset(appState->drives, 0, sizeof appState->drives);
        appState->driveCount = 0;
        sim->ClearLog();
    }
};

TEST_F(DeviceChange, ArrivalRemovalAndConfigurationChangeRescan) {
    for (WPARAM event : {WPARAM(0x8000), WPARAM(0x8004), WPARAM(0x0018)}) {
        Forget();
        EXPECT_EQ(0, OnDeviceChange(window, event));
        ASSERT_EQ(2u, appState->driveCount) << event;
        EXPECT_EQ(5, appState->drives[1].targetId);
        EXPECT_STREQ("DVD-ROM DRIVE", appState->drives[1].product);
        const auto log = sim->Log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ("ScsiRescan", log.front().kind) << event;  // the library first
    }
    EXPECT_TRUE(Calls().empty());  // no balloon
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(DeviceChange, NothingWhilePausedOrForOtherEvents) {
    appState->paused = 1;
    for (WPARAM event : {WPARAM(0x8000), WPARAM(0x8004), WPARAM(0x0018)}) {
        Forget();
        OnDeviceChange(window, event);
        EXPECT_EQ(0u, appState->driveCount) << event;
        EXPECT_TRUE(sim->Log().empty()) << event;
    }
    appState->paused = 0;
    for (WPARAM event :
         {WPARAM(0x0007), WPARAM(0x8001), WPARAM(0x8003), WPARAM(0x0019), WPARAM(0x18000)}) {
        Forget();
        OnDeviceChange(window, event);
        EXPECT_EQ(0u, appState->driveCount) << event;
        EXPECT_TRUE(sim->Log().empty()) << event;
    }
}

}  // namespace
