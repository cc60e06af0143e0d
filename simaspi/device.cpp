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
constexpr std::uint8_t OP_REQUEST_SENSE = 0x03;
constexpr std::uint8_t OP_INQUIRY = 0x12;
constexpr std::uint8_t OP_START_STOP_UNIT = 0x1B;
constexpr std::uint8_t OP_PREVENT_ALLOW = 0x1E;
constexpr std::uint8_t OP_MODE_SELECT_10 = 0x55;
constexpr std::uint8_t OP_MODE_SENSE_10 = 0x5A;
constexpr std::uint8_t OP_SET_CD_SPEED = 0xBB;
constexpr std::uint8_t OP_GET_CONFIGURATION = 0x46;
constexpr std::uint8_t OP_GET_PERFORMANCE = 0xAC;
constexpr std::uint8_t OP_SET_STREAMING = 0xB6;

// Sense keys and additional sense codes.
constexpr std::uint8_t KEY_NOT_READY = 0x02;
constexpr std::uint8_t KEY_HARDWARE_ERROR = 0x04;
constexpr std::uint8_t KEY_ILLEGAL_REQUEST = 0x05;
constexpr std::uint8_t KEY_UNIT_ATTENTION = 0x06;
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
constexpr std::size_t CAPABILITIES_PAGE_LEN = 26;     // page length byte 18h
constexpr std::size_t CD_PARAMETERS_PAGE_LEN = 8;     // page length byte 06h
constexpr std::size_t POWER_CONDITION_PAGE_LEN = 12;  // page length byte 0Ah
constexpr std::uint8_t POWER_IDLE = 0x02;
constexpr std::uint8_t POWER_STANDBY = 0x01;

// Profiles, features and media as GET CONFIGURATION and page 2Ah give them.
constexpr std::uint16_t PROFILE_CD_ROM = 0x0008;
constexpr std::uint16_t PROFILE_DVD_ROM = 0x0010;
constexpr std::uint16_t PROFILE_BD_ROM = 0x0040;
constexpr std::uint16_t FEATURE_PROFILE_LIST = 0x0000;
constexpr std::uint16_t FEATURE_CORE = 0x0001;
constexpr std::uint16_t FEATURE_REMOVABLE_MEDIUM = 0x0003;
constexpr std::uint16_t FEATURE_CD_READ = 0x001E;
constexpr std::uint16_t FEATURE_DVD_READ = 0x001F;
constexpr std::uint16_t FEATURE_BD_READ = 0x0040;
constexpr std::uint16_t FEATURE_POWER_MANAGEMENT = 0x0100;
constexpr std::uint16_t FEATURE_REAL_TIME_STREAMING = 0x0107;
constexpr std::uint8_t RTS_SET_CD_SPEED = 0x08;  // SCS: SET CD SPEED supported
constexpr std::uint8_t RTS_WRITE_SPEEDS = 0x02;  // WSPD: write speeds in GET PERFORMANCE
constexpr std::uint8_t READS_CD = 0x03;          // page 2Ah byte 2: CD-R, CD-RW
constexpr std::uint8_t READS_DVD = 0x38;         // DVD-ROM, DVD-R, DVD-RAM
constexpr std::uint8_t WRITES_CD = 0x03;         // byte 3: CD-R, CD-RW
constexpr std::uint8_t WRITES_DVD = 0x30;        // DVD-R, DVD-RAM
constexpr std::size_t PERFORMANCE_HEADER_LEN = 8;
constexpr std::size_t PERFORMANCE_DESCRIPTOR_LEN = 16;
constexpr std::uint8_t PERFORMANCE_NOMINAL = 0x00;
constexpr std::uint8_t PERFORMANCE_WRITE_SPEED = 0x03;
constexpr std::uint8_t PERFORMANCE_WRITE_BIT = 0x04;
constexpr std::size_t STREAMING_DESCRIPTOR_LEN = 28;

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

void PutBig32(std::uint8_t* p, std::uint32_t v) {
    PutBig16(p, std::uint16_t(v >> 16));
    PutBig16(p + 2, std::uint16_t(v));
}

std::uint32_t Big32(const std::uint8_t* p) {
    return (std::uint32_t(Big16(p)) << 16) | Big16(p + 2);
}

std::uint16_t ProfileOf(MediaKind kind) {
    switch (kind) {
    case MediaKind::Cd: return PROFILE_CD_ROM;
    case MediaKind::Dvd: return PROFILE_DVD_ROM;
    case MediaKind::Bd: return PROFILE_BD_ROM;
    case MediaKind::None: break;
    }
    return 0;
}

// The last block of a full medium of each kind: 80-minute CD, single-layer
// DVD, single-layer BD.
std::uint32_t EndLba(MediaKind kind) {
    switch (kind) {
    case MediaKind::Cd: return 359999;
    case MediaKind::Dvd: return 2295103;
    case MediaKind::Bd: return 12219391;
    case MediaKind::None: break;
    }
    return 0;
}

bool DvdOrBd(MediaKind kind) { return kind == MediaKind::Dvd || kind == MediaKind::Bd; }

// Copies a reply into the host's buffer: no more than the host allows
// (allocation length) nor than the buffer holds. The outcome tells how much.
Outcome Reply(const std::uint8_t* data, std::size_t len, std::size_t allocation, std::uint8_t* buf,
              std::uint32_t bufLen) {
    Outcome o = Done();
    if (!buf) return o;
    std::size_t n = std::min({len, allocation, std::size_t(bufLen)});
    if (n) std::memcpy(buf, data, n);
    o.dataLen = std::uint32_t(n);
    return o;
}

Outcome Inquiry(const Device& d, const std::uint8_t* cdb, std::size_t cdbLen, std::uint8_t* buf,
                std::uint32_t bufLen) {
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

// Takes the oldest unit attention waiting, if any.
bool TakeAttention(Device& d, Outcome& o) {
    if (d.attention.empty()) return false;
    o = Error(KEY_UNIT_ATTENTION, d.attention.front());
    o.changed = true;
    d.attention.erase(d.attention.begin());
    return true;
}

// The sense data of a unit attention waiting, else of no error at all.
Outcome RequestSense(Device& d, const std::uint8_t* cdb, std::size_t cdbLen, std::uint8_t* buf,
                     std::uint32_t bufLen) {
    if (cdbLen < 6) return BadField();
    Outcome pending;
    const bool taken = TakeAttention(d, pending);
    std::uint8_t data[SENSE_DATA_LEN];
    WriteSense(pending, data, sizeof data);
    Outcome o = Reply(data, sizeof data, cdb[4], buf, bufLen);
    o.changed = taken;
    return o;
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
        if (d.locked)
            return Error(KEY_ILLEGAL_REQUEST, ASC_REMOVAL_PREVENTED, ASCQ_REMOVAL_PREVENTED);
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
    if (d.cdSpeed == CdSpeedRule::Refuse) return Unknown();
    if (d.fail & FAIL_SETSPEED) return Injected();
    if (cdbLen < 4) return BadField();
    if (d.cdSpeed == CdSpeedRule::IgnoreDvd && DvdOrBd(d.MediumKind())) return Done();
    d.currentSpeed = ChooseSpeed(d, Big16(cdb + 2));
    d.streamed = false;
    return Done(true);
}

// One feature descriptor: code, current bit, additional length, data.
void AddFeature(std::vector<std::uint8_t>& out, std::uint16_t code,
                const std::vector<std::uint8_t>& data) {
    out.push_back(std::uint8_t(code >> 8));
    out.push_back(std::uint8_t(code));
    out.push_back(0x01);  // current
    out.push_back(std::uint8_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

Outcome GetConfiguration(const Device& d, const std::uint8_t* cdb, std::size_t cdbLen,
                         std::uint8_t* buf, std::uint32_t bufLen) {
    if (d.kind == MediaKind::None) return Unknown();
    if (cdbLen < 10) return BadField();
    const std::uint8_t rt = cdb[1] & 0x03;
    if (rt == 0x03) return BadField();
    const std::uint16_t start = Big16(cdb + 2);
    std::vector<std::uint8_t> out(8, 0);
    PutBig16(out.data() + 6, ProfileOf(d.MediumKind()));
    const auto wanted = [&](std::uint16_t code) {
        return rt == 0x02 ? code == start : code >= start;
    };
    if (wanted(FEATURE_PROFILE_LIST)) {
        std::vector<std::uint8_t> profiles;
        for (MediaKind k : {MediaKind::Bd, MediaKind::Dvd, MediaKind::Cd}) {
            if (k == MediaKind::Bd && d.kind != MediaKind::Bd) continue;
            if (k == MediaKind::Dvd && d.kind == MediaKind::Cd) continue;
            const std::uint16_t p = ProfileOf(k);
            profiles.insert(profiles.end(), {std::uint8_t(p >> 8), std::uint8_t(p),
                                             std::uint8_t(k == d.MediumKind() ? 1 : 0), 0});
        }
        AddFeature(out, FEATURE_PROFILE_LIST, profiles);
    }
    if (wanted(FEATURE_CORE)) AddFeature(out, FEATURE_CORE, {0, 0, 0, 2, 0, 0, 0, 0});  // ATAPI
    if (wanted(FEATURE_REMOVABLE_MEDIUM))
        AddFeature(out, FEATURE_REMOVABLE_MEDIUM, {0x29, 0, 0, 0});
    if (wanted(FEATURE_CD_READ)) AddFeature(out, FEATURE_CD_READ, {0, 0, 0, 0});
    if (d.kind != MediaKind::Cd && wanted(FEATURE_DVD_READ))
        AddFeature(out, FEATURE_DVD_READ, {0, 0, 0, 0});
    if (d.kind == MediaKind::Bd && wanted(FEATURE_BD_READ))
        AddFeature(out, FEATURE_BD_READ, std::vector<std::uint8_t>(28, 0));
    if (d.HasPage(PAGE_POWER_CONDITION) && wanted(FEATURE_POWER_MANAGEMENT))
        AddFeature(out, FEATURE_POWER_MANAGEMENT, {});
    if (d.streaming != StreamingRule::None && wanted(FEATURE_REAL_TIME_STREAMING)) {
        std::uint8_t bits = 0;
        if (d.cdSpeed != CdSpeedRule::Refuse) bits |= RTS_SET_CD_SPEED;
        if (!d.writeSpeeds.empty()) bits |= RTS_WRITE_SPEEDS;
        AddFeature(out, FEATURE_REAL_TIME_STREAMING, {bits, 0, 0, 0});
    }
    PutBig32(out.data(), std::uint32_t(out.size() - 4));
    return Reply(out.data(), out.size(), Big16(cdb + 7), buf, bufLen);
}

Outcome GetPerformance(const Device& d, const std::uint8_t* cdb, std::size_t cdbLen,
                       std::uint8_t* buf, std::uint32_t bufLen) {
    if (d.streaming == StreamingRule::None) return Unknown();
    if (cdbLen < 12) return BadField();
    const std::size_t most = Big16(cdb + 8);
    std::vector<std::uint8_t> out(PERFORMANCE_HEADER_LEN, 0);
    const auto descriptor = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                std::uint32_t e) {
        if ((out.size() - PERFORMANCE_HEADER_LEN) / PERFORMANCE_DESCRIPTOR_LEN >= most) return;
        std::uint8_t one[PERFORMANCE_DESCRIPTOR_LEN];
        PutBig32(one, a);
        PutBig32(one + 4, b);
        PutBig32(one + 8, c);
        PutBig32(one + 12, e);
        out.insert(out.end(), one, one + sizeof one);
    };
    const MediaKind medium = d.MediumKind();
    if (cdb[10] == PERFORMANCE_NOMINAL) {
        if (medium == MediaKind::None)
            return Error(KEY_NOT_READY, ASC_NO_MEDIUM, ASCQ_NO_MEDIUM_TRAY_CLOSED);
        out[4] = cdb[1] & PERFORMANCE_WRITE_BIT ? 0x02 : 0x00;
        // One stretch, LBA 0 to the end, at the speed reads run at now.
        descriptor(0, d.currentSpeed, EndLba(medium), d.currentSpeed);
    } else if (cdb[10] == PERFORMANCE_WRITE_SPEED) {
        for (const auto& w : d.writeSpeeds) descriptor(0, EndLba(medium), w.first, w.second);
    } else {
        return BadField();
    }
    PutBig32(out.data(), std::uint32_t(out.size() - 4));
    return Reply(out.data(), out.size(), bufLen, buf, bufLen);
}

Outcome SetStreaming(Device& d, const std::uint8_t* cdb, std::size_t cdbLen,
                     const std::uint8_t* buf, std::uint32_t bufLen) {
    if (d.streaming == StreamingRule::None) return Unknown();
    if (d.streaming == StreamingRule::Refuse) return BadField();
    if (cdbLen < 11 || cdb[8] != 0) return BadField();
    const std::size_t n = buf ? std::min<std::size_t>(Big16(cdb + 9), bufLen) : 0;
    const Outcome badList = Error(KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_PARAMETERS);
    if (n < STREAMING_DESCRIPTOR_LEN) return badList;
    const std::uint32_t size = Big32(buf + 12), time = Big32(buf + 16);
    if (time == 0) return badList;
    const std::uint64_t speed = std::uint64_t(size) * 1000 / time;  // kB per second
    d.currentSpeed = ChooseSpeed(d, std::uint16_t(speed > 0xFFFE ? 0xFFFE : speed));
    d.streamed = true;
    return Done(true);
}

Outcome ModeSense(const Device& d, const std::uint8_t* cdb, std::size_t cdbLen, std::uint8_t* buf,
                  std::uint32_t bufLen) {
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
        if (d.kind != MediaKind::None) {
            p[2] = std::uint8_t(READS_CD | (DvdOrBd(d.kind) ? READS_DVD : 0));
            if (!d.writeSpeeds.empty())
                p[3] = std::uint8_t(WRITES_CD | (DvdOrBd(d.kind) ? WRITES_DVD : 0));
        }
        p[6] = std::uint8_t((d.lockable ? 0x01 : 0) | (d.locked ? 0x02 : 0));
        PutBig16(p + 8, d.maxSpeed);
        const std::uint16_t reported = d.speedReport == SpeedReport::Zero      ? 0
                                       : d.speedReport == SpeedReport::Maximum ? d.maxSpeed
                                                                               : d.currentSpeed;
        PutBig16(p + 14, reported);
    } else if (page == PAGE_CD_PARAMETERS) {
        if (d.fail & FAIL_MODESENSE_0D) return Injected();
        pageLen = CD_PARAMETERS_PAGE_LEN;
        p[0] = PAGE_CD_PARAMETERS;
        p[1] = std::uint8_t(pageLen - 2);
        p[3] = std::uint8_t(d.inactivityReserved | (d.inactivity & 0x0F));
        PutBig16(p + 4, 60);  // S units per M unit
        PutBig16(p + 6, 75);  // F units per S unit
    } else if (page == PAGE_POWER_CONDITION) {
        pageLen = POWER_CONDITION_PAGE_LEN;
        p[0] = PAGE_POWER_CONDITION;
        p[1] = std::uint8_t(pageLen - 2);
        p[3] = std::uint8_t((d.idleOn ? POWER_IDLE : 0) | (d.standbyOn ? POWER_STANDBY : 0));
        PutBig32(p + 4, d.idleTimer);
        PutBig32(p + 8, d.standbyTimer);
    } else {
        return BadField();  // listed, but the model has no contents for it
    }
    if (d.pageReply >= 0) p[0] = std::uint8_t(d.pageReply);
    std::size_t total = MODE_HEADER_LEN + descriptors + pageLen;
    if (d.modeDataCut >= 0 && std::size_t(d.modeDataCut) < total)
        total = std::size_t(d.modeDataCut);
    if (total >= 2) PutBig16(data, std::uint16_t(total - 2));  // mode data length
    return Reply(data, total, Big16(cdb + 7), buf, bufLen);
}

Outcome ModeSelect(Device& d, const std::uint8_t* cdb, std::size_t cdbLen, const std::uint8_t* buf,
                   std::uint32_t bufLen) {
    if (d.fail & FAIL_MODESELECT) return Injected();
    if (cdbLen < 9) return BadField();
    std::size_t n = buf ? std::min<std::size_t>(Big16(cdb + 7), bufLen) : 0;
    const Outcome badList = Error(KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_PARAMETERS);
    if (n < MODE_HEADER_LEN) return badList;
    std::size_t at = MODE_HEADER_LEN + Big16(buf + 6);  // past any block descriptors
    if (n < at + 4) return badList;
    std::uint8_t page = buf[at] & 0x3F;
    if (!d.HasPage(page)) return badList;
    if (page == PAGE_POWER_CONDITION) {
        if (n < at + POWER_CONDITION_PAGE_LEN) return badList;
        d.idleOn = (buf[at + 3] & POWER_IDLE) != 0;
        d.standbyOn = (buf[at + 3] & POWER_STANDBY) != 0;
        d.idleTimer = Big32(buf + at + 4);
        d.standbyTimer = Big32(buf + at + 8);
        return Done(true);
    }
    if (page != PAGE_CD_PARAMETERS) return badList;
    d.inactivity = buf[at + 3] & 0x0F;
    return Done(true);
}

}  // namespace

bool IsRemovableType(std::uint8_t type) {
    return type == TYPE_TAPE || type == TYPE_WORM || type == TYPE_CDROM || type == TYPE_OPTICAL ||
           type == TYPE_CHANGER;
}

MediaKind Device::MediumKind() const {
    if (!medium || trayOpen) return MediaKind::None;
    return profile != MediaKind::None ? profile : kind;
}

bool Device::HasPage(std::uint8_t page) const {
    return std::find(pages.begin(), pages.end(), page) != pages.end();
}

void Device::ChangeMedium() {
    medium = true;
    trayOpen = false;
    if (!(streamed && keepStreaming)) {
        currentSpeed = maxSpeed;
        streamed = false;
    }
    // One medium change waiting is as good as two.
    if (std::find(attention.begin(), attention.end(), ASC_MEDIUM_CHANGED) == attention.end())
        attention.push_back(ASC_MEDIUM_CHANGED);
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
    case SpeedPolicy::Ceil: return above == s.end() ? s.back() : *above;
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

Outcome Execute(Device& d, const std::uint8_t* cdb, std::size_t cdbLen, std::uint8_t* buf,
                std::uint32_t bufLen) {
    if (cdbLen == 0) return Unknown();
    // A unit attention is reported before anything else is done, to any
    // command but the two that must pass it.
    Outcome attention;
    if (cdb[0] != OP_INQUIRY && cdb[0] != OP_REQUEST_SENSE && TakeAttention(d, attention))
        return attention;
    bool cdrom = d.type == TYPE_CDROM;
    switch (cdb[0]) {
    case OP_TEST_UNIT_READY: return TestUnitReady(d);
    case OP_REQUEST_SENSE: return RequestSense(d, cdb, cdbLen, buf, bufLen);
    case OP_INQUIRY: return Inquiry(d, cdb, cdbLen, buf, bufLen);
    case OP_START_STOP_UNIT: return StartStopUnit(d, cdb, cdbLen);
    case OP_PREVENT_ALLOW: return PreventAllow(d, cdb, cdbLen);
    case OP_SET_CD_SPEED: return cdrom ? SetCdSpeed(d, cdb, cdbLen) : Unknown();
    case OP_MODE_SENSE_10: return cdrom ? ModeSense(d, cdb, cdbLen, buf, bufLen) : Unknown();
    case OP_MODE_SELECT_10: return cdrom ? ModeSelect(d, cdb, cdbLen, buf, bufLen) : Unknown();
    case OP_GET_CONFIGURATION:
        return cdrom ? GetConfiguration(d, cdb, cdbLen, buf, bufLen) : Unknown();
    case OP_GET_PERFORMANCE: return cdrom ? GetPerformance(d, cdb, cdbLen, buf, bufLen) : Unknown();
    case OP_SET_STREAMING: return cdrom ? SetStreaming(d, cdb, cdbLen, buf, bufLen) : Unknown();
    default: return Unknown();
    }
}

void WriteSense(const Outcome& o, std::uint8_t* sense, std::size_t len) {
    std::uint8_t data[SENSE_DATA_LEN] = {};
    data[0] = 0x70;  // current error, fixed format
    data[2] = o.senseKey;
    data[7] = 10;  // additional sense length
    data[12] = o.asc;
    data[13] = o.ascq;
    std::memcpy(sense, data, std::min(len, sizeof data));
}

std::string StateLine(const Device& d) {
    bool cdrom = d.type == TYPE_CDROM;
    char line[160];
    std::snprintf(line, sizeof line,
                  "%u:%u:%u type=%u speed=%u tray=%s medium=%d locked=%d inactivity=%u", d.adapter,
                  d.target, d.lun, d.type, cdrom ? d.currentSpeed : 0u,
                  d.trayOpen ? "open" : "closed", d.medium ? 1 : 0, d.locked ? 1 : 0,
                  cdrom ? d.inactivity : 0u);
    std::string text(line);
    // Drives with page 1Ah add its standby timer (100 ms units, 0: off).
    if (cdrom && d.HasPage(PAGE_POWER_CONDITION))
        text += " standby=" + std::to_string(d.standbyOn ? d.standbyTimer : 0u);
    // Unit attentions waiting, oldest first, by additional sense code.
    for (std::size_t i = 0; i < d.attention.size(); ++i) {
        char asc[4];
        std::snprintf(asc, sizeof asc, "%02x", d.attention[i]);
        text += (i == 0 ? " attention=" : ",") + std::string(asc);
    }
    return d.absent ? text + " absent=1" : text;
}

void PutField(std::uint8_t* dst, const std::string& text, std::size_t width) {
    std::memset(dst, ' ', width);
    std::memcpy(dst, text.data(), std::min(width, text.size()));
}

}  // namespace simaspi
