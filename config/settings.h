// The settings file KORVEX.INI: reading it into the state record, with what it
// holds for each drive of the table, and saving the record into it. Putting a
// drive's stored choices into force is the drive side's business.
//
//   [COMMON]  ASPIDLL (written only; read at creation), Update, MediaControl,
//             UseOpenClose, OpenCloseTimer, UseLock, UseKeyboardHook, SwapMenu,
//             BalloonAll, BalloonAuto, NoErrorMessage, IconType, Language
//             ("Japanese" or "English"; no key: Windows' own language)
//   [Menu]    Open, Close, Eject, OpenClose, Lock, Unlock
//   [CDROMnn] Skip, Vendor, Product, Version, Speed (position in the drive's
//             speed list), SpinDown ("0x%02x"); one per drive-table position
//             nn of a drive with speeds
#pragma once

#include <windows.h>

#include <cstdint>

#include "appstate.h"

constexpr const char* SECTION_COMMON = "COMMON";
constexpr const char* SECTION_MENU = "Menu";
constexpr const char* SECTION_DRIVE_FORMAT = "CDROM%02d";

constexpr std::uint32_t OPEN_CLOSE_TIMER_MIN = 5;
constexpr std::uint32_t OPEN_CLOSE_TIMER_MAX = 360;
constexpr std::uint32_t ICON_TYPE_MAX = 8;       // 8: no tray icon
constexpr std::uint32_t NO_SPEED = 0xFFFFFFFFu;  // "Speed" when none is stored
constexpr std::uint32_t SPIN_DOWN_MAX = 15;      // the highest inactivity-timer code

// Reads the library name (ASPIDLL) into appState: the one setting needed
// before the main window exists. A missing or empty key gets "WNASPI32.DLL",
// which is written back so the user sees where to change it.
void LoadLibraryName();
// Reads only NoErrorMessage, so that the first rescan, which runs before the
// settings are loaded, already keeps the boxes the user silenced.
void LoadErrorMessageSetting();
// Reads only Language and puts it into force, so that the boxes of the
// start-up speak it; an unreadable file follows Windows until the load.
void LoadLanguageSetting();
// Puts appState's language setting into force for every text from now on.
void ApplyLanguageSetting();

// The choices stored for one drive-table position. A position whose section
// is for another drive, or that is skipped, holds none.
struct StoredDrive {
    bool held;               // the section is this drive's and it is controlled
    std::uint32_t speed;     // position in the drive's speeds; NO_SPEED for none
    std::uint32_t spinDown;  // inactivity-timer code; above SPIN_DOWN_MAX for none
};
struct StoredChoices {
    StoredDrive drives[MAX_DRIVES];
};

// Reads every setting into appState, each missing one taking its default,
// and returns what the file holds for each drive of the table that has
// speeds (the drive's texts must match its section's).
//
// A file that is there but cannot be read (held open by another program) is
// tried again for a moment; if it stays unreadable, what is in force stays
// (the defaults, before the first load), nothing is held for any drive, and
// saving is refused until a read succeeds.
StoredChoices ReadSettings();

// What a save of appState would store for each drive of the table: the
// choices in force, as a read of the saved file would give them back.
StoredChoices ChoicesInForce();

// How a save ended.
enum class SaveOutcome {
    Saved,
    NotSaved,    // the file could not be read, so nothing was written over it
    NotWritten,  // no file took the save; nothing changed
};
// Writes every setting of appState. Keys are never removed, except that an
// empty menu text (or library name) removes its key. Writes nothing while
// the file could not be read. The save lands whole or not at all (see
// settings_store.h for where).
SaveOutcome SaveSettingsFile();
// The error box text of a save that did not land, null for one that did.
const char* SaveOutcomeText(SaveOutcome outcome);

// A media item's text as the menu shows it: the user's own, or, while it is
// one of the item's default texts in either language, the default in the
// language in use. So a default never stays in the language it was saved in.
// textId is the item's IDS_MENU_ text.
const char* MediaItemText(CSTR& text, unsigned textId);
