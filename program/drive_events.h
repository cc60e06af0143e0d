// What the tray program does about commands, timers, resume, device changes
// and the Alt+digit keys, and the drive table's work as the user meets it:
// the boxes of a rescan and a save, the status balloon. Everything runs on
// the main window's thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "balloon_text.h"
#include "table_work.h"

constexpr const char* BALLOON_TITLE = "ROTAVA";
constexpr UINT BALLOON_TIMEOUT_MS = 10000;

// WM_POWERBROADCAST: automatic resume from a sleep state.
constexpr WPARAM POWER_RESUME_AUTOMATIC = 0x12;
// WM_DEVICECHANGE events that rebuild the drive table.
constexpr WPARAM DEVICE_CONFIG_CHANGED = 0x0018;
constexpr WPARAM DEVICE_ARRIVED = 0x8000;
constexpr WPARAM DEVICE_REMOVED = 0x8004;
// Keystroke flags of a key message: the Alt context bit.
constexpr LPARAM KEY_FLAG_ALT_CONTEXT = LPARAM(1) << 29;
constexpr LPARAM KEY_FLAG_PREVIOUS_STATE = LPARAM(1) << 30;  // set on auto-repeat
// Alt+'1'..'9','0' serve the first ten eligible devices in bus order.
constexpr std::uint32_t HOT_KEY_COUNT = 10;

// Rebuilds the drive table from the buses; each failure is counted in
// errorCount and shown (unless silenced) with window as owner, in the order
// the walk met them.
void RescanDrives(HWND window);
// Saves the settings; a save that did not land is told in an error box owned
// by owner.
void SaveSettings(HWND owner = nullptr);
// Runs the work now, or after the work in hand (see table_work.h).
void RequestTableWork(HWND window, TableWork work);

// Recomposes balloonText when rebuild is set, then shows the balloon.
void ShowStatusBalloon(HWND window, bool rebuild);
// The ids of the speed and media ranges; others do nothing.
LRESULT DispatchDeviceCommand(HWND window, WPARAM id);
LRESULT OnTimer(HWND window, WPARAM id);
LRESULT OnPowerBroadcast(HWND window, WPARAM event);
LRESULT OnDeviceChange(HWND window, WPARAM event);
LRESULT OnHotKey(HWND window, WPARAM key, LPARAM flags);

// Puts every hot-key toggle back to 0, as at the start of a run.
void ResetHotKeys();
