// The version information dialog: the program's own description, version and
// notice, the drive table with the speeds each drive accepts, and what the
// ASPI32 library in use is and offers.
#pragma once

#include <windows.h>

#include "dialog_font.h"

// The bold fonts of the title lines, made at each opening and deleted at
// each closing: A for the description, B for the version and the notice.
extern DialogFont versionTitleFont;  // font A
extern DialogFont versionLineFont;   // font B

// Dialog procedure of template IDD_VERSION.
INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally over owner: none from the tray's command, the
// settings dialog from its version button. Returns when the user closes it.
void RunVersionDialog(HWND owner);
