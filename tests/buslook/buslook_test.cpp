// The buslook listing, byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "buslook.h"
#include "sim_fixture.h"

using simtest::Library;
using simtest::SimBus;

namespace {

const std::string kBanner = "BUSLOOK for ASPI32  by QUILLAN\n";

std::string Listing(const std::string& library) {
    std::FILE* out = std::tmpfile();
    if (!out) return "(no temporary file)";
    ListBus(library.c_str(), out);
    std::string text;
    std::rewind(out);
    for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
    std::fclose(out);
    return text;
}

std::string ListingOf(const std::string& busFile) {
    SimBus sim(busFile);
    return Listing(Library("simaspi.dll"));
}

}  // namespace

TEST(Listing, OneDriveAndTheAdapter) {
    EXPECT_EQ(kBanner +
                  "\n"
                  " HOST ADAPTER #00  MDN:8 MTL:65536\n"
                  "  - #00:[CROM] SIMDISC   CD-ROM DRIVE      1.00\n"
                  "  - #07:[ADPT] ASPI for WIN32              SIMBUS          \n",
              ListingOf("[adapter.0]\ntargets=8\nscsi_id=7\nmax_transfer=65536\n"
                        "manager=ASPI for WIN32\nidentifier=SIMBUS\n"
                        "[device.0.0]\ntype=5\nvendor=SIMDISC\nproduct=CD-ROM DRIVE\n"
                        "revision=1.00\n"));
}

TEST(Listing, ShortAndFullFieldsArePadded) {
    EXPECT_EQ(kBanner +
                  "\n"
                  " HOST ADAPTER #00  MDN:4 MTL:0\n"
                  "  - #00:[ADPT]                                             \n"
                  "  - #01:[DISK] A         B                 C   \n"
                  "  - #02:[TAPE] ABCDEFGH  0123456789ABCDEF  WXYZ\n"
                  "  - #03:[COMM????]                                 \n",
              ListingOf("[adapter.0]\ntargets=4\nscsi_id=0\nmax_transfer=0\nmanager=\n"
                        "identifier=\n"
                        "[device.0.1]\ntype=0\nvendor=A\nproduct=B\nrevision=C\n"
                        "[device.0.2]\ntype=1\nvendor=ABCDEFGHIJ\n"
                        "product=0123456789ABCDEFGHIJ\nrevision=WXYZ1\n"
                        "[device.0.3]\ntype=9\nvendor=\nproduct=\nrevision=\n"));
}

TEST(Listing, AdapterIdPastTheScannedTargetsComesLast) {
    EXPECT_EQ(kBanner +
                  "\n"
                  " HOST ADAPTER #00  MDN:8 MTL:4096\n"
                  "  - #00:[DISK] V         P                 R   \n"
                  "  - #07:[CROM] V         P                 R   \n"
                  "  - #08:[ADPT] M                           I               \n",
              ListingOf("[adapter.0]\ntargets=8\nscsi_id=8\nmax_transfer=4096\nmanager=M\n"
                        "identifier=I\n"
                        "[device.0.0]\ntype=0\nvendor=V\nproduct=P\nrevision=R\n"
                        "[device.0.7]\ntype=5\nvendor=V\nproduct=P\nrevision=R\n"));
}

TEST(Listing, NoTargetsToScan) {
    EXPECT_EQ(kBanner +
                  "\n"
                  " HOST ADAPTER #00  MDN:0 MTL:65536\n"
                  "  - #07:[ADPT] M                           I               \n",
              ListingOf("[adapter.0]\ntargets=0\nscsi_id=7\nmax_transfer=65536\nmanager=M\n"
                        "identifier=I\n"
                        "[device.0.0]\ntype=5\nvendor=V\nproduct=P\nrevision=R\n"));
}

TEST(Listing, UnnamedTypesAndFailedInquiriesPrintNothing) {
    EXPECT_EQ(kBanner +
                  "\n"
                  " HOST ADAPTER #00  MDN:6 MTL:65536\n"
                  "  - #02:[WORM] V         P                 R   \n"
                  "  - #05:[ADPT] M                           I               \n",
              ListingOf("[adapter.0]\ntargets=6\nscsi_id=5\nmax_transfer=65536\nmanager=M\n"
                        "identifier=I\n"
                        "[device.0.0]\ntype=0x1f\nvendor=V\nproduct=P\nrevision=R\n"
                        "[device.0.1]\ntype=10\nvendor=V\nproduct=P\nrevision=R\n"
                        "[device.0.2]\ntype=4\nvendor=V\nproduct=P\nrevision=R\n"
                        "[device.0.3]\ntype=5\nfail=inquiry\n"
                        "[device.0.4]\ntype=5\nfail=devtype\n"));
}

TEST(Listing, FailingAdapterKeepsOnlyItsEmptyLine) {
    EXPECT_EQ(kBanner +
                  "\n"
                  "\n"
                  " HOST ADAPTER #01  MDN:1 MTL:-2147483648\n"
                  "  - #00:[OPTI] V         P                 R   \n"
                  "  - #09:[ADPT] M                           I               \n",
              ListingOf("[adapter.0]\nfail=1\n"
                        "[adapter.1]\ntargets=1\nscsi_id=9\nmax_transfer=0x80000000\n"
                        "manager=M\nidentifier=I\n"
                        "[device.1.0]\ntype=7\nvendor=V\nproduct=P\nrevision=R\n"));
}

TEST(Listing, AdapterNumbersAboveNine) {
    std::string bus = "[bus]\nadapters=12\n";
    std::string expected = kBanner;
    for (int a = 0; a < 12; ++a) {
        bus += "[adapter." + std::to_string(a) +
               "]\ntargets=0\nscsi_id=7\nmax_transfer=1\n"
               "manager=M\nidentifier=I\n";
        char header[64];
        std::snprintf(header, sizeof header, " HOST ADAPTER #%02d  MDN:0 MTL:1\n", a);
        expected += std::string("\n") + header +
                    "  - #07:[ADPT] M                           I               \n";
    }
    EXPECT_EQ(expected, ListingOf(bus));
}

TEST(Listing, SupportStatusOtherThanSuccessPrintsTheBannerOnly) {
    EXPECT_EQ(kBanner, ListingOf("[bus]\nstatus=0xe8\nadapters=1\n[adapter.0]\n"));
    EXPECT_EQ(kBanner, ListingOf("[bus]\nadapters=0\n"));
}

TEST(Listing, LibraryThatCannotBeBound) {
    SimBus sim("[adapter.0]\n");
    EXPECT_EQ(kBanner + "Create error.\n", Listing("NO_SUCH_ASPI_LIBRARY.DLL"));
    EXPECT_EQ(kBanner + "Create error.\n", Listing(Library("simaspi_nosend.dll")));
    EXPECT_EQ(nullptr, GetModuleHandleA("simaspi_nosend.dll"));
}

// --- the program itself -------------------------------------------------------

namespace {

struct ProgramRun {
    std::string out;
    DWORD exitCode = 0xDEAD;
};

// Runs a program with ASPILIB set to library (unset when null), collecting
// its standard output.
ProgramRun RunProgram(const std::string& exe, const char* library) {
    ProgramRun run;
    SetEnvironmentVariableA("ASPILIB", library);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + exe + "\"";
    const BOOL started = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    SetEnvironmentVariableA("ASPILIB", nullptr);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
            run.out.append(buffer, got);
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &run.exitCode);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    return run;
}

const char kDefaultListing[] =
    "BUSLOOK for ASPI32  by QUILLAN\r\n"
    "\r\n"
    " HOST ADAPTER #00  MDN:8 MTL:65536\r\n"
    "  - #00:[DISK] SIMDISK   HARD DISK         1.00\r\n"
    "  - #02:[CROM] SIMDISC   CD-ROM DRIVE      1.00\r\n"
    "  - #04:[CROM] SIMDISC   DVD-ROM DRIVE     2.10\r\n"
    "  - #07:[ADPT] ASPI for WIN32              SIMBUS          \r\n";

}  // namespace

// A console program's standard output is in text mode: each line ends in CR LF.
TEST(Program, ListsTheBuiltInBus) {
    SimBus sim;  // no bus file: the library's built-in bus
    const ProgramRun run =
        RunProgram(simtest::BinDir() + "buslook.exe", Library("simaspi.dll").c_str());
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(kDefaultListing, run.out);
}

TEST(Program, MissingLibraryEndsWithCodeZero) {
    const ProgramRun run =
        RunProgram(simtest::BinDir() + "buslook.exe", "NO_SUCH_ASPI_LIBRARY.DLL");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("BUSLOOK for ASPI32  by QUILLAN\r\nCreate error.\r\n", run.out);
}

// Without ASPILIB the program binds WNASPI32.DLL: here a copy of the simulated
// library under that name, beside a copy of the program. (ctest runs this
// suite with Wine told to prefer that file to its own WNASPI32.DLL.)
TEST(Program, WithoutAspilibBindsWnaspi32) {
    SimBus sim;
    const std::string exe = sim.Folder() + "buslook.exe";
    const std::string dll = sim.Folder() + "WNASPI32.DLL";
    ASSERT_TRUE(CopyFileA((simtest::BinDir() + "buslook.exe").c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(Library("simaspi.dll").c_str(), dll.c_str(), FALSE));
    const ProgramRun run = RunProgram(exe, nullptr);
    DeleteFileA(exe.c_str());
    DeleteFileA(dll.c_str());
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(kDefaultListing, run.out);
}
