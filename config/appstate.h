// The tray program's state: one record for the whole process, holding the
// settings, the drive table, icon and window handles, timers and flags.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "cstr.h"

constexpr std::uint32_t MAX_DRIVES = 64;
constexpr std::uint32_t MAX_SPEEDS = 32;
constexpr std::uint32_t ICON_COUNT = 8;
constexpr std::uint32_t BALLOON_TEXT_SIZE = 256;
constexpr std::uint32_t DRIVE_TEXT_SIZE = 32;

// skip: what the program does with a drive-table position
constexpr std::uint32_t SKIP_NONE = 0;     // controlled
constexpr std::uint32_t SKIP_CONTROL = 1;  // not controlled, speed menu entry disabled
constexpr std::uint32_t SKIP_HIDDEN = 2;   // not controlled and left out of the speed menu

#pragma pack(push, 1)
// One CD-ROM drive found on the buses.
struct DriveEntry {
    std::uint8_t hostAdapter;
    std::uint8_t targetId;             // LUN is always 0
    std::uint16_t currentSpeed;        // KB/s, as last read back
    std::uint16_t maxSpeed;            // KB/s
    std::uint32_t speedCount;          // valid entries of speeds, 0..32
    std::uint16_t speeds[MAX_SPEEDS];  // in the order the probe found them
    std::uint8_t spinDown;             // inactivity-timer code 0..15
    char vendor[DRIVE_TEXT_SIZE];
    char product[DRIVE_TEXT_SIZE];
    char version[DRIVE_TEXT_SIZE];
};
#pragma pack(pop)

static_assert(sizeof(DriveEntry) == 1 + 1 + 2 + 2 + 4 + 2 * MAX_SPEEDS + 1 + 3 * DRIVE_TEXT_SIZE,
              "DriveEntry has no gaps");
static_assert(offsetof(DriveEntry, spinDown) == 74, "speeds end at byte 74");

struct AppState {
    HINSTANCE instance;
    HWND settingsDialog;
    HWND versionDialog;
    HMENU popupMenu;
    HICON icons[ICON_COUNT];
    std::uint32_t errorCount;
    std::uint32_t driveCount;
    std::uint32_t skip[MAX_DRIVES];
    DriveEntry drives[MAX_DRIVES];
    UINT_PTR openCloseTimerId;
    UINT_PTR balloonTimerId;
    char balloonText[BALLOON_TEXT_SIZE];
    std::int32_t paused;
    CSTR aspiDll;
    std::int32_t update;
    std::int32_t mediaControl;
    std::int32_t useOpenClose;
    std::uint32_t openCloseTimer;  // seconds, 5..360
    std::int32_t useLock;
    std::int32_t useKeyboardHook;
    std::int32_t swapMenu;
    std::int32_t balloonAll;
    std::int32_t balloonAuto;
    std::int32_t noErrorMessage;
    std::uint32_t iconType;  // 0..8; 8 has no icon
    std::int32_t language;   // LANGUAGE_WINDOWS, LANGUAGE_JAPANESE or LANGUAGE_ENGLISH
    CSTR menuOpen;
    CSTR menuClose;
    CSTR menuEject;
    CSTR menuOpenClose;
    CSTR menuLock;
    CSTR menuUnlock;
    // Kept by the settings file code: set once a load has run (until then
    // nothing reads or writes settings or drives), and while the file is
    // there but cannot be read (saving then writes nothing); the library
    // name too when it could not be read at creation.
    std::int32_t settingsLoaded;
    std::int32_t settingsUnreadable;
    std::int32_t aspiDllUnread;
};

static_assert(sizeof(AppState::drives) == MAX_DRIVES * sizeof(DriveEntry),
              "the drive records follow each other directly");

// The one state record of the process; null outside CreateAppState..DestroyAppState.
extern AppState* appState;

// Icon resource ids, in the order of icons[].
constexpr int ICON_RESOURCE_IDS[ICON_COUNT] = {110, 111, 112, 113, 137, 121, 122, 123};

// The settings file, named without a folder: the profile functions put it in
// the Windows directory.
constexpr const char* SETTINGS_FILE = "KORVEX.INI";

// stringErrorTrap is called when one of the record's strings runs out of
// memory (the program tells the user; null: nobody is told).
bool CreateAppState(HINSTANCE instance, void (*stringErrorTrap)() = nullptr);
void DestroyAppState();

// The icon of a style, or null for a style without one (iconType 8).
HICON IconOfType(const AppState& state, std::uint32_t iconType);
