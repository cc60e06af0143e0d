// The simulated bus library, driven the way a program drives a real ASPI32
// library: loaded from the test's own folder, raw request blocks through its
// entry points, the command log and the state file read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "aspi32.h"
#include "sim_fixture.h"

using namespace aspi;

namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(simtest::ReadFile(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Hex(const void* p, std::size_t n) {
    std::string s;
    char b[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", static_cast<const std::uint8_t*>(p)[i]);
        s += b;
    }
    return s;
}

template <typename Fn>
Fn Proc(HMODULE m, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

const char* const kEntryNames[9] = {
    "GetASPI32SupportInfo", "SendASPI32Command",      "GetASPI32Buffer",
    "FreeASPI32Buffer",     "TranslateASPI32Address", "GetASPI32DLLVersion",
    "ScsiRescan",           "RegisterASPI32Client",   "ReScanAdapters"};

// A CD-ROM drive at 0:3 and a few other devices, the base of most cases.
const char* const kDriveBus =
    "[adapter.0]\n"
    "[device.0.3]\n"
    "type=5\n"
    "vendor=SIMDISC\n"
    "product=CD-ROM DRIVE\n"
    "revision=1.00\n"
    "max_speed=7056\n"
    "current_speed=1408\n";

class SimBus : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        dir_ = std::string(tmp) + "simaspi_test_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
        bus_ = dir_ + "bus.ini";
        log_ = dir_ + "log.txt";
        state_ = dir_ + "state.txt";
        err_ = dir_ + "stderr.txt";
        control_ = dir_ + "control.txt";
    }

    void TearDown() override {
        Unload();
        for (const char* name : {"SIMASPI_BUS", "SIMASPI_LOG", "SIMASPI_STATE", "SIMASPI_CONTROL"})
            SetEnvironmentVariableA(name, nullptr);
        for (const std::string& f : {bus_, log_, state_, err_, control_}) DeleteFileA(f.c_str());
        RemoveDirectoryA(dir_.c_str());
    }

    // Loads the library over the given bus text (null: the built-in bus),
    // catching what it says on stderr.
    void Load(const char* busText, const char* dll = "simaspi.dll") {
        Unload();
        if (busText) {
            std::ofstream(bus_, std::ios::binary) << busText;
            SetEnvironmentVariableA("SIMASPI_BUS", bus_.c_str());
        } else {
            SetEnvironmentVariableA("SIMASPI_BUS", nullptr);
        }
        DeleteFileA(log_.c_str());
        DeleteFileA(state_.c_str());
        SetEnvironmentVariableA("SIMASPI_LOG", log_.c_str());
        SetEnvironmentVariableA("SIMASPI_STATE", state_.c_str());
        SetEnvironmentVariableA("SIMASPI_CONTROL", control_.c_str());
        HANDLE err = CreateFileA(err_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE old = GetStdHandle(STD_ERROR_HANDLE);
        SetStdHandle(STD_ERROR_HANDLE, err);
        dll_ = LoadLibraryA((simtest::BinDir() + dll).c_str());
        SetStdHandle(STD_ERROR_HANDLE, old);
        CloseHandle(err);
        ASSERT_NE(nullptr, dll_);
        support_ = Proc<GetASPI32SupportInfoFn>(dll_, "GetASPI32SupportInfo");
        send_ = Proc<SendASPI32CommandFn>(dll_, "SendASPI32Command");
    }

    void Unload() {
        if (dll_) FreeLibrary(dll_);
        dll_ = nullptr;
    }

    static SRB_ExecSCSICmd Block(std::uint8_t target, std::initializer_list<std::uint8_t> cdb,
                                 std::uint8_t flags = SRB_DIR_IN | SRB_EVENT_NOTIFY,
                                 std::uint8_t* buf = nullptr, std::uint32_t len = 0,
                                 std::uint8_t ha = 0) {
        SRB_ExecSCSICmd s;
        std::memset(&s, 0, sizeof s);
        s.SRB_Cmd = SC_EXEC_SCSI_CMD;
        s.SRB_HaId = ha;
        s.SRB_Flags = flags;
        s.SRB_Target = target;
        s.SRB_BufLen = len;
        s.SRB_BufPointer = buf;
        s.SRB_SenseLen = SENSE_LEN;
        s.SRB_CDBLen = std::uint8_t(cdb.size());
        std::memcpy(s.CDBByte, cdb.begin(), cdb.size());
        return s;
    }

    // Sends a block with a fresh event and waits for it as a program does.
    std::uint8_t Exec(SRB_ExecSCSICmd& s) {
        HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        s.SRB_PostProc = ev;
        if (send_(&s) == SS_PENDING) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ev, 10000));
        }
        CloseHandle(ev);
        return s.SRB_Status;
    }

    std::uint8_t Exec(std::uint8_t target, std::initializer_list<std::uint8_t> cdb,
                      std::uint8_t flags = SRB_DIR_IN | SRB_EVENT_NOTIFY,
                      std::uint8_t* buf = nullptr, std::uint32_t len = 0, std::uint8_t ha = 0) {
        SRB_ExecSCSICmd s = Block(target, cdb, flags, buf, len, ha);
        return Exec(s);
    }

    std::uint8_t HaInquiry(std::uint8_t ha, SRB_HAInquiry* out = nullptr) {
        SRB_HAInquiry s;
        std::memset(&s, 0, sizeof s);
        s.SRB_HaId = ha;
        send_(&s);
        if (out) *out = s;
        return s.SRB_Status;
    }

    // The device type, or the failing status + 0x100.
    int DevType(std::uint8_t target, std::uint8_t ha = 0) {
        SRB_GDEVBlock s;
        std::memset(&s, 0, sizeof s);
        s.SRB_Cmd = SC_GET_DEV_TYPE;
        s.SRB_HaId = ha;
        s.SRB_Target = target;
        std::uint32_t r = send_(&s);
        EXPECT_EQ(r, s.SRB_Status);
        return s.SRB_Status == SS_COMP ? s.SRB_DeviceType : 0x100 + s.SRB_Status;
    }

    std::vector<std::uint8_t> Sense(std::uint8_t target, std::uint8_t page,
                                    std::uint8_t* status = nullptr) {
        std::vector<std::uint8_t> buf(256, 0);
        std::uint8_t st = Exec(target, {0x5A, 0, page, 0, 0, 0, 0, 1, 0, 0, 0, 0},
                               SRB_DIR_IN | SRB_EVENT_NOTIFY, buf.data(), 255);
        if (status) *status = st;
        return buf;
    }

    std::uint16_t CurrentSpeed(std::uint8_t target) {
        std::vector<std::uint8_t> d = Sense(target, 0x2A);
        return std::uint16_t(d[22] << 8 | d[23]);
    }

    std::uint8_t SetSpeed(std::uint8_t target, std::uint16_t kbs) {
        return Exec(
            target,
            {0xBB, 0, std::uint8_t(kbs >> 8), std::uint8_t(kbs), 0xFF, 0xFF, 0, 0, 0, 0, 0, 0},
            SRB_DIR_OUT | SRB_EVENT_NOTIFY);
    }

    std::uint8_t SetInactivity(std::uint8_t target, std::vector<std::uint8_t> list) {
        return Exec(target, {0x55, 0x10, 0, 0, 0, 0, 0, 0, std::uint8_t(list.size()), 0, 0, 0},
                    SRB_DIR_OUT | SRB_EVENT_NOTIFY, list.data(), std::uint32_t(list.size()));
    }

    std::string dir_, bus_, log_, state_, err_, control_;
    HMODULE dll_ = nullptr;
    GetASPI32SupportInfoFn support_ = nullptr;
    SendASPI32CommandFn send_ = nullptr;
};

TEST_F(SimBus, VariantsExportTheirEntrySets) {
    const struct {
        const char* dll;
        const char* found;
    } variants[] = {
        {"simaspi.dll", "111111111"},
        {"simaspi_min.dll", "110000000"},
        {"simaspi_nosend.dll", "101111111"},
    };
    for (const auto& v : variants) {
        Load(nullptr, v.dll);
        std::string found;
        for (const char* name : kEntryNames) found += GetProcAddress(dll_, name) ? '1' : '0';
        EXPECT_EQ(v.found, found) << v.dll;
    }
}

TEST_F(SimBus, DefaultBus) {
    Load(nullptr);
    EXPECT_EQ(0x0101u, support_());
    SRB_HAInquiry ha;
    ASSERT_EQ(SS_COMP, HaInquiry(0, &ha));
    EXPECT_EQ(1, ha.HA_Count);
    EXPECT_EQ(7, ha.HA_SCSI_ID);
    EXPECT_EQ(0, std::memcmp(ha.HA_ManagerId, "ASPI for WIN32  ", 16));
    EXPECT_EQ(0, std::memcmp(ha.HA_Identifier, "SIMBUS          ", 16));
    const std::uint8_t unique[8] = {0, 0, 0, 8, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(0, std::memcmp(ha.HA_Unique, unique, 8));
    EXPECT_EQ(SS_INVALID_HA, HaInquiry(1));

    std::string types;
    for (std::uint8_t t = 0; t < 8; ++t) types += std::to_string(DevType(t)) + " ";
    EXPECT_EQ("0 386 5 386 5 386 386 386 ", types);  // 386: SS_NO_DEVICE

    const char* idents[] = {"SIMDISK HARD DISK       1.00", "SIMDISC CD-ROM DRIVE    1.00",
                            "SIMDISC DVD-ROM DRIVE   2.10"};
    std::uint8_t targets[] = {0, 2, 4};
    for (int i = 0; i < 3; ++i) {
        std::uint8_t buf[255] = {};
        ASSERT_EQ(SS_COMP, Exec(targets[i], {0x12, 0, 0, 0, 0xFF, 0}, 0x48, buf, 255));
        EXPECT_EQ(std::string(idents[i]), std::string((char*)buf + 8, 28));
    }
    EXPECT_EQ(7056, CurrentSpeed(2));
    EXPECT_EQ(8467, CurrentSpeed(4));
    EXPECT_EQ(std::vector<std::string>(
                  {"0:0:0 type=0 speed=0 tray=closed medium=1 locked=0 inactivity=0",
                   "0:2:0 type=5 speed=7056 tray=closed medium=1 locked=0 inactivity=0",
                   "0:4:0 type=5 speed=8467 tray=closed medium=1 locked=0 inactivity=0"}),
              Lines(state_));
}

TEST_F(SimBus, MalformedBusFileMeansNoAdapters) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"[bus]\n[bogus]\n", "2: unknown section [bogus]"},
        {"[device.0.300]\n", "1: unknown section [device.0.300]"},
        {"[bus]\n\n; note\nspeed=3\n", "4: unknown key 'speed' in [bus]"},
        {"[adapter.0]\ntargets=8x\n", "2: bad number '8x' for targets"},
        {"[device.0.1]\ntype=256\n", "2: bad number '256' for type"},
        {"[device.0.1]\ninactivity=16\n", "2: bad number '16' for inactivity"},
        {"[device.0.1]\nspeeds=704,-1\n", "2: bad number '-1' for speeds"},
        {"[device.0.1]\nfail=tur,eject\n", "2: unknown command 'eject' in fail"},
        {"[device.0.1]\ntray=ajar\n", "2: bad value 'ajar' for tray"},
        {"[device.0.1]\nvendor=A\\q\n", "2: bad escape in 'A\\q' for vendor"},
        {"type=5\n", "1: key outside a section: type"},
        {"[bus]\nadapters\n", "2: expected key=value: adapters"},
        {"[misbehave]\nerror_rate=101\n", "2: bad number '101' for error_rate"},
        {"[misbehave]\ndelay_max_ms=10001\n", "2: bad number '10001' for delay_max_ms"},
        {"[misbehave]\nrate=5\n", "2: unknown key 'rate' in [misbehave]"},
        {"[device.0.1]\nattention=medium,power\n", "2: bad value 'power' for attention"},
        {"[device.0.1]\nattention=\n", "2: bad value '' for attention"},
        {"[device.0.1]\nkeep_streaming=2\n", "2: bad number '2' for keep_streaming"},
        {"[device.0.1]\nhang=devtype\n", "2: unknown command 'devtype' in hang"},
        {"[device.0.1]\nhang=tur,read\n", "2: unknown command 'read' in hang"},
        {"[device.0.1]\nlate=tur\n", "2: bad pair 'tur' in late"},
        {"[device.0.1]\nlate=devtype:2\n", "2: unknown command 'devtype' in late"},
        {"[device.0.1]\nlate=tur:3601\n", "2: bad number '3601' for late"},
        {"[device.0.1]\nlate=tur:-1\n", "2: bad number '-1' for late"},
    };
    for (const auto& c : cases) {
        Load(c.text);
        EXPECT_EQ("simaspi: " + bus_ + ":" + c.message + "\n", simtest::ReadFile(err_)) << c.text;
        EXPECT_EQ(0xE800u, support_());
        EXPECT_EQ(SS_INVALID_HA, HaInquiry(0));
        EXPECT_EQ(0x100 + SS_INVALID_HA, DevType(1));
        EXPECT_EQ(SS_INVALID_HA, Exec(1, {0, 0, 0, 0, 0, 0}));
        SRB_Header odd = {SC_RESET_DEV, 0, 0, 0, 0};
        send_(&odd);
        EXPECT_EQ(SS_INVALID_HA, odd.SRB_Status);
    }
    SetEnvironmentVariableA("SIMASPI_BUS", (dir_ + "missing.ini").c_str());
    Unload();
    HANDLE err = CreateFileA(err_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE old = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, err);
    dll_ = LoadLibraryA((simtest::BinDir() + "simaspi.dll").c_str());
    SetStdHandle(STD_ERROR_HANDLE, old);
    CloseHandle(err);
    support_ = Proc<GetASPI32SupportInfoFn>(dll_, "GetASPI32SupportInfo");
    EXPECT_EQ("simaspi: " + dir_ + "missing.ini:0: cannot read the bus file\n",
              simtest::ReadFile(err_));
    EXPECT_EQ(0xE800u, support_());
}

TEST_F(SimBus, CommentsBlankLinesAndCrlf) {
    Load(
        "; a bus\r\n\r\n[bus]   ; the bus\r\nstatus=0x04 ; odd status\r\nadapters=3\r\n"
        "dll_version=0x04030201\r\n[adapter.1]\r\nmanager=MGR  ; padded\r\n");
    EXPECT_EQ("", simtest::ReadFile(err_));
    EXPECT_EQ(0x0403u, support_());
    EXPECT_EQ(0x04030201u, Proc<GetASPI32DLLVersionFn>(dll_, "GetASPI32DLLVersion")());
    SRB_HAInquiry ha;
    ASSERT_EQ(SS_COMP, HaInquiry(1, &ha));
    EXPECT_EQ(3, ha.HA_Count);
    EXPECT_EQ(0, std::memcmp(ha.HA_ManagerId, "MGR             ", 16));
    EXPECT_EQ(SS_COMP, HaInquiry(2));  // adapters without a section take the defaults
    EXPECT_EQ(SS_INVALID_HA, HaInquiry(3));
    // Each load reads its bus afresh.
    Load("[adapter.0]\n[adapter.1]\n");
    EXPECT_EQ(0x0102u, support_());
    // Without a count the highest section sets it; the gap holds a default adapter.
    Load("[adapter.0]\n[adapter.2]\nidentifier=THIRD\n");
    EXPECT_EQ(0x0103u, support_());
    ASSERT_EQ(SS_COMP, HaInquiry(2, &ha));
    EXPECT_EQ(0, std::memcmp(ha.HA_Identifier, "THIRD           ", 16));
    ASSERT_EQ(SS_COMP, HaInquiry(1, &ha));
    EXPECT_EQ(0, std::memcmp(ha.HA_Identifier, "SIMBUS          ", 16));
    Load("[device.0.1]\ntype=5\n");
    EXPECT_EQ(0x0100u, support_());  // no adapter section, no adapter
}

TEST_F(SimBus, StatusesAndInjectedFailures) {
    Load(
        "[bus]\nadapters=2\n[adapter.1]\nfail=1\n"
        "[device.0.1]\ntype=5\nfail=devtype,inquiry,tur\n"
        "[device.0.2]\ntype=5\nfail=setspeed,modesense2a,modesense0d,modeselect,startstop,"
        "prevent\n");
    EXPECT_EQ(SS_COMP, HaInquiry(0));
    EXPECT_EQ(SS_ERR, HaInquiry(1));
    EXPECT_EQ(SS_INVALID_HA, HaInquiry(2));
    EXPECT_EQ(0x100 + SS_ERR, DevType(1));
    EXPECT_EQ(5, DevType(2));
    EXPECT_EQ(0x100 + SS_NO_DEVICE, DevType(3));
    EXPECT_EQ(0x100 + SS_INVALID_HA, DevType(1, 2));
    EXPECT_EQ(SS_NO_DEVICE, Exec(3, {0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(SS_INVALID_HA, Exec(1, {0, 0, 0, 0, 0, 0}, 0x40, nullptr, 0, 9));

    std::uint8_t buf[255];
    EXPECT_EQ(SS_ERR, Exec(1, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, buf, 255));
    EXPECT_EQ(SS_ERR, Exec(1, {0, 0, 0, 0, 0, 0}, 0x40));
    EXPECT_EQ(SS_COMP, SetSpeed(1, 1408));
    EXPECT_EQ(SS_COMP, Exec(2, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, buf, 255));
    EXPECT_EQ(SS_COMP, Exec(2, {0, 0, 0, 0, 0, 0}, 0x40));
    EXPECT_EQ(SS_ERR, SetSpeed(2, 1408));
    std::uint8_t st;
    Sense(2, 0x2A, &st);
    EXPECT_EQ(SS_ERR, st);
    Sense(2, 0x0D, &st);
    EXPECT_EQ(SS_ERR, st);
    EXPECT_EQ(SS_ERR, SetInactivity(2, {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 6, 0, 1, 0, 0x3C, 0, 0x4B}));
    EXPECT_EQ(SS_ERR, Exec(2, {0x1B, 0, 0, 0, 2, 0}, 0x48, buf, 14));
    EXPECT_EQ(SS_ERR, Exec(2, {0x1E, 0, 0, 0, 1, 0}, 0x48, buf, 255));

    // A command the model does not know: READ(10), with CHECK CONDITION sense.
    SRB_ExecSCSICmd s = Block(1, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 0x48, buf, 255);
    EXPECT_EQ(SS_ERR, Exec(s));
    EXPECT_EQ(0x02, s.SRB_TargStat);
    EXPECT_EQ(0x70, s.SenseArea[0]);
    EXPECT_EQ(0x05, s.SenseArea[2]);
    EXPECT_EQ(0x20, s.SenseArea[12]);

    SRB_Header odd = {SC_RESET_DEV, 0, 0, 0, 0};
    EXPECT_EQ(SS_INVALID_CMD, send_(&odd));
    EXPECT_EQ(SS_INVALID_CMD, odd.SRB_Status);
}

TEST_F(SimBus, InquiryBytes) {
    Load(
        "[adapter.0]\n[device.0.1]\ntype=0x1F\nvendor=AB\\x01\\x3b\n"
        "product=ABCDEFGHIJKLMNOPQRS\nrevision=7\n"
        "[device.0.2]\ntype=1\n[device.0.3]\ntype=3\n[device.0.4]\ntype=4\n"
        "[device.0.5]\ntype=7\n[device.0.6]\ntype=8\n[device.0.7]\ntype=9\n[device.0.0]\n");
    std::uint8_t buf[64];
    std::memset(buf, 0xAA, sizeof buf);
    ASSERT_EQ(SS_COMP, Exec(1, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, buf, 64));
    const std::uint8_t expect[36] = {0x1F, 0,   2,   2,   31,  0,   0,   0,   'A', 'B', 1,   ';',
                                     ' ',  ' ', ' ', ' ', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',
                                     'I',  'J', 'K', 'L', 'M', 'N', 'O', 'P', '7', ' ', ' ', ' '};
    EXPECT_EQ(Hex(expect, 36), Hex(buf, 36));
    EXPECT_EQ(0xAA, buf[36]);

    // Never past SRB_BufLen, never past the allocation length.
    std::memset(buf, 0xAA, sizeof buf);
    ASSERT_EQ(SS_COMP, Exec(1, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, buf, 10));
    EXPECT_EQ(0xAA, buf[10]);
    EXPECT_EQ('B', buf[9]);
    std::memset(buf, 0xAA, sizeof buf);
    ASSERT_EQ(SS_COMP, Exec(1, {0x12, 0, 0, 0, 5, 0}, 0x48, buf, 64));
    EXPECT_EQ(0x1F, buf[4]);
    EXPECT_EQ(0xAA, buf[5]);

    std::string removable;
    for (std::uint8_t t = 0; t < 8; ++t) {
        std::uint8_t d[36] = {};
        ASSERT_EQ(SS_COMP, Exec(t, {0x12, 0, 0, 0, 36, 0}, 0x48, d, 36));
        removable += std::to_string(d[0]) + (d[1] == 0x80 ? "r " : " ");
    }
    EXPECT_EQ("0 31 1r 3 4r 7r 8r 9 ", removable);
}

TEST_F(SimBus, ModeSensePages) {
    Load(
        "[adapter.0]\n[device.0.3]\ntype=5\nmax_speed=7056\ncurrent_speed=1408\nlocked=1\n"
        "inactivity=5\n[device.0.4]\ntype=5\npages=2a\nlockable=0\n");
    std::vector<std::uint8_t> p = Sense(3, 0x2A);
    EXPECT_EQ(
        "0020000000000000"
        "2a18000000000300"
        "1b90000000000580"
        "0000000000000000"
        "0000"
        "0000",
        Hex(p.data(), 36));
    p = Sense(3, 0x0D);
    EXPECT_EQ(
        "000e000000000000"
        "0d060005003c004b"
        "0000",
        Hex(p.data(), 18));

    std::uint8_t st;
    Sense(4, 0x0D, &st);
    EXPECT_EQ(SS_ERR, st);
    Sense(3, 0x0E, &st);
    EXPECT_EQ(SS_ERR, st);
    p = Sense(4, 0x2A, &st);
    EXPECT_EQ(SS_COMP, st);
    EXPECT_EQ(0x00, p[14]);            // neither lockable nor locked
    EXPECT_EQ(7056, CurrentSpeed(4));  // defaults: the highest of the default speeds

    std::uint8_t small[16];
    std::memset(small, 0xAA, sizeof small);
    ASSERT_EQ(SS_COMP, Exec(3, {0x5A, 0, 0x2A, 0, 0, 0, 0, 1, 0, 0, 0, 0}, 0x48, small, 12));
    EXPECT_EQ("00200000000000002a180000aaaaaaaa", Hex(small, 16));

    // Mode pages belong to CD-ROM drives only.
    Load("[adapter.0]\n[device.0.1]\ntype=0\n");
    Sense(1, 0x2A, &st);
    EXPECT_EQ(SS_ERR, st);
    EXPECT_EQ(SS_ERR, SetSpeed(1, 1408));
}

TEST_F(SimBus, SpeedPolicies) {
    const struct {
        const char* keys;
        std::uint16_t request, expect;
    } cases[] = {
        {"", 1, 704},
        {"", 704, 704},
        {"", 705, 1408},
        {"", 7057, 7056},
        {"", 0xFFFF, 7056},
        {"speed_policy=floor", 1, 704},
        {"speed_policy=floor", 2815, 1408},
        {"speed_policy=floor", 2816, 2816},
        {"speed_policy=floor", 9000, 7056},
        {"speed_policy=nearest", 2500, 2816},
        {"speed_policy=nearest", 2112, 2816},
        {"speed_policy=nearest", 2111, 1408},
        {"speed_policy=nearest", 1, 704},
        {"speed_policy=nearest", 60000, 7056},
        {"speed_map=1408:704,2816:1408", 1408, 704},
        {"speed_map=1408:704,2816:1408", 2816, 1408},
        {"speed_map=1408:704,2816:1408", 2817, 4224},
        {"max_speed=8000", 0xFFFF, 8000},
        {"speeds=\nmax_speed=0", 1234, 1234},
        {"speeds=\nmax_speed=1000", 1234, 1000},
    };
    for (const auto& c : cases) {
        std::string text =
            std::string("[adapter.0]\n[device.0.3]\ntype=5\ncurrent_speed=100\n") + c.keys + "\n";
        Load(text.c_str());
        ASSERT_EQ("", simtest::ReadFile(err_)) << c.keys;
        ASSERT_EQ(SS_COMP, SetSpeed(3, c.request));
        EXPECT_EQ(c.expect, CurrentSpeed(3)) << c.keys << " request " << c.request;
    }

    // 64 speeds and more are kept.
    std::string speeds;
    for (int i = 1; i <= 70; ++i) speeds += (i > 1 ? "," : "") + std::to_string(i * 100);
    Load(("[adapter.0]\n[device.0.3]\ntype=5\nspeeds=" + speeds + "\n").c_str());
    EXPECT_EQ(7000, CurrentSpeed(3));
    SetSpeed(3, 6550);
    EXPECT_EQ(6600, CurrentSpeed(3));
    EXPECT_EQ("0:3:0 type=5 speed=6600 tray=closed medium=1 locked=0 inactivity=0\n",
              simtest::ReadFile(state_));
}

TEST_F(SimBus, TrayLockAndMedium) {
    Load(
        "[adapter.0]\n[device.0.3]\ntype=5\n[device.0.5]\ntype=5\nmedium=0\n"
        "[device.0.6]\ntype=1\ntray=open\n[device.0.7]\ntype=0\n[device.0.1]\ntype=4\nlockable="
        "0\n");
    std::uint8_t buf[255];
    auto tur = [&](std::uint8_t t) { return Exec(t, {0, 0, 0, 0, 0, 0}, 0x40); };
    auto startStop = [&](std::uint8_t t, std::uint8_t b4) {
        return Exec(t, {0x1B, 0, 0, 0, b4, 0}, 0x48, buf, 14);
    };
    auto prevent = [&](std::uint8_t t, std::uint8_t b4) {
        return Exec(t, {0x1E, 0, 0, 0, b4, 0}, 0x48, buf, 255);
    };
    EXPECT_EQ(SS_COMP, tur(3));
    EXPECT_EQ(SS_ERR, tur(5));
    EXPECT_EQ(SS_ERR, tur(6));
    EXPECT_EQ(SS_COMP, tur(7));

    ASSERT_EQ(SS_COMP, prevent(3, 1));
    EXPECT_EQ(0x03, Sense(3, 0x2A)[14]);
    SRB_ExecSCSICmd eject = Block(3, {0x1B, 0, 0, 0, 2, 0}, 0x48, buf, 14);
    EXPECT_EQ(SS_ERR, Exec(eject));
    EXPECT_EQ(0x53, eject.SenseArea[12]);
    EXPECT_EQ(SS_COMP, tur(3));  // still closed
    EXPECT_EQ("0:3:0 type=5 speed=7056 tray=closed medium=1 locked=1 inactivity=0",
              Lines(state_)[1]);

    ASSERT_EQ(SS_COMP, prevent(3, 0));
    EXPECT_EQ(0x01, Sense(3, 0x2A)[14]);
    ASSERT_EQ(SS_COMP, startStop(3, 2));
    SRB_ExecSCSICmd notReady = Block(3, {0, 0, 0, 0, 0, 0}, 0x40);
    EXPECT_EQ(SS_ERR, Exec(notReady));
    EXPECT_EQ(0x02, notReady.SenseArea[2]);
    EXPECT_EQ(0x3A, notReady.SenseArea[12]);
    EXPECT_EQ("0:3:0 type=5 speed=7056 tray=open medium=1 locked=0 inactivity=0", Lines(state_)[1]);
    ASSERT_EQ(SS_COMP, startStop(3, 1));  // spindle only: tray stays open
    EXPECT_EQ(SS_ERR, tur(3));
    ASSERT_EQ(SS_COMP, startStop(3, 3));
    EXPECT_EQ(SS_COMP, tur(3));

    // Other removable classes answer too; a disk does not; a drive without a lock refuses it.
    ASSERT_EQ(SS_COMP, startStop(6, 3));
    EXPECT_EQ(SS_COMP, tur(6));
    EXPECT_EQ(SS_COMP, prevent(6, 1));
    EXPECT_EQ(SS_ERR, startStop(6, 2));
    EXPECT_EQ(SS_ERR, startStop(7, 2));
    EXPECT_EQ(SS_ERR, prevent(7, 1));
    EXPECT_EQ(SS_ERR, prevent(1, 1));
    EXPECT_EQ(SS_COMP, prevent(1, 0));
    EXPECT_EQ(SS_ERR, SetSpeed(6, 1408));
    EXPECT_EQ(std::vector<std::string>(
                  {"0:1:0 type=4 speed=0 tray=closed medium=1 locked=0 inactivity=0",
                   "0:3:0 type=5 speed=7056 tray=closed medium=1 locked=0 inactivity=0",
                   "0:5:0 type=5 speed=7056 tray=closed medium=0 locked=0 inactivity=0",
                   "0:6:0 type=1 speed=0 tray=closed medium=1 locked=1 inactivity=0",
                   "0:7:0 type=0 speed=0 tray=closed medium=1 locked=0 inactivity=0"}),
              Lines(state_));
}

TEST_F(SimBus, ModeSelectSetsInactivity) {
    Load(kDriveBus);
    ASSERT_EQ(SS_COMP,
              SetInactivity(3, {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 6, 0, 0x0F, 0, 0x3C, 0, 0x4B}));
    EXPECT_EQ(0x0F, Sense(3, 0x0D)[11]);
    EXPECT_EQ("0:3:0 type=5 speed=1408 tray=closed medium=1 locked=0 inactivity=15\n",
              simtest::ReadFile(state_));
    // With an 8-byte block descriptor before the page; the high nibble is not the code's.
    ASSERT_EQ(SS_COMP, SetInactivity(3, {0, 0, 0, 0, 0,    0, 0, 8,    0, 0,    0, 0,
                                         0, 0, 8, 0, 0x0D, 6, 0, 0x23, 0, 0x3C, 0, 0x4B}));
    EXPECT_EQ(0x03, Sense(3, 0x0D)[11]);
    // Another page, a list too short, a length beyond the buffer: refused, code kept.
    EXPECT_EQ(SS_ERR, SetInactivity(3, {0, 0, 0, 0, 0, 0, 0, 0, 0x2A, 6, 0, 0x07, 0, 0, 0, 0}));
    EXPECT_EQ(SS_ERR, SetInactivity(3, {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 6}));
    std::uint8_t list[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 6, 0, 0x07};
    EXPECT_EQ(SS_ERR, Exec(3, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0}, 0x50, list, 11));
    EXPECT_EQ(0x03, Sense(3, 0x0D)[11]);
}

TEST_F(SimBus, CommandLog) {
    Load(kDriveBus);
    auto reg = Proc<RegisterASPI32ClientFn>(dll_, "RegisterASPI32Client");
    reg(0x1234);
    Proc<RescanFn>(dll_, "ScsiRescan")();
    Proc<RescanFn>(dll_, "ReScanAdapters")();
    Proc<GetASPI32DLLVersionFn>(dll_, "GetASPI32DLLVersion")();
    support_();
    HaInquiry(0);
    DevType(3);

    SRB_ExecSCSICmd tur = Block(3, {0, 0, 0, 0, 0, 0}, 0x40);
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    tur.SRB_PostProc = ev;
    std::string raw = Hex(&tur, sizeof tur);
    ASSERT_EQ(SS_COMP, send_(&tur));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ev, 0));  // signalled, as a real library does
    char handle[32];
    std::snprintf(handle, sizeof handle, "0x%llx", (unsigned long long)(std::uintptr_t)ev);

    std::uint8_t list[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 6, 0, 0x0F, 0, 0x3C, 0, 0x4B};
    SRB_ExecSCSICmd sel = Block(3, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0}, 0x50, list, 16);
    sel.SRB_PostProc = ev;  // already signalled: not a usable completion event
    send_(&sel);
    CloseHandle(ev);
    SRB_ExecSCSICmd plain = Block(3, {0x1E, 0, 0, 0, 1, 0}, 0x08);
    send_(&plain);

    std::vector<std::string> lines = Lines(log_);
    ASSERT_EQ(10u, lines.size());
    EXPECT_EQ("call=RegisterASPI32Client value=0x00001234", lines[0]);
    EXPECT_EQ("call=ScsiRescan", lines[1]);
    EXPECT_EQ("call=ReScanAdapters", lines[2]);
    EXPECT_EQ("call=GetASPI32DLLVersion result=0x00000000", lines[3]);
    EXPECT_EQ("call=GetASPI32SupportInfo result=0x0101", lines[4]);
    EXPECT_EQ(
        "srb cmd=00 ha=0 tgt=0 lun=0 flags=00 buflen=0 senselen=0 cdblen=0 cdb= post=none "
        "status=01 raw=" +
            std::string(120, '0'),
        lines[5]);
    EXPECT_EQ(
        "srb cmd=01 ha=0 tgt=3 lun=0 flags=00 buflen=0 senselen=0 cdblen=0 cdb= post=none "
        "status=01 raw=010000000000000003000000",
        lines[6]);
    EXPECT_EQ(
        "srb cmd=02 ha=0 tgt=3 lun=0 flags=40 buflen=0 senselen=14 cdblen=6 cdb=000000000000 "
        "post=event handle=" +
            std::string(handle) + " status=01 raw=" + raw,
        lines[7]);
    EXPECT_NE(std::string::npos,
              lines[8].find(" cdblen=12 cdb=551000000000000010000000 post=bad handle="));
    EXPECT_NE(std::string::npos,
              lines[8].find(" status=01 raw=" + Hex(&sel, sizeof sel).replace(2, 2, "00") +
                            " data=00000000000000000d06000f003c004b"));
    EXPECT_NE(std::string::npos,
              lines[9].find(" flags=08 buflen=0 senselen=14 cdblen=6 cdb=1e0000000100 "
                            "post=none handle=0x0 status=01 raw="));
}

TEST_F(SimBus, AsyncCompletionSignalsTheEvent) {
    Load((std::string("[bus]\ncompletion=async\nlatency_ms=200\n") + kDriveBus + "fail=tur\n")
             .c_str());
    std::uint8_t buf[255] = {};
    SRB_ExecSCSICmd inq = Block(3, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, buf, 255);
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    inq.SRB_PostProc = ev;
    ASSERT_EQ(SS_PENDING, send_(&inq));
    EXPECT_EQ(SS_PENDING, inq.SRB_Status);
    EXPECT_TRUE(Lines(log_).empty());  // logged when it completes
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ev, 10000));
    EXPECT_EQ(SS_COMP, inq.SRB_Status);
    EXPECT_EQ("SIMDISC ", std::string((char*)buf + 8, 8));
    ASSERT_EQ(1u, Lines(log_).size());
    EXPECT_NE(std::string::npos, Lines(log_)[0].find(" post=event handle="));

    // Errors found by the device come the same way; address faults at once.
    ResetEvent(ev);
    SRB_ExecSCSICmd tur = Block(3, {0, 0, 0, 0, 0, 0}, 0x40);
    tur.SRB_PostProc = ev;
    ASSERT_EQ(SS_PENDING, send_(&tur));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ev, 10000));
    EXPECT_EQ(SS_ERR, tur.SRB_Status);
    ResetEvent(ev);
    SRB_ExecSCSICmd none = Block(4, {0, 0, 0, 0, 0, 0}, 0x40);
    none.SRB_PostProc = ev;
    EXPECT_EQ(SS_NO_DEVICE, send_(&none));
    EXPECT_EQ(SS_NO_DEVICE, none.SRB_Status);
    CloseHandle(ev);
    EXPECT_EQ(SS_COMP, HaInquiry(0));  // library-internal requests never pend
}

// The misbehaving bus: a CD-ROM drive and a disk, every decision from the seed.
std::string Misbehaving(const char* keys, unsigned seed = 7) {
    return std::string("[misbehave]\nseed=") + std::to_string(seed) + "\n" + keys + kDriveBus +
           "[device.0.1]\ntype=0\nvendor=SIMDISK\nproduct=HARD DISK\nrevision=1.00\n";
}

TEST_F(SimBus, MisbehaviourReplaysFromItsSeed) {
    const char* keys =
        "error_rate=20\nshort_rate=20\nnonsense_rate=30\ntext_rate=30\n"
        "type_rate=10\nlong_length_rate=10\n";
    // What the host sees of sixty commands: status and reply bytes.
    auto run = [&](unsigned seed) {
        Load(Misbehaving(keys, seed).c_str());
        std::string seen;
        for (int i = 0; i < 20; ++i) {
            std::uint8_t st;
            std::vector<std::uint8_t> a = Sense(3, 0x2A, &st);
            seen += Hex(&st, 1) + Hex(a.data(), 32);
            std::uint8_t inq[255] = {};
            std::uint8_t s2 = Exec(3, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, inq, 255);
            seen += Hex(&s2, 1) + Hex(inq, 36);
            seen += std::to_string(DevType(3)) + ";";
        }
        return seen;
    };
    const std::string first = run(7);
    EXPECT_EQ(first, run(7));
    EXPECT_NE(first, run(8));
    // Without the section the same commands meet a well-behaved drive.
    Load(kDriveBus);
    for (int i = 0; i < 20; ++i) {
        std::uint8_t st;
        Sense(3, 0x2A, &st);
        EXPECT_EQ(SS_COMP, st);
        EXPECT_EQ(5, DevType(3));
    }
    EXPECT_EQ(std::string::npos, simtest::ReadFile(log_).find("chaos="));
}

TEST_F(SimBus, MisbehaviourErrorStatuses) {
    Load(Misbehaving("error_rate=100\n").c_str());
    std::set<unsigned> statuses;
    for (int i = 0; i < 60; ++i) statuses.insert(Exec(3, {0, 0, 0, 0, 0, 0}, 0x40));
    EXPECT_EQ((std::set<unsigned>{SS_ABORTED, SS_ABORT_FAIL, SS_ERR, SS_INVALID_HA, SS_NO_DEVICE}),
              statuses);
    // Library-internal requests are not SCSI commands: they still answer.
    EXPECT_EQ(SS_COMP, HaInquiry(0));
    EXPECT_EQ(5, DevType(3));
    const std::vector<std::string> lines = Lines(log_);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find(" chaos=status-")) << lines[0];
}

TEST_F(SimBus, MisbehaviourInquiryTexts) {
    Load(Misbehaving("text_rate=100\n").c_str());
    bool control = false, noBlanks = false, ff = false, lead = false;
    for (int i = 0; i < 80; ++i) {
        std::uint8_t inq[255];
        std::memset(inq, 0, sizeof inq);
        ASSERT_EQ(SS_COMP, Exec(3, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, inq, 255));
        EXPECT_EQ(5, inq[0]);
        bool blank = false;
        for (int at = 8; at < 36; ++at) {
            control |= inq[at] < 0x20 || inq[at] == 0x7F;
            blank |= inq[at] == ' ';
            ff |= inq[at] == 0xFF;
        }
        noBlanks |= !blank;
        lead |= inq[15] == 0x81 && inq[31] == 0x81 && inq[35] == 0x81;
    }
    EXPECT_TRUE(control && noBlanks && ff && lead) << control << noBlanks << ff << lead;
}

TEST_F(SimBus, MisbehaviourModePages) {
    Load(Misbehaving("nonsense_rate=100\n").c_str());
    std::set<std::string> kinds;
    for (int i = 0; i < 80; ++i) {
        std::uint8_t st;
        std::vector<std::uint8_t> d = Sense(3, 0x2A, &st);
        ASSERT_EQ(SS_COMP, st);
        const unsigned max = d[16] << 8 | d[17], cur = d[22] << 8 | d[23];
        if (max == 0) kinds.insert("max 0");
        if (max == 0xFFFF) kinds.insert("max ffff");
        if (cur == 0) kinds.insert("current 0");
        if (cur == 0xFFFF) kinds.insert("current ffff");
        if (cur > max && cur != 0xFFFF) kinds.insert("current above max");
        if (d[14] != 0x01) kinds.insert("lock bits");  // lockable, not locked
        std::vector<std::uint8_t> c = Sense(3, 0x0D, &st);
        if ((c[8] & 0x3F) != 0x0D)
            kinds.insert("page code");
        else if (c[11] > 15)
            kinds.insert("inactivity byte");
    }
    EXPECT_EQ(
        (std::set<std::string>{"current 0", "current above max", "current ffff", "inactivity byte",
                               "lock bits", "max 0", "max ffff", "page code"}),
        kinds);
}

TEST_F(SimBus, MisbehaviourShortRepliesAndLongLengths) {
    Load(Misbehaving("short_rate=100\n").c_str());
    for (int i = 0; i < 20; ++i) {
        std::vector<std::uint8_t> buf(255, 0xAA);
        ASSERT_EQ(SS_COMP,
                  Exec(3, {0x5A, 0, 0x2A, 0, 0, 0, 0, 1, 0, 0, 0, 0}, 0x48, buf.data(), 255));
        // Fewer than the 34 bytes of the page: what was not sent is as the host left it.
        std::size_t sent = 0;
        while (sent < buf.size() && buf[sent] != 0xAA) ++sent;
        EXPECT_LT(sent, 34u);
        EXPECT_EQ(0xAA, buf[34]);
    }
    Load(Misbehaving("long_length_rate=100\n").c_str());
    for (int i = 0; i < 20; ++i) {
        std::vector<std::uint8_t> d = Sense(3, 0x2A);
        EXPECT_GT(unsigned(d[0] << 8 | d[1]), 255u);
        EXPECT_EQ(0x2A, d[8]);
    }
}

TEST_F(SimBus, MisbehaviourTypesDevicesAndAdapters) {
    Load(Misbehaving("type_rate=100\n").c_str());
    for (int i = 0; i < 20; ++i) {
        EXPECT_NE(5, DevType(3));
        EXPECT_NE(0, DevType(1));
    }
    Load(Misbehaving("vanish_rate=100\n").c_str());
    EXPECT_EQ(0x0101u, support_());
    Proc<RescanFn>(dll_, "ScsiRescan")();
    // Every device has gone; the adapter went too, or stayed with nothing behind it.
    const std::uint32_t word = support_();
    if (word == 0x0101u) {
        EXPECT_EQ(0x100 + SS_NO_DEVICE, DevType(3));
        EXPECT_EQ(SS_NO_DEVICE, Exec(3, {0, 0, 0, 0, 0, 0}, 0x40));
    } else {
        EXPECT_EQ(0x0100u, word);
        EXPECT_EQ(SS_INVALID_HA, HaInquiry(0));
    }
    EXPECT_NE(std::string::npos,
              simtest::ReadFile(state_).find(
                  "0:3:0 type=5 speed=1408 tray=closed medium=1 locked=0 inactivity=0 absent=1"));
    EXPECT_NE(std::string::npos, simtest::ReadFile(log_).find("call=ScsiRescan chaos=device-gone"));
    // The next rescan brings every device back.
    Proc<RescanFn>(dll_, "ReScanAdapters")();
    EXPECT_EQ(std::string::npos, simtest::ReadFile(state_).find("absent=1"));
    if (support_() == 0x0101u) {
        EXPECT_EQ(5, DevType(3));
    }
}

TEST_F(SimBus, MisbehaviourLateCompletion) {
    Load(Misbehaving("async_rate=100\ndelay_max_ms=40\n").c_str());
    for (int i = 0; i < 10; ++i) {
        std::uint8_t inq[255] = {};
        SRB_ExecSCSICmd s = Block(3, {0x12, 0, 0, 0, 0xFF, 0}, 0x48, inq, 255);
        HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        s.SRB_PostProc = ev;
        ASSERT_EQ(SS_PENDING, send_(&s));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ev, 10000));
        CloseHandle(ev);
        EXPECT_EQ(SS_COMP, s.SRB_Status);
        EXPECT_EQ("SIMDISC ", std::string(reinterpret_cast<char*>(inq) + 8, 8));
    }
}

}  // namespace

// hang= holds a command for good: pending, no event, no callback; late=
// completes it after its seconds. Other commands of the device, and the same
// command on other devices, complete as usual. Nothing held can be aborted.
TEST_F(SimBus, HeldRequests) {
    Load(
        "[bus]\ncompletion=sync\n[adapter.0]\n"
        "[device.0.3]\ntype=5\nvendor=SIMDISC\nhang=modesense2a,startstop\n"
        "[device.0.4]\ntype=5\nvendor=SIMDISC\nlate=inquiry:1,tur:2\n");
    struct Case {
        std::uint8_t target;
        std::vector<std::uint8_t> cdb;
        const char* hold;
    };
    const Case cases[] = {
        {3, {0x5A, 0, 0x2A, 0, 0, 0, 0, 1, 0, 0, 0, 0}, "never"},
        {3, {0x1B, 0, 0, 0, 2, 0}, "never"},
        {3, {0x5A, 0, 0x0D, 0, 0, 0, 0, 1, 0, 0, 0, 0}, ""},
        {3, {0x12, 0, 0, 0, 0xFF, 0}, ""},
        {4, {0x12, 0, 0, 0, 0xFF, 0}, "1s"},
        {4, {0, 0, 0, 0, 0, 0}, "2s"},
        {4, {0x5A, 0, 0x2A, 0, 0, 0, 0, 1, 0, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) {
        DeleteFileA(log_.c_str());
        std::uint8_t buf[256] = {};
        SRB_ExecSCSICmd s = Block(c.target, {0}, SRB_DIR_IN | SRB_EVENT_NOTIFY, buf, 255);
        s.SRB_CDBLen = std::uint8_t(c.cdb.size());
        std::memcpy(s.CDBByte, c.cdb.data(), c.cdb.size());
        HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        s.SRB_PostProc = ev;
        const DWORD start = GetTickCount();
        const std::uint32_t returned = send_(&s);
        const std::string what = std::to_string(c.target) + " " + Hex(c.cdb.data(), c.cdb.size());
        if (std::string(c.hold) == "never") {
            EXPECT_EQ(SS_PENDING, returned) << what;
            EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ev, 300)) << what;
            EXPECT_EQ(SS_PENDING, s.SRB_Status) << what;
            EXPECT_EQ(0, buf[0]) << what;
            // The request is logged when it arrives.
            const auto lines = Lines(log_);
            ASSERT_EQ(1u, lines.size()) << what;
            EXPECT_NE(std::string::npos, lines[0].find(" status=00 raw=")) << lines[0];
            EXPECT_EQ(" hold=never", lines[0].substr(lines[0].size() - 11)) << lines[0];
            // The abort names the block; the library cannot give it up.
            SRB_Abort abort = {SC_ABORT_SRB, 0, 0, 0, 0, &s};
            EXPECT_EQ(SS_ABORT_FAIL, send_(&abort)) << what;
            EXPECT_EQ(SS_ABORT_FAIL, abort.SRB_Status);
            EXPECT_EQ(SS_PENDING, s.SRB_Status);
            const auto after = Lines(log_);
            ASSERT_EQ(2u, after.size());
            char to[32];
            std::snprintf(to, sizeof to, "%llx", (unsigned long long)(std::uintptr_t)&s);
            EXPECT_EQ(std::string("srb cmd=03 ha=0 tgt=0 lun=0 flags=00 buflen=0 senselen=0 "
                                  "cdblen=0 cdb= post=none to=0x") +
                          to + " status=03 raw=03000000" + "00000000" +
                          Hex(&abort.SRB_ToAbort, sizeof(void*)),
                      after[1]);
            CloseHandle(ev);  // never signalled: the library holds no copy of it
            continue;
        }
        if (*c.hold) {
            EXPECT_EQ(SS_PENDING, returned) << what;
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ev, 20000)) << what;
            EXPECT_GE(GetTickCount() - start + 20, std::stoul(c.hold) * 1000) << what;
            const auto lines = Lines(log_);
            ASSERT_EQ(1u, lines.size()) << what;
            EXPECT_EQ(std::string(" hold=") + c.hold, lines[0].substr(lines[0].find(" hold=")))
                << lines[0];
        } else {
            EXPECT_EQ(SS_COMP, returned) << what;
            EXPECT_EQ(Lines(log_)[0].find("hold="), std::string::npos);
        }
        EXPECT_EQ(SS_COMP, s.SRB_Status) << what;
        CloseHandle(ev);
    }
    // An abort on an adapter the bus does not have.
    SRB_Abort abort = {SC_ABORT_SRB, 0, 4, 0, 0, nullptr};
    EXPECT_EQ(SS_INVALID_HA, send_(&abort));
}

// Drives of the DVD era: a Blu-ray writer at 0:5, and one of the CD-ROM era at
// 0:3 for what it does not know.
const char* const kModernBus =
    "[adapter.0]\n"
    "[device.0.3]\ntype=5\n"
    "[device.0.5]\ntype=5\nkind=bd\ncd_speed=ignore_dvd\nstreaming=accept\n"
    "speeds=4500,9000,18000,36000\nmax_speed=36000\nspeed_report=max\n"
    "write_speeds=9000:4500,18000\npages=2a,1a\nidle_timer=200\nstandby_timer=4800\n";

TEST_F(SimBus, ConfigurationPerformanceAndStreaming) {
    Load(kModernBus);
    ASSERT_EQ("", simtest::ReadFile(err_));
    std::uint8_t buf[256];
    const auto config = [&](std::uint8_t target, std::uint8_t rt, std::uint16_t start,
                            std::uint8_t* st) {
        std::memset(buf, 0xAA, sizeof buf);
        *st = Exec(target,
                   {0x46, rt, std::uint8_t(start >> 8), std::uint8_t(start), 0, 0, 0, 1, 0, 0},
                   0x48, buf, sizeof buf);
        return std::string(Hex(buf, 4 + std::size_t(buf[3])));
    };
    std::uint8_t st;
    // From 0100h: power management (page 1Ah) and real time streaming with
    // WSPD (write speeds listed) and SCS (SET CD SPEED taken).
    EXPECT_EQ(
        "00000010"
        "00000040"
        "01000100"
        "01070104"
        "0a000000",
        config(5, 0, 0x0100, &st));
    EXPECT_EQ(SS_COMP, st);
    // The whole list: profiles BD, DVD, CD (BD current), core, removable
    // medium, CD read, DVD read, BD read, then the two above.
    const std::string all = config(5, 0, 0, &st);
    EXPECT_EQ(
        "00000064"
        "00000040"
        "0000010c"
        "00400100"
        "00100000"
        "00080000"
        "00010108"
        "00000002"
        "00000000"
        "00030104"
        "29000000"
        "001e0104"
        "00000000"
        "001f0104"
        "00000000"
        "0040011c",
        all.substr(0, 128));
    EXPECT_EQ(
        "01000100"
        "01070104"
        "0a000000",
        all.substr(all.size() - 24));
    EXPECT_EQ(
        "0000000c"
        "00000040"
        "01070104"
        "0a000000",
        config(5, 2, 0x0107, &st));  // one feature
    EXPECT_EQ("aaaaaaaa", Hex(buf + 16, 4));
    config(5, 3, 0, &st);
    EXPECT_EQ(SS_ERR, st);
    config(3, 0, 0, &st);  // a drive of the CD-ROM era knows no GET CONFIGURATION
    EXPECT_EQ(SS_ERR, st);

    // Page 2Ah: reads CD and DVD, writes CD and DVD; the current speed field
    // stays at the maximum.
    std::vector<std::uint8_t> p = Sense(5, 0x2A);
    EXPECT_EQ("3b33", Hex(p.data() + 10, 2));
    EXPECT_EQ("0000", Hex(Sense(3, 0x2A).data() + 10, 2));

    const auto performance = [&](std::uint8_t type, std::uint8_t byte1, std::uint16_t most) {
        std::memset(buf, 0xAA, sizeof buf);
        st = Exec(
            5,
            {0xAC, byte1, 0, 0, 0, 0, 0, 0, std::uint8_t(most >> 8), std::uint8_t(most), type, 0},
            0x48, buf, 248);
        return Hex(buf, 8 + 16 * 2);
    };
    // Type 03h: each write speed descriptor to the end of a full BD (LBA
    // 12219391), its read speed, then its write speed.
    EXPECT_EQ(
        "00000024"
        "00000000"
        "0000000000ba73ff0000232800001194"
        "0000000000ba73ff0000465000004650",
        performance(3, 0, 15));
    EXPECT_EQ(SS_COMP, st);
    EXPECT_EQ(
        "00000014"
        "00000000"
        "0000000000ba73ff0000232800001194"
        "aaaaaaaa",
        performance(3, 0, 1).substr(0, 56));  // at most one
    // Type 00h: one nominal stretch at the speed reads run at.
    EXPECT_EQ(
        "00000014"
        "00000000"
        "0000000000008ca000ba73ff00008ca0",
        performance(0, 0x10, 15).substr(0, 48));
    performance(2, 0, 15);
    EXPECT_EQ(SS_ERR, st);

    // SET CD SPEED is accepted and ignored with the BD in; SET STREAMING sets
    // the speed reads run at (9000 kB in 1000 ms), which GET PERFORMANCE then
    // reports while page 2Ah still says 36000.
    EXPECT_EQ(SS_COMP, SetSpeed(5, 4500));
    EXPECT_NE(std::string::npos, simtest::ReadFile(state_).find("0:5:0 type=5 speed=36000 "));
    std::uint8_t desc[28] = {0,    0,    0,    0,    0,    0,    0,    0,   0xFF, 0xFF,
                             0xFF, 0xFF, 0,    0,    0x23, 0x28, 0,    0,   0x03, 0xE8,
                             0,    0,    0x23, 0x28, 0,    0,    0x03, 0xE8};
    EXPECT_EQ(SS_COMP, Exec(5, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, 0x50, desc, 28));
    EXPECT_EQ("000000000000232800ba73ff00002328", performance(0, 0x10, 15).substr(16, 32));
    EXPECT_EQ(36000, CurrentSpeed(5));
    // A descriptor too short, a read time of 0, another type: refused.
    EXPECT_EQ(SS_ERR, Exec(5, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0}, 0x50, desc, 20));
    desc[19] = 0;
    desc[18] = 0;
    EXPECT_EQ(SS_ERR, Exec(5, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, 0x50, desc, 28));
    EXPECT_EQ(SS_ERR, Exec(5, {0xB6, 0, 0, 0, 0, 0, 0, 0, 5, 0, 28, 0}, 0x50, desc, 28));
    EXPECT_EQ(SS_ERR, Exec(3, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, 0x50, desc, 28));
    EXPECT_EQ(SS_ERR, Exec(3, {0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 0x48, buf, 248));
}

TEST_F(SimBus, SpeedRulesOfTodaysDrives) {
    const struct {
        const char* keys;
        std::uint8_t setStatus;
        std::uint16_t reported, state;
    } cases[] = {
        {"kind=dvd\ncd_speed=accept", SS_COMP, 2816, 2816},
        {"kind=dvd\ncd_speed=refuse", SS_ERR, 7056, 7056},
        {"kind=dvd\ncd_speed=ignore_dvd", SS_COMP, 7056, 7056},              // a DVD in
        {"kind=dvd\nprofile=cd\ncd_speed=ignore_dvd", SS_COMP, 2816, 2816},  // a CD in
        {"kind=bd\nmedium=0\ncd_speed=ignore_dvd", SS_COMP, 2816, 2816},     // nothing in
        {"speed_report=zero", SS_COMP, 0, 2816},
        {"speed_report=max", SS_COMP, 7056, 2816},
        {"speed_report=current", SS_COMP, 2816, 2816},
    };
    for (const auto& c : cases) {
        Load((std::string("[adapter.0]\n[device.0.3]\ntype=5\n") + c.keys + "\n").c_str());
        ASSERT_EQ("", simtest::ReadFile(err_)) << c.keys;
        EXPECT_EQ(c.setStatus, SetSpeed(3, 2816)) << c.keys;
        EXPECT_EQ(c.reported, CurrentSpeed(3)) << c.keys;
        EXPECT_NE(std::string::npos,
                  simtest::ReadFile(state_).find("speed=" + std::to_string(c.state) + " "))
            << c.keys;
    }
    // Streaming refused while listed.
    Load("[adapter.0]\n[device.0.3]\ntype=5\nkind=dvd\nstreaming=refuse\n");
    std::uint8_t desc[28] = {};
    desc[15] = 100;
    desc[19] = 100;
    EXPECT_EQ(SS_ERR, Exec(3, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, 0x50, desc, 28));
    EXPECT_EQ(7056, CurrentSpeed(3));

    for (const char* bad : {"speed_report=half", "cd_speed=maybe", "streaming=yes", "kind=hddvd",
                            "profile=tape", "write_speeds=1:x", "standby_timer=-1"}) {
        Load((std::string("[adapter.0]\n[device.0.3]\ntype=5\n") + bad + "\n").c_str());
        EXPECT_NE("", simtest::ReadFile(err_)) << bad;
    }
}

TEST_F(SimBus, PowerConditionPage) {
    Load(kModernBus);
    // Idle 20 s and standby 8 min running; no page 0Dh.
    EXPECT_EQ(
        "0012000000000000"
        "1a0a0003000000c8"
        "000012c0",
        Hex(Sense(5, 0x1A).data(), 20));
    std::uint8_t st;
    Sense(5, 0x0D, &st);
    EXPECT_EQ(SS_ERR, st);
    Sense(3, 0x1A, &st);  // not listed in the old drive's pages
    EXPECT_EQ(SS_ERR, st);
    EXPECT_NE(std::string::npos, simtest::ReadFile(state_).find("inactivity=0 standby=4800\n"));

    // Standby 2 min, idle off.
    ASSERT_EQ(SS_COMP, SetInactivity(5, {0, 0,    0, 0, 0, 0, 0, 0, 0x1A, 0x0A,
                                         0, 0x01, 0, 0, 0, 0, 0, 0, 0x04, 0xB0}));
    EXPECT_EQ(
        "1a0a0001000000000000"
        "04b0",
        Hex(Sense(5, 0x1A).data() + 8, 12));
    EXPECT_NE(std::string::npos, simtest::ReadFile(state_).find("standby=1200\n"));
    // Standby off: the state says 0.
    ASSERT_EQ(SS_COMP, SetInactivity(5, {0, 0,    0, 0, 0, 0, 0, 0, 0x1A, 0x0A,
                                         0, 0x00, 0, 0, 0, 0, 0, 0, 0x04, 0xB0}));
    EXPECT_NE(std::string::npos, simtest::ReadFile(state_).find("standby=0\n"));
    // Cut short, or page 0Dh that the drive lacks: refused.
    EXPECT_EQ(SS_ERR, SetInactivity(5, {0, 0, 0, 0, 0, 0, 0, 0, 0x1A, 0x0A, 0, 0x01, 0, 0}));
    EXPECT_EQ(SS_ERR,
              SetInactivity(5, {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 6, 0, 0x0F, 0, 0x3C, 0, 0x4B}));
}

// A unit attention waits for the next command; INQUIRY and REQUEST SENSE
// pass it by, REQUEST SENSE reporting it.
TEST_F(SimBus, UnitAttentionsWaitForTheNextCommand) {
    Load(
        "[adapter.0]\n[device.0.3]\ntype=5\nmax_speed=7056\ncurrent_speed=1408\n"
        "attention=reset,MEDIUM\n[device.0.4]\ntype=5\nattention=none\n");
    ASSERT_EQ("", simtest::ReadFile(err_));
    EXPECT_EQ("0:3:0 type=5 speed=1408 tray=closed medium=1 locked=0 inactivity=0 attention=29,28",
              Lines(state_)[0]);
    EXPECT_EQ("0:4:0 type=5 speed=7056 tray=closed medium=1 locked=0 inactivity=0",
              Lines(state_)[1]);
    std::uint8_t buf[32];
    EXPECT_EQ(SS_COMP, Exec(3, {0x12, 0, 0, 0, 36, 0}, 0x48, buf, 32));
    EXPECT_EQ(5, buf[0]);
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(SS_COMP, Exec(3, {0x03, 0, 0, 0, 18, 0}, 0x48, buf, 32));
    EXPECT_EQ("700006000000000a00000000290000000000eeee", Hex(buf, 20));
    EXPECT_NE(std::string::npos, Lines(state_)[0].find("inactivity=0 attention=28"));

    SRB_ExecSCSICmd tur = Block(3, {0, 0, 0, 0, 0, 0}, 0x40);
    EXPECT_EQ(SS_ERR, Exec(tur));
    EXPECT_EQ(STATUS_CHKCOND, tur.SRB_TargStat);
    EXPECT_EQ("700006000000000a0000000028000000", Hex(tur.SenseArea, 16));
    EXPECT_EQ("0:3:0 type=5 speed=1408 tray=closed medium=1 locked=0 inactivity=0",
              Lines(state_)[0]);
    EXPECT_EQ(SS_COMP, Exec(3, {0, 0, 0, 0, 0, 0}, 0x40));
    // Nothing waiting: no sense; the allocation length is honoured.
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(SS_COMP, Exec(3, {0x03, 0, 0, 0, 4, 0}, 0x48, buf, 32));
    EXPECT_EQ("70000000eeee", Hex(buf, 6));
    EXPECT_EQ(SS_ERR, Exec(3, {0x03, 0, 0, 0}, 0x48, buf, 32));  // a CDB too short
}

// A test changes the disc of a running bus through the control file: the
// drive's own speed is back and a unit attention waits. A speed from SET
// STREAMING stays unless the drive drops it too.
TEST_F(SimBus, AMediumChangeFromTheControlFile) {
    Load(
        "[adapter.0]\n"
        "[device.0.3]\ntype=5\nspeeds=704,1408,2816\ntray=open\nmedium=0\nlocked=1\ninactivity=5\n"
        "[device.0.5]\ntype=5\nkind=dvd\nstreaming=accept\nspeeds=1385,2770,5540\n"
        "[device.0.6]\ntype=5\nkind=dvd\nstreaming=accept\nspeeds=1385,2770,5540\nkeep_streaming="
        "0\n"
        "[device.0.7]\ntype=0\n");
    std::uint8_t desc[28] = {0,    0,    0,    0,    0,    0,    0,    0,   0xFF, 0xFF,
                             0xFF, 0xFF, 0,    0,    0x0A, 0xD2, 0,    0,   0x03, 0xE8,
                             0,    0,    0x0A, 0xD2, 0,    0,    0x03, 0xE8};  // 2770 kB/s
    const auto stream = [&](std::uint8_t target) {
        return Exec(target, {0xB6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 28, 0}, 0x50, desc, 28);
    };
    ASSERT_EQ(SS_COMP, SetSpeed(3, 1408));
    ASSERT_EQ(SS_COMP, stream(5));
    ASSERT_EQ(SS_COMP, stream(6));
    const auto change = [&](const std::string& text) {
        std::ofstream(control_, std::ios::binary) << text;
        support_();  // any call takes it
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(control_.c_str())) << text;
    };
    change("medium 0:3:0\r\nmedium 0:5\n\n medium   0:6:0 \n");
    EXPECT_EQ(
        std::vector<std::string>(
            {"0:3:0 type=5 speed=2816 tray=closed medium=1 locked=1 inactivity=5 attention=28",
             "0:5:0 type=5 speed=2770 tray=closed medium=1 locked=0 inactivity=0 attention=28",
             "0:6:0 type=5 speed=5540 tray=closed medium=1 locked=0 inactivity=0 attention=28",
             "0:7:0 type=0 speed=0 tray=closed medium=1 locked=0 inactivity=0"}),
        Lines(state_));
    const std::vector<std::string> log = Lines(log_);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ("medium-change ha=0 tgt=3 lun=0", log[log.size() - 4]);
    EXPECT_EQ("medium-change ha=0 tgt=5 lun=0", log[log.size() - 3]);
    EXPECT_EQ("medium-change ha=0 tgt=6 lun=0", log[log.size() - 2]);
    EXPECT_EQ(0, log.back().find("call=GetASPI32SupportInfo"));

    // A second change before the first is reported leaves one attention; a
    // SET CD SPEED after SET STREAMING is forgotten like any other.
    EXPECT_EQ(SS_ERR, stream(5));  // the attention
    ASSERT_EQ(SS_COMP, SetSpeed(5, 1385));
    change("medium 0:5:0\nmedium 0:5:0\n");
    EXPECT_EQ("0:5:0 type=5 speed=5540 tray=closed medium=1 locked=0 inactivity=0 attention=28",
              Lines(state_)[1]);

    // What cannot be done is reported and changes nothing.
    HANDLE err = CreateFileA(err_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE old = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, err);
    change("medium 0:7:0\nmedium 0:2:0\neject 0:3:0\nmedium 0:3:0 now\nmedium 0:256:0\nmedium\n");
    SetStdHandle(STD_ERROR_HANDLE, old);
    CloseHandle(err);
    EXPECT_EQ("simaspi: " + control_ +
                  ": cannot do 'medium 0:7:0'\n"
                  "simaspi: " +
                  control_ +
                  ": cannot do 'medium 0:2:0'\n"
                  "simaspi: " +
                  control_ +
                  ": cannot do 'eject 0:3:0'\n"
                  "simaspi: " +
                  control_ +
                  ": cannot do 'medium 0:3:0 now'\n"
                  "simaspi: " +
                  control_ +
                  ": cannot do 'medium 0:256:0'\n"
                  "simaspi: " +
                  control_ + ": cannot do 'medium'\n",
              simtest::ReadFile(err_));
    int refused = 0;
    for (const std::string& line : Lines(log_)) refused += line == "control-refused";
    EXPECT_EQ(6, refused);
    EXPECT_EQ("0:7:0 type=0 speed=0 tray=closed medium=1 locked=0 inactivity=0", Lines(state_)[3]);
}
