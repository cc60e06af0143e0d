// A rescan of eight 52x CD-ROM drives on the simulated bus, each SCSI command
// taking 1 ms in the device. Prints the commands sent, the wall time, and the
// wall time over commands x 1 ms: the device's own time is the floor (1.00).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "appstate.h"
#include "bench_util.h"
#include "drive_events.h"
#include "drive_table.h"
#include "program_objects.h"

namespace {

// What a real 52x drive accepts: 4x, 8x, 12x, 16x, 24x, 32x, 40x, 48x, 52x.
const char* const kSpeeds = "706,1411,2117,2822,4234,5645,7056,8467,9173";
constexpr int kDrives = 8;
constexpr int kLatencyMs = 1;
constexpr int kRuns = 5;

using bench::BinDir;
using bench::Now;

std::string BusFile() {
    std::string s =
        "[bus]\nlatency_ms=" + std::to_string(kLatencyMs) + "\n[adapter.0]\ntargets=8\n";
    for (int t = 0; t < kDrives; ++t)
        s += "[device.0." + std::to_string(t) + "]\ntype=5\nvendor=SIMDISC\nproduct=52X DRIVE " +
             std::to_string(t) + "\nrevision=1.00\nspeeds=" + kSpeeds + "\n";
    return s;
}

// Loads the library afresh (it reads its environment at load), rescans once,
// and gives the seconds the rescan took.
double Rescan(const std::string& library) {
    if (!aspiBus.Load(library.c_str())) return -1;
    cdromDevice.bus = &aspiBus;
    const double start = Now();
    RescanDrives(nullptr);
    const double seconds = Now() - start;
    aspiBus.Unload();
    cdromDevice.bus = nullptr;
    return seconds;
}

// SCSI commands (SC_EXEC_SCSI_CMD) and all requests in a command log.
void CountLog(const std::string& path, int& commands, int& requests) {
    commands = requests = 0;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "srb ", 4) != 0) continue;
        ++requests;
        if (std::strstr(line, " cmd=02 ")) ++commands;
    }
    std::fclose(f);
}

}  // namespace

int main() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string busPath = std::string(temp) + "rescan_bench_bus.ini";
    const std::string logPath = std::string(temp) + "rescan_bench_log.txt";
    FILE* f = std::fopen(busPath.c_str(), "wb");
    if (!f) return 1;
    const std::string bus = BusFile();
    std::fwrite(bus.data(), 1, bus.size(), f);
    std::fclose(f);
    SetEnvironmentVariableA("SIMASPI_BUS", busPath.c_str());
    SetEnvironmentVariableA("SIMASPI_STATE", nullptr);

    appState = new AppState();
    const std::string library = BinDir() + "simaspi.dll";

    // One run with the command log, to count what a rescan sends.
    DeleteFileA(logPath.c_str());
    SetEnvironmentVariableA("SIMASPI_LOG", logPath.c_str());
    if (Rescan(library) < 0) {
        std::printf("cannot load %s\n", library.c_str());
        return 1;
    }
    int commands = 0, requests = 0;
    CountLog(logPath, commands, requests);
    DeleteFileA(logPath.c_str());
    SetEnvironmentVariableA("SIMASPI_LOG", nullptr);

    std::printf("rescan of %d drives, speeds %s KB/s, %d ms per SCSI command\n", kDrives, kSpeeds,
                kLatencyMs);
    std::printf("drives found %u, speeds each %u\n", appState->driveCount,
                appState->driveCount ? appState->drives[0].speedCount : 0);
    std::printf("SCSI commands sent %d (requests of every kind %d)\n", commands, requests);

    double best = 1e9, total = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double seconds = Rescan(library);
        best = std::min(best, seconds);
        total += seconds;
        std::printf("run %d: wall %.1f ms, wall / (commands x %d ms) = %.2f\n", run + 1,
                    seconds * 1e3, kLatencyMs, seconds * 1e3 / (commands * kLatencyMs));
    }
    std::printf("best: wall %.1f ms, ratio %.2f; mean: wall %.1f ms, ratio %.2f\n", best * 1e3,
                best * 1e3 / (commands * kLatencyMs), total / kRuns * 1e3,
                total / kRuns * 1e3 / (commands * kLatencyMs));

    DeleteFileA(busPath.c_str());
    delete appState;
    appState = nullptr;
    return 0;
}
