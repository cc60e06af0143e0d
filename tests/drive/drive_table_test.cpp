// The drive table: rescan over the simulated bus, its limits and failures,
// and applying a speed or a spin-down time to one drive.
#include <cstring>

#include "drive_fixture.h"
#include "settings.h"
#include "window_services.h"

using drivetest::Cdbs;
using drivetest::CdromSection;
using drivetest::kSpeeds52x;
using drivetest::StateOf;

namespace {

// Adapters of eight targets; failing is the one whose inquiry fails, if any.
std::string BusHeader(unsigned adapters, unsigned failing = 0xFF) {
    std::string s = "[bus]\nadapters=" + std::to_string(adapters) + "\n";
    for (unsigned a = 0; a < adapters; ++a)
        s += "[adapter." + std::to_string(a) + "]\ntargets=8\n" + (a == failing ? "fail=1\n" : "");
    return s;
}

void FillWithJunk(AppState& state) {
    std::memset(state.drives, 0xA5, sizeof state.drives);
    state.driveCount = 7;
    for (std::uint32_t i = 0; i < MAX_DRIVES; ++i) state.skip[i] = i % 3;
    state.errorCount = 5;
}

bool IsZero(const DriveEntry& d) {
    static const DriveEntry zero = {};
    return std::memcmp(&d, &zero, sizeof d) == 0;
}

class DriveTable : public drivetest::DriveFixture {};

TEST_F(DriveTable, TwoDrivesAndADiskInTargetOrder) {
    Bind(BusHeader(1) +
         CdromSection(0, 3, "OTHERCO", "DVD-ROM DRIVE", "2.10", "706,1411,2822",
                      "current_speed=1411\ninactivity=9\n") +
         "[device.0.1]\ntype=0\nvendor=SIMDISK\nproduct=HARD DISK\nrevision=1.00\n" +
         CdromSection(0, 0, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x, "inactivity=3\n"));
    FillWithJunk(*appState);

    RescanDrives(nullptr);

    ASSERT_EQ(2u, appState->driveCount);
    const DriveEntry& first = appState->drives[0];
    EXPECT_EQ(0, first.hostAdapter);
    EXPECT_EQ(0, first.targetId);
    EXPECT_STREQ("SIMDISC", first.vendor);
    EXPECT_STREQ("CD-ROM DRIVE", first.product);
    EXPECT_STREQ("1.00", first.version);
    ASSERT_EQ(9u, first.speedCount);
    const std::uint16_t expected[] = {706, 1411, 2117, 2822, 4234, 5645, 7056, 8467, 9173};
    for (unsigned k = 0; k < 9; ++k) EXPECT_EQ(expected[k], first.speeds[k]) << k;
    for (unsigned k = 9; k < MAX_SPEEDS; ++k) EXPECT_EQ(0, first.speeds[k]) << k;
    EXPECT_EQ(9173, first.currentSpeed);
    EXPECT_EQ(9173, first.maxSpeed);
    EXPECT_EQ(3, first.spinDown);

    const DriveEntry& second = appState->drives[1];
    EXPECT_EQ(0, second.hostAdapter);
    EXPECT_EQ(3, second.targetId);
    EXPECT_STREQ("OTHERCO", second.vendor);
    EXPECT_STREQ("DVD-ROM DRIVE", second.product);
    EXPECT_STREQ("2.10", second.version);
    ASSERT_EQ(3u, second.speedCount);
    EXPECT_EQ(706, second.speeds[0]);
    EXPECT_EQ(1411, second.speeds[1]);
    EXPECT_EQ(2822, second.speeds[2]);
    EXPECT_EQ(1411, second.currentSpeed);  // the probe puts the drive back
    EXPECT_EQ(2822, second.maxSpeed);
    EXPECT_EQ(9, second.spinDown);
    EXPECT_EQ("1411", StateOf(*sim, "0:3:0", "speed"));

    for (std::uint32_t i = 2; i < MAX_DRIVES; ++i) EXPECT_TRUE(IsZero(appState->drives[i])) << i;
    for (std::uint32_t i = 0; i < MAX_DRIVES; ++i) EXPECT_EQ(i % 3, appState->skip[i]) << i;
    EXPECT_EQ(5u, appState->errorCount);
    EXPECT_EQ(0u, boxes->Count());

    // Nothing but the device type query reaches the disk.
    for (const auto& r : sim->Requests()) {
        if (r["tgt"] == "1") {
            EXPECT_EQ("01", r["cmd"]) << r["raw"];
        }
    }
}

TEST_F(DriveTable, FailedInquiriesAreShownAndCounted) {
    const std::string bus = BusHeader(3, 1) +
                            CdromSection(0, 2, "BROKEN", "CD-ROM", "0.1", "706", "fail=inquiry\n") +
                            CdromSection(0, 5, "SIMDISC", "CD-ROM DRIVE", "1.00", "706,1411") +
                            CdromSection(2, 0, "SIMDISC", "CD-R DRIVE", "1.10", "706,1411");
    Bind(bus);
    appState->errorCount = 5;
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, owner);

    RescanDrives(owner);

    ASSERT_EQ(2u, appState->driveCount);
    EXPECT_EQ(5, appState->drives[0].targetId);
    EXPECT_EQ(2, appState->drives[1].hostAdapter);
    EXPECT_STREQ("CD-R DRIVE", appState->drives[1].product);
    EXPECT_EQ(7u, appState->errorCount);
    ASSERT_EQ(2u, boxes->Count());
    // In walk order: the device on adapter 0, then adapter 1.
    EXPECT_EQ("デバイス情報取得に失敗しました。", boxes->Boxes()[0].text);
    EXPECT_EQ("ホストアダプタ情報取得に失敗しました。", boxes->Boxes()[1].text);
    EXPECT_EQ(
        "\x83\x66\x83\x6f\x83\x43\x83\x58\x8f\xee\x95\xf1\x8e\xe6\x93\xbe\x82\xc9\x8e\xb8"
        "\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42",
        boxes->Boxes()[0].text);  // the Shift-JIS bytes themselves
    for (const auto& box : boxes->Boxes()) {
        EXPECT_EQ("エラー情報", box.caption);
        EXPECT_TRUE(box.boxStyleKnown);
        EXPECT_EQ(0x50010u, box.style);
        EXPECT_EQ(owner, box.owner);
    }

    // Silenced, but counted all the same.
    appState->noErrorMessage = 1;
    boxes->Clear();
    RescanDrives(owner);
    EXPECT_EQ(2u, appState->driveCount);
    EXPECT_EQ(9u, appState->errorCount);
    EXPECT_EQ(0u, boxes->Count());
    DestroyWindow(owner);
}

TEST_F(DriveTable, ASixtyFifthDriveIsNotAdded) {
    // Four adapters of sixteen CD-ROM drives, and one more on a fifth.
    std::string bus = "[bus]\nadapters=5\n";
    for (unsigned a = 0; a < 5; ++a) bus += "[adapter." + std::to_string(a) + "]\ntargets=16\n";
    for (unsigned a = 0; a < 4; ++a)
        for (unsigned t = 0; t < 16; ++t)
            bus += CdromSection(a, t, "SIMDISC", "UNIT" + std::to_string(a * 16 + t), "1.00",
                                "176,352");
    bus += CdromSection(4, 0, "SIMDISC", "UNIT64", "1.00", "176,352");
    bus += "[device.4.1]\ntype=5\nvendor=X\nproduct=Y\nrevision=1\nfail=inquiry\n";
    Bind(bus);
    appState->openCloseTimerId = 0x5A5A5A5A;  // the field after the table

    RescanDrives(nullptr);

    ASSERT_EQ(MAX_DRIVES, appState->driveCount);
    for (std::uint32_t i = 0; i < MAX_DRIVES; ++i) {
        EXPECT_EQ(i / 16, appState->drives[i].hostAdapter) << i;
        EXPECT_EQ(i % 16, appState->drives[i].targetId) << i;
        EXPECT_EQ("UNIT" + std::to_string(i), appState->drives[i].product);
        EXPECT_EQ(2u, appState->drives[i].speedCount);
    }
    EXPECT_EQ(0x5A5A5A5Au, appState->openCloseTimerId);
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_EQ(0u, appState->errorCount);
    // The walk ends with the full table: no device of adapter 4 is asked.
    for (const auto& r : sim->Requests()) {
        if (r["ha"] == "4") {
            EXPECT_EQ("00", r["cmd"]) << r["raw"];  // only the adapter inquiry
        }
    }
}

TEST_F(DriveTable, ADriveWithMoreThanThirtyTwoSpeedsKeepsTheFirst) {
    std::string speeds;
    for (unsigned x = 1; x <= 40; ++x) speeds += (x > 1 ? "," : "") + std::to_string(x * 176);
    Bind(BusHeader(1) + CdromSection(0, 0, "SIMDISC", "MANY", "1.00", speeds, "inactivity=11\n"));

    RescanDrives(nullptr);

    ASSERT_EQ(1u, appState->driveCount);
    const DriveEntry& d = appState->drives[0];
    ASSERT_EQ(MAX_SPEEDS, d.speedCount);
    for (unsigned k = 0; k < MAX_SPEEDS; ++k) EXPECT_EQ((k + 1) * 176, d.speeds[k]) << k;
    EXPECT_EQ(11, d.spinDown);  // the field right after the list
    EXPECT_EQ(7040, d.maxSpeed);
}

TEST_F(DriveTable, WithoutALibraryTheTableIsEmpty) {
    FillWithJunk(*appState);
    EXPECT_EQ(0, aspiBus.Load("NOSUCHASPI.DLL"));
    RescanDrives(nullptr);
    EXPECT_EQ(0u, appState->driveCount);
    for (std::uint32_t i = 0; i < MAX_DRIVES; ++i) EXPECT_TRUE(IsZero(appState->drives[i])) << i;
    EXPECT_EQ(5u, appState->errorCount);
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(DriveTable, ApplySpeedSendsTheListedSpeedAndReadsBack) {
    Bind(BusHeader(1) + CdromSection(0, 2, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x,
                                     "speed_map=2822:1411\n"));
    RescanDrives(nullptr);
    ASSERT_EQ(1u, appState->driveCount);
    ASSERT_EQ(4234, appState->drives[0].speeds[4]);
    sim->ClearLog();

    ApplySpeed(cdromDevice, 0, 4);
    EXPECT_EQ(
        (std::vector<std::string>{"0:2 bb00108affff000000000000", "0:2 5a002a000000000100000000"}),
        Cdbs(*sim));
    EXPECT_EQ(4234, appState->drives[0].currentSpeed);
    EXPECT_EQ(9173, appState->drives[0].maxSpeed);
    EXPECT_EQ("4234", StateOf(*sim, "0:2:0", "speed"));

    // Asked for 2822, the drive settles on 1411: the table shows that.
    ApplySpeed(cdromDevice, 0, 3);
    EXPECT_EQ(1411, appState->drives[0].currentSpeed);
    EXPECT_EQ("1411", StateOf(*sim, "0:2:0", "speed"));
}

TEST_F(DriveTable, ApplyOutOfRangeDoesNothing) {
    Bind(BusHeader(1) + CdromSection(0, 0, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x));
    RescanDrives(nullptr);
    DriveEntry before[MAX_DRIVES];
    std::memcpy(before, appState->drives, sizeof before);
    sim->ClearLog();

    ApplySpeed(cdromDevice, MAX_DRIVES, 0);
    ApplySpeed(cdromDevice, 0, MAX_SPEEDS);
    ApplySpeed(cdromDevice, 0xFFFFFFFFu, 0xFFFFFFFFu);
    ApplySpinDown(cdromDevice, MAX_DRIVES);
    EXPECT_TRUE(sim->Requests().empty());
    EXPECT_EQ(0, std::memcmp(before, appState->drives, sizeof before));
}

TEST_F(DriveTable, ApplySpinDownWritesTheCodeAndReadsItBack) {
    Bind(BusHeader(1) +
         CdromSection(0, 1, "SIMDISC", "CD-ROM DRIVE", "1.00", kSpeeds52x, "inactivity=2\n"));
    RescanDrives(nullptr);
    ASSERT_EQ(2, appState->drives[0].spinDown);
    sim->ClearLog();

    appState->drives[0].spinDown = 10;
    ApplySpinDown(cdromDevice, 0);
    const auto cdbs = Cdbs(*sim);
    ASSERT_EQ(2u, cdbs.size());
    EXPECT_EQ("0:1 551000000000000010000000", cdbs[0]);
    EXPECT_EQ("0:1 5a000d000000000100000000", cdbs[1]);
    EXPECT_EQ("00000000000000000d06000a003c004b", sim->Requests()[0]["data"]);
    EXPECT_EQ("10", StateOf(*sim, "0:1:0", "inactivity"));
    EXPECT_EQ(10, appState->drives[0].spinDown);
}

}  // namespace

// Drives of the CD-ROM era, the built-in bus's and some with a failing or
// missing command, see exactly the requests they always saw: the log of a
// rescan, a speed and a spin-down on each drive, and a settings load, against
// a log recorded before drives of the DVD era were known.
TEST(LegacyDrives, SeeTheCommandsTheyAlwaysSaw) {
    const std::string buses[] = {
        "",  // the built-in bus
        BusHeader(1) +
            CdromSection(0, 0, "OLD", "NO SPEED CMD", "1.0", kSpeeds52x, "fail=setspeed\n") +
            CdromSection(0, 1, "OLD", "NO PAGE 0D", "1.0", "706,1411", "pages=2a\n") +
            CdromSection(0, 2, "OLD", "NO PAGE 2A", "1.0", "706,1411", "fail=modesense2a\n") +
            CdromSection(0, 3, "OLD", "ONE SPEED", "1.0", "706", "inactivity=4\n") +
            CdromSection(0, 4, "OLD", "ZERO CURRENT", "1.0", "706,1411",
                         "speed_map=176:0,352:0,528:0,704:0\n") +
            CdromSection(0, 5, "OLD", "DESCRIPTORS", "1.0", "706,1411,2822",
                         "block_descriptors=8\n"),
    };
    std::string log;
    for (const std::string& bus : buses) {
        ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
        drivetest::WriteSettingsFile("(none)");
        {
            simtest::SimBus sim(bus);
            ASSERT_EQ(1, aspiBus.Load(simtest::Library("simaspi.dll").c_str()));
            cdromDevice.bus = &aspiBus;
            testsupport::MessageBoxRecorder boxes;
            RescanDrives(nullptr);
            for (std::uint32_t d = 0; d < appState->driveCount; ++d) {
                ApplySpeed(cdromDevice, d, appState->drives[d].speedCount > 1 ? 1 : 0);
                appState->drives[d].spinDown = 5;
                ApplySpinDown(cdromDevice, d);
            }
            SaveSettings();
            LoadSettings(cdromDevice);
            for (const simtest::LogLine& line : sim.Requests()) {
                for (const char* key : {"cmd", "ha", "tgt", "lun", "flags", "buflen", "senselen",
                                        "cdblen", "cdb", "post", "status", "data"})
                    log += std::string(key) + "=" + line[key] + " ";
                log += "\n";
            }
            aspiBus.Unload();
            cdromDevice.bus = nullptr;
        }
        DestroyAppState();
    }
    drivetest::WriteSettingsFile("(none)");
    const std::string golden = simtest::ReadFile(simtest::BinDir() + "golden\\legacy_log.txt");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(golden, log);
}

TEST(FactorSpeeds, KindsUpToTheMaximumAndTheMaximumAfter) {
    const struct {
        MediumKind kind;
        std::uint16_t maximum;
        std::vector<std::uint16_t> speeds;
    } cases[] = {
        {MediumKind::Cd,
         7056,
         {176, 352, 704, 1408, 1760, 2112, 2816, 3520, 4224, 5632, 7040, 7056}},
        {MediumKind::None, 1000, {176, 352, 704, 1000}},  // no medium: a CD's factors
        {MediumKind::Dvd, 22160, {1385, 2770, 5540, 8310, 11080, 16620, 22160}},
        {MediumKind::Dvd, 1000, {1000}},  // below 1x: the maximum alone
        {MediumKind::Bd, 65535, {4500, 9000, 18000, 27000, 36000, 45000, 54000, 63000, 65535}},
        {MediumKind::Bd, 87, {}},  // factor 0: no speed
        {MediumKind::Cd, 0, {}},
    };
    for (const auto& c : cases) {
        std::uint16_t list[MAX_SPEEDS] = {};
        const std::uint32_t n = FactorSpeeds(c.kind, c.maximum, list, MAX_SPEEDS);
        EXPECT_EQ(c.speeds, std::vector<std::uint16_t>(list, list + n)) << c.maximum;
    }
    std::uint16_t two[2] = {};
    EXPECT_EQ(2u, FactorSpeeds(MediumKind::Cd, 7056, two, 2));  // never past the room given
    EXPECT_EQ(352, two[1]);
}

// A drive timed by page 1Ah: a code sets the standby timer and keeps the idle
// timer; "Default" sends nothing and leaves the drive's own.
TEST_F(DriveTable, SpinDownThroughThePowerConditionPage) {
    const struct {
        std::uint8_t code;
        std::vector<std::string> cdbs;
        std::string data, standby, shown;
    } cases[] = {
        {0, {"0:5 5a001a000000000100000000"}, "", "4800", "8min"},
        {1,
         {"0:5 551000000000000014000000", "0:5 5a001a000000000100000000"},
         "0000000000000000"
         "1a0a0003000000c800000002",
         "2",
         "125msec"},
        {10,
         {"0:5 551000000000000014000000", "0:5 5a001a000000000100000000"},
         "0000000000000000"
         "1a0a0003000000c800000258",
         "600",
         "1min"},
        {15,
         {"0:5 551000000000000014000000", "0:5 5a001a000000000100000000"},
         "0000000000000000"
         "1a0a0003000000c800004b00",
         "19200",
         "32min"},
    };
    for (const auto& c : cases) {
        Bind(BusHeader(1) +
             CdromSection(0, 5, "PIONEER", "BD-RW", "1.02", "4500,9000",
                          "kind=bd\nstreaming=accept\nspeed_report=max\npages=2a,1a\n"
                          "idle_timer=200\nstandby_timer=4800\n"));
        RescanDrives(nullptr);
        ASSERT_EQ(13, appState->drives[0].spinDown);  // 8 min in force
        sim->ClearLog();
        appState->drives[0].spinDown = c.code;
        ApplySpinDown(cdromDevice, 0);
        EXPECT_EQ(c.cdbs, Cdbs(*sim)) << int(c.code);
        const auto requests = sim->Requests();
        EXPECT_EQ(c.data, requests.size() > 1 ? requests[0]["data"] : "") << int(c.code);
        EXPECT_EQ(c.standby, StateOf(*sim, "0:5:0", "standby")) << int(c.code);
        char text[SPIN_DOWN_TEXT_SIZE];
        EXPECT_EQ(c.shown, std::string(DriveSpinDownText(0, text))) << int(c.code);
        EXPECT_EQ(c.code ? c.code : 13, appState->drives[0].spinDown) << int(c.code);
    }
}
