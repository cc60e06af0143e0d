#include "scsi_commands.h"

#include <cstring>

namespace scsi {

namespace {

constexpr std::uint8_t IN = aspi::SRB_DIR_IN | aspi::SRB_EVENT_NOTIFY;
constexpr std::uint8_t OUT = aspi::SRB_DIR_OUT | aspi::SRB_EVENT_NOTIFY;
constexpr std::uint8_t NO_DATA = aspi::SRB_EVENT_NOTIFY;
constexpr std::uint8_t SENSE = aspi::SENSE_LEN;

Command Row(std::uint8_t cdbLen, std::uint8_t flags, std::uint32_t bufLen, std::uint8_t senseLen) {
    Command c;
    std::memset(&c, 0, sizeof c);
    c.cdbLen = cdbLen;
    c.flags = flags;
    c.bufLen = bufLen;
    c.senseLen = senseLen;
    return c;
}

std::uint8_t High(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }
std::uint8_t Low(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

// MODE SELECT(10) of one page in page format, its list listLen bytes long.
Command ModeSelect10(std::uint32_t listLen) {
    Command c = Row(CDB12_LEN, OUT, listLen, SENSE);
    c.cdb[0] = OP_MODE_SELECT_10;
    c.cdb[1] = MODE_SELECT_PF;
    c.cdb[8] = static_cast<std::uint8_t>(listLen);
    return c;
}

}  // namespace

Command Inquiry() {
    Command c = Row(CDB6_LEN, IN, INQUIRY_DATA_LEN, SENSE);
    c.cdb[0] = OP_INQUIRY;
    c.cdb[4] = 0xFF;  // allocation length
    return c;
}

Command TestUnitReady() {
    Command c = Row(CDB6_LEN, NO_DATA, 0, SENSE);
    c.cdb[0] = OP_TEST_UNIT_READY;
    return c;
}

Command SetCdSpeed(std::uint16_t readSpeed) {
    Command c = Row(CDB12_LEN, OUT, 0, SENSE);
    c.cdb[0] = OP_SET_CD_SPEED;
    c.cdb[2] = High(readSpeed);
    c.cdb[3] = Low(readSpeed);
    c.cdb[4] = High(SPEED_UNCHANGED);  // write speed
    c.cdb[5] = Low(SPEED_UNCHANGED);
    return c;
}

Command ModeSense10(std::uint8_t page, std::uint8_t senseLen) {
    Command c = Row(CDB12_LEN, IN, MODE_SENSE_DATA_LEN, senseLen);
    c.cdb[0] = OP_MODE_SENSE_10;
    c.cdb[2] = page;  // current values
    c.cdb[7] = High(MODE_SENSE_ALLOCATION);
    c.cdb[8] = Low(MODE_SENSE_ALLOCATION);
    return c;
}

Command ModeSelect10CdParameters() { return ModeSelect10(MODE_SELECT_CD_PARAMETERS_LEN); }

Command StartStopUnit(std::uint8_t byte4) {
    Command c = Row(CDB6_LEN, IN, START_STOP_DATA_LEN, SENSE);
    c.cdb[0] = OP_START_STOP_UNIT;
    c.cdb[4] = byte4;
    return c;
}

Command PreventAllowMediumRemoval(std::uint8_t byte4) {
    Command c = Row(CDB6_LEN, IN, PREVENT_ALLOW_DATA_LEN, NO_SENSE);
    c.cdb[0] = OP_PREVENT_ALLOW_MEDIUM_REMOVAL;
    c.cdb[4] = byte4;
    return c;
}

Command GetConfiguration() {
    Command c = Row(CDB10_LEN, IN, CONFIG_DATA_LEN, SENSE);
    c.cdb[0] = OP_GET_CONFIGURATION;
    c.cdb[1] = CONFIG_RT_ALL;
    c.cdb[2] = High(FEATURE_POWER_MANAGEMENT);  // starting feature
    c.cdb[3] = Low(FEATURE_POWER_MANAGEMENT);
    c.cdb[7] = High(CONFIG_ALLOCATION);
    c.cdb[8] = Low(CONFIG_ALLOCATION);
    return c;
}

Command GetPerformanceWriteSpeeds() {
    Command c = Row(CDB12_LEN, IN, PERF_DATA_LEN, SENSE);
    c.cdb[0] = OP_GET_PERFORMANCE;
    c.cdb[8] = High(PERF_MAX_DESCRIPTORS);
    c.cdb[9] = Low(PERF_MAX_DESCRIPTORS);
    c.cdb[10] = PERF_TYPE_WRITE_SPEED;
    return c;
}

Command SetStreaming() {
    Command c = Row(CDB12_LEN, OUT, STREAMING_DESCRIPTOR_LEN, SENSE);
    c.cdb[0] = OP_SET_STREAMING;
    c.cdb[8] = STREAMING_TYPE_PERFORMANCE;
    c.cdb[9] = High(STREAMING_DESCRIPTOR_LEN);
    c.cdb[10] = Low(STREAMING_DESCRIPTOR_LEN);
    return c;
}

Command ModeSelect10PowerCondition() { return ModeSelect10(MODE_SELECT_POWER_LEN); }

void StreamingDescriptor(std::uint32_t speed, std::uint8_t (&list)[STREAMING_DESCRIPTOR_LEN]) {
    std::memset(list, 0, sizeof list);  // byte 0: no flags; start LBA 0
    PutBigEndian32(list + 8, STREAMING_END_LBA);
    PutBigEndian32(list + 12, speed);              // read size, kB
    PutBigEndian32(list + 16, STREAMING_TIME_MS);  // read time
    PutBigEndian32(list + 20, speed);              // write size
    PutBigEndian32(list + 24, STREAMING_TIME_MS);  // write time
}

void PowerConditionPage(std::uint8_t flags, std::uint32_t idleTimer, std::uint32_t standbyTimer,
                        std::uint8_t (&list)[MODE_SELECT_POWER_LEN]) {
    std::memset(list, 0, sizeof list);  // header: no block descriptor
    list[MODE_HEADER_LEN + 0] = PAGE_POWER_CONDITION;
    list[MODE_HEADER_LEN + 1] = POWER_PAGE_LEN;
    list[MODE_HEADER_LEN + POWER_FLAGS] = flags;
    PutBigEndian32(list + MODE_HEADER_LEN + POWER_IDLE_TIMER, idleTimer);
    PutBigEndian32(list + MODE_HEADER_LEN + POWER_STANDBY_TIMER, standbyTimer);
}

aspi::SRB_ExecSCSICmd MakeRequest(const Command& command, std::uint8_t adapter, std::uint8_t target,
                                  std::uint8_t lun, std::uint8_t* buffer) {
    aspi::SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = aspi::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = adapter;
    srb.SRB_Target = target;
    srb.SRB_Lun = lun;
    srb.SRB_Flags = command.flags;
    srb.SRB_BufLen = command.bufLen;
    srb.SRB_BufPointer = command.bufLen ? buffer : nullptr;
    srb.SRB_SenseLen = command.senseLen;
    srb.SRB_CDBLen = command.cdbLen;
    std::memcpy(srb.CDBByte, command.cdb, command.cdbLen);
    return srb;
}

void CdParametersPage(std::uint8_t code, std::uint8_t (&list)[MODE_SELECT_CD_PARAMETERS_LEN]) {
    std::memset(list, 0, sizeof list);  // header: no block descriptor
    list[MODE_HEADER_LEN + 0] = PAGE_CD_PARAMETERS;
    list[MODE_HEADER_LEN + 1] = CDPARAM_PAGE_LEN;
    list[MODE_HEADER_LEN + CDPARAM_INACTIVITY] = code;
    list[MODE_HEADER_LEN + 4] = High(CDPARAM_S_PER_M);
    list[MODE_HEADER_LEN + 5] = Low(CDPARAM_S_PER_M);
    list[MODE_HEADER_LEN + 6] = High(CDPARAM_F_PER_S);
    list[MODE_HEADER_LEN + 7] = Low(CDPARAM_F_PER_S);
}

const std::uint8_t* FindModePage(const std::uint8_t* data, std::uint32_t size, std::uint8_t page,
                                 std::uint32_t need) {
    if (size < MODE_HEADER_LEN) return nullptr;
    // The mode data length does not count its own two bytes.
    std::uint32_t end = BigEndian16(data + MODE_DATA_LENGTH) + 2u;
    if (end > size) end = size;
    const std::uint32_t at = MODE_HEADER_LEN + BigEndian16(data + MODE_BLOCK_DESCRIPTOR_LENGTH);
    if (at >= end || end - at < need || need == 0) return nullptr;
    if ((data[at] & MODE_PAGE_CODE_MASK) != page) return nullptr;
    return data + at;
}

}  // namespace scsi
