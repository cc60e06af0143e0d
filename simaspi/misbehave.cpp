#include "misbehave.h"

#include <algorithm>

#include "aspi32.h"

namespace simaspi {

namespace {

constexpr std::uint8_t OP_TEST_UNIT_READY = 0x00;
constexpr std::uint8_t OP_INQUIRY = 0x12;
constexpr std::uint8_t OP_START_STOP_UNIT = 0x1B;
constexpr std::uint8_t OP_PREVENT_ALLOW = 0x1E;
constexpr std::uint8_t OP_MODE_SELECT_10 = 0x55;
constexpr std::uint8_t OP_MODE_SENSE_10 = 0x5A;
constexpr std::uint8_t OP_SET_CD_SPEED = 0xBB;

constexpr std::uint32_t INQUIRY_TEXT_BEGIN = 8;  // vendor, product, revision: bytes 8..35
constexpr std::uint32_t INQUIRY_TEXT_END = 36;
constexpr std::uint32_t MODE_HEADER_LEN = 8;

// Statuses a failing library or device ends a command with.
const std::uint8_t kErrorStatuses[] = {aspi::SS_ERR, aspi::SS_ABORTED, aspi::SS_ABORT_FAIL,
                                       aspi::SS_NO_DEVICE, aspi::SS_INVALID_HA};

// Types a confused device reports: the removable classes, others, a "no device".
const std::uint8_t kTypes[] = {0, 1, 3, 4, 5, 7, 8, 9, 0x1F};

std::uint16_t Big16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }

void PutBig16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}

void Note(std::string& what, const char* word) {
    if (!what.empty()) what += ',';
    what += word;
}

}  // namespace

std::uint32_t CommandBit(const std::uint8_t* cdb, std::size_t cdbLen) {
    if (!cdbLen) return 0;
    switch (cdb[0]) {
    case OP_TEST_UNIT_READY: return FAIL_TUR;
    case OP_INQUIRY: return FAIL_INQUIRY;
    case OP_START_STOP_UNIT: return FAIL_STARTSTOP;
    case OP_PREVENT_ALLOW: return FAIL_PREVENT;
    case OP_MODE_SELECT_10: return FAIL_MODESELECT;
    case OP_SET_CD_SPEED: return FAIL_SETSPEED;
    case OP_MODE_SENSE_10:
        if (cdbLen < 3) return 0;
        if ((cdb[2] & 0x3F) == PAGE_CAPABILITIES) return FAIL_MODESENSE_2A;
        if ((cdb[2] & 0x3F) == PAGE_CD_PARAMETERS) return FAIL_MODESENSE_0D;
        return 0;
    default: return 0;
    }
}

long HoldSeconds(const Device& device, const std::uint8_t* cdb, std::size_t cdbLen) {
    const std::uint32_t bit = CommandBit(cdb, cdbLen);
    if (!bit) return 0;
    if (device.hang & bit) return -1;
    for (const auto& late : device.late)
        if (late.first == bit) return long(late.second);
    return 0;
}

std::uint32_t Chaos::Next() {
    // splitmix64: small, and every seed gives a good sequence.
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return std::uint32_t((z ^ (z >> 31)) >> 32);
}

std::uint8_t Chaos::CommandError() {
    if (!m_.on || !Roll(m_.errorRate)) return 0;
    return kErrorStatuses[Below(sizeof kErrorStatuses)];
}

bool Chaos::Async() { return m_.on && Roll(m_.asyncRate); }

std::uint32_t Chaos::DelayMs() { return m_.on ? Below(m_.delayMaxMs + 1) : 0; }

int Chaos::OtherType(std::uint8_t type) {
    if (!m_.on || !Roll(m_.typeRate)) return -1;
    const std::uint32_t i = Below(sizeof kTypes);
    return kTypes[i] != type ? kTypes[i] : kTypes[(i + 1) % sizeof kTypes];
}

void Chaos::MangleInquiry(std::uint8_t* data, std::uint32_t len, std::string& what) {
    const std::uint32_t end = std::min(len, INQUIRY_TEXT_END);
    if (end <= INQUIRY_TEXT_BEGIN) return;
    const std::uint32_t span = end - INQUIRY_TEXT_BEGIN;
    switch (Below(4)) {
    case 0:  // control bytes (a NUL among them) and DEL
        for (std::uint32_t n = 1 + Below(4); n--;) {
            std::uint32_t at = INQUIRY_TEXT_BEGIN + Below(span);
            data[at] = Below(5) == 0 ? 0x7F : std::uint8_t(Below(0x20));
        }
        Note(what, "text-control");
        break;
    case 1:  // every byte a letter: no blank to trim anywhere
        for (std::uint32_t at = INQUIRY_TEXT_BEGIN; at < end; ++at)
            data[at] = std::uint8_t('A' + Below(26));
        Note(what, "text-noblanks");
        break;
    case 2:  // FFh bytes, one field or the lot
        if (Below(2)) {
            std::fill(data + INQUIRY_TEXT_BEGIN, data + end, 0xFF);
        } else {
            for (std::uint32_t n = 1 + Below(6); n--;)
                data[INQUIRY_TEXT_BEGIN + Below(span)] = 0xFF;
        }
        Note(what, "text-ff");
        break;
    default:  // a Shift-JIS lead byte as the last byte of each field
        for (std::uint32_t at : {15u, 31u, 35u})
            if (at < end) data[at] = 0x81;
        Note(what, "text-leadbyte");
        break;
    }
}

void Chaos::MangleModePage(std::uint8_t* data, std::uint32_t len, std::uint32_t cap,
                           std::string& what) {
    if (len < MODE_HEADER_LEN) return;
    const std::uint32_t at = MODE_HEADER_LEN + Big16(data + 6);
    if (Roll(m_.nonsenseRate) && at + 4 <= len) {
        std::uint8_t* p = data + at;
        if ((p[0] & 0x3F) == 0x2A && at + 16 <= len) {
            switch (Below(6)) {
            case 0:
                PutBig16(p + 8, 0);
                Note(what, "max-0");
                break;
            case 1:
                PutBig16(p + 8, 0xFFFF);
                Note(what, "max-ffff");
                break;
            case 2:
                PutBig16(p + 14, 0);
                Note(what, "current-0");
                break;
            case 3:
                PutBig16(p + 14, 0xFFFF);
                Note(what, "current-ffff");
                break;
            case 4:
                PutBig16(p + 14, std::uint16_t(Big16(p + 8) + 1 + Below(8000)));
                Note(what, "current-above-max");
                break;
            default:
                p[6] ^= std::uint8_t(1 + Below(3));
                Note(what, "lock-bits");
                break;
            }
        } else if ((p[0] & 0x3F) == 0x0D) {
            if (Below(3)) {
                p[3] = std::uint8_t(Below(256));
                Note(what, "inactivity-byte");
            } else {
                p[0] = std::uint8_t(Below(0x40));
                Note(what, "page-code");
            }
        }
    }
    if (Roll(m_.longLengthRate)) {
        PutBig16(data, Below(2)
                           ? 0xFFFF
                           : std::uint16_t(std::min<std::uint32_t>(cap + 1 + Below(200), 0xFFFF)));
        Note(what, "long-length");
    }
}

std::uint32_t Chaos::MangleReply(const std::uint8_t* cdb, std::size_t cdbLen, std::uint8_t* data,
                                 std::uint32_t dataLen, std::uint32_t cap, std::string& what) {
    if (!m_.on || !cdbLen || !data) return dataLen;
    if (cdb[0] == OP_INQUIRY && dataLen) {
        const int type = OtherType(data[0] & 0x1F);
        if (type >= 0) {
            data[0] = std::uint8_t(type);
            Note(what, "type");
        }
        if (Roll(m_.textRate)) MangleInquiry(data, dataLen, what);
    } else if (cdb[0] == OP_MODE_SENSE_10) {
        MangleModePage(data, dataLen, cap, what);
    }
    if (dataLen && Roll(m_.shortRate)) {
        dataLen = Below(dataLen);
        Note(what, "short");
    }
    return dataLen;
}

void Chaos::Reshuffle(Bus& bus, std::string& what) {
    if (!m_.on) return;
    for (Device& d : bus.devices) {
        if (!Roll(m_.vanishRate)) continue;
        d.absent = !d.absent;
        Note(what, d.absent ? "device-gone" : "device-back");
    }
    // Adapters leave more rarely: with one, every device behind it goes.
    for (Adapter& a : bus.adapters) {
        if (!Roll(m_.vanishRate / 4)) continue;
        a.absent = !a.absent;
        Note(what, a.absent ? "adapter-gone" : "adapter-back");
    }
}

std::size_t Bus::AdapterCount() const {
    std::size_t n = adapters.size();
    while (n > 0 && adapters[n - 1].absent) --n;
    return n;
}

bool Bus::AdapterPresent(std::uint8_t adapter) const {
    return adapter < adapters.size() && !adapters[adapter].absent;
}

}  // namespace simaspi
