// What the pass-through library adds to a command over its system's own time:
// TEST UNIT READY to the first drive of the fake system's built-in bus (no
// latency), first straight into the fake system, then through the library's
// test variant as a caller reaches it. Prints microseconds per command.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "bench_util.h"
#include "bus.h"
#include "passthrough.h"
#include "scsi_commands.h"
#include "system.h"

namespace {

using bench::Now;

constexpr int COUNT = 5000;
constexpr std::uint32_t TIMEOUT_SECONDS = 30;

double PerCommand(const std::function<void()>& command) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double start = Now();
        for (int i = 0; i < COUNT; ++i) command();
        best = std::min(best, (Now() - start) / COUNT * 1e6);
    }
    return best;
}

HANDLE posted = nullptr;
void __cdecl Posted(void*) { SetEvent(posted); }

}  // namespace

int main() {
    // The fake system alone: one pass-through request, as the library's runner makes it.
    HANDLE device = ptaspi::sys::Open("D:", GENERIC_READ | GENERIC_WRITE);
    auto* block = new ptaspi::PassThroughBlock;
    aspi::SRB_ExecSCSICmd tur = scsi::MakeRequest(scsi::TestUnitReady(), 0, 0, 0, nullptr);
    const double system = PerCommand([&] {
        ptaspi::Prepare(tur, TIMEOUT_SECONDS, *block);
        const DWORD length = offsetof(ptaspi::PassThroughBlock, data);  // no data moves
        DWORD returned = 0;
        ptaspi::sys::Control(device, IOCTL_SCSI_PASS_THROUGH, block, length, block, length,
                             &returned);
    });

    AspiBus bus;
    if (!bus.Load((bench::BinDir() + "ptaspi_fake.dll").c_str())) {
        std::printf("cannot load ptaspi_fake.dll\n");
        return 0;
    }
    auto send = reinterpret_cast<aspi::SendASPI32CommandFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ptaspi_fake.dll"), "SendASPI32Command")));
    const double sync = PerCommand([&] { bus.GetDeviceType(0, 0, 0); });
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const double roundTrip = PerCommand([&] {
        aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::TestUnitReady(), 0, 0, 0, nullptr);
        srb.SRB_PostProc = event;
        ResetEvent(event);
        if (send(&srb) == aspi::SS_PENDING) WaitForSingleObject(event, INFINITE);
    });
    const double executed = PerCommand([&] {
        aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::TestUnitReady(), 0, 0, 0, nullptr);
        bus.ExecuteCommand(srb);
    });
    posted = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const double posting = PerCommand([&] {
        aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::TestUnitReady(), 0, 0, 0, nullptr);
        srb.SRB_Flags = aspi::SRB_POSTING;
        srb.SRB_PostProc = reinterpret_cast<void*>(&Posted);
        if (send(&srb) == aspi::SS_PENDING) WaitForSingleObject(posted, INFINITE);
    });

    std::printf("%-44s %10s %12s\n", "TEST UNIT READY, best of 3 x 5000", "us/command",
                "over system");
    std::printf("%-44s %10.2f %12s\n", "fake system's pass-through alone", system, "-");
    std::printf("%-44s %10.2f %12s\n", "sync call (SC_GET_DEV_TYPE, no device I/O)", sync, "-");
    for (const auto& row : {std::make_pair("event round trip, one kept event", roundTrip),
                            std::make_pair("ExecuteCommand, an event per command", executed),
                            std::make_pair("posting round trip", posting)})
        std::printf("%-44s %10.2f %12.2f\n", row.first, row.second, row.second - system);
    CloseHandle(event);
    CloseHandle(posted);
    delete block;
    ptaspi::sys::Close(device);
    return 0;
}
