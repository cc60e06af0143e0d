// ASPI for Win32: request-block layouts, command codes, status codes and flags.
//
// These are the bytes that cross the boundary to the driver library, so the
// layouts are packed and checked for size. The same header serves the programs
// and the simulated bus library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace aspi {

// SRB_Cmd
constexpr std::uint8_t SC_HA_INQUIRY = 0x00;
constexpr std::uint8_t SC_GET_DEV_TYPE = 0x01;
constexpr std::uint8_t SC_EXEC_SCSI_CMD = 0x02;
constexpr std::uint8_t SC_ABORT_SRB = 0x03;
constexpr std::uint8_t SC_RESET_DEV = 0x04;
constexpr std::uint8_t SC_GETSET_TIMEOUTS = 0x08;

// SRB_Status, and the immediate result of SendASPI32Command
constexpr std::uint8_t SS_PENDING = 0x00;
constexpr std::uint8_t SS_COMP = 0x01;
constexpr std::uint8_t SS_ABORTED = 0x02;
constexpr std::uint8_t SS_ABORT_FAIL = 0x03;
constexpr std::uint8_t SS_ERR = 0x04;
constexpr std::uint8_t SS_INVALID_CMD = 0x80;
constexpr std::uint8_t SS_INVALID_HA = 0x81;
constexpr std::uint8_t SS_NO_DEVICE = 0x82;
constexpr std::uint8_t SS_INVALID_SRB = 0xE0;
constexpr std::uint8_t SS_BUFFER_TO_BIG = 0xE6;
constexpr std::uint8_t SS_NO_ADAPTERS = 0xE8;

// SRB_Flags
constexpr std::uint8_t SRB_POSTING = 0x01;
constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_DIR_OUT = 0x10;
constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;

// SRB_HaStat: what the host adapter says about a command
constexpr std::uint8_t HASTAT_OK = 0x00;
constexpr std::uint8_t HASTAT_TIMEOUT = 0x09;          // timed out while waiting to start
constexpr std::uint8_t HASTAT_COMMAND_TIMEOUT = 0x0B;  // timed out while being carried out
constexpr std::uint8_t HASTAT_SEL_TO = 0x11;           // the device does not answer

// SRB_TargStat: the SCSI status of the device
constexpr std::uint8_t STATUS_GOOD = 0x00;
constexpr std::uint8_t STATUS_CHKCOND = 0x02;

// Address fields of SC_GETSET_TIMEOUTS that stand for every adapter, target or LUN.
constexpr std::uint8_t ADDRESS_WILDCARD = 0xFF;

constexpr std::size_t SENSE_LEN = 14;     // sense bytes the programs ask for
constexpr std::size_t CDB_AREA_LEN = 16;  // room for the command descriptor block
constexpr std::size_t SENSE_AREA_LEN = SENSE_LEN + 2;
constexpr std::size_t HA_TEXT_LEN = 16;  // HA_ManagerId, HA_Identifier

// HA_Unique: the targets to scan in byte 3, the largest transfer in bytes 4..7.
constexpr int HA_UNIQUE_MAX_TARGETS = 3;
constexpr int HA_UNIQUE_MAX_TRANSFER = 4;

#pragma pack(push, 1)

struct SRB_Header {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
};

struct SRB_HAInquiry {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t HA_Count;
    std::uint8_t HA_SCSI_ID;
    std::uint8_t HA_ManagerId[HA_TEXT_LEN];
    std::uint8_t HA_Identifier[HA_TEXT_LEN];
    std::uint8_t HA_Unique[16];
    std::uint16_t HA_Rsvd1;
};

struct SRB_GDEVBlock {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint8_t SRB_DeviceType;
    std::uint8_t SRB_Rsvd1;
};

struct SRB_ExecSCSICmd {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint16_t SRB_Rsvd1;
    std::uint32_t SRB_BufLen;
    std::uint8_t* SRB_BufPointer;
    std::uint8_t SRB_SenseLen;
    std::uint8_t SRB_CDBLen;
    std::uint8_t SRB_HaStat;
    std::uint8_t SRB_TargStat;
    void* SRB_PostProc;  // completion event when SRB_EVENT_NOTIFY is set
    std::uint8_t SRB_Rsvd2[20];
    std::uint8_t CDBByte[CDB_AREA_LEN];
    std::uint8_t SenseArea[SENSE_AREA_LEN];
};

struct SRB_Abort {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    void* SRB_ToAbort;
};

struct SRB_BusDeviceReset {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint8_t SRB_Rsvd1[12];
    std::uint8_t SRB_HaStat;
    std::uint8_t SRB_TargStat;
    void* SRB_PostProc;
    void* SRB_Rsvd2;
    std::uint8_t SRB_Rsvd3[16];
    std::uint8_t CDBByte[CDB_AREA_LEN];
};

// SRB_Flags SRB_DIR_IN reads the time-out of one address, SRB_DIR_OUT sets it.
struct SRB_GetSetTimeouts {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint32_t SRB_Timeout;  // in half seconds
};

// What GetASPI32Buffer and FreeASPI32Buffer take.
struct ASPI32BUFF {
    std::uint8_t* AB_BufPointer;
    std::uint32_t AB_BufLen;
    std::uint32_t AB_ZeroFill;
    std::uint32_t AB_Reserved;
};

#pragma pack(pop)

static_assert(sizeof(SRB_Header) == 8, "SRB header is 8 bytes");
static_assert(sizeof(SRB_HAInquiry) == 60, "SRB_HAInquiry is 60 bytes");
static_assert(sizeof(SRB_GDEVBlock) == 12, "SRB_GDEVBlock is 12 bytes");
static_assert(sizeof(SRB_ExecSCSICmd) == 72 + 2 * sizeof(void*),
              "SRB_ExecSCSICmd is 72 bytes plus two pointers");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SRB_ExecSCSICmd) == 80, "SRB_ExecSCSICmd is 80 bytes on 32-bit Windows");
#endif

static_assert(sizeof(SRB_GetSetTimeouts) == 14, "SRB_GetSetTimeouts is 14 bytes");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SRB_Abort) == 12, "SRB_Abort is 12 bytes on 32-bit Windows");
static_assert(sizeof(SRB_BusDeviceReset) == 64, "SRB_BusDeviceReset is 64 bytes on 32-bit Windows");
#endif

// The support-information word: status in bits 15..8, adapter count in 7..0.
constexpr std::uint8_t SupportStatus(std::uint32_t word) { return (word >> 8) & 0xFF; }
constexpr std::uint8_t SupportAdapterCount(std::uint32_t word) { return word & 0xFF; }
constexpr std::uint32_t MakeSupportWord(std::uint8_t status, std::uint8_t count) {
    return (std::uint32_t(status) << 8) | count;
}

// The library's entry points. All of them are cdecl.
extern "C" {
typedef std::uint32_t(__cdecl* GetASPI32SupportInfoFn)(void);
typedef std::uint32_t(__cdecl* SendASPI32CommandFn)(void* srb);
typedef std::uint32_t(__cdecl* GetASPI32DLLVersionFn)(void);
typedef std::uint32_t(__cdecl* RegisterASPI32ClientFn)(std::uint32_t userValue);
typedef std::uint32_t(__cdecl* RescanFn)(void);
typedef void(__cdecl* PostProcFn)(void* srb);  // SRB_PostProc under SRB_POSTING
}

}  // namespace aspi
