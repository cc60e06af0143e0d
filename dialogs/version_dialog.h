// The version information dialog: the program's own description, version and
// notice, the drive table with the speeds each drive accepts, and what the
// ASPI32 library in use is and offers.
#pragma once

#include <windows.h>

#include "binding.h"
#include "dialog_font.h"

// The bold fonts of the title lines, made at each opening and deleted at
// each closing: A for the description, B for the version and the notice.
extern DialogFont versionTitleFont;  // font A
extern DialogFont versionLineFont;   // font B

// Dialog procedure of template IDD_VERSION. Its creation parameter is the
// AspiBinding whose library it describes (null: none is bound).
INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally over owner (none from the tray's command, the
// settings dialog from its version button), describing library. Returns when
// the user closes it.
void RunVersionDialog(HWND owner, const AspiBinding& library);
