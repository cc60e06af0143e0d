// The pass-through library through the programs' own binding, bus and drive
// commands, over the fake system and the simulated drives.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "fake_bus.h"
#include "scsi_commands.h"

using namespace aspi;
using pttest::Drive;
using pttest::FakeBus;
using Strings = std::vector<std::string>;

namespace {

HostAdapterInfo Adapter(const FakeBus& fake, std::uint8_t adapter) {
    HostAdapterInfo info;
    std::memset(&info, 0, sizeof info);
    EXPECT_TRUE(fake.bus.InquireAdapter(adapter, info));
    return info;
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

SRB_ExecSCSICmd TestUnitReady(std::uint8_t adapter, std::uint8_t target) {
    return scsi::MakeRequest(scsi::TestUnitReady(), adapter, target, 0, nullptr);
}

}  // namespace

TEST(Numbering, EachPortIsAnAdapterWithTheTargetsAsReported) {
    FakeBus fake(Drive(2, 3, "C") + Drive(0, 1, "A") + Drive(2, 0, "B") + Drive(2, 7, "D"));
    EXPECT_EQ(2, fake.bus.GetAdapterCount());
    EXPECT_EQ((Strings{"0:1 A", "1:0 B", "1:3 C", "1:7 D"}), fake.Devices());
    const HostAdapterInfo first = Adapter(fake, 0), second = Adapter(fake, 1);
    EXPECT_EQ(16, first.maxTargets);
    EXPECT_EQ(65536u, first.maxTransferLength);
    EXPECT_EQ(7, first.adapterScsiId);
    EXPECT_STREQ("ASPI for WIN32", first.managerId);
    EXPECT_STREQ("PORT0 BUS0", first.adapterId);
    EXPECT_STREQ("PORT2 BUS0", second.adapterId);
    EXPECT_EQ(15, second.adapterScsiId);  // 7 is a drive's
    HostAdapterInfo none;
    EXPECT_FALSE(fake.bus.InquireAdapter(2, none));
    SRB_GDEVBlock gdev = {SC_GET_DEV_TYPE, 0, 2, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SS_INVALID_HA, fake.Send(&gdev));
    EXPECT_EQ(-1, fake.bus.GetDeviceType(0, 0, 0));  // SS_NO_DEVICE
}

TEST(Numbering, ADeviceWithoutAnAddressGetsAnAdapterOfItsOwn) {
    FakeBus fake(Drive(0, 0, "A") + Drive(0, 1, "B") + Drive(1, 0, "C") + Drive(0, 20, "E"),
                 "0:1:0=noaddress");
    EXPECT_EQ((Strings{"0:0 A", "1:0 C", "2:0 B", "3:0 E"}), fake.Devices());
    EXPECT_STREQ("DRIVE E:", Adapter(fake, 2).adapterId);  // D: A, E: B, F: C
}

TEST(Numbering, PastSixteenAdaptersTheLastOneTakesTheRest) {
    std::string busFile;
    Strings expected;
    for (int port = 0; port < 20; ++port) {
        busFile += Drive(port, 0, "P" + std::to_string(port));
        expected.push_back(std::to_string(std::min(port, 15)) + ":" +
                           std::to_string(std::max(port - 15, 0)) + " P" + std::to_string(port));
    }
    FakeBus fake(busFile);
    EXPECT_EQ(16, fake.bus.GetAdapterCount());
    EXPECT_EQ(expected, fake.Devices());
}

TEST(Access, ADeviceThatCannotBeOpenedIsListedAndFailsItsCommands) {
    FakeBus fake(Drive(0, 0, "A") + Drive(0, 1, "B"), "0:1:0=closed");
    EXPECT_EQ(DEVTYPE_CDROM, fake.bus.GetDeviceType(1, 0, 0));
    SRB_ExecSCSICmd srb = TestUnitReady(1, 0);
    EXPECT_FALSE(fake.bus.ExecuteCommand(srb));
    EXPECT_EQ(SS_ERR, srb.SRB_Status);
    EXPECT_EQ(HASTAT_SEL_TO, srb.SRB_HaStat);
    EXPECT_EQ((Strings{"0:0 A"}), fake.Devices());
}

TEST(Access, ReadAccessWhenWriteIsRefused) {
    FakeBus fake(Drive(0, 0, "A"), "0:0:0=readonly");
    Strings opens;
    for (const simtest::LogLine& line : fake.sim.Log())
        if (line.kind == "open" && line["drive"] == "D:")
            opens.push_back(line["access"] + " " + line["result"]);
    EXPECT_EQ((Strings{"rw denied", "r ok"}), opens);
    EXPECT_EQ(DEVTYPE_CDROM,
              fake.bus.GetDeviceType(0, 0, 0));  // INQUIRY refused: the letter's type
    SRB_ExecSCSICmd srb = TestUnitReady(0, 0);
    EXPECT_FALSE(fake.bus.ExecuteCommand(srb));
    EXPECT_EQ(HASTAT_SEL_TO, srb.SRB_HaStat);
}

// Drives without a letter are found as class devices; one that a letter
// stands for is not opened again, whatever its address.
TEST(Numbering, ClassDevicesWithoutALetterAreFoundOnce) {
    FakeBus fake(Drive(0, 0, "A") + Drive(0, 1, "B") + Drive(1, 0, "C") + Drive(1, 1, "D"),
                 "0:1:0=noletter 1:0:0=noletter 1:0:0=noaddress 1:1:0=noaddress");
    const auto identified = fake.PassThroughs();  // one INQUIRY each
    ASSERT_EQ(4u, identified.size());
    EXPECT_EQ("CdRom1", identified[2]["drive"]);
    EXPECT_EQ((Strings{"0:0 A", "0:1 B", "1:0 D", "2:0 C"}), fake.Devices());
    EXPECT_STREQ("PORT0 BUS0", Adapter(fake, 0).adapterId);
    EXPECT_STREQ("DRIVE G:", Adapter(fake, 1).adapterId);
    EXPECT_STREQ("CDROM2", Adapter(fake, 2).adapterId);
    Strings opens;
    for (const simtest::LogLine& line : fake.sim.Log())
        if (line.kind == "open")
            opens.push_back(line["drive"] + " " + line["access"] + " " + line["result"]);
    EXPECT_EQ((Strings{"D: rw ok", "G: rw ok", "CdRom1 rw ok", "CdRom2 rw ok", "CdRom4 rw none",
                       "CdRom5 rw none", "CdRom6 rw none", "CdRom7 rw none"}),
              opens);
}

// A drive found early (by its letter) on a later port names only its own
// adapter: the earlier ports' adapters are named after their own drives.
TEST(Numbering, EveryAdapterIsNamedAfterItsOwnDrives) {
    FakeBus fake(Drive(0, 0, "A") + Drive(1, 0, "B") + Drive(2, 0, "C"),
                 "0:0:0=noletter 1:0:0=noletter 1:0:0=noaddress");
    EXPECT_EQ((Strings{"0:0 A", "1:0 C", "2:0 B"}), fake.Devices());
    EXPECT_STREQ("PORT0 BUS0", Adapter(fake, 0).adapterId);
    EXPECT_STREQ("PORT2 BUS0", Adapter(fake, 1).adapterId);
    EXPECT_STREQ("CDROM1", Adapter(fake, 2).adapterId);
}

// Every command of the drive command set, as the fake received it.
TEST(Commands, TheDriveCommandSetReachesTheDevice) {
    FakeBus fake(Drive(0, 2, "A") + "speeds=706,1411,2822\nlocked=0\n");
    const CdromDevice& d = fake.drive;
    std::uint16_t current = 0, maximum = 0;
    std::uint8_t code = 0;
    int locked = 0;
    DeviceIdentity id = {};
    struct Row {
        const char* what;
        std::function<int()> run;
        const char* expected;  // cdb dir len senselen [data]
    } rows[] = {
        {"INQUIRY", [&] { return fake.bus.InquireDevice(0, 2, 0, id); }, "12000000ff00 1 255 14"},
        {"TEST UNIT READY", [&] { return fake.bus.TestUnitReady(0, 2, 0); }, "000000000000 2 0 14"},
        {"SET CD SPEED", [&] { return d.SetReadSpeed(0, 2, 0, 1411); },
         "bb000583ffff000000000000 2 0 14"},
        {"MODE SENSE 2A", [&] { return d.GetReadSpeeds(0, 2, 0, current, maximum); },
         "5a002a000000000100000000 1 256 14"},
        {"MODE SENSE 2A, lock", [&] { return d.GetLockState(0, 2, 0, locked); },
         "5a002a000000000100000000 1 256 0"},
        {"MODE SENSE 0D", [&] { return d.GetInactivityTimer(0, 2, 0, code); },
         "5a000d000000000100000000 1 256 14"},
        {"MODE SELECT 0D", [&] { return d.SetInactivityTimer(0, 2, 0, 15); },
         "551000000000000010000000 0 16 14 00000000000000000d06000f003c004b"},
        {"PREVENT", [&] { return d.LockMedium(0, 2, 0); }, "1e0000000100 1 255 0"},
        {"ALLOW", [&] { return d.UnlockMedium(0, 2, 0); }, "1e0000000000 1 255 0"},
        {"EJECT", [&] { return d.EjectMedium(0, 2, 0); }, "1b0000000200 1 14 14"},
        {"LOAD", [&] { return d.LoadMedium(0, 2, 0); }, "1b0000000300 1 14 14"},
    };
    for (const Row& row : rows) {
        fake.sim.ClearLog();
        EXPECT_EQ(1, row.run()) << row.what;
        const auto spt = fake.PassThroughs();
        ASSERT_EQ(1u, spt.size()) << row.what;
        EXPECT_EQ(row.expected, simtest::PassThroughText(spt[0])) << row.what;
        EXPECT_EQ("30", spt[0]["timeout"]) << row.what;
    }
    EXPECT_STREQ("A", id.product);
    EXPECT_EQ(1411, current);
    EXPECT_EQ(2822, maximum);
    EXPECT_EQ("15", fake.sim.StateField("0:2:0", "inactivity"));
    EXPECT_EQ("closed", fake.sim.StateField("0:2:0", "tray"));
    std::uint16_t speeds[32] = {};
    EXPECT_EQ(3u, d.ProbeSpeeds(0, 2, 0, speeds, 32));
    EXPECT_EQ((std::vector<std::uint16_t>{706, 1411, 2822}),
              std::vector<std::uint16_t>(speeds, speeds + 3));
}

TEST(Commands, OnlyTheBytesTheDeviceSentReachTheBuffer) {
    FakeBus fake(Drive(0, 0, "A"));
    std::uint8_t data[scsi::INQUIRY_DATA_LEN];
    std::memset(data, 0xAA, sizeof data);
    SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::Inquiry(), 0, 0, 0, data);
    ASSERT_TRUE(fake.bus.ExecuteCommand(srb));
    EXPECT_EQ(DEVTYPE_CDROM, data[0]);
    EXPECT_EQ(0xAA, data[36]);  // INQUIRY sends 36 bytes
    EXPECT_EQ("36", fake.PassThroughs().back()["got"]);
}

TEST(Commands, DirectionAndLengthAreChecked) {
    FakeBus fake(Drive(0, 0, "A"));
    std::uint8_t data[16] = {};
    SRB_ExecSCSICmd none = scsi::MakeRequest(scsi::TestUnitReady(), 0, 0, 0, data);
    none.SRB_BufPointer = data;
    none.SRB_BufLen = sizeof data;  // a buffer but no direction: nothing moves
    EXPECT_TRUE(fake.bus.ExecuteCommand(none));
    EXPECT_EQ("2 0", fake.PassThroughs().back()["dir"] + " " + fake.PassThroughs().back()["len"]);
}

// The largest transfer the adapter inquiry reports is taken whole, in either
// direction; one byte more is refused before anything reaches the device.
TEST(Commands, TheLargestTransferIsTakenAndOneByteMoreRefused) {
    FakeBus fake(Drive(0, 0, "A"));
    const std::uint32_t largest = Adapter(fake, 0).maxTransferLength;
    ASSERT_EQ(64u * 1024, largest);
    std::vector<std::uint8_t> data(largest + 1, 0xAA);
    SRB_ExecSCSICmd in = scsi::MakeRequest(scsi::Inquiry(), 0, 0, 0, data.data());
    in.SRB_BufLen = largest;
    EXPECT_TRUE(fake.bus.ExecuteCommand(in));
    EXPECT_EQ(DEVTYPE_CDROM, data[0]);
    EXPECT_EQ("1 65536 36", fake.PassThroughs().back()["dir"] + " " +
                                fake.PassThroughs().back()["len"] + " " +
                                fake.PassThroughs().back()["got"]);
    SRB_ExecSCSICmd out = TestUnitReady(0, 0);
    out.SRB_Flags |= SRB_DIR_OUT;
    out.SRB_BufPointer = data.data();
    out.SRB_BufLen = largest;
    fake.bus.ExecuteCommand(out);  // the device takes no data with it: its answer does not matter
    EXPECT_EQ("0 65536",
              fake.PassThroughs().back()["dir"] + " " + fake.PassThroughs().back()["len"]);
    const std::size_t sent = fake.PassThroughs().size();
    for (std::uint8_t direction : {SRB_DIR_IN, SRB_DIR_OUT}) {
        SRB_ExecSCSICmd more = TestUnitReady(0, 0);
        more.SRB_Flags |= direction;
        more.SRB_BufPointer = data.data();
        more.SRB_BufLen = largest + 1;
        EXPECT_FALSE(fake.bus.ExecuteCommand(more));
        EXPECT_EQ(SS_BUFFER_TO_BIG, more.SRB_Status);
    }
    EXPECT_EQ(sent, fake.PassThroughs().size());
}

// A block refused at once still gets its event: a caller may wait on it
// whatever SendASPI32Command returned.
TEST(Commands, ARefusedBlockSignalsItsEvent) {
    FakeBus fake(Drive(0, 0, "A") + Drive(0, 1, "B"), "0:1:0=closed");
    std::uint8_t data[16] = {};
    struct Case {
        const char* what;
        std::function<void(SRB_ExecSCSICmd&)> spoil;
        std::uint8_t status;
    } cases[] = {
        {"no CDB", [](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = 0; }, SS_INVALID_SRB},
        {"CDB too long", [](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = CDB_AREA_LEN + 1; },
         SS_INVALID_SRB},
        {"both directions", [](SRB_ExecSCSICmd& s) { s.SRB_Flags |= SRB_DIR_IN | SRB_DIR_OUT; },
         SS_INVALID_SRB},
        {"no buffer",
         [](SRB_ExecSCSICmd& s) {
             s.SRB_Flags |= SRB_DIR_IN;
             s.SRB_BufPointer = nullptr;
         },
         SS_INVALID_SRB},
        {"too big",
         [](SRB_ExecSCSICmd& s) {
             s.SRB_Flags |= SRB_DIR_IN;
             s.SRB_BufLen = 64 * 1024 + 1;
         },
         SS_BUFFER_TO_BIG},
        {"no device", [](SRB_ExecSCSICmd& s) { s.SRB_Target = 2; }, SS_NO_DEVICE},
        {"bad adapter", [](SRB_ExecSCSICmd& s) { s.SRB_HaId = 2; }, SS_INVALID_HA},
        {"cannot be opened", [](SRB_ExecSCSICmd& s) { s.SRB_HaId = 1; }, SS_ERR},
    };
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (const Case& c : cases) {
        SRB_ExecSCSICmd srb = TestUnitReady(0, 0);
        srb.SRB_BufPointer = data;
        srb.SRB_BufLen = sizeof data;
        c.spoil(srb);
        srb.SRB_Flags |= SRB_EVENT_NOTIFY;
        srb.SRB_PostProc = event;
        ResetEvent(event);
        EXPECT_EQ(c.status, fake.Send(&srb)) << c.what;
        EXPECT_EQ(c.status, srb.SRB_Status) << c.what;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0)) << c.what;
    }
    // Both ways of being told at once: SRB_PostProc may be either, so the
    // library neither calls it nor signals it.
    SRB_ExecSCSICmd both = TestUnitReady(0, 0);
    both.SRB_Flags |= SRB_POSTING;
    both.SRB_PostProc = event;
    ResetEvent(event);
    EXPECT_EQ(SS_INVALID_SRB, fake.Send(&both));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    CloseHandle(event);
    EXPECT_EQ(1u, fake.PassThroughs().size());  // A's INQUIRY at start, nothing since
}

TEST(Status, CheckConditionCarriesTheSense) {
    FakeBus fake(Drive(0, 0, "A") + "fail=tur\n" + Drive(0, 1, "B") + "tray=open\n");
    SRB_ExecSCSICmd failed = TestUnitReady(0, 0);
    EXPECT_FALSE(fake.bus.ExecuteCommand(failed));
    EXPECT_EQ(SS_ERR, failed.SRB_Status);
    EXPECT_EQ(STATUS_CHKCOND, failed.SRB_TargStat);
    EXPECT_EQ(HASTAT_OK, failed.SRB_HaStat);
    EXPECT_EQ("700004000000000a0000000044000000",
              HexOf(failed.SenseArea, SENSE_AREA_LEN));  // 14 bytes asked for
    SRB_ExecSCSICmd open = TestUnitReady(0, 1);
    EXPECT_FALSE(fake.bus.ExecuteCommand(open));
    EXPECT_EQ(0x02, open.SenseArea[2]);   // not ready
    EXPECT_EQ(0x3A, open.SenseArea[12]);  // medium not present
    EXPECT_EQ(0x02, open.SenseArea[13]);  // tray open
    SRB_ExecSCSICmd quiet = TestUnitReady(0, 0);
    quiet.SRB_SenseLen = 0;
    EXPECT_FALSE(fake.bus.ExecuteCommand(quiet));
    EXPECT_EQ(0, quiet.SenseArea[0]);
}

namespace {
HANDLE posted = nullptr;
void* postedBlock = nullptr;
void __cdecl Posted(void* srb) {
    postedBlock = srb;
    SetEvent(posted);
}
}  // namespace

TEST(Completion, PostingCallsTheRoutineWithTheBlock) {
    FakeBus fake(Drive(0, 0, "A"));
    posted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SRB_ExecSCSICmd srb = TestUnitReady(0, 0);
    srb.SRB_Flags = SRB_POSTING;
    srb.SRB_PostProc = reinterpret_cast<void*>(&Posted);
    EXPECT_EQ(SS_PENDING, fake.Send(&srb));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(posted, 5000));
    EXPECT_EQ(&srb, postedBlock);
    EXPECT_EQ(SS_COMP, srb.SRB_Status);
    CloseHandle(posted);
}

TEST(Completion, AQueuedBlockCanBeAbortedAStartedOneNot) {
    // Each pass-through takes two seconds: what the test does while one runs
    // is done long before it ends, however slowly the test's thread runs.
    constexpr DWORD DONE_MS = 20000;
    FakeBus fake("[bus]\nlatency_ms=2000\n" + Drive(0, 0, "A"));
    HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                        CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    SRB_ExecSCSICmd first = TestUnitReady(0, 0), second = TestUnitReady(0, 0);
    first.SRB_PostProc = events[0];
    second.SRB_PostProc = events[1];
    const std::size_t begun = fake.Begun();
    EXPECT_EQ(SS_PENDING, fake.Send(&first));
    EXPECT_EQ(SS_PENDING, fake.Send(&second));
    ASSERT_TRUE(fake.WaitUntilBegun(begun + 1)) << "the first one never started";
    SRB_Abort abort = {SC_ABORT_SRB, 0, 0, 0, 0, &second};
    EXPECT_EQ(SS_COMP, fake.Send(&abort));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events[1], 0));
    EXPECT_EQ(SS_ABORTED, second.SRB_Status);
    abort.SRB_ToAbort = &first;
    EXPECT_EQ(SS_ABORT_FAIL, fake.Send(&abort));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events[0], DONE_MS));
    EXPECT_EQ(SS_COMP, first.SRB_Status);
    // A reset ends what waits in the queue.
    ResetEvent(events[0]);
    EXPECT_EQ(SS_PENDING, fake.Send(&first));
    ASSERT_TRUE(fake.WaitUntilBegun(begun + 2)) << "the first one never started again";
    ResetEvent(events[1]);
    EXPECT_EQ(SS_PENDING, fake.Send(&second));
    SRB_BusDeviceReset reset = {};
    reset.SRB_Cmd = SC_RESET_DEV;
    EXPECT_EQ(SS_COMP, fake.Send(&reset));
    EXPECT_EQ(SS_ABORTED, second.SRB_Status);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(events[0], DONE_MS));
    EXPECT_EQ(SS_COMP, first.SRB_Status);
    for (HANDLE e : events) CloseHandle(e);
    EXPECT_EQ(2u, fake.PassThroughs().size() - 1);  // INQUIRY at start, then the two that ran
}

TEST(Library, TimeoutsRescanBuffersAndTheOtherEntries) {
    FakeBus fake(Drive(0, 0, "A"));
    SRB_GetSetTimeouts get = {SC_GETSET_TIMEOUTS, 0, 0, SRB_DIR_IN, 0, 0, 0, 0};
    EXPECT_EQ(SS_COMP, fake.Send(&get));
    EXPECT_EQ(60u, get.SRB_Timeout);
    EXPECT_EQ(SS_COMP, pttest::SetTimeout(fake, ADDRESS_WILDCARD, ADDRESS_WILDCARD, 9));
    EXPECT_EQ(SS_COMP, fake.Send(&get));
    EXPECT_EQ(9u, get.SRB_Timeout);
    EXPECT_TRUE(fake.bus.TestUnitReady(0, 0, 0));
    EXPECT_EQ("5", fake.PassThroughs().back()["timeout"]);  // whole seconds, rounded up

    fake.sim.ClearLog();
    fake.bus.Rescan();
    EXPECT_EQ(1u, fake.PassThroughs().size());  // the drive identified again
    EXPECT_EQ((Strings{"0:0 A"}), fake.Devices());

    EXPECT_EQ(9u, fake.bus.GetEntryCount());
    for (std::uint32_t i = 0; i < 9; ++i) {
        int found = 0;
        fake.bus.GetEntryInfo(i, found);
        EXPECT_EQ(1, found) << i;
    }
    EXPECT_EQ(1u, fake.bus.GetDllVersion());
    HMODULE lib = GetModuleHandleA(pttest::FAKE_LIBRARY);
    auto get_buffer = reinterpret_cast<std::uint32_t(__cdecl*)(ASPI32BUFF*)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "GetASPI32Buffer")));
    auto free_buffer = reinterpret_cast<std::uint32_t(__cdecl*)(ASPI32BUFF*)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "FreeASPI32Buffer")));
    ASPI32BUFF buffer = {nullptr, 128 * 1024, 1, 0};
    ASSERT_TRUE(get_buffer(&buffer));
    EXPECT_EQ(0, buffer.AB_BufPointer[buffer.AB_BufLen - 1]);
    EXPECT_TRUE(free_buffer(&buffer));
    EXPECT_FALSE(free_buffer(&buffer));
}

// The shipped library where the system has no CD-ROM drive, as under Wine.
TEST(Shipped, LoadsAndReportsNoAdapters) {
    AspiBus bus;
    ASSERT_TRUE(bus.Load(simtest::Library("WNASPI32.DLL").c_str()));
    EXPECT_EQ(0, bus.GetAdapterCount());
    auto info = reinterpret_cast<GetASPI32SupportInfoFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("WNASPI32.DLL"), "GetASPI32SupportInfo")));
    EXPECT_EQ(MakeSupportWord(SS_NO_ADAPTERS, 0), info());
    HostAdapterInfo none;
    EXPECT_FALSE(bus.InquireAdapter(0, none));
}

TEST(Shipped, DescribesItselfInJapanese) {
    const std::string file = simtest::Library("WNASPI32.DLL");
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, DWORD(data.size()), data.data()));
    void* p = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &p, &len));
    EXPECT_EQ(4u, len);  // one translation
    EXPECT_EQ(0x04B00411u, *static_cast<DWORD*>(p));
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104B0\\FileVersion", &p, &len));
    EXPECT_STREQ("1.0.0", static_cast<char*>(p));
    ASSERT_TRUE(
        VerQueryValueA(data.data(), "\\StringFileInfo\\041104B0\\FileDescription", &p, &len));
    EXPECT_STREQ("korvex ASPI32 ライブラリ (SCSI パススルー)", static_cast<char*>(p));
}
