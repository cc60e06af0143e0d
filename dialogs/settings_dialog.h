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

// Texts of the frame's and the pages' boxes.
extern const char* const SETTINGS_NO_MEMORY;  // "メモリの確保に失敗しました。"
extern const char* const
    ASPI_DLL_CHANGED;  // "変更したASPI32用DLLは\r\n次回起動時から有効になります。"
extern const char* const SPEED_INDEX_INVALID;  // "転送速度の値が異常です。\r\n値を無視しました。"
extern const char* const
    PATH_NOT_SHIFT_JIS;  // "選択したファイルの名前はKORVEX.INIに書き込めません。"

// The tab texts, in tab order.
extern const char* const SETTINGS_TAB_TEXTS[SETTINGS_PAGE_COUNT];  // 共通, ドライブ, メディア制御

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

// The icon style names, in iconType order, ended by an empty text.
extern const char* const ICON_STYLE_NAMES[ICON_COUNT + 1];

// The library choice: title and filter pairs (display text, pattern), the
// file-name buffers' size.
extern const char* const ASPI_CHOICE_TITLE;  // "ASPI32の選択"
extern const char ASPI_CHOICE_FILTER[];      // double-zero ended
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
