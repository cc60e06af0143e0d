#include "passthrough.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

using namespace aspi;

namespace ptaspi {

namespace {

constexpr std::uint8_t DIRECTION_BITS = SRB_DIR_IN | SRB_DIR_OUT;

// Bytes that move: none without a direction bit, whatever SRB_BufLen says.
std::uint32_t TransferLength(const SRB_ExecSCSICmd& srb) {
    return (srb.SRB_Flags & DIRECTION_BITS) ? srb.SRB_BufLen : 0;
}

UCHAR Direction(const SRB_ExecSCSICmd& srb) {
    if (TransferLength(srb) == 0) return SCSI_IOCTL_DATA_UNSPECIFIED;
    return (srb.SRB_Flags & SRB_DIR_IN) ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT;
}

}  // namespace

std::uint8_t CheckRequest(const SRB_ExecSCSICmd& srb) {
    if (srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > CDB_AREA_LEN) return SS_INVALID_SRB;
    if ((srb.SRB_Flags & DIRECTION_BITS) == DIRECTION_BITS) return SS_INVALID_SRB;
    if ((srb.SRB_Flags & SRB_POSTING) && (srb.SRB_Flags & SRB_EVENT_NOTIFY)) return SS_INVALID_SRB;
    if (TransferLength(srb) && !srb.SRB_BufPointer) return SS_INVALID_SRB;
    if (TransferLength(srb) > MAX_TRANSFER) return SS_BUFFER_TO_BIG;
    return 0;
}

void Prepare(const SRB_ExecSCSICmd& srb, std::uint32_t timeoutSeconds, PassThroughBlock& block) {
    SCSI_PASS_THROUGH& spt = block.spt;
    std::memset(&spt, 0, sizeof spt);
    spt.Length = sizeof spt;
    spt.Lun = srb.SRB_Lun;  // the port driver takes the address from the handle
    spt.CdbLength = srb.SRB_CDBLen;
    spt.SenseInfoLength = std::min<std::uint8_t>(srb.SRB_SenseLen, SENSE_CAPACITY);
    spt.DataIn = Direction(srb);
    spt.DataTransferLength = TransferLength(srb);
    spt.TimeOutValue = timeoutSeconds;
    spt.DataBufferOffset = offsetof(PassThroughBlock, data);
    spt.SenseInfoOffset = offsetof(PassThroughBlock, sense);
    std::memcpy(spt.Cdb, srb.CDBByte, srb.SRB_CDBLen);
    if (spt.DataIn == SCSI_IOCTL_DATA_OUT)
        std::memcpy(block.data, srb.SRB_BufPointer, spt.DataTransferLength);
}

std::uint8_t Conclude(const PassThroughBlock& block, bool sent, SRB_ExecSCSICmd& srb) {
    if (!sent) return Unanswered(srb, HASTAT_SEL_TO);
    const SCSI_PASS_THROUGH& spt = block.spt;
    srb.SRB_HaStat = HASTAT_OK;
    srb.SRB_TargStat = spt.ScsiStatus;
    // A device may send less than asked, or nothing: only what came is copied.
    if (spt.DataIn == SCSI_IOCTL_DATA_IN)
        std::memcpy(srb.SRB_BufPointer, block.data,
                    std::min<std::uint32_t>(spt.DataTransferLength, srb.SRB_BufLen));
    if (spt.ScsiStatus == STATUS_CHKCOND) {
        // The sense area runs on past the block's 16 bytes when the caller asks for more.
        const std::size_t n =
            std::min({std::size_t(srb.SRB_SenseLen), std::size_t(spt.SenseInfoLength),
                      std::size_t(SENSE_CAPACITY)});
        std::memcpy(reinterpret_cast<std::uint8_t*>(&srb) + offsetof(SRB_ExecSCSICmd, SenseArea),
                    block.sense, n);
    }
    return spt.ScsiStatus == STATUS_GOOD ? SS_COMP : SS_ERR;
}

std::uint8_t Unanswered(SRB_ExecSCSICmd& srb, std::uint8_t hostStatus) {
    srb.SRB_HaStat = hostStatus;
    srb.SRB_TargStat = STATUS_GOOD;
    return SS_ERR;
}

}  // namespace ptaspi
