// The table of CD-ROM drives the tray program controls: rebuilding it from the
// buses, and applying a read speed or a spin-down time to one drive. Each
// takes the device it sends its commands through and tells what happened;
// telling the user is the caller's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "appstate.h"
#include "device.h"

// A device's INQUIRY texts go into the settings file, the menus and the
// balloon: a control byte there could start a new line of KORVEX.INI (a
// section, a key such as ASPIDLL). Bytes below 20h and 7Fh become '?';
// Shift-JIS uses neither, not even as a second byte.
constexpr unsigned char DEVICE_TEXT_FIRST = 0x20;
constexpr unsigned char DEVICE_TEXT_DELETE = 0x7F;
constexpr char DEVICE_TEXT_STAND_IN = '?';
// Copies text (at most textSize bytes, up to its terminator) into field,
// cut to fieldSize - 1 bytes, zero-filled, with those bytes replaced.
void CopyDeviceText(char* field, std::size_t fieldSize, const char* text, std::size_t textSize);

// What a rescan could not learn, in the order the walk met it: each entry is
// the text of its error box, in the language in use.
struct RescanReport {
    std::vector<const char*> failures;
};

// Rebuilds drives/driveCount of appState from every adapter and target of
// device's bus. The table keeps the first MAX_DRIVES CD-ROM drives in walk
// order; the walk ends once it is full. skip is left alone.
RescanReport ScanDrives(const CdromDevice& device);

// Sets drive d to its speeds[k] and reads the current and maximum speed back.
// Does nothing for d >= MAX_DRIVES or k >= MAX_SPEEDS. True when the drive
// took a speed command.
bool ApplySpeed(const CdromDevice& device, std::uint32_t d, std::uint32_t k);

// Sends drive d its spinDown code and reads the code back. Does nothing for
// d >= MAX_DRIVES. True when the drive took the code.
bool ApplySpinDown(const CdromDevice& device, std::uint32_t d);

// What a rescan learned of a drive beyond its record, for drives of the DVD
// era whose CD-ROM-era speed and spin-down commands do not serve. A drive
// that answers those as expected leaves it all clear, and sees no command
// beyond them.
struct DriveExtra {
    bool configured = false;  // it answered GET CONFIGURATION (config holds it)
    DriveConfiguration config;
    bool cdSpeedAccepted = false;  // the probe's SET CD SPEED was taken at least once
    bool speedsListed = false;     // speeds come from the drive's list or its kind's
                                   // x-factors; currentSpeed follows the speed set
    bool powerPage = false;        // no page 0Dh: spin-down is page 1Ah's standby timer
    PowerCondition power;          // page 1Ah as last read
};
// Per drive-table index; a rescan clears it.
extern DriveExtra driveExtras[MAX_DRIVES];

// The x-factors a drive of each kind accepts, and the KB/s of its 1x.
constexpr std::uint32_t KBPS_PER_DVD_FACTOR = 1385;
constexpr std::uint32_t KBPS_PER_BD_FACTOR = 4500;
// Fills list with the speeds of a kind's x-factors up to maximum (and the
// maximum itself after them), at most capacity; returns how many.
std::uint32_t FactorSpeeds(MediumKind kind, std::uint16_t maximum, std::uint16_t* list,
                           std::uint32_t capacity);

// The spin-down time in force on drive d as the balloon and the version
// dialog show it: the code's name ("Default" .. "32min", "" above 15), or for
// a drive timed by page 1Ah its standby timer ("8min", "20sec", "100msec";
// SPIN_DOWN_OFF when the timer does not run).
constexpr std::size_t SPIN_DOWN_TEXT_SIZE = 16;
extern const char* const SPIN_DOWN_OFF;  // "Off"
const char* DriveSpinDownText(std::uint32_t d, char (&buffer)[SPIN_DOWN_TEXT_SIZE]);
