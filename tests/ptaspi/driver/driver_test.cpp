// The shipped WNASPI32.DLL through Windows' own I/O path: run by
// run-with-driver over the CD-ROM test driver, on bus.ini beside this file
// (numbering.ini for the Numbering cases). The device server writes the
// command log named by SIMASPI_LOG.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "aspi32.h"
#include "bus.h"
#include "device.h"
#include "fake_bus.h"
#include "scsi_commands.h"
#include "sim_fixture.h"

using namespace aspi;
using Strings = std::vector<std::string>;

namespace {

std::string Env(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? value : "";
}

// The shipped library, bound as the programs bind it, and the server's log.
class Shipped : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.Load("WNASPI32.DLL"));
        drive.bus = &bus;
        bus.GetAdapterCount();  // the library makes its device list at the first call
        log = Env("SIMASPI_LOG");
        ASSERT_FALSE(log.empty()) << "run it with run-with-driver and SIMASPI_LOG";
        ClearLog();
    }
    void TearDown() override { bus.Unload(); }

    void ClearLog() const { std::ofstream(log, std::ios::binary | std::ios::trunc); }
    std::vector<simtest::LogLine> PassThroughs() const {
        return simtest::OfKind(simtest::ReadLog(log), "spt");
    }
    Strings Devices() const { return pttest::Devices(bus); }
    std::uint32_t Send(void* srb) const { return pttest::Send("WNASPI32.DLL", srb); }
    // The device server's own command line: a device leaves or comes back.
    void Presence(const char* address, int present) const {
        std::string line =
            "\"" + Env("CDSIM_SERVER") + "\" presence " + address + " " + std::to_string(present);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000));
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        ASSERT_EQ(0u, code);
    }

    AspiBus bus;
    CdromDevice drive;
    std::string log;
};

SRB_ExecSCSICmd TestUnitReady(std::uint8_t adapter, std::uint8_t target) {
    return scsi::MakeRequest(scsi::TestUnitReady(), adapter, target, 0, nullptr);
}

std::string HexOf(const std::uint8_t* p, std::size_t n) {
    std::string out;
    char byte[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", p[i]);
        out += byte;
    }
    return out;
}

}  // namespace

using Driver = Shipped;

TEST_F(Driver, EveryDeviceOnceWithOrWithoutALetter) {
    EXPECT_EQ(2, bus.GetAdapterCount());
    EXPECT_EQ((Strings{"0:1 LETTERED", "0:3 NO LETTER", "0:5 FAILS TUR", "1:0 NEVER ANSWERS",
                       "1:4 COMES AND GOES"}),
              Devices());
    HostAdapterInfo info;
    std::memset(&info, 0, sizeof info);
    ASSERT_TRUE(bus.InquireAdapter(1, info));
    EXPECT_STREQ("PORT1 BUS0", info.adapterId);
    // The one that may not be written to is there, but answers nothing.
    EXPECT_EQ(DEVTYPE_CDROM, bus.GetDeviceType(1, 2, 0));
    EXPECT_EQ(65536u, info.maxTransferLength);
}

// Every command of the drive command set, as the device received it.
TEST_F(Driver, TheDriveCommandSetReachesTheDevice) {
    std::uint16_t current = 0, maximum = 0;
    std::uint8_t code = 0;
    int locked = 0;
    struct Row {
        const char* what;
        std::function<int()> run;
        const char* expected;  // drive cdb dir len senselen [data]
    } rows[] = {
        {"SET CD SPEED", [&] { return drive.SetReadSpeed(0, 1, 0, 1411); },
         "E: bb000583ffff000000000000 2 0 14"},
        {"MODE SENSE 2A", [&] { return drive.GetReadSpeeds(0, 1, 0, current, maximum); },
         "E: 5a002a000000000100000000 1 256 14"},
        {"MODE SENSE 2A, lock", [&] { return drive.GetLockState(0, 3, 0, locked); },
         "CdRom3 5a002a000000000100000000 1 256 0"},
        {"MODE SENSE 0D", [&] { return drive.GetInactivityTimer(0, 1, 0, code); },
         "E: 5a000d000000000100000000 1 256 14"},
        {"MODE SELECT 0D", [&] { return drive.SetInactivityTimer(0, 1, 0, 15); },
         "E: 551000000000000010000000 0 16 14 00000000000000000d06000f003c004b"},
        {"PREVENT", [&] { return drive.LockMedium(0, 3, 0); }, "CdRom3 1e0000000100 1 255 0"},
        {"ALLOW", [&] { return drive.UnlockMedium(0, 3, 0); }, "CdRom3 1e0000000000 1 255 0"},
        {"EJECT", [&] { return drive.EjectMedium(0, 3, 0); }, "CdRom3 1b0000000200 1 14 14"},
        {"LOAD", [&] { return drive.LoadMedium(0, 3, 0); }, "CdRom3 1b0000000300 1 14 14"},
    };
    for (const Row& row : rows) {
        ClearLog();
        EXPECT_EQ(1, row.run()) << row.what;
        const auto spt = PassThroughs();
        ASSERT_EQ(1u, spt.size()) << row.what;
        EXPECT_EQ(row.expected, spt[0]["drive"] + " " + simtest::PassThroughText(spt[0]))
            << row.what;
        EXPECT_EQ("30", spt[0]["timeout"]) << row.what;
    }
    EXPECT_EQ(1411, current);
    EXPECT_EQ(2822, maximum);
    EXPECT_EQ(15, [&] {
        std::uint8_t c = 0;
        drive.GetInactivityTimer(0, 1, 0, c);
        return c;
    }());
    std::uint16_t speeds[32] = {};
    EXPECT_EQ(3u, drive.ProbeSpeeds(0, 1, 0, speeds, 32));
    EXPECT_EQ((std::vector<std::uint16_t>{706, 1411, 2822}),
              std::vector<std::uint16_t>(speeds, speeds + 3));
}

TEST_F(Driver, TheLargestTransferComesBackWhole) {
    std::vector<std::uint8_t> data(65537, 0xAA);
    SRB_ExecSCSICmd in = scsi::MakeRequest(scsi::Inquiry(), 0, 1, 0, data.data());
    in.SRB_BufLen = 65536;
    EXPECT_TRUE(bus.ExecuteCommand(in));
    EXPECT_EQ(DEVTYPE_CDROM, data[0]);
    EXPECT_EQ(0, std::memcmp(data.data() + 8, "SIMDISC ", 8));
    EXPECT_EQ(0xAA, data[36]);  // only what the device sent
    EXPECT_EQ("65536 36", PassThroughs().back()["len"] + " " + PassThroughs().back()["got"]);
}

TEST_F(Driver, CheckConditionCarriesTheSense) {
    SRB_ExecSCSICmd failed = TestUnitReady(0, 5);
    EXPECT_FALSE(bus.ExecuteCommand(failed));
    EXPECT_EQ(SS_ERR, failed.SRB_Status);
    EXPECT_EQ(STATUS_CHKCOND, failed.SRB_TargStat);
    EXPECT_EQ(HASTAT_OK, failed.SRB_HaStat);
    EXPECT_EQ("700004000000000a0000000044000000", HexOf(failed.SenseArea, SENSE_AREA_LEN));
    SRB_ExecSCSICmd good = TestUnitReady(0, 1);
    EXPECT_TRUE(bus.ExecuteCommand(good));
    EXPECT_EQ(STATUS_GOOD, good.SRB_TargStat);
    EXPECT_EQ(0, good.SenseArea[0]);
}

// Windows refuses the pass-through on a device that may not be written to:
// the command ends in an error at once.
TEST_F(Driver, ADeviceThatMayNotBeWrittenToFailsItsCommands) {
    SRB_ExecSCSICmd srb = TestUnitReady(1, 2);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(bus.ExecuteCommand(srb));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(SS_ERR, srb.SRB_Status);
    EXPECT_EQ(HASTAT_SEL_TO, srb.SRB_HaStat);
    EXPECT_TRUE(PassThroughs().empty());  // it never reached the device
}

TEST_F(Driver, ADeviceThatVanishesBetweenTwoRescans) {
    Presence("1:4:0", 0);
    bus.Rescan();
    EXPECT_EQ((Strings{"0:1 LETTERED", "0:3 NO LETTER", "0:5 FAILS TUR", "1:0 NEVER ANSWERS"}),
              Devices());
    SRB_ExecSCSICmd gone = TestUnitReady(1, 4);
    EXPECT_FALSE(bus.ExecuteCommand(gone));
    EXPECT_EQ(SS_NO_DEVICE, gone.SRB_Status);
    Presence("1:4:0", 1);
    bus.Rescan();
    EXPECT_EQ("1:4 COMES AND GOES", Devices().back());
    SRB_ExecSCSICmd back = TestUnitReady(1, 4);
    EXPECT_TRUE(bus.ExecuteCommand(back));
}

// Last: the device keeps the library's call for the rest of the process.
TEST_F(Driver, ZADeviceThatNeverAnswersEndsAfterItsTimeout) {
    SRB_GetSetTimeouts timeout = {};
    timeout.SRB_Cmd = SC_GETSET_TIMEOUTS;
    timeout.SRB_Flags = SRB_DIR_OUT;
    timeout.SRB_HaId = 1;
    timeout.SRB_Target = 0;
    timeout.SRB_Timeout = 2;  // one second
    ASSERT_EQ(SS_COMP, Send(&timeout));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SRB_ExecSCSICmd srb = TestUnitReady(1, 0);
    srb.SRB_PostProc = event;
    const DWORD start = GetTickCount();
    ASSERT_EQ(SS_PENDING, Send(&srb));
    // The library ends it: without that the event would never come. The
    // bound leaves room for a slow machine.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 20000));
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(SS_ERR, srb.SRB_Status);
    EXPECT_EQ(HASTAT_COMMAND_TIMEOUT, srb.SRB_HaStat);
    EXPECT_GE(took, 1900u);
    EXPECT_EQ("hang", PassThroughs().back()["result"]);
    SRB_ExecSCSICmd next = TestUnitReady(1, 0);
    EXPECT_FALSE(bus.ExecuteCommand(next));
    EXPECT_EQ(HASTAT_TIMEOUT, next.SRB_HaStat);
    EXPECT_TRUE(bus.TestUnitReady(0, 1, 0));  // the others go on
    CloseHandle(event);
}

// numbering.ini: twenty ports, the first with four drives, letters on some.
TEST_F(Shipped, NumberingOfSeveralPortsAndMoreThanSixteenDevices) {
    Strings expected;
    for (int t = 0; t < 4; ++t)
        expected.push_back("0:" + std::to_string(t) + " P0T" + std::to_string(t));
    for (int port = 1; port < 20; ++port)
        expected.push_back(std::to_string(std::min(port, 15)) + ":" +
                           std::to_string(std::max(port - 15, 0)) + " P" + std::to_string(port) +
                           "T0");
    EXPECT_EQ(16, bus.GetAdapterCount());
    EXPECT_EQ(expected, Devices());
    // The lettered drives are found first; every adapter still bears its own port.
    for (std::uint8_t a : {0, 1, 3, 7, 15}) {
        HostAdapterInfo info;
        std::memset(&info, 0, sizeof info);
        ASSERT_TRUE(bus.InquireAdapter(a, info));
        EXPECT_EQ("PORT" + std::to_string(a) + " BUS0", std::string(info.adapterId));
    }
}
