// The tray icon's mouse notifications and its three pop-up menus: the speed
// menu (a sub-menu of read speeds per drive), the media menu (a sub-menu per
// removable device, walked live on the buses) and the short menu shown while
// control is paused. A chosen item reaches the main window as WM_COMMAND.
#pragma once

#include <windows.h>

// The lParam of the tray callback message: a mouse message.
LRESULT OnTrayNotify(HWND window, LPARAM mouseMessage);

void ShowPausedMenu(HWND window);
void ShowSpeedMenu(HWND window);
void ShowMediaMenu(HWND window);

// The items of each menu, appended to a pop-up menu the caller owns, so that
// a menu can be built and read back without being shown. The media menu's
// enumeration failures are reported to window.
void AppendPausedMenuItems(HWND window, HMENU menu);
void AppendSpeedMenuItems(HWND window, HMENU menu);
void AppendMediaMenuItems(HWND window, HMENU menu);

// One line of a drive's speed sub-menu: the speed in KB/s and its x-factor.
constexpr const char* SPEED_ITEM_FORMAT = "%4d KB/S (x%d)";
// A drive whose speed cannot be set is listed grayed, its product followed by
// a tab and the note IDS_SPEED_NOT_SETTABLE.
