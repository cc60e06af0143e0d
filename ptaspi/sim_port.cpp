#include "sim_port.h"

#include <algorithm>
#include <cstddef>

#include "aspi32.h"
#include "host.h"
#include "scsi_commands.h"

using simaspi::Format;
using simaspi::Hex;

namespace ptaspi {
namespace sim {

namespace {

bool WellFormed(const void* block, DWORD inLen, DWORD outLen) {
    if (!block || inLen < sizeof(SCSI_PASS_THROUGH) || outLen < inLen) return false;
    const SCSI_PASS_THROUGH& spt = *static_cast<const SCSI_PASS_THROUGH*>(block);
    return spt.Length == sizeof spt && spt.CdbLength >= 1 && spt.CdbLength <= aspi::CDB_AREA_LEN &&
           spt.DataIn <= SCSI_IOCTL_DATA_UNSPECIFIED &&
           spt.DataBufferOffset + spt.DataTransferLength <= inLen &&
           spt.SenseInfoOffset + spt.SenseInfoLength <= inLen;
}

// What the port driver hands back: up to the end of the data read, else up
// to the end of the sense data, else the request's header.
DWORD Returned(const SCSI_PASS_THROUGH& spt) {
    if (spt.DataIn == SCSI_IOCTL_DATA_IN && spt.DataTransferLength)
        return DWORD(std::max<ULONG_PTR>(
            spt.DataBufferOffset + spt.DataTransferLength,
            spt.SenseInfoLength ? spt.SenseInfoOffset + spt.SenseInfoLength : 0));
    if (spt.SenseInfoLength) return spt.SenseInfoOffset + spt.SenseInfoLength;
    return sizeof spt;
}

class Held {
public:
    explicit Held(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Held() { LeaveCriticalSection(&lock_); }

private:
    CRITICAL_SECTION& lock_;
};

}  // namespace

Port::Port() : logPath_(simaspi::Env("SIMASPI_LOG")), statePath_(simaspi::Env("SIMASPI_STATE")) {
    InitializeCriticalSection(&lock_);
}

Port::~Port() { DeleteCriticalSection(&lock_); }

Verdict Port::PassThrough(std::size_t index, const std::string& name, void* in, DWORD inLen,
                          DWORD outLen, bool writable, bool hang, DWORD& returned) {
    if (!WellFormed(in, inLen, outLen)) return Verdict::Malformed;
    SCSI_PASS_THROUGH& spt = *static_cast<SCSI_PASS_THROUGH*>(in);
    std::uint8_t* const block = static_cast<std::uint8_t*>(in);
    std::uint8_t* const data = block + spt.DataBufferOffset;
    std::string line = Format(
        "spt drive=%s cdblen=%u dir=%u len=%lu senselen=%u timeout=%lu lun=%u cdb=", name.c_str(),
        spt.CdbLength, spt.DataIn, (unsigned long)spt.DataTransferLength, spt.SenseInfoLength,
        (unsigned long)spt.TimeOutValue, spt.Lun);
    line += Hex(spt.Cdb, spt.CdbLength);
    if (spt.DataIn == SCSI_IOCTL_DATA_OUT) line += " data=" + Hex(data, spt.DataTransferLength);
    if (!writable) {
        Log(line + " result=denied");
        return Verdict::Denied;
    }
    if (hang && spt.Cdb[0] != scsi::OP_INQUIRY) {
        Log(line + " result=hang");
        return Verdict::Held;
    }
    // A pass-through that takes its time says when it begins, so that a test
    // can act while it runs.
    if (bus.latencyMs) {
        Log("begin drive=" + name + " cdb=" + Hex(spt.Cdb, spt.CdbLength));
        Sleep(bus.latencyMs);
    }

    Held held(lock_);
    simaspi::Device& d = bus.devices[index];
    const bool moves = spt.DataIn != SCSI_IOCTL_DATA_UNSPECIFIED;
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
    Log(line +
        Format(" status=%02x got=%lu", spt.ScsiStatus, (unsigned long)spt.DataTransferLength));
    returned = Returned(spt);
    return Verdict::Answered;
}

void Port::Log(const std::string& line) { simaspi::WriteFileText(logPath_, line + "\n", true); }

void Port::WriteState() { simaspi::WriteFileText(statePath_, simaspi::StateText(bus), false); }

}  // namespace sim
}  // namespace ptaspi
