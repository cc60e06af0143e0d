// The table of CD-ROM drives the tray program controls: rebuilding it from the
// buses, and applying a read speed or a spin-down time to one drive.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "program_objects.h"

// Error box texts of a rescan.
extern const char* const RESCAN_ADAPTER_FAILED;  // "ホストアダプタ情報取得に失敗しました。"
extern const char* const RESCAN_DEVICE_FAILED;   // "デバイス情報取得に失敗しました。"

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

// Rebuilds drives/driveCount of appState from every adapter and target.
// Failures of the adapter and device inquiries are counted in errorCount and
// shown (unless silenced) with window as owner. The table keeps the first
// MAX_DRIVES CD-ROM drives in walk order; the walk ends once it is full.
// skip is left alone.
void RescanDrives(HWND window);

// Sets drive d to its speeds[k] and reads the current and maximum speed back.
// Does nothing for d >= MAX_DRIVES or k >= MAX_SPEEDS.
void ApplySpeed(std::uint32_t d, std::uint32_t k);

// Sends drive d its spinDown code and reads the code back. Does nothing for
// d >= MAX_DRIVES.
void ApplySpinDown(std::uint32_t d);
