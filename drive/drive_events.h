// What the tray program does about commands, timers, resume, device changes
// and the Alt+digit keys. Everything runs on the main window's thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "bus.h"

constexpr const char* BALLOON_TITLE = "ROTAVA";
constexpr UINT BALLOON_TIMEOUT_MS = 10000;
constexpr std::uint32_t BALLOON_TEXT_LIMIT = 255;  // the text stays below this
// One line of the status balloon per drive: product, x-factor, spin-down name.
constexpr const char* BALLOON_LINE_FORMAT = "%-16s x%-2d (%s)\n";

// Timer boxes, shown whatever noErrorMessage says.
extern const char* const TIMER_CREATE_FAILED;  // "タイマーの生成に失敗しました。"
extern const char* const TIMER_UNKNOWN;        // "未知のタイマーイベントを検出しました。"

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

// Recomposes balloonText when rebuild is set, then shows the balloon.
void ShowStatusBalloon(HWND window, bool rebuild);
// The ids of the speed and media ranges; others do nothing.
LRESULT DispatchDeviceCommand(HWND window, WPARAM id);
LRESULT OnTimer(HWND window, WPARAM id);
LRESULT OnPowerBroadcast(HWND window, WPARAM event);
LRESULT OnDeviceChange(HWND window, WPARAM event);
LRESULT OnHotKey(HWND window, WPARAM key, LPARAM flags);

// What the media menu and the hot keys make of an address, asked of aspiBus:
// a removable class (tape, WORM, CD-ROM, optical, changer) whose INQUIRY
// succeeds is offered; one whose INQUIRY fails is not, and the menu says so.
enum class MediaDeviceCheck { NotMedia, InquiryFailed, Eligible };
// type receives the device type whenever one was read, id the INQUIRY
// texts of an eligible device; either may be null.
MediaDeviceCheck CheckMediaDevice(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                  int* type = nullptr, DeviceIdentity* id = nullptr);
bool IsEligibleMediaDevice(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                           int* type = nullptr);

// Puts every hot-key toggle back to 0, as at the start of a run.
void ResetHotKeys();
