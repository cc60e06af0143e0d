// Binding a library, its entry table, the library-level queries and the
// submission of request blocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "bus.h"
#include "sim_fixture.h"

using simtest::Library;
using simtest::SimBus;

namespace {

const char* const kEntryNames[] = {
    "GetASPI32SupportInfo", "SendASPI32Command",      "GetASPI32Buffer",
    "FreeASPI32Buffer",     "TranslateASPI32Address", "GetASPI32DLLVersion",
    "ScsiRescan",           "RegisterASPI32Client",   "ReScanAdapters",
};

const char kTwoAdapters[] =
    "[bus]\n"
    "dll_version=0x04030201\n"
    "[adapter.0]\n"
    "[adapter.1]\n"
    "[device.0.2]\n"
    "type=5\n";

aspi::SRB_ExecSCSICmd TestUnitReadyBlock(std::uint8_t adapter, std::uint8_t target) {
    aspi::SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = aspi::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = adapter;
    srb.SRB_Target = target;
    srb.SRB_Flags = aspi::SRB_EVENT_NOTIFY;
    srb.SRB_SenseLen = aspi::SENSE_LEN;
    srb.SRB_CDBLen = 6;
    return srb;
}

// The values given to RegisterASPI32Client, in the order of the calls.
std::vector<unsigned long> Registrations(const SimBus& sim) {
    std::vector<unsigned long> values;
    for (const auto& line : sim.Log())
        if (line.kind == "RegisterASPI32Client")
            values.push_back(std::stoul(line["value"], nullptr, 16));
    return values;
}

}  // namespace

TEST(Load, FullLibraryFindsAllNineEntries) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
    ASSERT_EQ(9u, binding.GetEntryCount());
    for (std::uint32_t i = 0; i < 9; ++i) {
        int found = -1;
        EXPECT_STREQ(kEntryNames[i], binding.GetEntryInfo(i, found)) << i;
        EXPECT_EQ(1, found) << kEntryNames[i];
    }
    EXPECT_EQ(2, binding.GetAdapterCount());
    EXPECT_EQ(0x04030201u, binding.GetDllVersion());
}

TEST(Load, RegistersTheUserValueOnce) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(0x12345678, Library("simaspi.dll").c_str()));
    EXPECT_EQ(std::vector<unsigned long>{0x12345678}, Registrations(sim));
}

TEST(Load, BuslookFormRegistersZero) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
    const auto values = Registrations(sim);
    EXPECT_FALSE(values.empty());
    for (unsigned long value : values) EXPECT_EQ(0u, value);
}

TEST(Load, LibraryWithOnlyTheTwoRequiredEntries) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(Library("simaspi_min.dll").c_str()));
    ASSERT_EQ(9u, binding.GetEntryCount());
    for (std::uint32_t i = 0; i < 9; ++i) {
        int found = -1;
        EXPECT_STREQ(kEntryNames[i], binding.GetEntryInfo(i, found));
        EXPECT_EQ(i < 2 ? 1 : 0, found) << kEntryNames[i];
    }
    EXPECT_EQ(0u, binding.GetDllVersion());
    EXPECT_EQ(2, binding.GetAdapterCount());
    sim.ClearLog();
    binding.Rescan();
    for (const auto& line : sim.Log()) {
        EXPECT_NE("ScsiRescan", line.kind);
        EXPECT_NE("ReScanAdapters", line.kind);
    }
}

TEST(Load, LibraryWithoutSendCommandFailsButListsItsEntries) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    EXPECT_EQ(0, binding.Load(Library("simaspi_nosend.dll").c_str()));
    EXPECT_EQ(0, binding.GetAdapterCount());
    EXPECT_EQ(0u, binding.GetDllVersion());
    ASSERT_EQ(9u, binding.GetEntryCount());
    for (std::uint32_t i = 0; i < 9; ++i) {
        int found = -1;
        EXPECT_STREQ(kEntryNames[i], binding.GetEntryInfo(i, found));
        EXPECT_EQ(i == 1 ? 0 : 1, found) << kEntryNames[i];
    }
    // A half-loaded library registers no client and sends nothing.
    for (const auto& line : sim.Log()) EXPECT_NE("RegisterASPI32Client", line.kind);
    aspi::SRB_ExecSCSICmd srb = TestUnitReadyBlock(0, 2);
    EXPECT_EQ(0, binding.ExecuteCommand(srb));
    EXPECT_TRUE(sim.Requests().empty());
    // The half-loaded library is still held and is freed by Unload.
    EXPECT_EQ(1, binding.Unload());
    EXPECT_EQ(0u, binding.GetEntryCount());
}

// The registration's result does not matter: a library that refuses it binds.
TEST(Load, AFailingRegistrationStillBinds) {
    SimBus sim("[bus]\nregister_status=0x04\n[adapter.0]\n");
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(0x1234u, Library("simaspi.dll").c_str()));
    EXPECT_EQ(std::vector<unsigned long>{0x1234u}, Registrations(sim));
    EXPECT_EQ(1, binding.GetAdapterCount());
}

TEST(Load, MissingLibraryFails) {
    AspiBinding binding;
    EXPECT_EQ(0, binding.Load("NO_SUCH_ASPI_LIBRARY.DLL"));
    EXPECT_EQ(0u, binding.GetEntryCount());
    EXPECT_EQ(0, binding.GetAdapterCount());
    EXPECT_EQ(0, binding.Unload());
}

TEST(Load, SecondLoadBindsNothingNew) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(7, Library("simaspi.dll").c_str()));
    EXPECT_EQ(1, binding.Load(8, "NO_SUCH_ASPI_LIBRARY.DLL"));
    EXPECT_EQ(1, binding.Load(Library("simaspi_min.dll").c_str()));
    EXPECT_EQ(0x04030201u, binding.GetDllVersion());  // still the first library
    int found = 0;
    EXPECT_STREQ("GetASPI32DLLVersion", binding.GetEntryInfo(5, found));
    EXPECT_EQ(1, found);
    EXPECT_EQ(nullptr, GetModuleHandleA("simaspi_min.dll"));
}

TEST(EntryInfo, IndexAtOrAboveTheCountLeavesTheOutArgumentAlone) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    int found = 42;
    EXPECT_EQ(nullptr, binding.GetEntryInfo(0, found));  // nothing looked up yet
    EXPECT_EQ(42, found);
    ASSERT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
    EXPECT_EQ(nullptr, binding.GetEntryInfo(9, found));
    EXPECT_EQ(nullptr, binding.GetEntryInfo(0xFFFFFFFFu, found));
    EXPECT_EQ(42, found);
}

TEST(Unload, TwiceAndQueriesAfterwards) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    EXPECT_EQ(0, binding.Unload());
    ASSERT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
    EXPECT_EQ(1, binding.Unload());
    EXPECT_EQ(0, binding.Unload());
    EXPECT_EQ(nullptr, GetModuleHandleA("simaspi.dll"));
    EXPECT_EQ(0u, binding.GetEntryCount());
    EXPECT_EQ(0, binding.GetAdapterCount());
    EXPECT_EQ(0u, binding.GetDllVersion());
    int found = 5;
    EXPECT_EQ(nullptr, binding.GetEntryInfo(0, found));
    EXPECT_EQ(5, found);
    binding.Rescan();  // nothing bound: no call, no crash
    aspi::SRB_ExecSCSICmd srb = TestUnitReadyBlock(0, 2);
    EXPECT_EQ(0, binding.ExecuteCommand(srb));
    EXPECT_EQ(0, binding.SendCommand(&srb));
    // A new load after the unload binds again.
    EXPECT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
    EXPECT_EQ(2, binding.GetAdapterCount());
}

TEST(Unload, DestructorFreesTheLibrary) {
    SimBus sim(kTwoAdapters);
    {
        AspiBus bus;
        ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
        EXPECT_NE(nullptr, GetModuleHandleA("simaspi.dll"));
    }
    EXPECT_EQ(nullptr, GetModuleHandleA("simaspi.dll"));
}

// The status byte of the support word decides; the count byte alone does not.
TEST(AdapterCount, StatusOtherThanSuccessReadsAsNone) {
    struct Case {
        const char* status;
        const char* adapters;
        int expected;
    };
    const Case cases[] = {
        {"0x01", "3", 3}, {"0x01", "0", 0}, {"0x01", "255", 255},
        {"0x00", "3", 0}, {"0x04", "3", 0}, {"0xe8", "0", 0},
        {"0xe8", "5", 0}, {"0x81", "1", 0}, {"0xff", "255", 0},
    };
    for (const Case& c : cases) {
        SimBus sim(std::string("[bus]\nstatus=") + c.status + "\nadapters=" + c.adapters +
                   "\n[adapter.0]\n");
        AspiBinding binding;
        ASSERT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
        EXPECT_EQ(c.expected, binding.GetAdapterCount())
            << "status " << c.status << " count " << c.adapters;
    }
}

TEST(Rescan, PrefersScsiRescan) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
    sim.ClearLog();
    binding.Rescan();
    int scsiRescan = 0, rescanAdapters = 0;
    for (const auto& line : sim.Log()) {
        scsiRescan += line.kind == "ScsiRescan";
        rescanAdapters += line.kind == "ReScanAdapters";
    }
    EXPECT_EQ(1, scsiRescan);
    EXPECT_EQ(0, rescanAdapters);
}

TEST(Rescan, FallsBackToReScanAdapters) {
    SimBus sim(kTwoAdapters);
    AspiBinding binding;
    ASSERT_EQ(1, binding.Load(Library("simaspi_norescan.dll").c_str()));
    sim.ClearLog();
    binding.Rescan();
    std::vector<std::string> calls;
    for (const auto& line : sim.Log()) calls.push_back(line.kind);
    EXPECT_EQ(std::vector<std::string>{"ReScanAdapters"}, calls);
}

// Bits 31..16 of the support word carry nothing.
TEST(AdapterCount, TheHighWordIsIgnored) {
    for (const char* high : {"0x0001", "0xffff", "0x8000"}) {
        SimBus sim(std::string("[bus]\nstatus=0x01\nadapters=2\nsupport_high=") + high +
                   "\n[adapter.0]\n");
        AspiBinding binding;
        ASSERT_EQ(1, binding.Load(Library("simaspi.dll").c_str()));
        EXPECT_EQ(2, binding.GetAdapterCount()) << high;
    }
}

// --- submission and completion -------------------------------------------

// Runs the command on a thread of its own: a wait that never ends fails the
// test instead of hanging it.
struct TimedCall {
    const AspiBus* bus;
    aspi::SRB_ExecSCSICmd* srb;
    int result;
};

static DWORD WINAPI RunTimedCall(void* param) {
    auto* call = static_cast<TimedCall*>(param);
    call->result = call->bus->ExecuteCommand(*call->srb);
    return 0;
}

static int ExecuteWithin(const AspiBus& bus, aspi::SRB_ExecSCSICmd& srb, DWORD ms, bool* finished) {
    static TimedCall call;  // outlives a thread that never returns
    call = {&bus, &srb, -1};
    HANDLE thread = CreateThread(nullptr, 0, RunTimedCall, &call, 0, nullptr);
    *finished = thread && WaitForSingleObject(thread, ms) == WAIT_OBJECT_0;
    if (thread) CloseHandle(thread);
    return call.result;
}

// A block the library completes at once is done; its event need not be set.
TEST(Execute, AnImmediateStatusIsNotWaitedFor) {
    SimBus sim("[bus]\ncompletion=sync\nsignal_sync=0\n[adapter.0]\n[device.0.2]\ntype=5\n");
    AspiBus bus;
    ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
    aspi::SRB_ExecSCSICmd srb = TestUnitReadyBlock(0, 2);
    bool finished = false;
    EXPECT_EQ(1, ExecuteWithin(bus, srb, 5000, &finished));
    ASSERT_TRUE(finished) << "waited for an event the library never sets";
}

// Only SRB_Status tells: the value returned may say otherwise.
TEST(Execute, TheStatusDecidesNotTheReturnValue) {
    const struct {
        const char* returned;
        const char* fail;
        int expected;
    } cases[] = {{"0x04", "", 1}, {"0x01", "tur", 0}, {"0x00", "", 1}, {"0x00", "tur", 0}};
    for (const auto& c : cases) {
        SimBus sim(std::string("[bus]\nreturn_status=") + c.returned +
                   "\n[adapter.0]\n[device.0.2]\ntype=5\nfail=" + c.fail + "\n");
        AspiBus bus;
        ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
        aspi::SRB_ExecSCSICmd srb = TestUnitReadyBlock(0, 2);
        EXPECT_EQ(c.expected, bus.ExecuteCommand(srb)) << c.returned << " " << c.fail;
    }
}

// A slow drive is waited for as long as it takes, up to the limit.
TEST(Execute, ASlowDriveIsWaitedForWithinTheLimit) {
    SimBus sim("[bus]\ncompletion=async\nlatency_ms=1500\n[adapter.0]\n[device.0.2]\ntype=5\n");
    AspiBus bus;
    ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
    aspi::SRB_ExecSCSICmd srb = TestUnitReadyBlock(0, 2);
    const DWORD start = GetTickCount();
    EXPECT_EQ(1, bus.ExecuteCommand(srb));
    EXPECT_GE(GetTickCount() - start, 1400u);
    EXPECT_EQ(aspi::SS_COMP, srb.SRB_Status);
}

class Execute : public ::testing::TestWithParam<const char*> {};

TEST_P(Execute, WaitsForCompletionAndClosesTheEvent) {
    SimBus sim(std::string("[bus]\ncompletion=") + GetParam() +
               "\nlatency_ms=30\n[adapter.0]\n[device.0.2]\ntype=5\n");
    AspiBus bus;
    ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
    sim.ClearLog();

    aspi::SRB_ExecSCSICmd srb = TestUnitReadyBlock(0, 2);
    const DWORD start = GetTickCount();
    EXPECT_EQ(1, bus.ExecuteCommand(srb));
    EXPECT_GE(GetTickCount() - start, 20u) << "returned before the command completed";
    EXPECT_EQ(aspi::SS_COMP, srb.SRB_Status);

    const auto requests = sim.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("event", requests[0]["post"]) << "no unsignalled event in SRB_PostProc";
    EXPECT_EQ("01", requests[0]["status"]);
    // The event was closed after the command.
    const auto handle = reinterpret_cast<HANDLE>(std::stoull(requests[0]["handle"], nullptr, 16));
    EXPECT_EQ(srb.SRB_PostProc, handle);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(handle, &flags));
}

TEST_P(Execute, ErrorStatusIsFailure) {
    SimBus sim(std::string("[bus]\ncompletion=") + GetParam() +
               "\n[adapter.0]\n[device.0.2]\ntype=5\nfail=tur\n");
    AspiBus bus;
    ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
    aspi::SRB_ExecSCSICmd srb = TestUnitReadyBlock(0, 2);
    EXPECT_EQ(0, bus.ExecuteCommand(srb));
    EXPECT_NE(aspi::SS_COMP, srb.SRB_Status);
    EXPECT_NE(aspi::SS_PENDING, srb.SRB_Status);
    // No device, bad adapter.
    srb = TestUnitReadyBlock(0, 5);
    EXPECT_EQ(0, bus.ExecuteCommand(srb));
    srb = TestUnitReadyBlock(9, 2);
    EXPECT_EQ(0, bus.ExecuteCommand(srb));
}

INSTANTIATE_TEST_SUITE_P(Completion, Execute, ::testing::Values("sync", "async"));

TEST(SendCommand, ReportsTheFinalStatus) {
    SimBus sim(kTwoAdapters);
    AspiBus bus;
    ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str()));
    aspi::SRB_GDEVBlock srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = aspi::SC_GET_DEV_TYPE;
    srb.SRB_Target = 2;
    EXPECT_EQ(1, bus.SendCommand(&srb));
    EXPECT_EQ(5, srb.SRB_DeviceType);
    srb.SRB_Target = 3;
    EXPECT_EQ(0, bus.SendCommand(&srb));
    EXPECT_EQ(aspi::SS_NO_DEVICE, srb.SRB_Status);
    srb.SRB_HaId = 2;
    EXPECT_EQ(0, bus.SendCommand(&srb));
    EXPECT_EQ(aspi::SS_INVALID_HA, srb.SRB_Status);
}
