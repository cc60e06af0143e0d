// What a simulated device does with a command descriptor block.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "aspi32.h"
#include "model.h"

namespace simaspi {

namespace {

// Operation codes the model knows.
constexpr std::uint8_t OP_TEST_UNIT_READY = 0x00;
constexpr std::uint8_t OP_INQUIRY = 0x12;
constexpr std::uint8_t OP_START_STOP_UNIT = 0x1B;
constexpr std::uint8_t OP_PREVENT_ALLOW = 0x1E;
constexpr std::uint8_t OP_MODE_SELECT_10 = 0x55;
constexpr std::uint8_t OP_MODE_SENSE_10 = 0x5A;
constexpr std::uint8_t OP_SET_CD_SPEED = 0xBB;

// Sense keys and additional sense codes.
constexpr std::uint8_t KEY_NOT_READY = 0x02;
constexpr std::uint8_t KEY_HARDWARE_ERROR = 0x04;
constexpr std::uint8_t KEY_ILLEGAL_REQUEST = 0x05;
constexpr std::uint8_t ASC_INVALID_OPCODE = 0x20;
constexpr std::uint8_t ASC_INVALID_FIELD_IN_CDB = 0x24;
constexpr std::uint8_t ASC_INVALID_FIELD_IN_PARAMETERS = 0x26;
constexpr std::uint8_t ASC_NO_MEDIUM = 0x3A;
constexpr std::uint8_t ASCQ_NO_MEDIUM_TRAY_CLOSED = 0x01;
constexpr std::uint8_t ASCQ_NO_MEDIUM_TRAY_OPEN = 0x02;
constexpr std::uint8_t ASC_INTERNAL_TARGET_FAILURE = 0x44;
constexpr std::uint8_t ASC_REMOVAL_PREVENTED = 0x53;
constexpr std::uint8_t ASCQ_REMOVAL_PREVENTED = 0x02;

constexpr std::size_t INQUIRY_LEN = 36;
constexpr std::size_t MODE_HEADER_LEN = 8;
constexpr std::size_t CAPABILITIES_PAGE_LEN = 26;  // page length byte 18h
constexpr std::size_t CD_PARAMETERS_PAGE_LEN = 8;  // page length byte 06h

constexpr std::uint8_t START_BIT = 0x01;
constexpr std::uint8_t LOEJ_BIT = 0x02;
constexpr std::uint8_t PREVENT_BITS = 0x03;

Outcome Done(bool changed = false) {
    Outcome o;
    o.status = aspi::SS_COMP;
    o.changed = changed;
    return o;
}

Outcome Error(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq = 0) {
    Outcome o;
    o.status = aspi::SS_ERR;
    o.senseKey = key;
    o.asc = asc;
    o.ascq = ascq;
    return o;
}

Outcome Injected() { return Error(KEY_HARDWARE_ERROR, ASC_INTERNAL_TARGET_FAILURE); }
Outcome Unknown() { return Error(KEY_ILLEGAL_REQUEST, ASC_INVALID_OPCODE); }
Outcome BadField() { return Error(KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_CDB); }

void PutBig16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}

std::uint16_t Big16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }

// Copies a reply into the host's buffer: no more than the host allows
// (allocation length) nor than the buffer holds. The outcome tells how much.
Outcome Reply(const std::uint8_t* data, std::size_t len, std::size_t allocation,
              std::uint8_t* buf, std::uint32_t bufLen) {
    Outcome o = Done();
    if (!buf) return o;
    std::size_t n = std::min({len, allocation, std::size_t(bufLen)});
    if (n) std::memcpy(buf, data, n);
    o.dataLen = std::uint32_t(n);
    return o;
}

Outcome Inquiry(const Device& d, const std::uint8_t* cdb, std::size_t cdbLen,
                std::uint8_t* buf, std::uint32_t bufLen) {
    if (d.fail & FAIL_INQUIRY) return Injected();
    if (cdbLen < 6) return BadField();
    if (cdb[1] & 0x01) return BadField();  // no vital product data pages
    std::uint8_t data[INQUIRY_LEN] = {};
    data[0] = d.type;
    data[1] = IsRemovableType(d.type) ? 0x80 : 0x00;
    data[2] = 0x02;  // SCSI-2
    data[3] = 0x02;  // response data format
    data[4] = INQUIRY_LEN - 5;
    PutField(data + 8, d.vendor, VENDOR_LEN);
    PutField(data + 16, d.product, PRODUCT_LEN);
    PutField(data + 32, d.revision, REVISION_LEN);
    return Reply(data, sizeof data, cdb[4], buf, bufLen);
}

Outcome TestUnitReady(const Device& d) {
    if (d.fail & FAIL_TUR) return Injected();
    if (d.trayOpen) return Error(KEY_NOT_READY, ASC_NO_MEDIUM, ASCQ_NO_MEDIUM_TRAY_OPEN);
    if (!d.medium) return Error(KEY_NOT_READY, ASC_NO_MEDIUM, ASCQ_NO_MEDIUM_TRAY_CLOSED);
    return Done();
}

Outcome StartStopUnit(Device& d, const std::uint8_t* cdb, std::size_t cdbLen) {
    if (!IsRemovableType(d.type)) return Unknown();
    if (d.fail & FAIL_STARTSTOP) return Injected();
    if (cdbLen < 6) return BadField();
    std::uint8_t b4 = cdb[4];
    if (!(b4 & LOEJ_BIT)) return Done();  // spindle only: nothing the model tracks
    if (b4 & START_BIT) {
        d.trayOpen = false;
    } else {
        if (d.locked) return Error(KEY_ILLEGAL_REQUEST, ASC_REMOVAL_PREVENTED, ASCQ_REMOVAL_PREVENTED);
        d.trayOpen = true;
    }
    return Done(true);
}

Outcome PreventAllow(Device& d, const std::uint8_t* cdb, std::size_t cdbLen) {
    if (!IsRemovableType(d.type)) return Unknown();
    if (d.fail & FAIL_PREVENT) return Injected();
    if (cdbLen < 6) return BadField();
    bool prevent = (cdb[4] & PREVENT_BITS) != 0;
    if (prevent && !d.lockable) return BadField();
    d.locked = prevent;
    return Done(true);
}

Outcome SetCdSpeed(Device& d, const std::uint8_t* cdb, std::size_t cdbLen) {
    if (d.fail & FAIL_SETSPEED) return Injected();
    if (cdbLen < 4) return BadField();
    d.currentSpeed = ChooseSpeed(d, Big16(cdb + 2));
    return Done(true);
}

Outcome ModeSense(const Device& d, const std::uint8_t* cdb, std::size_t cdbLen,
                  std::uint8_t* buf, std::uint32_t bufLen) {
    if (cdbLen < 9) return BadField();
    std::uint8_t page = cdb[2] & 0x3F;
    if (!d.HasPage(page)) return BadField();
    std::uint8_t data[MODE_HEADER_LEN + MAX_BLOCK_DESCRIPTOR_BYTES + CAPABILITIES_PAGE_LEN] = {};
    const std::size_t descriptors = d.blockDescriptorBytes;
    PutBig16(data + 6, std::uint16_t(descriptors));
    for (std::size_t i = 0; i < descriptors; ++i) data[MODE_HEADER_LEN + i] = 0xEE;
    std::uint8_t* p = data + MODE_HEADER_LEN + descriptors;
    std::size_t pageLen;
    if (page == PAGE_CAPABILITIES) {
        if (d.fail & FAIL_MODESENSE_2A) return Injected();
        pageLen = CAPABILITIES_PAGE_LEN;
        p[0] = PAGE_CAPABILITIES;
        p[1] = std::uint8_t(pageLen - 2);
        p[6] = std::uint8_t((d.lockable ? 0x01 : 0) | (d.locked ? 0x02 : 0));
        PutBig16(p + 8, d.maxSpeed);
        PutBig16(p + 14, d.currentSpeed);
    } else if (page == PAGE_CD_PARAMETERS) {
        if (d.fail & FAIL_MODESENSE_0D) return Injected();
        pageLen = CD_PARAMETERS_PAGE_LEN;
        p[0] = PAGE_CD_PARAMETERS;
        p[1] = std::uint8_t(pageLen - 2);
        p[3] = std::uint8_t(d.inactivityReserved | (d.inactivity & 0x0F));
        PutBig16(p + 4, 60);  // S units per M unit
        PutBig16(p + 6, 75);  // F units per S unit
    } else {
        return BadField();  // listed, but the model has no contents for it
    }
    if (d.pageReply >= 0) p[0] = std::uint8_t(d.pageReply);
    std::size_t total = MODE_HEADER_LEN + descriptors + pageLen;
    if (d.modeDataCut >= 0 && std::size_t(d.modeDataCut) < total) total = std::size_t(d.modeDataCut);
    if (total >= 2) PutBig16(data, std::uint16_t(total - 2));  // mode data length
    return Reply(data, total, Big16(cdb + 7), buf, bufLen);
}

Outcome ModeSelect(Device& d, const std::uint8_t* cdb, std::size_t cdbLen,
                   const std::uint8_t* buf, std::uint32_t bufLen) {
    if (d.fail & FAIL_MODESELECT) return Injected();
    if (cdbLen < 9) return BadField();
    std::size_t n = buf ? std::min<std::size_t>(Big16(cdb + 7), bufLen) : 0;
    const Outcome badList = Error(KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_PARAMETERS);
    if (n < MODE_HEADER_LEN) return badList;
    std::size_t at = MODE_HEADER_LEN + Big16(buf + 6);  // past any block descriptors
    if (n < at + 4) return badList;
    std::uint8_t page = buf[at] & 0x3F;
    if (page != PAGE_CD_PARAMETERS || !d.HasPage(page)) return badList;
    d.inactivity = buf[at + 3] & 0x0F;
    return Done(true);
}

}  // namespace

bool IsRemovableType(std::uint8_t type) {
    return type == TYPE_TAPE || type == TYPE_WORM || type == TYPE_CDROM ||
           type == TYPE_OPTICAL || type == TYPE_CHANGER;
}

bool Device::HasPage(std::uint8_t page) const {
    return std::find(pages.begin(), pages.end(), page) != pages.end();
}

std::uint16_t ChooseSpeed(const Device& d, std::uint16_t request) {
    for (const auto& m : d.speedMap) {
        if (m.first == request) return m.second;
    }
    if (request == 0xFFFF) return d.maxSpeed;  // "as fast as you can"
    if (d.speeds.empty()) return d.maxSpeed && request > d.maxSpeed ? d.maxSpeed : request;
    std::vector<std::uint16_t> s = d.speeds;
    std::sort(s.begin(), s.end());
    auto above = std::lower_bound(s.begin(), s.end(), request);  // first >= request
    switch (d.policy) {
    case SpeedPolicy::Ceil:
        return above == s.end() ? s.back() : *above;
    case SpeedPolicy::Floor:
        if (above != s.end() && *above == request) return request;
        return above == s.begin() ? s.front() : *(above - 1);
    case SpeedPolicy::Nearest:
        if (above == s.end()) return s.back();
        if (above == s.begin()) return *above;
        return (request - *(above - 1) < *above - request) ? *(above - 1) : *above;
    }
    return d.currentSpeed;
}

Outcome Execute(Device& d, const std::uint8_t* cdb, std::size_t cdbLen,
                std::uint8_t* buf, std::uint32_t bufLen) {
    if (cdbLen == 0) return Unknown();
    bool cdrom = d.type == TYPE_CDROM;
    switch (cdb[0]) {
    case OP_TEST_UNIT_READY: return TestUnitReady(d);
    case OP_INQUIRY: return Inquiry(d, cdb, cdbLen, buf, bufLen);
    case OP_START_STOP_UNIT: return StartStopUnit(d, cdb, cdbLen);
    case OP_PREVENT_ALLOW: return PreventAllow(d, cdb, cdbLen);
    case OP_SET_CD_SPEED: return cdrom ? SetCdSpeed(d, cdb, cdbLen) : Unknown();
    case OP_MODE_SENSE_10: return cdrom ? ModeSense(d, cdb, cdbLen, buf, bufLen) : Unknown();
    case OP_MODE_SELECT_10: return cdrom ? ModeSelect(d, cdb, cdbLen, buf, bufLen) : Unknown();
    default: return Unknown();
    }
}

void WriteSense(const Outcome& o, std::uint8_t* sense, std::size_t len) {
    std::uint8_t data[SENSE_DATA_LEN] = {};
    data[0] = 0x70;  // current error, fixed format
    data[2] = o.senseKey;
    data[7] = 10;    // additional sense length
    data[12] = o.asc;
    data[13] = o.ascq;
    std::memcpy(sense, data, std::min(len, sizeof data));
}

std::string StateLine(const Device& d) {
    bool cdrom = d.type == TYPE_CDROM;
    char line[160];
    std::snprintf(line, sizeof line,
                  "%u:%u:%u type=%u speed=%u tray=%s medium=%d locked=%d inactivity=%u",
                  d.adapter, d.target, d.lun, d.type, cdrom ? d.currentSpeed : 0u,
                  d.trayOpen ? "open" : "closed", d.medium ? 1 : 0, d.locked ? 1 : 0,
                  cdrom ? d.inactivity : 0u);
    return d.absent ? std::string(line) + " absent=1" : std::string(line);
}

void PutField(std::uint8_t* dst, const std::string& text, std::size_t width) {
    std::memset(dst, ' ', width);
    std::memcpy(dst, text.data(), std::min(width, text.size()));
}

}  // namespace simaspi
