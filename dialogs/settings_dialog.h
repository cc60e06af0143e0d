// The settings dialog: a tab control over three pages (Common, Drive, Media
// control), each a child dialog of its own. Nothing edited on a page reaches
// the state record before OK; OK applies the three pages, puts the chosen
// speeds and spin-down times into force on the drives as a load of the saved
// file would, then saves the settings. Cancel, Esc and the close box discard
// every edit.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <cstdint>

#include "appstate.h"
#include "cstr.h"
#include "device.h"

constexpr int SETTINGS_PAGE_COUNT = 3;
constexpr int PAGE_COMMON = 0;
constexpr int PAGE_DRIVE = 1;
constexpr int PAGE_MEDIA = 2;

// A speedIndex that names no entry of the drive's speed list.
constexpr std::uint32_t SPEED_INDEX_UNSET = 0xFFFFFFFFu;

// The working copy of the open dialog, indexed by drive-table index.
struct SettingsDialogState {
    HWND tab;
    HWND pages[SETTINGS_PAGE_COUNT];
    std::uint32_t speedIndex[MAX_DRIVES];
    std::uint8_t spinDownIndex[MAX_DRIVES];
    std::uint32_t skip[MAX_DRIVES];
};

// The one working copy while the dialog is open, null otherwise.
extern SettingsDialogState* settingsState;
// Makes the working copy; null when memory is short. Tests replace it.
extern SettingsDialogState* (*AllocateSettingsState)();

// While a retried OK waits for the table work in hand, it looks again this often.
constexpr UINT_PTR SETTINGS_OK_RETRY_TIMER = 1;
constexpr UINT SETTINGS_OK_RETRY_MS = 100;

// Dialog procedure of template IDD_SETTINGS. Its creation parameter is the
// CdromDevice that OK applies the chosen speeds through (null: none).
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Selects the tab at index when moveTab is set, then shows that page and
// hides the others.
void SelectPage(int index, bool moveTab);

// Runs the dialog modally with no owner and returns when it closes: true.
// False, with nothing opened, when the program is not ready, when the
// template cannot be made into a dialog, when the dialog is open already (it
// is brought to the front instead), or while the drive table is being
// rebuilt or the settings applied (their boxes run message loops of their
// own, and a dialog filled from a half-built table would edit drives that
// are not there).
bool RunSettingsDialog(const CdromDevice& device);

// --- Common page ---------------------------------------------------------
INT_PTR CALLBACK CommonPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void InitCommonPage(HWND page);
void ChooseAspiDll(HWND page);
void ApplyCommonPage(HWND page);

// The library choice's filter: a text of parts each ended by '|' (the string
// table's form) as the list the file dialog takes, each part ended by a zero
// and the list by one more. False, with an empty list, when it does not fit.
bool FilterList(const char* text, char* out, std::size_t capacity);
// The file-name buffers' size.
constexpr std::size_t PATH_CAPACITY = 260;
constexpr DWORD ASPI_CHOICE_FLAGS = OFN_READONLY | OFN_HIDEREADONLY;

// The system's open-file dialog (the Unicode one). Tests replace it.
extern BOOL(WINAPI* OpenFileDialog)(LPOPENFILENAMEW);

// Splits path at its last backslash (a Shift-JIS trail byte is no
// backslash) into the text before and the text after it; either output may
// be null, both are emptied first. False for a null path or when no working
// copy can be made.
bool SplitPath(const char* path, CSTR* folder, CSTR* name);
// Runs the open-file dialog with path's file-name part as the initial name;
// true, with path replaced by the chosen full path, only when the user
// confirms a file that fits capacity. The texts and path are Shift-JIS; a
// chosen path with a character Shift-JIS lacks cannot be stored in the
// settings file: it is refused with a box owned by owner.
bool ChooseFile(HWND owner, const char* title, const char* filter, const char* initialFolder,
                char* path, std::size_t capacity);

// --- Drive page ----------------------------------------------------------
INT_PTR CALLBACK DrivePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void InitDrivePage(HWND page);
void ShowDrive(HWND page, int position);
void ApplyDrivePage(HWND page);

constexpr const char* DRIVE_ENTRY_FORMAT = "%02d:%02d %s %s %s";
constexpr const char* SPEED_ENTRY_FORMAT = "x%d";

// --- Media control page --------------------------------------------------
INT_PTR CALLBACK MediaPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void InitMediaPage(HWND page);
void ApplyMediaPage(HWND page);
