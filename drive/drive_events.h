// What the tray program does about commands, timers, resume, device changes
// and the Alt+digit keys. Everything runs on the main window's thread.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr const char* BALLOON_TITLE = "ROTAVA";
constexpr UINT BALLOON_TIMEOUT_MS = 10000;
constexpr std::uint32_t BALLOON_TEXT_LIMIT = 255;  // the text stays below this

// Recomposes balloonText when rebuild is set, then shows the balloon.
void ShowStatusBalloon(HWND window, bool rebuild);
// The ids of the speed and media ranges; others do nothing.
LRESULT DispatchDeviceCommand(HWND window, WPARAM id);
LRESULT OnTimer(HWND window, WPARAM id);
LRESULT OnPowerBroadcast(HWND window, WPARAM event);
LRESULT OnDeviceChange(HWND window, WPARAM event);
LRESULT OnHotKey(HWND window, WPARAM key, LPARAM flags);

// A device the media menu and the hot keys offer: a removable class whose
// INQUIRY succeeds.
bool IsEligibleMediaDevice(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun);
