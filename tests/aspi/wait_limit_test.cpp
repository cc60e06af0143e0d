// A request the library does not complete in time: the wait ends at the
// limit, the library is asked to abort the request, the device is left alone
// until the request completes, and a late completion writes into memory the
// binding still holds.
//
// A library with a request it never completes cannot be unloaded, so every
// case here shares one bus, loaded once; each case has devices of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bus.h"
#include "scsi_commands.h"
#include "sim_fixture.h"

using simtest::Library;
using simtest::LogLine;
using simtest::MatchesPattern;
using simtest::SimBus;

namespace {

// The limit while a request is meant to hang: the wait ends there.
constexpr std::uint32_t LIMIT_MS = 300;
// The limit while a request is meant to come back: far beyond what one takes
// in the emulated 32-bit machine with the host busy (a library answering on a
// thread of its own can take longer than LIMIT_MS there).
constexpr std::uint32_t ANSWER_LIMIT_MS = 10000;
// Long enough for anything that does come back: a wait that never ends
// fails the case instead of hanging it.
constexpr DWORD RETURN_MS = 20000;

const char kBus[] =
    "[bus]\n"
    "completion=async\n"
    "[adapter.0]\n"
    "[adapter.1]\n"
    "[device.0.2]\ntype=5\nvendor=HUNG\nhang=inquiry\n"
    "[device.0.3]\ntype=5\nvendor=SIMDISC\nlate=inquiry:3\n"
    "[device.0.5]\ntype=5\nhang=tur\n"
    "[device.0.5.1]\ntype=5\nvendor=LUNONE\n"
    "[device.1.5]\ntype=5\nvendor=OTHERHA\n"
    "[device.0.6]\ntype=5\nhang=startstop\n";

// The bus and the binding, made before the first case. The requests the
// library never completes stay in memory the binding let go of.
struct Shared {
    SimBus sim{kBus};
    AspiBus bus;
};
Shared* shared = nullptr;

class WaitLimit : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new Shared;
        ASSERT_EQ(1, shared->bus.Load(Library("simaspi.dll").c_str()));
        shared->bus.SetWaitLimit(ANSWER_LIMIT_MS);
    }
    static void TearDownTestSuite() { delete shared; }
    void SetUp() override { shared->sim.ClearLog(); }
    AspiBus& Bus() { return shared->bus; }
    std::vector<LogLine> Requests() { return shared->sim.Requests(); }
};

struct Call {
    AspiBus* bus;
    aspi::SRB_ExecSCSICmd* srb;
    int result;
};

DWORD WINAPI RunCall(void* param) {
    auto* call = static_cast<Call*>(param);
    call->result = call->bus->ExecuteCommand(*call->srb);
    return 0;
}

// ExecuteCommand on a thread of its own; false when it has not returned.
bool Execute(AspiBus& bus, aspi::SRB_ExecSCSICmd& srb, int& result, DWORD* elapsedMs = nullptr) {
    static Call call;  // outlives a thread that never returns
    call = {&bus, &srb, -1};
    const DWORD start = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, RunCall, &call, 0, nullptr);
    const bool returned = thread && WaitForSingleObject(thread, RETURN_MS) == WAIT_OBJECT_0;
    if (elapsedMs) *elapsedMs = GetTickCount() - start;
    if (thread) CloseHandle(thread);
    result = call.result;
    return returned;
}

// The same for a request that is meant to hang: the wait gives up at
// LIMIT_MS; every other request has the long limit.
bool ExecuteHung(AspiBus& bus, aspi::SRB_ExecSCSICmd& srb, int& result,
                 DWORD* elapsedMs = nullptr) {
    bus.SetWaitLimit(LIMIT_MS);
    const bool returned = Execute(bus, srb, result, elapsedMs);
    bus.SetWaitLimit(ANSWER_LIMIT_MS);
    return returned;
}

std::string PointerHex(const void* p) {
    std::string hex;
    char byte[3];
    auto value = reinterpret_cast<std::uintptr_t>(p);
    for (std::size_t i = 0; i < sizeof p; ++i, value >>= 8) {
        std::snprintf(byte, sizeof byte, "%02x", unsigned(value & 0xFF));
        hex += byte;
    }
    return hex;
}

const aspi::SRB_ExecSCSICmd* KeptFor(const AspiBus& bus, std::uint8_t adapter,
                                     std::uint8_t target) {
    for (std::size_t i = 0; i < bus.AbandonedCount(); ++i) {
        const aspi::SRB_ExecSCSICmd* kept = bus.Abandoned(i);
        if (kept->SRB_HaId == adapter && kept->SRB_Target == target) return kept;
    }
    return nullptr;
}

bool AllBytesAre(const std::uint8_t* p, std::size_t n, std::uint8_t value) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != value) return false;
    return true;
}

}  // namespace

TEST_F(WaitLimit, AHungRequestEndsAtTheLimitWithAnAbortOfItsBlock) {
    std::uint8_t data[scsi::INQUIRY_DATA_LEN];
    std::memset(data, 0xAA, sizeof data);
    aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::Inquiry(), 0, 2, 0, data);
    int result = -1;
    DWORD elapsed = 0;
    ASSERT_TRUE(ExecuteHung(Bus(), srb, result, &elapsed)) << "the wait did not end";
    EXPECT_EQ(0, result);
    EXPECT_GE(elapsed + 20, LIMIT_MS) << "gave up before the limit";
    EXPECT_EQ(aspi::SS_ABORTED, srb.SRB_Status);
    EXPECT_EQ(aspi::HASTAT_COMMAND_TIMEOUT, srb.SRB_HaStat);
    EXPECT_EQ(data, srb.SRB_BufPointer) << "the caller's block keeps its own buffer";
    EXPECT_TRUE(AllBytesAre(data, sizeof data, 0xAA)) << "the caller's buffer was written";

    // The block the library holds is the binding's, with an event still open
    // for the library to signal.
    const aspi::SRB_ExecSCSICmd* kept = KeptFor(Bus(), 0, 2);
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(aspi::SS_PENDING, kept->SRB_Status);
    EXPECT_NE(data, kept->SRB_BufPointer);
    EXPECT_EQ(srb.SRB_PostProc, kept->SRB_PostProc);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(static_cast<HANDLE>(kept->SRB_PostProc), &flags));

    const auto requests = Requests();
    ASSERT_EQ(2u, requests.size());
    // The request as sent, byte for byte: the library got what the caller built.
    EXPECT_EQ("never", requests[0]["hold"]);
    EXPECT_EQ("00", requests[0]["status"]);
    std::string why;
    EXPECT_TRUE(MatchesPattern(requests[0]["raw"],
                               "02 00 00 48 00000000 02 00 0000 ff000000" + simtest::AnyPointer() +
                                   "0e 06 00 00" + PointerHex(kept->SRB_PostProc) +
                                   std::string(40, '0') + "12000000ff00" + std::string(20, '0') +
                                   std::string(32, '0'),
                               &why))
        << why;
    // The abort: SC_ABORT_SRB on the request's adapter, naming the block the
    // library holds; this library cannot abort it.
    EXPECT_EQ("03", requests[1]["cmd"]);
    EXPECT_EQ("03", requests[1]["status"]);
    EXPECT_TRUE(MatchesPattern(requests[1]["raw"], "03 00 00 00 00000000" + PointerHex(kept), &why))
        << why << " " << requests[1]["raw"];
}

TEST_F(WaitLimit, ADeviceStillHoldingARequestGetsNothingMore) {
    aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::TestUnitReady(), 0, 5, 0, nullptr);
    int result = -1;
    ASSERT_TRUE(ExecuteHung(Bus(), srb, result));
    ASSERT_EQ(0, result);
    shared->sim.ClearLog();

    // Every command to 0:5:0 fails at once, and none reaches the library.
    struct Case {
        scsi::Command command;
        std::uint8_t lun;
        std::uint8_t adapter;
        int expected;
    };
    const Case cases[] = {
        {scsi::Inquiry(), 0, 0, 0},
        {scsi::TestUnitReady(), 0, 0, 0},
        {scsi::ModeSense10(0x2A, aspi::SENSE_LEN), 0, 0, 0},
        {scsi::StartStopUnit(scsi::SSU_EJECT), 0, 0, 0},
        // The same target under another LUN, and under another adapter, is
        // another device.
        {scsi::Inquiry(), 1, 0, 1},
        {scsi::Inquiry(), 0, 1, 1},
    };
    std::size_t sent = 0;
    for (const Case& c : cases) {
        std::uint8_t data[scsi::MODE_SENSE_BUFFER_SIZE];
        std::memset(data, 0x55, sizeof data);
        aspi::SRB_ExecSCSICmd next = scsi::MakeRequest(c.command, c.adapter, 5, c.lun, data);
        ASSERT_TRUE(Execute(Bus(), next, result));
        EXPECT_EQ(c.expected, result) << int(c.command.cdb[0]) << " lun " << int(c.lun);
        if (c.expected) {
            ++sent;
            continue;
        }
        EXPECT_EQ(aspi::SS_ABORTED, next.SRB_Status);
        EXPECT_EQ(aspi::HASTAT_TIMEOUT, next.SRB_HaStat);
        EXPECT_TRUE(AllBytesAre(data, sizeof data, 0x55));
    }
    const auto requests = Requests();
    ASSERT_EQ(sent, requests.size());
    for (const auto& r : requests) EXPECT_EQ("5", r["tgt"]) << r["raw"];
    EXPECT_EQ("1", requests[0]["lun"]);
    EXPECT_EQ("1", requests[1]["ha"]);
    // The device type is the library's own answer, not the device's.
    EXPECT_EQ(5, Bus().GetDeviceType(0, 5, 0));
}

TEST_F(WaitLimit, ALateCompletionLandsInTheKeptBlockAndFreesTheDevice) {
    std::uint8_t data[scsi::INQUIRY_DATA_LEN];
    std::memset(data, 0xAA, sizeof data);
    aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::Inquiry(), 0, 3, 0, data);
    int result = -1;
    ASSERT_TRUE(ExecuteHung(Bus(), srb, result));
    ASSERT_EQ(0, result);
    EXPECT_EQ(aspi::SS_ABORTED, srb.SRB_Status);
    const aspi::SRB_ExecSCSICmd* kept = KeptFor(Bus(), 0, 3);
    ASSERT_NE(nullptr, kept);
    const std::size_t abandoned = Bus().AbandonedCount();

    // The library completes the request three seconds after it came, long
    // after the wait gave up, however slowly the wait's thread runs.
    ASSERT_EQ(WAIT_OBJECT_0,
              WaitForSingleObject(static_cast<HANDLE>(kept->SRB_PostProc), RETURN_MS));
    EXPECT_EQ(aspi::SS_COMP, kept->SRB_Status);
    EXPECT_EQ(0, std::memcmp(kept->SRB_BufPointer + 8, "SIMDISC ", 8));
    EXPECT_TRUE(AllBytesAre(data, sizeof data, 0xAA)) << "the late completion reached the caller";
    EXPECT_EQ(aspi::SS_ABORTED, srb.SRB_Status);
    const auto requests = Requests();
    // The abort, then the request, logged as it completes.
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("03", requests[0]["cmd"]);
    EXPECT_EQ("12000000ff00", requests[1]["cdb"]);
    EXPECT_EQ("3s", requests[1]["hold"]);
    EXPECT_EQ("01", requests[1]["status"]);

    // The device takes commands again, and the kept block is let go.
    shared->sim.ClearLog();
    aspi::SRB_ExecSCSICmd tur = scsi::MakeRequest(scsi::TestUnitReady(), 0, 3, 0, nullptr);
    ASSERT_TRUE(Execute(Bus(), tur, result));
    EXPECT_EQ(1, result);
    EXPECT_EQ(1u, Requests().size());
    EXPECT_EQ(abandoned - 1, Bus().AbandonedCount());
    EXPECT_EQ(nullptr, KeptFor(Bus(), 0, 3));
}

// The library's code stays while a request may still come back into it.
TEST_F(WaitLimit, UnloadKeepsALibraryThatMayStillComplete) {
    AspiBus other;
    ASSERT_EQ(1, other.Load(Library("simaspi_norescan.dll").c_str()));
    other.SetWaitLimit(LIMIT_MS);
    std::uint8_t data[scsi::START_STOP_DATA_LEN] = {};
    aspi::SRB_ExecSCSICmd srb =
        scsi::MakeRequest(scsi::StartStopUnit(scsi::SSU_EJECT), 0, 6, 0, data);
    int result = -1;
    ASSERT_TRUE(Execute(other, srb, result));
    ASSERT_EQ(0, result);
    EXPECT_EQ(1, other.Unload());
    EXPECT_NE(nullptr, GetModuleHandleA("simaspi_norescan.dll"));
    EXPECT_EQ(0, other.GetAdapterCount()) << "an unloaded binding sends nothing";
}
