// cdsimserver.exe: the user-mode half of the CD-ROM test driver. Never shipped.
//   cdsimserver serve BUSFILE DRIVER.sys READYFILE
//       loads cdsim.sys, makes a CD-ROM device of every type-5 device of the
//       bus file and answers their pass-through requests from the drive model
//       until told to stop; then unloads the driver. READYFILE is written once
//       the devices are there.
//   cdsimserver stop
//   cdsimserver presence A:T:L 0|1    a device leaves the system or comes back
//
// The bus file is simaspi's, with four more keys in a device section:
//   letter=X      its drive letter (default: none, only \\.\CdRomN); the
//                 letter's folder and registry value are run-with-driver's
//   cdrom=N       its class device number (default: for a letter, the one
//                 Wine's mount manager gave it; else the lowest one free)
//   write=refused the device may not be written to: every pass-through is
//                 refused as on a handle opened for reading only (Wine opens
//                 the file before the driver sees the open, so the open
//                 itself cannot be refused)
//   answer=never  it never answers a command but INQUIRY
#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cdsimctl.h"
#include "host.h"
#include "sim_port.h"

namespace {

constexpr int WORKERS = 4;
// A request carries the pass-through block: its header, sense and data.
constexpr DWORD REQUEST_ROOM = sizeof(cdsim_request) + 128 * 1024;
constexpr DWORD SERVICE_WAIT_MS = 10000;

struct Extra {
    char letter = CDSIM_NO_LETTER;
    int number = -1;
    bool readOnly = false;
    bool hang = false;
};

struct Served {
    std::size_t index;  // into the bus's devices
    Extra extra;
};

ptaspi::sim::Port* port = nullptr;
std::vector<Served> served;

int Fail(const std::string& what) {
    std::fprintf(stderr, "cdsimserver: %s (error %lu)\n", what.c_str(), GetLastError());
    return 1;
}

std::string Trim(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Takes the driver's own keys out of the text (blank lines keep the line
// numbers of the model's messages) and returns them by section name.
std::map<std::string, Extra> TakeExtras(std::string& text, std::string& problem) {
    std::map<std::string, Extra> extras;
    std::istringstream in(text);
    std::string line, section, rest;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string body = Trim(line.substr(0, line.find(';')));
        if (!body.empty() && body[0] == '[')
            section = Lower(Trim(body.substr(1, body.find(']') - 1)));
        const std::size_t eq = body.find('=');
        const std::string key = eq == std::string::npos ? "" : Lower(Trim(body.substr(0, eq)));
        const std::string value = eq == std::string::npos ? "" : Lower(Trim(body.substr(eq + 1)));
        if (key != "letter" && key != "cdrom" && key != "write" && key != "answer") {
            rest += line + "\n";
            continue;
        }
        rest += "\n";
        Extra& e = extras[section];
        bool ok = section.rfind("device.", 0) == 0;
        if (key == "letter") {
            if (value == "none")
                e.letter = CDSIM_NO_LETTER;
            else if (value.size() == 1 && value[0] >= 'a' && value[0] <= 'z')
                e.letter = char(value[0] - 'a' + 'A');
            else
                ok = false;
        } else if (key == "cdrom") {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            ok = ok && !value.empty() && *end == 0 && n >= 0 && n < CDSIM_MAX_DEVICES;
            e.number = int(n);
        } else if (key == "write") {
            ok = ok && (value == "refused" || value == "allowed");
            e.readOnly = value == "refused";
        } else {
            ok = ok && (value == "never" || value == "always");
            e.hang = value == "never";
        }
        if (!ok && problem.empty())
            problem = "line " + std::to_string(number) + ": bad " + key + "=" + value + " in [" +
                      section + "]";
    }
    text = rest;
    return extras;
}

std::string SectionOf(const simaspi::Device& d) {
    return "device." + std::to_string(d.adapter) + "." + std::to_string(d.target);
}

HANDLE OpenControl() {
    return CreateFileA(CDSIM_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

// The N of the \\Device\\CdRomN Wine's mount manager made for a letter.
bool MountedNumber(char letter, unsigned& number) {
    const char name[] = {letter, ':', '\0'};
    char target[MAX_PATH] = {};
    return QueryDosDeviceA(name, target, sizeof target) &&
           std::sscanf(target, "\\Device\\CdRom%u", &number) == 1;
}

bool WaitState(SC_HANDLE service, DWORD state) {
    SERVICE_STATUS status = {};
    for (DWORD waited = 0; waited < SERVICE_WAIT_MS; waited += 10) {
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == state) return true;
        Sleep(10);
    }
    return false;
}

SC_HANDLE LoadDriver(SC_HANDLE manager, const char* path) {
    SC_HANDLE service = OpenServiceA(manager, CDSIM_SERVICE, SERVICE_ALL_ACCESS);
    if (service) {  // left over by a run that did not end well
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        WaitState(service, SERVICE_STOPPED);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    service = CreateServiceA(manager, CDSIM_SERVICE, CDSIM_SERVICE, SERVICE_ALL_ACCESS,
                             SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                             path, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service) return nullptr;
    if (!StartServiceA(service, 0, nullptr) || !WaitState(service, SERVICE_RUNNING)) {
        DeleteService(service);
        CloseServiceHandle(service);
        return nullptr;
    }
    return service;
}

void UnloadDriver(SC_HANDLE service) {
    SERVICE_STATUS status;
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    WaitState(service, SERVICE_STOPPED);
    DeleteService(service);
    CloseServiceHandle(service);
}

std::string Name(const Served& s) {
    if (s.extra.letter != CDSIM_NO_LETTER) return std::string(1, s.extra.letter) + ":";
    return "CdRom" + std::to_string(s.extra.number);
}

void Answer(HANDLE control, std::vector<std::uint8_t>& buffer, unsigned long id, long status,
            DWORD information) {
    cdsim_answer* a = reinterpret_cast<cdsim_answer*>(buffer.data());
    a->id = id;
    a->status = status;
    a->information = information;
    DWORD returned = 0;
    DeviceIoControl(control, IOCTL_CDSIM_ANSWER, buffer.data(), DWORD(sizeof *a + information),
                    nullptr, 0, &returned, nullptr);
}

constexpr long NT_SUCCESS_STATUS = 0;
constexpr long NT_INVALID_PARAMETER = long(0xC000000DL);
constexpr long NT_ACCESS_DENIED = long(0xC0000022L);
constexpr long NT_INVALID_DEVICE_REQUEST = long(0xC0000010L);

DWORD WINAPI Work(void*) {
    HANDLE control = OpenControl();
    if (control == INVALID_HANDLE_VALUE) return 1;
    std::vector<std::uint8_t> in(REQUEST_ROOM), out(REQUEST_ROOM);
    for (;;) {
        DWORD got = 0;
        if (!DeviceIoControl(control, IOCTL_CDSIM_NEXT, nullptr, 0, in.data(), REQUEST_ROOM, &got,
                             nullptr) ||
            got < sizeof(cdsim_request))
            break;
        const cdsim_request r = *reinterpret_cast<const cdsim_request*>(in.data());
        if (r.id == 0) break;  // stop
        if (r.index >= served.size() || r.code != IOCTL_SCSI_PASS_THROUGH) {
            Answer(control, out, r.id, NT_INVALID_DEVICE_REQUEST, 0);
            continue;
        }
        const Served& s = served[r.index];
        std::uint8_t* block = in.data() + sizeof r;
        DWORD returned = 0;
        switch (port->PassThrough(s.index, Name(s), block, r.inLen, r.outLen, true, s.extra.hang,
                                  returned)) {
        case ptaspi::sim::Verdict::Answered:
            std::memcpy(out.data() + sizeof(cdsim_answer), block, returned);
            Answer(control, out, r.id, NT_SUCCESS_STATUS, returned);
            break;
        case ptaspi::sim::Verdict::Malformed:
            Answer(control, out, r.id, NT_INVALID_PARAMETER, 0);
            break;
        case ptaspi::sim::Verdict::Denied: Answer(control, out, r.id, NT_ACCESS_DENIED, 0); break;
        case ptaspi::sim::Verdict::Held: break;  // left pending until the driver stops
        }
    }
    CloseHandle(control);
    return 0;
}

int Serve(const char* busPath, const char* driverPath, const char* readyPath) {
    std::string text, problem;
    if (!simaspi::ReadWholeFile(busPath, text)) return Fail(std::string("cannot read ") + busPath);
    const std::map<std::string, Extra> extras = TakeExtras(text, problem);
    if (!problem.empty()) return Fail(problem);
    simaspi::ParseResult parsed = simaspi::ParseBusText(text);
    if (!parsed.ok) return Fail("line " + std::to_string(parsed.line) + ": " + parsed.problem);
    static ptaspi::sim::Port thePort;
    port = &thePort;
    port->bus = parsed.bus;

    std::set<int> numbers;
    for (std::size_t i = 0; i < port->bus.devices.size(); ++i) {
        const simaspi::Device& d = port->bus.devices[i];
        if (d.type != simaspi::TYPE_CDROM) continue;
        Extra e;
        auto it = extras.find(SectionOf(d));
        if (it == extras.end()) it = extras.find(SectionOf(d) + "." + std::to_string(d.lun));
        if (it != extras.end()) e = it->second;
        // A letter keeps the number Wine's mount manager gave it.
        unsigned mounted = 0;
        if (e.number < 0 && e.letter != CDSIM_NO_LETTER && MountedNumber(e.letter, mounted))
            e.number = int(mounted);
        if (e.number >= 0 && !numbers.insert(e.number).second)
            return Fail("cdrom=" + std::to_string(e.number) + " given twice");
        served.push_back({i, e});
    }
    if (served.size() > CDSIM_MAX_DEVICES) return Fail("too many CD-ROM devices");
    for (Served& s : served) {
        if (s.extra.number >= 0) continue;
        int n = 0;
        while (numbers.count(n)) ++n;
        numbers.insert(n);
        s.extra.number = n;
    }
    port->WriteState();

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return Fail("no service manager");
    SC_HANDLE service = LoadDriver(manager, driverPath);
    if (!service) return Fail(std::string("cannot load ") + driverPath);
    HANDLE control = OpenControl();
    int rc = 0;
    if (control == INVALID_HANDLE_VALUE) rc = Fail("no control device");
    for (std::size_t i = 0; rc == 0 && i < served.size(); ++i) {
        const Served& s = served[i];
        const simaspi::Device& d = port->bus.devices[s.index];
        cdsim_add add = {};

        add.index = static_cast<unsigned long>(i);
        add.number = static_cast<unsigned long>(s.extra.number);
        add.letter = s.extra.letter;
        add.port = d.adapter;
        add.target = d.target;
        add.lun = d.lun;
        add.readOnly = s.extra.readOnly;
        DWORD returned = 0;
        if (!DeviceIoControl(control, IOCTL_CDSIM_ADD, &add, sizeof add, nullptr, 0, &returned,
                             nullptr))
            rc = Fail("cannot add " + Name(s));
    }
    HANDLE workers[WORKERS] = {};
    for (int i = 0; rc == 0 && i < WORKERS; ++i)
        workers[i] = CreateThread(nullptr, 0, Work, nullptr, 0, nullptr);
    if (rc == 0) {
        simaspi::WriteFileText(readyPath, "ready\n", false);
        for (HANDLE w : workers)
            if (w) WaitForSingleObject(w, INFINITE);
    }
    for (HANDLE w : workers)
        if (w) CloseHandle(w);
    if (control != INVALID_HANDLE_VALUE) CloseHandle(control);
    UnloadDriver(service);
    CloseServiceHandle(manager);
    return rc;
}

int Control(DWORD code, const void* in, DWORD inLen) {
    HANDLE control = OpenControl();
    if (control == INVALID_HANDLE_VALUE) return Fail("no control device");
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(control, code, const_cast<void*>(in), inLen, nullptr, 0,
                                    &returned, nullptr);
    CloseHandle(control);
    return ok ? 0 : Fail("refused");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "serve" && argc == 5) return Serve(argv[2], argv[3], argv[4]);
    if (command == "stop" && argc == 2) return Control(IOCTL_CDSIM_STOP, nullptr, 0);
    unsigned a, t, l, present;
    if (command == "presence" && argc == 4 && std::sscanf(argv[2], "%u:%u:%u", &a, &t, &l) == 3 &&
        std::sscanf(argv[3], "%u", &present) == 1) {
        cdsim_presence p = {static_cast<unsigned char>(a), 0, static_cast<unsigned char>(t),
                            static_cast<unsigned char>(l), present};
        return Control(IOCTL_CDSIM_PRESENCE, &p, sizeof p);
    }
    std::fprintf(
        stderr,
        "usage: cdsimserver serve BUSFILE DRIVER.sys READYFILE | stop | presence A:T:L 0|1\n");
    return 2;
}
