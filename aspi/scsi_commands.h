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
// Commands of drives of the DVD era, sent only to a drive that lists them
constexpr std::uint8_t OP_GET_CONFIGURATION = 0x46;
constexpr std::uint8_t OP_GET_PERFORMANCE = 0xAC;
constexpr std::uint8_t OP_SET_STREAMING = 0xB6;

// Mode pages
constexpr std::uint8_t PAGE_CD_PARAMETERS = 0x0D;    // inactivity timer
constexpr std::uint8_t PAGE_CD_CAPABILITIES = 0x2A;  // speeds, lock
constexpr std::uint8_t PAGE_POWER_CONDITION = 0x1A;  // idle and standby timers

// START STOP UNIT byte 4
constexpr std::uint8_t SSU_START = 0x01;
constexpr std::uint8_t SSU_LOEJ = 0x02;
constexpr std::uint8_t SSU_EJECT = SSU_LOEJ;             // unload: the tray opens
constexpr std::uint8_t SSU_LOAD = SSU_LOEJ | SSU_START;  // load: the tray closes

// PREVENT ALLOW MEDIUM REMOVAL byte 4
constexpr std::uint8_t PAR_ALLOW = 0x00;
constexpr std::uint8_t PAR_PREVENT = 0x01;

// MODE SELECT(10) byte 1: the parameter list is in page format
constexpr std::uint8_t MODE_SELECT_PF = 0x10;

constexpr std::uint8_t CDB6_LEN = 6;
constexpr std::uint8_t CDB10_LEN = 10;
constexpr std::uint8_t CDB12_LEN = 12;
constexpr std::uint8_t NO_SENSE = 0;

// Data lengths of the commands
constexpr std::uint32_t INQUIRY_DATA_LEN = 255;
// MODE SENSE(10) asks for 256 bytes, and its buffer and SRB_BufLen are as long:
// a controller that checks the two against each other (virtio-scsi) reports an
// overrun when the buffer is the shorter, and the page then comes back empty.
constexpr std::uint16_t MODE_SENSE_ALLOCATION = 0x0100;
constexpr std::uint32_t MODE_SENSE_BUFFER_SIZE = MODE_SENSE_ALLOCATION;
constexpr std::uint32_t MODE_SENSE_DATA_LEN = MODE_SENSE_BUFFER_SIZE;
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

// Page 2Ah bytes 2 and 3: what the drive reads and writes. A drive that reads
// DVD or writes CD-R/RW is of the MMC-2 era or later and may know GET
// CONFIGURATION; one of the CD-ROM era leaves both bytes 0.
constexpr std::uint32_t CAP_READ_MEDIA = 2;
constexpr std::uint32_t CAP_WRITE_MEDIA = 3;
constexpr std::uint8_t CAP_READ_DVD_BITS = 0x38;  // DVD-ROM, DVD-R, DVD-RAM read
constexpr std::uint8_t CAP_WRITE_CD_BITS = 0x03;  // CD-R, CD-RW write

// GET CONFIGURATION: every feature from 0100h on (power management, real
// time streaming and what follows them), with the current profile.
constexpr std::uint8_t CONFIG_RT_ALL = 0x00;
constexpr std::uint16_t FEATURE_POWER_MANAGEMENT = 0x0100;
constexpr std::uint16_t FEATURE_REAL_TIME_STREAMING = 0x0107;
constexpr std::uint16_t CONFIG_ALLOCATION = 0x0100;
constexpr std::uint32_t CONFIG_DATA_LEN = CONFIG_ALLOCATION;
constexpr std::uint32_t CONFIG_HEADER_LEN = 8;
constexpr std::uint32_t CONFIG_CURRENT_PROFILE = 6;
constexpr std::uint32_t FEATURE_HEADER_LEN = 4;
// Profiles: CD 0008h..000Ah, DVD 0010h..002Bh, BD 0040h..0043h
constexpr std::uint16_t PROFILE_CD_FIRST = 0x0008, PROFILE_CD_LAST = 0x000A;
constexpr std::uint16_t PROFILE_DVD_FIRST = 0x0010, PROFILE_DVD_LAST = 0x002B;
constexpr std::uint16_t PROFILE_BD_FIRST = 0x0040, PROFILE_BD_LAST = 0x0043;

// GET PERFORMANCE type 03h: write speed descriptors, each with the read
// speed that goes with it.
constexpr std::uint8_t PERF_TYPE_WRITE_SPEED = 0x03;
constexpr std::uint16_t PERF_MAX_DESCRIPTORS = 15;
constexpr std::uint32_t PERF_HEADER_LEN = 8;
constexpr std::uint32_t PERF_DESCRIPTOR_LEN = 16;
constexpr std::uint32_t PERF_DATA_LEN =
    PERF_HEADER_LEN + PERF_MAX_DESCRIPTORS * PERF_DESCRIPTOR_LEN;
constexpr std::uint32_t WSD_READ_SPEED = 8;

// SET STREAMING type 00h: one 28-byte performance descriptor for the whole
// medium (LBA 0 to FFFFFFFFh), so many kB read in so many milliseconds.
constexpr std::uint8_t STREAMING_TYPE_PERFORMANCE = 0x00;
constexpr std::uint32_t STREAMING_DESCRIPTOR_LEN = 28;
constexpr std::uint32_t STREAMING_END_LBA = 0xFFFFFFFFu;
constexpr std::uint32_t STREAMING_TIME_MS = 1000;

// Page 1Ah (power condition) as MODE SELECT sends it: timers in 100 ms units.
constexpr std::uint8_t POWER_PAGE_LEN = 0x0A;
constexpr std::uint32_t POWER_FLAGS = 3;
constexpr std::uint8_t POWER_IDLE = 0x02;
constexpr std::uint8_t POWER_STANDBY = 0x01;
constexpr std::uint32_t POWER_IDLE_TIMER = 4;
constexpr std::uint32_t POWER_STANDBY_TIMER = 8;
constexpr std::uint32_t MODE_SELECT_POWER_LEN = MODE_HEADER_LEN + 2 + POWER_PAGE_LEN;

// Sense data a device hands back with CHECK CONDITION, fixed format: the
// response code in byte 0 (bit 7 says the information field is valid), the
// sense key in the low half of byte 2.
constexpr std::uint8_t SENSE_RESPONSE_CODE_MASK = 0x7F;
constexpr std::uint8_t SENSE_FIXED_CURRENT = 0x70;
constexpr std::uint32_t SENSE_KEY_BYTE = 2;
constexpr std::uint8_t SENSE_KEY_MASK = 0x0F;
constexpr std::uint8_t KEY_UNIT_ATTENTION = 0x06;  // medium changed, reset, ...

// One row of the command set.
struct Command {
    std::uint8_t cdb[CDB12_LEN];
    std::uint8_t cdbLen;
    std::uint8_t flags;
    std::uint32_t bufLen;  // SRB_BufLen; 0 when the command has no buffer
    std::uint8_t senseLen;
};

Command Inquiry();
Command TestUnitReady();
Command SetCdSpeed(std::uint16_t readSpeed);
Command ModeSense10(std::uint8_t page, std::uint8_t senseLen);
Command ModeSelect10CdParameters();
Command StartStopUnit(std::uint8_t byte4);
Command PreventAllowMediumRemoval(std::uint8_t byte4);
Command GetConfiguration();
Command GetPerformanceWriteSpeeds();
Command SetStreaming();
Command ModeSelect10PowerCondition();

// A zero-filled SC_EXEC_SCSI_CMD block for one address carrying the command.
// buffer must hold at least command.bufLen bytes (null when bufLen is 0).
aspi::SRB_ExecSCSICmd MakeRequest(const Command& command, std::uint8_t adapter, std::uint8_t target,
                                  std::uint8_t lun, std::uint8_t* buffer);

// Fills the 16-byte parameter list that sets the inactivity-timer code.
void CdParametersPage(std::uint8_t code, std::uint8_t (&list)[MODE_SELECT_CD_PARAMETERS_LEN]);

// The performance descriptor of SET STREAMING: the whole medium read at
// speed kB/s (and written no faster).
void StreamingDescriptor(std::uint32_t speed, std::uint8_t (&list)[STREAMING_DESCRIPTOR_LEN]);

// The 20-byte parameter list of page 1Ah with these flags and timers.
void PowerConditionPage(std::uint8_t flags, std::uint32_t idleTimer, std::uint32_t standbyTimer,
                        std::uint8_t (&list)[MODE_SELECT_POWER_LEN]);

// The page of a MODE SENSE(10) reply in data (size bytes), past the header
// and the block descriptors the reply announces; null unless its code is
// page and the reply (by its mode data length) holds at least need bytes of it.
const std::uint8_t* FindModePage(const std::uint8_t* data, std::uint32_t size, std::uint8_t page,
                                 std::uint32_t need);

inline std::uint16_t BigEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

inline void PutBigEndian32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace scsi
