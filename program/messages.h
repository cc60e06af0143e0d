// The tray program's private messages and its fixed command ids. The ids that
// carry a drive or a device address are in command_ids.h.
#pragma once

#include <windows.h>

#include "command_ids.h"

constexpr UINT WM_KORVEX_KEY = 0x8001;   // 32769: from the keyboard hook library
constexpr UINT WM_KORVEX_TRAY = 0x8002;  // 32770: the tray icon's callback

// Window class and title of the main window; also the mutex name.
constexpr const char* MAIN_WINDOW_NAME = "ROTAVA";

constexpr WORD ID_LOAD_SETTINGS = 32784;    // 設定の読み込み
constexpr WORD ID_SAVE_SETTINGS = 32785;    // 設定の書き込み
constexpr WORD ID_RESCAN = 32786;           // 再スキャン
constexpr WORD ID_PAUSE = 32787;            // 制御の一時停止 / 制御の再開
constexpr WORD ID_SETTINGS_DIALOG = 32788;  // 設定画面
constexpr WORD ID_SHOW_BALLOON = 32789;     // from a second copy of the program
constexpr WORD ID_VERSION_DIALOG = 32790;   // バージョン情報
constexpr WORD ID_EXIT = 32791;             // プログラムの終了
