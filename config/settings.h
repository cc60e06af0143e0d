// The settings file KORVEX.INI: loading it into the state record (which also
// applies each drive's stored speed and spin-down) and saving the record into it.
//
//   [COMMON]  ASPIDLL (written only; read at creation), Update, MediaControl,
//             UseOpenClose, OpenCloseTimer, UseLock, UseKeyboardHook, SwapMenu,
//             BalloonAll, BalloonAuto, NoErrorMessage, IconType
//   [Menu]    Open, Close, Eject, OpenClose, Lock, Unlock
//   [CDROMnn] Skip, Vendor, Product, Version, Speed (position in the drive's
//             speed list), SpinDown ("0x%02x"); one per drive-table position
//             nn of a drive with speeds
#pragma once

#include <cstdint>

constexpr const char* SECTION_COMMON = "COMMON";
constexpr const char* SECTION_MENU = "Menu";
constexpr const char* SECTION_DRIVE_FORMAT = "CDROM%02d";

constexpr std::uint32_t OPEN_CLOSE_TIMER_MIN = 5;
constexpr std::uint32_t OPEN_CLOSE_TIMER_MAX = 360;
constexpr std::uint32_t ICON_TYPE_MAX = 8;     // 8: no tray icon
constexpr std::uint32_t NO_SPEED = 0xFFFFFFFFu;  // "Speed" when none is stored

// Reads every setting into appState, each missing one taking its default,
// and applies the stored speed and spin-down of each drive of the table
// whose section matches it and that is not skipped.
void LoadSettings();
// Writes every setting of appState. Keys are never removed, except that an
// empty menu text (or library name) removes its key.
void SaveSettings();
