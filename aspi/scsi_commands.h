// The SCSI commands the programs send, each row of the command set in one place:
// its CDB, CDB length, SRB flags, data buffer length and sense length.
#pragma once

#include <cstdint>

#include "aspi32.h"

namespace scsi {

// Operation codes
constexpr std::uint8_t OP_TEST_UNIT_READY = 0x00;
constexpr std::uint8_t OP_INQUIRY = 0x12;
constexpr std::uint8_t OP_START_STOP_UNIT = 0x1B;
constexpr std::uint8_t OP_PREVENT_ALLOW_MEDIUM_REMOVAL = 0x1E;
constexpr std::uint8_t OP_MODE_SELECT_10 = 0x55;
constexpr std::uint8_t OP_MODE_SENSE_10 = 0x5A;
constexpr std::uint8_t OP_SET_CD_SPEED = 0xBB;

// Mode pages
constexpr std::uint8_t PAGE_CD_PARAMETERS = 0x0D;     // inactivity timer
constexpr std::uint8_t PAGE_CD_CAPABILITIES = 0x2A;   // speeds, lock

// START STOP UNIT byte 4
constexpr std::uint8_t SSU_START = 0x01;
constexpr std::uint8_t SSU_LOEJ = 0x02;
constexpr std::uint8_t SSU_EJECT = SSU_LOEJ;              // unload: the tray opens
constexpr std::uint8_t SSU_LOAD = SSU_LOEJ | SSU_START;   // load: the tray closes

// PREVENT ALLOW MEDIUM REMOVAL byte 4
constexpr std::uint8_t PAR_ALLOW = 0x00;
constexpr std::uint8_t PAR_PREVENT = 0x01;

// MODE SELECT(10) byte 1: the parameter list is in page format
constexpr std::uint8_t MODE_SELECT_PF = 0x10;

constexpr std::uint8_t CDB6_LEN = 6;
constexpr std::uint8_t CDB12_LEN = 12;
constexpr std::uint8_t NO_SENSE = 0;

// Data lengths of the commands
constexpr std::uint32_t INQUIRY_DATA_LEN = 255;
constexpr std::uint32_t MODE_SENSE_DATA_LEN = 255;
// MODE SENSE(10) asks for 256 bytes while the request says 255: the buffer
// keeps room for what the CDB allows, so a device that trusts it stays inside.
constexpr std::uint16_t MODE_SENSE_ALLOCATION = 0x0100;
constexpr std::uint32_t MODE_SENSE_BUFFER_SIZE = MODE_SENSE_ALLOCATION;
constexpr std::uint32_t MODE_SELECT_CD_PARAMETERS_LEN = 16;
constexpr std::uint32_t START_STOP_DATA_LEN = 14;
constexpr std::uint32_t PREVENT_ALLOW_DATA_LEN = 255;

// Mode data read back: an 8-byte MODE SENSE(10) header (mode data length in
// bytes 0..1, block descriptor length in bytes 6..7), the block descriptors,
// then the page. Field offsets below count from the page's first byte.
constexpr std::uint32_t MODE_HEADER_LEN = 8;
constexpr std::uint32_t MODE_DATA_LENGTH = 0;
constexpr std::uint32_t MODE_BLOCK_DESCRIPTOR_LENGTH = 6;
constexpr std::uint8_t MODE_PAGE_CODE_MASK = 0x3F;
constexpr std::uint32_t CAP_LOCK_BYTE = 6;
constexpr std::uint8_t CAP_LOCK_SUPPORTED = 0x01;
constexpr std::uint8_t CAP_LOCK_STATE = 0x02;
constexpr std::uint32_t CAP_MAX_READ_SPEED = 8;
constexpr std::uint32_t CAP_CURRENT_READ_SPEED = 14;
constexpr std::uint32_t CDPARAM_INACTIVITY = 3;
constexpr std::uint8_t CDPARAM_INACTIVITY_MASK = 0x0F;  // the high bits are reserved

// Page 0Dh as MODE SELECT sends it: S units per M unit and F units per S unit.
constexpr std::uint8_t CDPARAM_PAGE_LEN = 6;
constexpr std::uint16_t CDPARAM_S_PER_M = 60;
constexpr std::uint16_t CDPARAM_F_PER_S = 75;

constexpr std::uint16_t SPEED_UNCHANGED = 0xFFFF;  // SET CD SPEED: keep this speed

// One row of the command set.
struct Command {
    std::uint8_t cdb[CDB12_LEN];
    std::uint8_t cdbLen;
    std::uint8_t flags;
    std::uint32_t bufLen;   // SRB_BufLen; 0 when the command has no buffer
    std::uint8_t senseLen;
};

Command Inquiry();
Command TestUnitReady();
Command SetCdSpeed(std::uint16_t readSpeed);
Command ModeSense10(std::uint8_t page, std::uint8_t senseLen);
Command ModeSelect10CdParameters();
Command StartStopUnit(std::uint8_t byte4);
Command PreventAllowMediumRemoval(std::uint8_t byte4);

// A zero-filled SC_EXEC_SCSI_CMD block for one address carrying the command.
// buffer must hold at least command.bufLen bytes (null when bufLen is 0).
aspi::SRB_ExecSCSICmd MakeRequest(const Command& command, std::uint8_t adapter,
                                  std::uint8_t target, std::uint8_t lun, std::uint8_t* buffer);

// Fills the 16-byte parameter list that sets the inactivity-timer code.
void CdParametersPage(std::uint8_t code, std::uint8_t (&list)[MODE_SELECT_CD_PARAMETERS_LEN]);

// The page of a MODE SENSE(10) reply in data (size bytes), past the header
// and the block descriptors the reply announces; null unless its code is
// page and the reply (by its mode data length) holds at least need bytes of it.
const std::uint8_t* FindModePage(const std::uint8_t* data, std::uint32_t size, std::uint8_t page,
                                 std::uint32_t need);

inline std::uint16_t BigEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

}  // namespace scsi
