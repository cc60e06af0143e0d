// Where KORVEX.INI is read and written, and a save that either lands whole
// or leaves the file as it was.
//
// The file is named without a folder, so it lives in the Windows folder.
// Windows (from Vista on) gives a 32-bit program that declares no execution
// level, and that is refused a write there, a copy of its own instead:
// %LOCALAPPDATA%\VirtualStore\<Windows folder without the drive>\KORVEX.INI,
// which it then reads and writes in place of the original. A 64-bit program
// gets no such redirection, so the 64-bit build keeps that copy itself, in
// the same place: one user's two builds share one file, and a user moving
// from one build to the other keeps the settings.
#pragma once

#include <windows.h>

class INIFILE;

// Whether this build keeps the per-user copy itself (the 64-bit one).
constexpr bool OWN_VIRTUAL_STORE = sizeof(void*) == 8;

// The Windows folder's KORVEX.INI. False when no such path can be made.
bool WindowsSettingsPath(char (&path)[MAX_PATH]);
// The per-user copy of it that Windows would keep for a 32-bit program.
bool VirtualStoreSettingsPath(char (&path)[MAX_PATH]);

// The file the settings are read from: the per-user copy when this build
// keeps one and it exists, else the Windows folder's. False when no path
// can be made.
bool SettingsReadPath(char (&path)[MAX_PATH]);

// Writes the settings with write(file, context), into the file they are read
// from; in the 64-bit build, into the per-user copy where the Windows folder's
// file is refused (the copy starts as that file, so every key kept there
// stays). True when every write landed. On false nothing has changed: no file
// holds part of the save.
bool StoreSettings(bool (*write)(INIFILE& file, void* context), void* context);
