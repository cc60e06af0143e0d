// Small services of the tray program's windows: the two message box forms, the
// error box that the settings can silence, the strings' error trap, window
// placement and bringing a window to the foreground.
#pragma once

#include <windows.h>

#include "settings.h"

constexpr UINT MB_FORM_ERROR = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR;          // 0x50010
constexpr UINT MB_FORM_CONFIRM = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION;  // 0x50040

// The error form, always shown.
int ErrorMessage(HWND owner, const char* text);
// The confirmation form, always shown.
int ConfirmMessage(HWND owner, const char* text);

// The error form, unless the settings say noErrorMessage.
void ShowErrorBox(HWND owner, const char* text);
// Registered on the strings of the state record.
void CstrErrorTrap();
// The error form for a save that did not land; nothing for one that did.
void TellSaveOutcome(HWND owner, SaveOutcome outcome);

// Codes of PlaceWindow: 0 centred, 1 top left, 2 bottom left, 3 top right, 4 bottom right.
constexpr int PLACE_CENTRE = 0;
constexpr int PLACE_TOP_LEFT = 1;
constexpr int PLACE_BOTTOM_LEFT = 2;
constexpr int PLACE_TOP_RIGHT = 3;
constexpr int PLACE_BOTTOM_RIGHT = 4;
void PlaceWindow(HWND window, int code);
void ForceForeground(HWND window);
