// The command ids that carry a drive or a device address: the menus build
// them, the dispatcher and the timers take them apart. Only the low 16 bits
// of an id count.
#pragma once

#include <cstdint>

namespace cmd {

constexpr std::uint16_t RANGE_SIZE = 0x1000;

// Speed items: base + 64 x drive index + speed index.
constexpr std::uint16_t SPEED_BASE = 0x0400;
constexpr std::uint16_t SPEEDS_PER_DRIVE = 64;

// Media items: base + 256 x adapter + 16 x target + LUN.
constexpr std::uint16_t EJECT_BASE = 0x1400;       // open the tray
constexpr std::uint16_t LOAD_BASE = 0x2400;        // close the tray
constexpr std::uint16_t OPEN_CLOSE_BASE = 0x3400;  // open, close again after a while
constexpr std::uint16_t LOCK_BASE = 0x4400;
constexpr std::uint16_t UNLOCK_BASE = 0x5400;

// Timers: the balloon throttle, and the open-close timer 0x2000 + address.
constexpr std::uintptr_t BALLOON_TIMER_ID = 0x1000;
constexpr unsigned BALLOON_TIMER_MS = 10000;
constexpr std::uintptr_t OPEN_CLOSE_TIMER_BASE = 0x2000;

struct DeviceAddress {
    std::uint8_t adapter;
    std::uint8_t target;
    std::uint8_t lun;
};

// x = id - base in 16-bit arithmetic; the id is in the range when x < 0x1000.
inline bool InRange(std::uint32_t id, std::uint16_t base, std::uint16_t& x) {
    x = static_cast<std::uint16_t>(static_cast<std::uint16_t>(id) - base);
    return x < RANGE_SIZE;
}

inline std::uint16_t SpeedId(std::uint32_t drive, std::uint32_t speed) {
    return static_cast<std::uint16_t>(SPEED_BASE + SPEEDS_PER_DRIVE * drive + speed);
}
inline std::uint32_t SpeedDrive(std::uint16_t x) { return x >> 6; }
inline std::uint32_t SpeedIndex(std::uint16_t x) { return x & 63; }

// Adapter and target take four bits each: devices at 16 and above have no id.
inline bool Addressable(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) {
    return adapter < 16 && target < 16 && lun < 16;
}
inline std::uint16_t AddressCode(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) {
    return static_cast<std::uint16_t>(adapter * 256 + target * 16 + lun);
}
inline std::uint16_t MediaId(std::uint16_t base, std::uint8_t adapter, std::uint8_t target,
                             std::uint8_t lun) {
    return static_cast<std::uint16_t>(base + AddressCode(adapter, target, lun));
}
inline DeviceAddress DecodeAddress(std::uint16_t x) {
    return {static_cast<std::uint8_t>((x >> 8) & 15), static_cast<std::uint8_t>((x >> 4) & 15),
            static_cast<std::uint8_t>(x & 15)};
}

inline std::uintptr_t OpenCloseTimerId(std::uint16_t x) {
    return OPEN_CLOSE_TIMER_BASE + (x & 0xFFF);
}

}  // namespace cmd
