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

#include <windows.h>

#include <cstdint>

constexpr const char* SECTION_COMMON = "COMMON";
constexpr const char* SECTION_MENU = "Menu";
constexpr const char* SECTION_DRIVE_FORMAT = "CDROM%02d";

constexpr std::uint32_t OPEN_CLOSE_TIMER_MIN = 5;
constexpr std::uint32_t OPEN_CLOSE_TIMER_MAX = 360;
constexpr std::uint32_t ICON_TYPE_MAX = 8;     // 8: no tray icon
constexpr std::uint32_t NO_SPEED = 0xFFFFFFFFu;  // "Speed" when none is stored

// The error box of a save that would write over a file that could not be read.
extern const char* const SETTINGS_NOT_SAVED;
// The error box of a save that no file took.
extern const char* const SETTINGS_NOT_WRITTEN;

// Reads the library name (ASPIDLL) into appState: the one setting needed
// before the main window exists. A missing or empty key gets "WNASPI32.DLL",
// which is written back so the user sees where to change it.
void LoadLibraryName();
// Reads only NoErrorMessage, so that the first rescan, which runs before the
// settings are loaded, already keeps the boxes the user silenced.
void LoadErrorMessageSetting();
// Reads every setting into appState, each missing one taking its default,
// and applies the stored speed and spin-down of each drive of the table
// whose section matches it and that is not skipped.
//
// A file that is there but cannot be read (held open by another program) is
// tried again for a moment; if it stays unreadable, what is in force stays
// (the defaults, before the first load) and saving is refused until a load
// succeeds.
void LoadSettings();
// Writes every setting of appState. Keys are never removed, except that an
// empty menu text (or library name) removes its key. Writes nothing while
// the file could not be read: the user is told so in an error box owned by
// owner. The save lands whole or not at all (see settings_store.h for
// where); one that no file takes is told in an error box too.
void SaveSettings(HWND owner = nullptr);
