// What ExecuteCommand costs over a bare call of the library's SendASPI32Command:
// one TEST UNIT READY at a time, on the simulated bus, for each completion mode
// and latency. Prints microseconds per command.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_util.h"
#include "bus.h"
#include "scsi_commands.h"

namespace {

using bench::BinDir;
using bench::Now;

struct Figures {
    double bare, executed;
};

Figures Measure(const std::string& folder, const char* completion, int latencyMs, int count) {
    const std::string busFile = folder + "bench_bus.ini";
    FILE* f = std::fopen(busFile.c_str(), "wb");
    std::fprintf(f, "[bus]\ncompletion=%s\nlatency_ms=%d\n[adapter.0]\n[device.0.2]\ntype=5\n",
                 completion, latencyMs);
    std::fclose(f);
    SetEnvironmentVariableA("SIMASPI_BUS", busFile.c_str());
    SetEnvironmentVariableA("SIMASPI_LOG", nullptr);
    SetEnvironmentVariableA("SIMASPI_STATE", nullptr);

    Figures out{};
    AspiBus bus;
    if (!bus.Load((BinDir() + "simaspi.dll").c_str())) return out;
    auto send = reinterpret_cast<aspi::SendASPI32CommandFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("simaspi.dll"), "SendASPI32Command")));

    // Bare: the library call and its own completion, with one event made
    // once, as a caller that keeps its event would do.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    double start = Now();
    for (int i = 0; i < count; ++i) {
        aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::TestUnitReady(), 0, 2, 0, nullptr);
        srb.SRB_PostProc = event;
        ResetEvent(event);
        if (send(&srb) == aspi::SS_PENDING) WaitForSingleObject(event, INFINITE);
    }
    out.bare = (Now() - start) / count * 1e6;
    CloseHandle(event);

    start = Now();
    for (int i = 0; i < count; ++i) {
        aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::TestUnitReady(), 0, 2, 0, nullptr);
        bus.ExecuteCommand(srb);
    }
    out.executed = (Now() - start) / count * 1e6;
    DeleteFileA(busFile.c_str());
    return out;
}

}  // namespace

int main() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::printf("%-6s %-8s %10s %14s %12s\n", "mode", "latency", "bare us", "Execute us",
                "overhead us");
    for (const char* mode : {"sync", "async"}) {
        for (int latency : {0, 1}) {
            const int count = latency ? 200 : 5000;
            const Figures f = Measure(temp, mode, latency, count);
            std::printf("%-6s %5d ms %10.2f %14.2f %12.2f\n", mode, latency, f.bare, f.executed,
                        f.executed - f.bare);
        }
    }
    return 0;
}
