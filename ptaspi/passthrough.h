// One ASPI SCSI request as a SCSI pass-through request, and its results back
// into the request block.
#pragma once

#include <windows.h>
#include <winioctl.h>  // before ntddscsi.h, which needs its macros
#include <ntddscsi.h>

#include <cstdint>

#include "aspi32.h"

namespace ptaspi {

// The library's own data buffer: no caller buffer needs the device's
// alignment, and the adapter inquiry reports this as the largest transfer.
constexpr std::uint32_t MAX_TRANSFER = 64 * 1024;
constexpr std::uint8_t SENSE_CAPACITY = 32;

// What IOCTL_SCSI_PASS_THROUGH takes and gives back, in one block.
struct PassThroughBlock {
    SCSI_PASS_THROUGH spt;
    std::uint8_t sense[SENSE_CAPACITY];
    std::uint8_t data[MAX_TRANSFER];
};

// 0 when the library can carry the block out, else the status it ends with.
std::uint8_t CheckRequest(const aspi::SRB_ExecSCSICmd& srb);

// Fills the pass-through request for a checked block.
void Prepare(const aspi::SRB_ExecSCSICmd& srb, std::uint32_t timeoutSeconds,
             PassThroughBlock& block);

// Copies the results into the block and returns its final status. sent: the
// system carried the request to the device.
std::uint8_t Conclude(const PassThroughBlock& block, bool sent, aspi::SRB_ExecSCSICmd& srb);

// The final status of a block whose device could not be reached: the host
// status says why.
std::uint8_t Unanswered(aspi::SRB_ExecSCSICmd& srb, std::uint8_t hostStatus);

}  // namespace ptaspi
