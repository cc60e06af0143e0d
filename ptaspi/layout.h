// Where each CD-ROM class device of the system sits on the ASPI buses.
#pragma once

#include <cstdint>
#include <vector>

namespace ptaspi {

// The tray program's command ids carry an adapter number and a target id in
// four bits each.
constexpr std::uint8_t ADAPTER_LIMIT = 16;
constexpr std::uint8_t TARGET_LIMIT = 16;
constexpr std::uint8_t OVERFLOW_ADAPTER = ADAPTER_LIMIT - 1;
constexpr std::uint8_t NOT_PLACED = 0xFF;

// One device as the system shows it.
constexpr char NO_LETTER = 0;
constexpr int NO_NUMBER = -1;

struct SystemDevice {
    char letter;     // its drive letter, or NO_LETTER
    bool addressed;  // IOCTL_SCSI_GET_ADDRESS answered
    std::uint8_t port, path, target, lun;
    int number;  // N of \Device\CdRomN, or NO_NUMBER
};

struct Slot {
    std::uint8_t adapter = NOT_PLACED;
    std::uint8_t target = 0;
    std::uint8_t lun = 0;
};

// Slots for the devices, result[i] for devices[i]. Each (port, path) is an
// adapter, numbered in ascending order, with the target id and LUN as reported;
// then every device without a usable address (none read, a target id of 16 or
// more, or one taken already) gets an adapter of its own: those with a drive
// letter by letter, then the others by their class device number.
// Numbers stop at 15: a device that would get a higher adapter goes to adapter
// 15 at its lowest free target id, LUN 0.
std::vector<Slot> PlaceDevices(const std::vector<SystemDevice>& devices);

// The adapter's own SCSI id: 7 where no device has it, else the highest free
// id; TARGET_LIMIT when every id is taken.
std::uint8_t OwnScsiId(const std::vector<Slot>& slots, std::uint8_t adapter);

}  // namespace ptaspi
