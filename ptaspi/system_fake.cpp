// The test variant's system: the devices of the simulated bus (SIMASPI_BUS,
// as simaspi.dll reads it) are the CD-ROM class drives D:, E:, ... in address
// order, and answer the pass-through from the drive model. IOCTL_SCSI_GET_ADDRESS
// reports the bus file's adapter as the port, path 0, and its target and LUN.
//
// PTASPI_FAKE adds what the model has no words for: items "A:T:L=quirk"
// separated by blanks, with quirk
//   noaddress  the device's address cannot be read
//   readonly   it opens for reading only, and the pass-through then is refused
//              as Windows refuses it on such a handle
//   closed     it cannot be opened at all
//   hang       it never answers a command but INQUIRY
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
#include "scsi_commands.h"
#include "system.h"

using simaspi::Format;
using simaspi::Hex;

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
};

struct OpenDevice {
    std::size_t index;  // into the bus's devices
    bool writable;
};

class Fake {
public:
    Fake() {
        InitializeCriticalSection(&lock_);
        logPath_ = simaspi::Env("SIMASPI_LOG");
        statePath_ = simaspi::Env("SIMASPI_STATE");
        simaspi::LoadConfiguredBus(bus_);
        if (bus_.devices.size() > DRIVE_COUNT) bus_.devices.resize(DRIVE_COUNT);
        quirks_.assign(bus_.devices.size(), 0);
        ReadQuirks(simaspi::Env("PTASPI_FAKE"));
        WriteState();
    }
    ~Fake() { DeleteCriticalSection(&lock_); }

    DWORD Drives() const {
        DWORD mask = 0;
        for (std::size_t i = 0; i < bus_.devices.size(); ++i) mask |= 1u << (FIRST_LETTER - 'A' + i);
        return mask;
    }

    HANDLE Open(char letter, DWORD access) {
        const std::size_t index = std::size_t(letter - FIRST_LETTER);
        const bool write = access & GENERIC_WRITE;
        bool ok = letter >= FIRST_LETTER && index < bus_.devices.size();
        if (ok) ok = !(quirks_[index] & QUIRK_CLOSED) && !(write && (quirks_[index] & QUIRK_READ_ONLY));
        Log(Format("open drive=%c: access=%s result=%s", letter, write ? "rw" : "r",
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
        if (code == IOCTL_SCSI_PASS_THROUGH) return PassThrough(open, in, inLen, out, outLen, returned);
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

    char Letter(const OpenDevice& open) const { return char(FIRST_LETTER + open.index); }

    BOOL Address(const OpenDevice& open, void* out, DWORD outLen, DWORD* returned) {
        const bool ok = !(quirks_[open.index] & QUIRK_NO_ADDRESS) && out &&
                        outLen >= sizeof(SCSI_ADDRESS);
        Log(Format("address drive=%c: result=%s", Letter(open), ok ? "ok" : "none"));
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

    // Checks the request as a port driver would before it goes to the device.
    static bool WellFormed(const void* in, DWORD inLen, const void* out, DWORD outLen) {
        if (!in || in != out || inLen != outLen || inLen < sizeof(SCSI_PASS_THROUGH)) return false;
        const SCSI_PASS_THROUGH& spt = *static_cast<const SCSI_PASS_THROUGH*>(in);
        return spt.Length == sizeof spt && spt.CdbLength >= 1 &&
               spt.CdbLength <= aspi::CDB_AREA_LEN && spt.DataIn <= SCSI_IOCTL_DATA_UNSPECIFIED &&
               spt.DataBufferOffset + spt.DataTransferLength <= inLen &&
               spt.SenseInfoOffset + spt.SenseInfoLength <= inLen;
    }

    BOOL PassThrough(const OpenDevice& open, void* in, DWORD inLen, void* out, DWORD outLen,
                     DWORD* returned) {
        if (!WellFormed(in, inLen, out, outLen)) return Refuse(ERROR_INVALID_PARAMETER);
        SCSI_PASS_THROUGH& spt = *static_cast<SCSI_PASS_THROUGH*>(in);
        std::uint8_t* const block = static_cast<std::uint8_t*>(in);
        std::uint8_t* const data = block + spt.DataBufferOffset;
        std::string line = Format(
            "spt drive=%c: cdblen=%u dir=%u len=%lu senselen=%u timeout=%lu lun=%u cdb=",
            Letter(open), spt.CdbLength, spt.DataIn, (unsigned long)spt.DataTransferLength,
            spt.SenseInfoLength, (unsigned long)spt.TimeOutValue, spt.Lun);
        line += Hex(spt.Cdb, spt.CdbLength);
        if (spt.DataIn == SCSI_IOCTL_DATA_OUT) line += " data=" + Hex(data, spt.DataTransferLength);
        if (!open.writable) {
            Log(line + " result=denied");
            return Refuse(ERROR_ACCESS_DENIED);
        }
        if ((quirks_[open.index] & QUIRK_HANG) && spt.Cdb[0] != scsi::OP_INQUIRY) {
            Log(line + " result=hang");
            Sleep(INFINITE);
        }
        if (bus_.latencyMs) Sleep(bus_.latencyMs);

        simaspi::Device& d = bus_.devices[open.index];
        const bool moves = spt.DataIn != SCSI_IOCTL_DATA_UNSPECIFIED;
        Lock();
        const simaspi::Outcome o = simaspi::Execute(d, spt.Cdb, spt.CdbLength, moves ? data : nullptr,
                                                    moves ? spt.DataTransferLength : 0);
        const bool good = o.status == aspi::SS_COMP;
        spt.ScsiStatus = good ? aspi::STATUS_GOOD : aspi::STATUS_CHKCOND;
        if (spt.DataIn == SCSI_IOCTL_DATA_IN) spt.DataTransferLength = o.dataLen;
        if (!moves) spt.DataTransferLength = 0;
        if (good) {
            spt.SenseInfoLength = 0;
        } else {
            simaspi::WriteSense(o, block + spt.SenseInfoOffset, spt.SenseInfoLength);
            spt.SenseInfoLength = std::min<UCHAR>(spt.SenseInfoLength, simaspi::SENSE_DATA_LEN);
        }
        if (o.changed) WriteState();
        Log(line + Format(" status=%02x got=%lu", spt.ScsiStatus, (unsigned long)spt.DataTransferLength));
        Unlock();
        *returned = inLen;
        return TRUE;
    }

    void Lock() { EnterCriticalSection(&lock_); }
    void Unlock() { LeaveCriticalSection(&lock_); }

    void Log(const std::string& line) { simaspi::WriteFileText(logPath_, line + "\n", true); }
    void WriteState() { simaspi::WriteFileText(statePath_, simaspi::StateText(bus_), false); }

    CRITICAL_SECTION lock_;
    simaspi::Bus bus_;
    std::vector<unsigned> quirks_;
    std::string logPath_, statePath_;
};

Fake fake;

}  // namespace

DWORD CdromDrives() { return fake.Drives(); }
HANDLE Open(char letter, DWORD access) { return fake.Open(letter, access); }
BOOL Control(HANDLE device, DWORD code, void* in, DWORD inLen, void* out, DWORD outLen,
             DWORD* returned) {
    return fake.Control(device, code, in, inLen, out, outLen, returned);
}
void Close(HANDLE device) { fake.Close(device); }

}  // namespace sys
}  // namespace ptaspi
