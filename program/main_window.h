// The hidden main window "ROTAVA": the program's one point of entry for
// events. Its creation runs the start-up sequence, its destruction the
// shutdown sequence; in between its window procedure hands every message to
// the code that deals with it.
#pragma once

#include <windows.h>

#include <cstdint>

// The tray icon: eight slots, one per icon style, 16 x 16 pixels; id 0 lets
// the icon take a time-derived id.
constexpr std::uint32_t TRAY_SLOT_COUNT = 8;
constexpr int TRAY_ICON_SIZE = 16;
constexpr UINT TRAY_ICON_ID = 0;

// The class background: the system colour value 12 (COLOR_APPWORKSPACE).
constexpr int MAIN_WINDOW_BACKGROUND = COLOR_APPWORKSPACE;

// Registers the class "ROTAVA" with MainWindowProc and icon resource 110.
// A class that exists already counts as registered.
bool RegisterMainWindowClass(HINSTANCE instance);
void UnregisterMainWindowClass(HINSTANCE instance);
// Creates the hidden main window; the start-up sequence runs inside. Null
// when no window results.
HWND CreateMainWindow(HINSTANCE instance);

// Run on WM_CREATE: mutex, library, tray icon, drive scan, settings, icon,
// first balloon, idle priority. False after the first failure, which it has
// shown to the user.
bool StartUpSequence(HWND window);
// Run on WM_DESTROY: timers, tray icon, library, mutex.
void ShutdownSequence(HWND window);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The fixed command ids; every other id goes to the drive commands. Returns 0.
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
