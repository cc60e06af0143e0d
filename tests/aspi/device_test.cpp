// The drive command set: exact request blocks, the speed probe, lock, tray,
// spin-down and the conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device.h"
#include "sim_fixture.h"

using simtest::Library;
using simtest::MatchesPattern;
using simtest::SimBus;

namespace {

std::string Zeros(int bytes) { return std::string(bytes * 2, '0'); }

std::string Byte(unsigned v) {
    char text[3];
    std::snprintf(text, sizeof text, "%02x", v & 0xFF);
    return text;
}

std::string Le32(unsigned v) { return Byte(v) + Byte(v >> 8) + Byte(v >> 16) + Byte(v >> 24); }

// An SC_EXEC_SCSI_CMD block as it must reach the library (the pointers four
// bytes wide on 32-bit Windows, eight on 64-bit); ?? stand for the buffer
// pointer and the completion event.
std::string ExecBlock(unsigned target, unsigned flags, unsigned bufLen, unsigned senseLen,
                      const std::string& cdb, unsigned adapter = 0, unsigned lun = 0) {
    std::string cdbArea = cdb;
    cdbArea.erase(std::remove(cdbArea.begin(), cdbArea.end(), ' '), cdbArea.end());
    const int cdbLen = static_cast<int>(cdbArea.size() / 2);
    cdbArea += Zeros(16 - cdbLen);
    return "02 00 " + Byte(adapter) + Byte(flags) + Zeros(4) + Byte(target) + Byte(lun) + "0000" +
           Le32(bufLen) + (bufLen ? simtest::AnyPointer() : simtest::NullPointer()) +
           Byte(senseLen) + Byte(cdbLen) + "0000" + simtest::AnyPointer() + Zeros(20) + cdbArea +
           Zeros(16);
}

void ExpectBlock(const simtest::LogLine& line, const std::string& pattern) {
    std::string why;
    EXPECT_TRUE(MatchesPattern(line["raw"], pattern, &why)) << why << "\n  got " << line["raw"];
    EXPECT_EQ("event", line["post"]);
}

std::vector<std::string> SetSpeedCdbs(const SimBus& sim) {
    std::vector<std::string> out;
    for (const auto& r : sim.Requests())
        if (r["cdb"].compare(0, 2, "bb") == 0) out.push_back(r["cdb"]);
    return out;
}

class Drive : public ::testing::Test {
protected:
    // A library reads its bus file when it is loaded: each bus needs a fresh
    // load, and the old bus must be gone before the new one names its file.
    void Bind(const std::string& busFile) {
        bus.Unload();
        sim.reset();
        sim.reset(new SimBus(busFile));
        ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
        drive.bus = &bus;
        sim->ClearLog();
    }
    std::unique_ptr<SimBus> sim;
    AspiBus bus;
    CdromDevice drive;
};

const char kSixSpeedDrive[] =
    "[adapter.0]\n"
    "[device.0.2]\n"
    "type=5\n"
    "speeds=704,1408,2816,4224,5632,7056\n";

}  // namespace

// --- exact request blocks, one per row of the command set -----------------

TEST_F(Drive, EveryCommandSendsItsExactBlock) {
    Bind(kSixSpeedDrive);
    std::uint16_t current = 0, maximum = 0;
    std::uint8_t code = 0;
    int locked = 0;
    ASSERT_EQ(1, drive.SetReadSpeed(0, 2, 0, 0x1234));
    ASSERT_EQ(1, drive.GetReadSpeeds(0, 2, 0, current, maximum));
    ASSERT_EQ(1, drive.GetLockState(0, 2, 0, locked));
    ASSERT_EQ(1, drive.GetInactivityTimer(0, 2, 0, code));
    ASSERT_EQ(1, drive.SetInactivityTimer(0, 2, 0, 15));
    ASSERT_EQ(1, drive.EjectMedium(0, 2, 0));
    ASSERT_EQ(1, drive.LoadMedium(0, 2, 0));
    ASSERT_EQ(1, drive.LockMedium(0, 2, 0));
    ASSERT_EQ(1, drive.UnlockMedium(0, 2, 0));
    ASSERT_EQ(1, drive.StartStopUnit(0, 2, 0, 0xA5));
    ASSERT_EQ(1, drive.PreventAllowRemoval(0, 2, 0, 0x00));

    const auto r = sim->Requests();
    ASSERT_EQ(11u, r.size());
    ExpectBlock(r[0], ExecBlock(2, 0x50, 0, 14, "bb 00 12 34 ff ff 00 00 00 00 00 00"));
    ExpectBlock(r[1], ExecBlock(2, 0x48, 256, 14, "5a 00 2a 00 00 00 00 01 00 00 00 00"));
    ExpectBlock(r[2], ExecBlock(2, 0x48, 256, 0, "5a 00 2a 00 00 00 00 01 00 00 00 00"));
    ExpectBlock(r[3], ExecBlock(2, 0x48, 256, 14, "5a 00 0d 00 00 00 00 01 00 00 00 00"));
    ExpectBlock(r[4], ExecBlock(2, 0x50, 16, 14, "55 10 00 00 00 00 00 00 10 00 00 00"));
    ExpectBlock(r[5], ExecBlock(2, 0x48, 14, 14, "1b 00 00 00 02 00"));
    ExpectBlock(r[6], ExecBlock(2, 0x48, 14, 14, "1b 00 00 00 03 00"));
    ExpectBlock(r[7], ExecBlock(2, 0x48, 255, 0, "1e 00 00 00 01 00"));
    ExpectBlock(r[8], ExecBlock(2, 0x48, 255, 0, "1e 00 00 00 00 00"));
    ExpectBlock(r[9], ExecBlock(2, 0x48, 14, 14, "1b 00 00 00 a5 00"));
    ExpectBlock(r[10], ExecBlock(2, 0x48, 255, 0, "1e 00 00 00 00 00"));
    // The parameter list of the inactivity timer, code 15.
    EXPECT_EQ("00000000000000000d06000f003c004b", r[4]["data"]);
}

// The address reaches every field it belongs to, and the parameter list of
// MODE SELECT carries the code exactly as given.
TEST_F(Drive, CommandsAtAnotherAddressAndAnyCode) {
    Bind("[bus]\nadapters=2\n[adapter.1]\ntargets=8\n[device.1.6]\ntype=5\n");
    std::uint16_t current = 0, maximum = 0;
    drive.SetReadSpeed(1, 6, 3, 0xFFFF);
    drive.GetReadSpeeds(1, 6, 3, current, maximum);
    drive.SetInactivityTimer(1, 6, 3, 0xA5);
    drive.EjectMedium(1, 6, 3);
    drive.UnlockMedium(1, 6, 3);
    const auto r = sim->Requests();
    ASSERT_EQ(5u, r.size());
    ExpectBlock(r[0], ExecBlock(6, 0x50, 0, 14, "bb 00 ff ff ff ff 00 00 00 00 00 00", 1, 3));
    ExpectBlock(r[1], ExecBlock(6, 0x48, 256, 14, "5a 00 2a 00 00 00 00 01 00 00 00 00", 1, 3));
    ExpectBlock(r[2], ExecBlock(6, 0x50, 16, 14, "55 10 00 00 00 00 00 00 10 00 00 00", 1, 3));
    EXPECT_EQ("00000000000000000d0600a5003c004b", r[2]["data"]);
    ExpectBlock(r[3], ExecBlock(6, 0x48, 14, 14, "1b 00 00 00 02 00", 1, 3));
    ExpectBlock(r[4], ExecBlock(6, 0x48, 255, 0, "1e 00 00 00 00 00", 1, 3));
    EXPECT_EQ("1", r[4]["ha"]);
    EXPECT_EQ("3", r[4]["lun"]);
}

TEST_F(Drive, NoBusNoCommand) {
    CdromDevice loose;
    std::uint16_t current = 1, maximum = 2;
    std::uint8_t code = 3;
    int locked = 4;
    std::uint16_t list[4] = {9, 9, 9, 9};
    EXPECT_EQ(0, loose.IsCdrom(0, 2, 0));
    EXPECT_EQ(0, loose.IsRemovableType(0, 2, 0));
    EXPECT_EQ(0, loose.GetReadSpeeds(0, 2, 0, current, maximum));
    EXPECT_EQ(0, loose.EjectMedium(0, 2, 0));
    EXPECT_EQ(0, loose.GetInactivityTimer(0, 2, 0, code));
    EXPECT_EQ(0, loose.GetLockState(0, 2, 0, locked));
    EXPECT_EQ(0u, loose.ProbeSpeeds(0, 2, 0, list, 4));
    EXPECT_EQ(1, current);
    EXPECT_EQ(2, maximum);
    EXPECT_EQ(3, code);
    EXPECT_EQ(0, locked);
    EXPECT_EQ(9, list[0]);
}

// --- device classes ---------------------------------------------------------

TEST_F(Drive, RemovableClassesAndCdrom) {
    Bind(
        "[adapter.0]\ntargets=16\n"
        "[device.0.0]\ntype=0\n[device.0.1]\ntype=1\n[device.0.2]\ntype=2\n"
        "[device.0.3]\ntype=3\n[device.0.4]\ntype=4\n[device.0.5]\ntype=5\n"
        "[device.0.6]\ntype=6\n[device.0.8]\ntype=7\n[device.0.9]\ntype=8\n"
        "[device.0.10]\ntype=9\n[device.0.11]\ntype=0x1f\n");
    const struct {
        int target;
        int removable;
        int cdrom;
    } cases[] = {
        {0, 0, 0}, {1, 1, 0}, {2, 0, 0},  {3, 0, 0},
        {4, 1, 0}, {5, 1, 1}, {6, 0, 0},  {7, 0, 0} /* no device */,
        {8, 1, 0}, {9, 1, 0}, {10, 0, 0}, {11, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.removable, drive.IsRemovableType(0, c.target, 0)) << "target " << c.target;
        EXPECT_EQ(c.cdrom, drive.IsCdrom(0, c.target, 0)) << "target " << c.target;
    }
}

// --- speeds -----------------------------------------------------------------

TEST_F(Drive, ReadSpeedsComeFromPageTwoA) {
    Bind(
        "[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704,1408,2816\ncurrent_speed=1408\n"
        "[device.0.3]\ntype=5\nfail=modesense2a\n");
    std::uint16_t current = 0, maximum = 0;
    ASSERT_EQ(1, drive.GetReadSpeeds(0, 2, 0, current, maximum));
    EXPECT_EQ(1408, current);
    EXPECT_EQ(2816, maximum);
    current = maximum = 77;
    EXPECT_EQ(0, drive.GetReadSpeeds(0, 3, 0, current, maximum));
    EXPECT_EQ(77, current);
    EXPECT_EQ(77, maximum);
    ASSERT_EQ(1, drive.SetReadSpeed(0, 2, 0, 700));
    ASSERT_EQ(1, drive.GetReadSpeeds(0, 2, 0, current, maximum));
    EXPECT_EQ(704, current);
    EXPECT_EQ("704", sim->StateField("0:2:0", "speed"));
}

class Probe : public ::testing::TestWithParam<const char*> {};

// A drive that takes the smallest of its speeds at or above each request.
TEST_P(Probe, FindsEachSpeedOnceInOrderAndRestoresTheSpeed) {
    SimBus sim(std::string("[bus]\ncompletion=") + GetParam() +
               "\n[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704,1408,2816,4224,5632,7056\n"
               "speed_policy=ceil\ncurrent_speed=2816\n");
    AspiBus bus;
    ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
    CdromDevice drive;
    drive.bus = &bus;
    sim.ClearLog();

    std::uint16_t list[32] = {};
    ASSERT_EQ(6u, drive.ProbeSpeeds(0, 2, 0, list, 32));
    const std::uint16_t expected[] = {704, 1408, 2816, 4224, 5632, 7056};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(expected[i], list[i]) << i;
    EXPECT_EQ(0, list[6]);

    // x = 1..41 asked for (one past 40x), then the initial speed again.
    const auto cdbs = SetSpeedCdbs(sim);
    ASSERT_EQ(42u, cdbs.size());
    for (unsigned x = 1; x <= 41; ++x) {
        const unsigned speed = x * 176;
        EXPECT_EQ("bb00" + Byte(speed >> 8) + Byte(speed) + "ffff000000000000", cdbs[x - 1]);
    }
    EXPECT_EQ("bb000b00ffff000000000000", cdbs[41]);  // 2816
    EXPECT_EQ(2u * (40 + 1) + 2, sim.Requests().size());
    EXPECT_EQ("2816", sim.StateField("0:2:0", "speed"));
}

INSTANTIATE_TEST_SUITE_P(Completion, Probe, ::testing::Values("sync", "async"));

TEST_F(Drive, ProbeOfANearestRoundingDriveStoresNoRepeatsInARow) {
    Bind(
        "[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704,1408,2816,4224,5632,7056\n"
        "speed_policy=nearest\n");
    std::uint16_t list[32] = {};
    const std::uint32_t count = drive.ProbeSpeeds(0, 2, 0, list, 32);
    const std::uint16_t expected[] = {704, 1408, 2816, 4224, 5632, 7056};
    ASSERT_EQ(6u, count);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(expected[i], list[i]) << i;
}

TEST_F(Drive, ProbeOfADriveThatFallsBackStoresTheSpeedAgain) {
    // A request of 9x (1584 KB/s) makes this drive drop back to 704.
    Bind("[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704,1408,2816\nspeed_map=1584:704\n");
    std::uint16_t list[32] = {};
    ASSERT_EQ(4u, drive.ProbeSpeeds(0, 2, 0, list, 32));
    EXPECT_EQ(704, list[0]);
    EXPECT_EQ(1408, list[1]);
    EXPECT_EQ(704, list[2]);
    EXPECT_EQ(2816, list[3]);
}

// Each case: a bus file's extra keys for a drive and what the probe stores.
TEST_F(Drive, ProbeStoresDistinctFactorsNeverZero) {
    const struct {
        const char* keys;
        std::vector<std::uint16_t> expected;
    } cases[] = {
        // Spinning up, the drive reports 40 KB/s after one request: x0 is no speed.
        {"speeds=704,1408\nspeed_map=352:40\n", {704, 1408}},
        // 700 and 708 KB/s are both x4: the factor counts, not the speed.
        {"speeds=700,1408\nspeed_policy=nearest\nspeed_map=176:700,352:708,528:700\n", {700, 1408}},
        // Rounding down, the top speed (x40.09) is reached only one step past x40.
        {"speeds=704,1408,2816,4224,5632,7056\nspeed_policy=floor\n",
         {704, 1408, 2816, 4224, 5632, 7056}},
    };
    for (const auto& c : cases) {
        Bind(std::string("[adapter.0]\n[device.0.2]\ntype=5\n") + c.keys);
        std::uint16_t list[32] = {};
        const std::uint32_t count = drive.ProbeSpeeds(0, 2, 0, list, 32);
        EXPECT_EQ(c.expected, std::vector<std::uint16_t>(list, list + count)) << c.keys;
    }
}

TEST_F(Drive, ProbeOfADriveReportingMaximumZeroTriesOneX) {
    Bind("[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704\nmax_speed=0\ncurrent_speed=704\n");
    std::uint16_t list[32] = {};
    ASSERT_EQ(1u, drive.ProbeSpeeds(0, 2, 0, list, 32));
    EXPECT_EQ(704, list[0]);
    const auto cdbs = SetSpeedCdbs(*sim);
    ASSERT_EQ(2u, cdbs.size());
    EXPECT_EQ("bb0000b0ffff000000000000", cdbs[0]);
    EXPECT_EQ("bb0002c0ffff000000000000", cdbs[1]);
    EXPECT_EQ(4u, sim->Requests().size());  // 2 x (0 + 1) + 2
}

TEST_F(Drive, ProbeWhoseFirstReadFailsSetsNothing) {
    Bind("[adapter.0]\n[device.0.2]\ntype=5\nfail=modesense2a\n");
    std::uint16_t list[4] = {1, 2, 3, 4};
    EXPECT_EQ(0u, drive.ProbeSpeeds(0, 2, 0, list, 4));
    EXPECT_EQ(1, list[0]);
    EXPECT_EQ(4, list[3]);
    EXPECT_TRUE(SetSpeedCdbs(*sim).empty());
    EXPECT_EQ(1u, sim->Requests().size());
}

TEST_F(Drive, ProbeSkipsFailedStepsAndStillRestores) {
    Bind("[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704,1408\nfail=setspeed\n");
    std::uint16_t list[4] = {};
    EXPECT_EQ(0u, drive.ProbeSpeeds(0, 2, 0, list, 4));
    // 1408 is 8x: x = 1..9 tried, then the restore; no read after a failed set.
    EXPECT_EQ(10u, SetSpeedCdbs(*sim).size());
    EXPECT_EQ(11u, sim->Requests().size());
}

namespace {

std::string FortySpeeds() {
    std::string speeds;
    for (int x = 1; x <= 40; ++x) speeds += (x > 1 ? "," : "") + std::to_string(x * 176);
    return "[adapter.0]\n[device.0.2]\ntype=5\nspeeds=" + speeds + "\ncurrent_speed=1760\n";
}

}  // namespace

TEST_F(Drive, ProbeKeepsTheFirstSpeedsThatFitItsCapacity) {
    Bind(FortySpeeds());
    std::uint16_t list[33];
    for (auto& s : list) s = 0xBEEF;
    ASSERT_EQ(32u, drive.ProbeSpeeds(0, 2, 0, list, 32));
    for (int i = 0; i < 32; ++i) EXPECT_EQ((i + 1) * 176, list[i]) << i;
    EXPECT_EQ(0xBEEF, list[32]) << "stored past the capacity";
    // It stops once full and puts the drive back at its speed.
    const auto cdbs = SetSpeedCdbs(*sim);
    ASSERT_EQ(33u, cdbs.size());
    EXPECT_EQ("bb0006e0ffff000000000000", cdbs.back());  // 1760
    EXPECT_EQ("1760", sim->StateField("0:2:0", "speed"));
}

TEST_F(Drive, ProbeWithRoomForAllFortySpeeds) {
    Bind(FortySpeeds());
    std::uint16_t list[64] = {};
    ASSERT_EQ(40u, drive.ProbeSpeeds(0, 2, 0, list, 64));
    EXPECT_EQ(7040, list[39]);
    EXPECT_EQ(2u * (40 + 1) + 2, sim->Requests().size());
}

TEST_F(Drive, ProbeOfTheFastestDriveNeverAsksForAWrappedSpeed) {
    Bind("[adapter.0]\n[device.0.2]\ntype=5\nspeeds=65535\n");
    std::uint16_t list[4] = {};
    ASSERT_EQ(1u, drive.ProbeSpeeds(0, 2, 0, list, 4));
    EXPECT_EQ(65535, list[0]);
    const auto cdbs = SetSpeedCdbs(*sim);
    ASSERT_EQ(374u, cdbs.size());                      // x = 1..373, then the restore
    EXPECT_EQ("bb00ffc0ffff000000000000", cdbs[371]);  // 372 x 176 = 65472
    EXPECT_EQ("bb00ffffffff000000000000", cdbs[372]);  // 373 x 176 is past 16 bits
}

TEST(Conversions, SpeedToFactorRoundsHalvesUpForEverySixteenBitSpeed) {
    for (std::uint32_t k = 0; k <= 0xFFFF; ++k) {
        // Nearest integer to k / 176 with halves up, in exact integer terms:
        // the q with 2k in [176(2q - 1), 176(2q + 1)).
        const std::uint32_t q = CdromDevice::SpeedToFactor(k);
        ASSERT_TRUE(2 * k + 176 >= 176 * 2 * q && 2 * k < 176 * (2 * q + 1)) << k << " -> " << q;
    }
    EXPECT_EQ(0u, CdromDevice::SpeedToFactor(0));
    EXPECT_EQ(0u, CdromDevice::SpeedToFactor(87));
    EXPECT_EQ(1u, CdromDevice::SpeedToFactor(88));
    EXPECT_EQ(1u, CdromDevice::SpeedToFactor(176));
    EXPECT_EQ(1u, CdromDevice::SpeedToFactor(263));
    EXPECT_EQ(2u, CdromDevice::SpeedToFactor(264));
    EXPECT_EQ(10u, CdromDevice::SpeedToFactor(1764));
    EXPECT_EQ(40u, CdromDevice::SpeedToFactor(7056));
    EXPECT_EQ(372u, CdromDevice::SpeedToFactor(65535));
    EXPECT_EQ(1u, CdromDevice::SpeedToFactor(65536 + 176));  // only the low 16 bits
    EXPECT_EQ(0u, CdromDevice::SpeedToFactor(65536));
    EXPECT_EQ(176u, CdromDevice::FactorToSpeed(1));
    EXPECT_EQ(7040u, CdromDevice::FactorToSpeed(40));
    EXPECT_EQ(65648u, CdromDevice::FactorToSpeed(373));  // no 16-bit wrap here
}

TEST(Conversions, SpinDownNames) {
    const char* expected[] = {"Default", "125msec", "250msec", "500msec", "1sec", "2sec",
                              "4sec",    "8sec",    "16sec",   "32sec",   "1min", "2min",
                              "4min",    "8min",    "16min",   "32min"};
    for (unsigned c = 0; c < 16; ++c) EXPECT_STREQ(expected[c], CdromDevice::SpinDownName(c));
    EXPECT_EQ(nullptr, CdromDevice::SpinDownName(16));
    EXPECT_EQ(nullptr, CdromDevice::SpinDownName(255));
    EXPECT_STREQ("125msec", CdromDevice::SpinDownName(257));  // only the low 8 bits
    EXPECT_STREQ("Default", CdromDevice::SpinDownName(0x100));
}

// --- lock, tray, spin-down --------------------------------------------------

TEST_F(Drive, LockStateBits) {
    Bind(
        "[adapter.0]\ntargets=8\n"
        "[device.0.1]\ntype=5\nlockable=1\nlocked=1\n"
        "[device.0.2]\ntype=5\nlockable=1\nlocked=0\n"
        "[device.0.3]\ntype=5\nlockable=0\n"
        "[device.0.4]\ntype=5\npages=0d\n"
        "[device.0.5]\ntype=1\n"
        "[device.0.7]\ntype=5\nlockable=0\nlocked=1\n");
    const struct {
        int target;
        int result;
        int locked;
    } cases[] = {
        {1, 1, 1},
        {2, 1, 0},
        {3, 0, 0},
        {4, 0, 0} /* no page 2Ah */,
        {5, 0, 0},
        {6, 0, 0},
        {7, 0, 1} /* the state bit stands on its own */,
    };
    for (const auto& c : cases) {
        int locked = 7;
        EXPECT_EQ(c.result, drive.GetLockState(0, c.target, 0, locked)) << c.target;
        EXPECT_EQ(c.locked, locked) << c.target;
    }
}

TEST_F(Drive, EjectIsRefusedWhileLocked) {
    Bind(kSixSpeedDrive);
    int locked = 0;
    ASSERT_EQ(1, drive.LockMedium(0, 2, 0));
    EXPECT_EQ("1", sim->StateField("0:2:0", "locked"));
    ASSERT_EQ(1, drive.GetLockState(0, 2, 0, locked));
    EXPECT_EQ(1, locked);
    EXPECT_EQ(0, drive.EjectMedium(0, 2, 0));
    EXPECT_EQ("closed", sim->StateField("0:2:0", "tray"));

    ASSERT_EQ(1, drive.UnlockMedium(0, 2, 0));
    EXPECT_EQ(1, drive.EjectMedium(0, 2, 0));
    EXPECT_EQ("open", sim->StateField("0:2:0", "tray"));
    EXPECT_EQ(0, bus.TestUnitReady(0, 2, 0));  // tray open: not ready
    EXPECT_EQ(1, drive.LoadMedium(0, 2, 0));
    EXPECT_EQ("closed", sim->StateField("0:2:0", "tray"));
    EXPECT_EQ(1, bus.TestUnitReady(0, 2, 0));
}

TEST_F(Drive, OtherRemovableClassesOpenAndLock) {
    Bind("[adapter.0]\n[device.0.1]\ntype=1\n[device.0.3]\ntype=8\n[device.0.4]\ntype=0\n");
    for (int target : {1, 3}) {
        EXPECT_EQ(1, drive.LockMedium(0, target, 0)) << target;
        EXPECT_EQ(0, drive.EjectMedium(0, target, 0)) << target;
        EXPECT_EQ(1, drive.UnlockMedium(0, target, 0)) << target;
        EXPECT_EQ(1, drive.EjectMedium(0, target, 0)) << target;
        EXPECT_EQ(1, drive.LoadMedium(0, target, 0)) << target;
    }
    EXPECT_EQ(0, drive.EjectMedium(0, 5, 0));  // nobody there
}

TEST_F(Drive, InactivityTimerRoundTrip) {
    Bind(
        "[adapter.0]\n[device.0.2]\ntype=5\ninactivity=3\n"
        "[device.0.3]\ntype=5\npages=2a\n");
    std::uint8_t code = 0;
    ASSERT_EQ(1, drive.GetInactivityTimer(0, 2, 0, code));
    EXPECT_EQ(3, code);
    ASSERT_EQ(1, drive.SetInactivityTimer(0, 2, 0, 15));
    EXPECT_EQ("15", sim->StateField("0:2:0", "inactivity"));
    ASSERT_EQ(1, drive.GetInactivityTimer(0, 2, 0, code));
    EXPECT_EQ(15, code);

    code = 99;
    EXPECT_EQ(0, drive.GetInactivityTimer(0, 3, 0, code));  // no page 0Dh
    EXPECT_EQ(99, code);
    EXPECT_EQ(0, drive.SetInactivityTimer(0, 3, 0, 1));
}

// The page starts after the header and the block descriptors the reply
// announces; a reply of another page, or too short for a field, fails.
TEST_F(Drive, ModePagesAreFoundWhereTheReplySaysTheyAre) {
    const struct {
        const char* keys;
        int speeds, current, maximum;  // GetReadSpeeds
        int lockResult, locked;        // GetLockState
        int codeResult, code;          // GetInactivityTimer
    } cases[] = {
        {"", 1, 1408, 2816, 1, 1, 1, 3},
        {"block_descriptors=8\n", 1, 1408, 2816, 1, 1, 1, 3},
        {"block_descriptors=24\n", 1, 1408, 2816, 1, 1, 1, 3},
        {"page_reply=0x0e\n", 0, 77, 77, 0, 0, 0, 77},
        // Page 2Ah up to byte 14: the current speed (14..15) is not there.
        {"mode_data_cut=23\n", 0, 77, 77, 1, 1, 1, 3},
        {"block_descriptors=8\nmode_data_cut=31\n", 0, 77, 77, 1, 1, 1, 3},
        // Three bytes of page 0Dh: no inactivity byte, no lock byte.
        {"mode_data_cut=11\n", 0, 77, 77, 0, 0, 0, 77},
        {"mode_data_cut=4\n", 0, 77, 77, 0, 0, 0, 77},
        // Reserved high bits beside the code.
        {"inactivity_reserved=0xf0\n", 1, 1408, 2816, 1, 1, 1, 3},
    };
    for (const auto& c : cases) {
        Bind(std::string("[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704,1408,2816\n"
                         "current_speed=1408\nlocked=1\ninactivity=3\n") +
             c.keys);
        std::uint16_t current = 77, maximum = 77;
        EXPECT_EQ(c.speeds, drive.GetReadSpeeds(0, 2, 0, current, maximum)) << c.keys;
        EXPECT_EQ(c.current, current) << c.keys;
        EXPECT_EQ(c.maximum, maximum) << c.keys;
        int locked = 7;
        EXPECT_EQ(c.lockResult, drive.GetLockState(0, 2, 0, locked)) << c.keys;
        EXPECT_EQ(c.locked, locked) << c.keys;
        std::uint8_t code = 77;
        EXPECT_EQ(c.codeResult, drive.GetInactivityTimer(0, 2, 0, code)) << c.keys;
        EXPECT_EQ(c.code, code) << c.keys;
    }
}

namespace {

// A Blu-ray writer with page 1Ah and no page 0Dh, listing write speeds (one
// twice, one past 16 bits, one of factor 0) out of order.
const char kBdWriter[] =
    "[adapter.0]\n"
    "[device.0.4]\n"
    "type=5\nkind=bd\nstreaming=accept\nspeeds=4500,9000,18000,36000\nmax_speed=36000\n"
    "write_speeds=18000:9000,4500:4500,9000:4500,18000:18000,80:80\n"
    "pages=2a,1a\nidle_timer=200\nstandby_timer=4800\n";

}  // namespace

TEST_F(Drive, CommandsOfTheDvdEraSendTheirExactBlocks) {
    Bind(kBdWriter);
    DriveConfiguration config;
    std::uint16_t list[8] = {};
    PowerCondition power;
    std::uint16_t current = 0, maximum = 0, media = 0;
    ASSERT_EQ(1, drive.GetConfiguration(0, 4, 0, config));
    ASSERT_EQ(3u, drive.GetListedSpeeds(0, 4, 0, list, 8));
    ASSERT_EQ(1, drive.SetStreamingSpeed(0, 4, 0, 9000));
    ASSERT_EQ(1, drive.GetPowerCondition(0, 4, 0, power));
    power.flags = scsi::POWER_IDLE | scsi::POWER_STANDBY;
    power.standbyTimer = 1200;
    ASSERT_EQ(1, drive.SetPowerCondition(0, 4, 0, power));
    ASSERT_EQ(1, drive.GetReadSpeeds(0, 4, 0, current, maximum, media));

    const auto r = sim->Requests();
    ASSERT_EQ(6u, r.size());
    ExpectBlock(r[0], ExecBlock(4, 0x48, 256, 14, "46 00 01 00 00 00 00 01 00 00"));
    ExpectBlock(r[1], ExecBlock(4, 0x48, 248, 14, "ac 00 00 00 00 00 00 00 00 0f 03 00"));
    ExpectBlock(r[2], ExecBlock(4, 0x50, 28, 14, "b6 00 00 00 00 00 00 00 00 00 1c 00"));
    ExpectBlock(r[3], ExecBlock(4, 0x48, 256, 14, "5a 00 1a 00 00 00 00 01 00 00 00 00"));
    ExpectBlock(r[4], ExecBlock(4, 0x50, 20, 14, "55 10 00 00 00 00 00 00 14 00 00 00"));
    // The whole medium, 9000 kB in 1000 ms, read and write.
    EXPECT_EQ(
        "00000000"
        "00000000"
        "ffffffff"
        "00002328"
        "000003e8"
        "00002328"
        "000003e8",
        r[2]["data"]);
    // Idle 20 s kept, standby 2 min.
    EXPECT_EQ(
        "0000000000000000"
        "1a0a0003"
        "000000c8"
        "000004b0",
        r[4]["data"]);

    EXPECT_EQ(0x0040, config.profile);
    EXPECT_TRUE(config.powerManagement);
    EXPECT_TRUE(config.streaming);
    // Distinct read speeds, slowest first; none of factor 0.
    EXPECT_EQ((std::vector<std::uint16_t>{4500, 9000, 18000}),
              std::vector<std::uint16_t>(list, list + 3));
    EXPECT_EQ(scsi::POWER_IDLE | scsi::POWER_STANDBY, power.flags);
    EXPECT_EQ(200u, power.idleTimer);
    EXPECT_EQ(0x3B33, media);  // reads CD and DVD, writes CD and DVD
    EXPECT_EQ(9000, current);  // what streaming set
    EXPECT_EQ("1200", sim->StateField("0:4:0", "standby"));

    // Room for two: the slowest two stay.
    ASSERT_EQ(2u, drive.GetListedSpeeds(0, 4, 0, list, 2));
    EXPECT_EQ(4500, list[0]);
    EXPECT_EQ(9000, list[1]);
}

TEST_F(Drive, ADriveOfTheCdRomEraAnswersNoneOfThem) {
    Bind(kSixSpeedDrive);
    DriveConfiguration config;
    config.profile = 0x1234;
    std::uint16_t list[4] = {7, 7, 7, 7};
    PowerCondition power;
    power.idleTimer = 99;
    EXPECT_EQ(0, drive.GetConfiguration(0, 2, 0, config));
    EXPECT_EQ(0u, drive.GetListedSpeeds(0, 2, 0, list, 4));
    EXPECT_EQ(0, drive.SetStreamingSpeed(0, 2, 0, 1385));
    EXPECT_EQ(0, drive.GetPowerCondition(0, 2, 0, power));
    EXPECT_EQ(0x1234, config.profile);  // untouched on failure
    EXPECT_EQ(7, list[0]);
    EXPECT_EQ(99u, power.idleTimer);
    std::uint16_t current = 0, maximum = 0, media = 0xFFFF;
    ASSERT_EQ(1, drive.GetReadSpeeds(0, 2, 0, current, maximum, media));
    EXPECT_EQ(0, media);
}

TEST(Conversions, ProfilesAndStandbyTimers) {
    const struct {
        std::uint16_t profile;
        MediumKind kind;
    } kinds[] = {
        {0x0000, MediumKind::None}, {0x0007, MediumKind::None}, {0x0008, MediumKind::Cd},
        {0x000A, MediumKind::Cd},   {0x000B, MediumKind::None}, {0x0010, MediumKind::Dvd},
        {0x002B, MediumKind::Dvd},  {0x002C, MediumKind::None}, {0x0040, MediumKind::Bd},
        {0x0043, MediumKind::Bd},   {0x0044, MediumKind::None}, {0xFFFF, MediumKind::None},
    };
    for (const auto& k : kinds) EXPECT_EQ(k.kind, KindOfProfile(k.profile)) << k.profile;

    // At least the time each code names, in 100 ms units.
    const std::uint32_t timers[16] = {0,   2,   3,   5,    10,   20,   40,   80,
                                      160, 320, 600, 1200, 2400, 4800, 9600, 19200};
    for (std::uint32_t code = 0; code < 16; ++code) {
        EXPECT_EQ(timers[code], CdromDevice::StandbyTimerOfCode(code)) << code;
        EXPECT_EQ(code, CdromDevice::CodeOfStandbyTimer(timers[code])) << code;
    }
    EXPECT_EQ(0u, CdromDevice::StandbyTimerOfCode(16));
    EXPECT_EQ(0u, CdromDevice::StandbyTimerOfCode(255));
    EXPECT_EQ(0, CdromDevice::CodeOfStandbyTimer(200));  // 20 s names no code
    EXPECT_EQ(0, CdromDevice::CodeOfStandbyTimer(1));
}

// --- unit attention ---------------------------------------------------------

namespace {

// Both requests carry the block given, byte for byte the same.
void ExpectSentTwice(const std::vector<simtest::LogLine>& r, const std::string& block,
                     const char* firstStatus, const char* secondStatus, const char* what) {
    ASSERT_EQ(2u, r.size()) << what;
    ExpectBlock(r[0], block);
    ExpectBlock(r[1], block);
    EXPECT_EQ(simtest::WithoutEvent(r[0]["raw"]), simtest::WithoutEvent(r[1]["raw"])) << what;
    EXPECT_EQ(r[0]["data"], r[1]["data"]) << what;
    EXPECT_EQ(firstStatus, r[0]["status"]) << what;
    EXPECT_EQ(secondStatus, r[1]["status"]) << what;
}

}  // namespace

// A new disc before each command: the command meets the drive's unit
// attention, goes out once more as the same block and does its work.
TEST_F(Drive, ACommandMetByAUnitAttentionIsSentOnceMore) {
    Bind(
        "[adapter.0]\n[device.0.2]\ntype=5\nspeeds=704,1408,2816,4224,5632,7056\n"
        "current_speed=1408\n");
    std::uint16_t current = 0, maximum = 0;
    std::uint8_t code = 0xEE;
    const std::string senseTwoA = "5a 00 2a 00 00 00 00 01 00 00 00 00";
    const struct {
        const char* name;
        std::function<int()> send;
        std::string block;
        std::function<std::string()> effect;
        const char* expected;
    } commands[] = {
        {"SET CD SPEED", [&] { return drive.SetReadSpeed(0, 2, 0, 2816); },
         ExecBlock(2, 0x50, 0, 14, "bb 00 0b 00 ff ff 00 00 00 00 00 00"),
         [&] { return sim->StateField("0:2:0", "speed"); }, "2816"},
        {"MODE SENSE 2Ah", [&] { return drive.GetReadSpeeds(0, 2, 0, current, maximum); },
         ExecBlock(2, 0x48, 256, 14, senseTwoA),
         [&] { return std::to_string(current) + "/" + std::to_string(maximum); }, "7056/7056"},
        {"MODE SELECT 0Dh", [&] { return drive.SetInactivityTimer(0, 2, 0, 9); },
         ExecBlock(2, 0x50, 16, 14, "55 10 00 00 00 00 00 00 10 00 00 00"),
         [&] { return sim->StateField("0:2:0", "inactivity"); }, "9"},
        {"MODE SENSE 0Dh", [&] { return drive.GetInactivityTimer(0, 2, 0, code); },
         ExecBlock(2, 0x48, 256, 14, "5a 00 0d 00 00 00 00 01 00 00 00 00"),
         [&] { return std::to_string(code); }, "9"},
        {"START STOP UNIT", [&] { return drive.EjectMedium(0, 2, 0); },
         ExecBlock(2, 0x48, 14, 14, "1b 00 00 00 02 00"),
         [&] { return sim->StateField("0:2:0", "tray"); }, "open"},
        {"TEST UNIT READY", [&] { return bus.TestUnitReady(0, 2, 0); },
         ExecBlock(2, 0x40, 0, 14, "00 00 00 00 00 00"),
         [&] { return sim->StateField("0:2:0", "tray"); }, "closed"},
    };
    for (const auto& c : commands) {
        sim->ChangeMedium("0:2:0");
        sim->ClearLog();
        EXPECT_EQ(1, c.send()) << c.name;
        EXPECT_TRUE(sim->ControlTaken()) << c.name;
        ExpectSentTwice(sim->Requests(), c.block, "04", "01", c.name);
        EXPECT_EQ(c.expected, c.effect()) << c.name;
        EXPECT_EQ("(missing)", sim->StateField("0:2:0", "attention")) << c.name;
    }
}

// Only one more try: a second unit attention, or any other answer to the
// second block, is what the command gets.
TEST_F(Drive, TheSecondAnswerStands) {
    Bind(
        "[bus]\ncompletion=async\n[adapter.0]\n"
        "[device.0.2]\ntype=5\ncurrent_speed=1408\nattention=reset,medium\n"
        "[device.0.3]\ntype=5\ntray=open\nattention=medium\n");
    EXPECT_EQ("29,28", sim->StateField("0:2:0", "attention"));
    const std::string setSpeed = ExecBlock(2, 0x50, 0, 14, "bb 00 0b 00 ff ff 00 00 00 00 00 00");
    EXPECT_EQ(0, drive.SetReadSpeed(0, 2, 0, 2816));
    ExpectSentTwice(sim->Requests(), setSpeed, "04", "04", "two unit attentions");
    EXPECT_EQ("1408", sim->StateField("0:2:0", "speed"));
    EXPECT_EQ("(missing)", sim->StateField("0:2:0", "attention"));
    sim->ClearLog();
    EXPECT_EQ(1, drive.SetReadSpeed(0, 2, 0, 2816));
    EXPECT_EQ(1u, sim->Requests().size());
    EXPECT_EQ("2816", sim->StateField("0:2:0", "speed"));

    // The drive reports the attention first, then that its tray is open.
    sim->ClearLog();
    EXPECT_EQ(0, bus.TestUnitReady(0, 3, 0));
    ExpectSentTwice(sim->Requests(), ExecBlock(3, 0x40, 0, 14, "00 00 00 00 00 00"), "04", "04",
                    "not ready after the attention");
}

// Other failures go out once; INQUIRY passes a unit attention by; a command
// that asks for no sense bytes cannot tell one and fails.
TEST_F(Drive, OnlyAUnitAttentionIsSentAgain) {
    Bind(
        "[adapter.0]\n[device.0.2]\ntype=5\nfail=setspeed\n[device.0.3]\ntype=5\ntray=open\n"
        "[device.0.4]\ntype=5\ncd_speed=refuse\n[device.0.5]\ntype=5\nattention=medium\n");
    int locked = 7;
    const struct {
        const char* name;
        std::function<int()> send;
    } once[] = {
        {"hardware error", [&] { return drive.SetReadSpeed(0, 2, 0, 1408); }},
        {"not ready", [&] { return bus.TestUnitReady(0, 3, 0); }},
        {"illegal request", [&] { return drive.SetReadSpeed(0, 4, 0, 1408); }},
        {"no device", [&] { return drive.SetReadSpeed(0, 6, 0, 1408); }},
        {"no sense asked", [&] { return drive.GetLockState(0, 5, 0, locked); }},
    };
    DeviceIdentity id{};
    EXPECT_EQ(1, bus.InquireDevice(0, 5, 0, id));
    EXPECT_EQ(1u, sim->Requests().size());
    EXPECT_EQ("28", sim->StateField("0:5:0", "attention"));
    for (const auto& c : once) {
        sim->ClearLog();
        EXPECT_EQ(0, c.send()) << c.name;
        EXPECT_EQ(1u, sim->Requests().size()) << c.name;
    }
    EXPECT_EQ(0, locked);
    EXPECT_EQ("(missing)", sim->StateField("0:5:0", "attention"));
    EXPECT_EQ(1, drive.GetLockState(0, 5, 0, locked));
}
