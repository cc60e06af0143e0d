// The test variant's system: the devices of the simulated bus (SIMASPI_BUS,
// as simaspi.dll reads it) are the CD-ROM class devices CdRom0, CdRom1, ...
// with the drive letters D:, E:, ... in address order, and answer the
// pass-through from the drive model. IOCTL_SCSI_GET_ADDRESS reports the bus
// file's adapter as the port, path 0, and its target and LUN.
//
// PTASPI_FAKE adds what the model has no words for: items "A:T:L=quirk"
// separated by blanks, with quirk
//   noaddress  the device's address cannot be read
//   readonly   it opens for reading only, and the pass-through then is refused
//              as Windows refuses it on such a handle
//   closed     it cannot be opened at all
//   hang       it never answers a command but INQUIRY
//   noletter   it has no drive letter, only its class device name
//
// SIMASPI_LOG gets a line per system call, with the pass-through request as it
// arrived; SIMASPI_STATE the devices' state after every change.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "aspi32.h"
#include "host.h"
#include "model.h"
#include "passthrough.h"
#include "sim_port.h"
#include "system.h"

using simaspi::Format;

namespace ptaspi {
namespace sys {

namespace {

constexpr char FIRST_LETTER = 'D';  // A: to C: are the floppies and the system disk
constexpr std::size_t DRIVE_COUNT = DRIVE_LETTERS - (FIRST_LETTER - 'A');

enum Quirk : unsigned {
    QUIRK_NO_ADDRESS = 1u << 0,
    QUIRK_READ_ONLY = 1u << 1,
    QUIRK_CLOSED = 1u << 2,
    QUIRK_HANG = 1u << 3,
    QUIRK_NO_LETTER = 1u << 4,
};

struct OpenDevice {
    std::size_t index;  // into the bus's devices
    bool writable;
};

class Fake {
public:
    Fake() {
        simaspi::LoadConfiguredBus(port_.bus);
        if (bus_.devices.size() > DRIVE_COUNT) bus_.devices.resize(DRIVE_COUNT);
        quirks_.assign(bus_.devices.size(), 0);
        ReadQuirks(simaspi::Env("PTASPI_FAKE"));
        port_.WriteState();
    }

    DWORD Drives() const {
        DWORD mask = 0;
        for (std::size_t i = 0; i < bus_.devices.size(); ++i)
            if (!(quirks_[i] & QUIRK_NO_LETTER)) mask |= 1u << (FIRST_LETTER - 'A' + i);
        return mask;
    }

    bool ClassNumber(char letter, unsigned& number) const {
        const std::size_t index = std::size_t(letter - FIRST_LETTER);
        if (letter < FIRST_LETTER || index >= bus_.devices.size() ||
            (quirks_[index] & QUIRK_NO_LETTER))
            return false;
        number = unsigned(index);
        return true;
    }

    HANDLE Open(const char* name, DWORD access) {
        std::size_t index = bus_.devices.size();
        unsigned number = 0;
        char rest = 0;
        if (std::strlen(name) == 2 && name[1] == ':')
            index = ClassNumber(name[0], number) ? number : index;
        else if (std::sscanf(name, "CdRom%u%c", &number, &rest) == 1)
            index = number;
        const bool write = access & GENERIC_WRITE;
        if (index >= bus_.devices.size()) {
            Log(Format("open drive=%s access=%s result=none", name, write ? "rw" : "r"));
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        const bool ok =
            !(quirks_[index] & QUIRK_CLOSED) && !(write && (quirks_[index] & QUIRK_READ_ONLY));
        Log(Format("open drive=%s access=%s result=%s", name, write ? "rw" : "r",
                   ok ? "ok" : "denied"));
        if (!ok) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        return new OpenDevice{index, write};
    }

    BOOL Control(HANDLE h, DWORD code, void* in, DWORD inLen, void* out, DWORD outLen,
                 DWORD* returned) {
        const OpenDevice& open = *static_cast<OpenDevice*>(h);
        if (code == IOCTL_SCSI_GET_ADDRESS) return Address(open, out, outLen, returned);
        if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER) return Number(open, out, outLen, returned);
        if (code == IOCTL_SCSI_PASS_THROUGH)
            return PassThrough(open, in, inLen, out, outLen, returned);
        return Refuse(ERROR_INVALID_FUNCTION);
    }

    void Close(HANDLE h) { delete static_cast<OpenDevice*>(h); }

private:
    static BOOL Refuse(DWORD error) {
        SetLastError(error);
        return FALSE;
    }

    void ReadQuirks(const std::string& text) {
        static const std::pair<const char*, unsigned> names[] = {
            {"noaddress", QUIRK_NO_ADDRESS}, {"readonly", QUIRK_READ_ONLY},
            {"closed", QUIRK_CLOSED},        {"hang", QUIRK_HANG},
            {"noletter", QUIRK_NO_LETTER},
        };
        std::istringstream items(text);
        std::string item;
        while (items >> item) {
            unsigned a, t, l;
            char name[16] = {};
            if (std::sscanf(item.c_str(), "%u:%u:%u=%15s", &a, &t, &l, name) != 4) continue;
            for (std::size_t i = 0; i < bus_.devices.size(); ++i) {
                const simaspi::Device& d = bus_.devices[i];
                if (d.adapter != a || d.target != t || d.lun != l) continue;
                for (const auto& n : names)
                    if (std::strcmp(name, n.first) == 0) quirks_[i] |= n.second;
            }
        }
    }

    // The name a device goes by in the log: its letter, or its class device.
    std::string Name(const OpenDevice& open) const {
        if (quirks_[open.index] & QUIRK_NO_LETTER) return Format("CdRom%u", unsigned(open.index));
        return Format("%c:", char(FIRST_LETTER + open.index));
    }

    BOOL Address(const OpenDevice& open, void* out, DWORD outLen, DWORD* returned) {
        const bool ok =
            !(quirks_[open.index] & QUIRK_NO_ADDRESS) && out && outLen >= sizeof(SCSI_ADDRESS);
        Log(Format("address drive=%s result=%s", Name(open).c_str(), ok ? "ok" : "none"));
        if (!ok) return Refuse(ERROR_INVALID_FUNCTION);
        const simaspi::Device& d = bus_.devices[open.index];
        SCSI_ADDRESS a = {};
        a.Length = sizeof a;
        a.PortNumber = d.adapter;
        a.TargetId = d.target;
        a.Lun = d.lun;
        std::memcpy(out, &a, sizeof a);
        *returned = sizeof a;
        return TRUE;
    }

    BOOL Number(const OpenDevice& open, void* out, DWORD outLen, DWORD* returned) {
        if (!out || outLen < sizeof(STORAGE_DEVICE_NUMBER))
            return Refuse(ERROR_INSUFFICIENT_BUFFER);
        STORAGE_DEVICE_NUMBER n = {FILE_DEVICE_CD_ROM, DWORD(open.index), DWORD(-1)};
        std::memcpy(out, &n, sizeof n);
        *returned = sizeof n;
        return TRUE;
    }

    BOOL PassThrough(const OpenDevice& open, void* in, DWORD inLen, void* out, DWORD outLen,
                     DWORD* returned) {
        if (in != out) return Refuse(ERROR_INVALID_PARAMETER);
        switch (port_.PassThrough(open.index, Name(open), in, inLen, outLen, open.writable,
                                  quirks_[open.index] & QUIRK_HANG, *returned)) {
        case sim::Verdict::Answered: return TRUE;
        case sim::Verdict::Malformed: return Refuse(ERROR_INVALID_PARAMETER);
        case sim::Verdict::Denied: return Refuse(ERROR_ACCESS_DENIED);
        case sim::Verdict::Held: break;
        }
        Sleep(INFINITE);
        return FALSE;
    }

    void Log(const std::string& line) { port_.Log(line); }

    sim::Port port_;
    simaspi::Bus& bus_ = port_.bus;
    std::vector<unsigned> quirks_;
};

Fake fake;

}  // namespace

DWORD CdromDrives() { return fake.Drives(); }
bool ClassNumber(char letter, unsigned& number) { return fake.ClassNumber(letter, number); }
HANDLE Open(const char* name, DWORD access) { return fake.Open(name, access); }
BOOL Control(HANDLE device, DWORD code, void* in, DWORD inLen, void* out, DWORD outLen,
             DWORD* returned) {
    return fake.Control(device, code, in, inLen, out, outLen, returned);
}
void Close(HANDLE device) { fake.Close(device); }

}  // namespace sys
}  // namespace ptaspi
