// Resource ids of the tray program, shared by the resource scripts and the code.
// Plain #defines: the resource compiler reads this file too.
#pragma once

// Tray icon styles, in the order of the style list (iconType 0..7).
#define IDI_MEDIA_STANDARD 110
#define IDI_MEDIA_COLOURFUL 111
#define IDI_MEDIA_SIMPLE 112
#define IDI_MEDIA_MONO 113
#define IDI_DRIVE_STANDARD 137
#define IDI_DRIVE_COLOURFUL 121
#define IDI_DRIVE_SIMPLE 122
#define IDI_DRIVE_MONO 123

// The version information dialog and its controls.
#define IDD_VERSION 101
#define IDC_VERSION_ICON 1040
#define IDC_VERSION_NUMBER 1041  // "Version ..."
#define IDC_VERSION_TITLE 1042   // the program's description
#define IDC_VERSION_COPYRIGHT 1043
#define IDC_VERSION_DRIVES 1044  // list view: the drive table
#define IDC_VERSION_ASPI 1045    // list view: the ASPI32 library

// The settings dialog (a tab control over three child-dialog pages) and the
// pages' controls.
#define IDD_SETTINGS 102
#define IDD_COMMON_PAGE 103
#define IDD_DRIVE_PAGE 104
#define IDD_MEDIA_PAGE 105
#define IDC_SETTINGS_VERSION 1030  // opens the version information dialog
#define IDC_SETTINGS_TAB 1040

// Common page
#define IDC_UPDATE 1000  // re-apply after a resume
#define IDC_SWAP_MENU 1001
#define IDC_BALLOON_ALL 1002
#define IDC_BALLOON_AUTO 1003
#define IDC_NO_ERROR_MESSAGE 1004
#define IDC_ICON_TYPE 1005  // drop-down list of the eight icon styles
#define IDC_ASPI_DLL 1006   // button showing the ASPI32 library
#define IDC_LANGUAGE 1007   // drop-down list: follow Windows, Japanese, English

// Media control page, in template order: 1010 1011 1012 1014 1015 1013 1016 1017
#define IDC_MEDIA_CONTROL 1010
#define IDC_USE_OPEN_CLOSE 1011
#define IDC_OPEN_CLOSE_BEFORE 1012  // "トレイを開けてから"
#define IDC_OPEN_CLOSE_AFTER 1013   // "秒後に閉じる"
#define IDC_OPEN_CLOSE_EDIT 1014    // buddy of 1015
#define IDC_OPEN_CLOSE_TIMER 1015   // up-down control, 5..360 seconds
#define IDC_USE_LOCK 1016
#define IDC_USE_KEYBOARD_HOOK 1017

// Drive page
#define IDC_DRIVE_LIST 1020
#define IDC_DRIVE_SPEED 1021
#define IDC_DRIVE_SPIN_DOWN 1022
#define IDC_DRIVE_DISABLED 1023  // "選択を無効にする"
#define IDC_DRIVE_HIDDEN 1024    // "選択を非表示にする"

// The string tables (strings.rc), one per language, and the texts in them.
// One run of ids from IDS_FIRST to IDS_LAST.
#define IDS_FIRST 256
// Message box captions and texts
#define IDS_ERROR_CAPTION 256
#define IDS_CONFIRM_CAPTION 257
#define IDS_CSTR_ERROR 258
#define IDS_NO_MEMORY 259
#define IDS_ALREADY_RUNNING 260
#define IDS_ASPI_FAILED 261
#define IDS_TRAY_FAILED 262
#define IDS_TIMER_CREATE_FAILED 263
#define IDS_TIMER_UNKNOWN 264
#define IDS_ADAPTER_FAILED 265
#define IDS_DEVICE_FAILED 266
#define IDS_SETTINGS_NOT_SAVED 267
#define IDS_SETTINGS_NOT_WRITTEN 268
#define IDS_ASPI_DLL_CHANGED 269
#define IDS_SPEED_INDEX_INVALID 270
#define IDS_PATH_NOT_SHIFT_JIS 271
// The menus' fixed items
#define IDS_MENU_RESUME 272
#define IDS_MENU_VERSION 273
#define IDS_MENU_EXIT 274
#define IDS_MENU_LOAD 275
#define IDS_MENU_SAVE 276
#define IDS_MENU_RESCAN 277
#define IDS_MENU_PAUSE 278
#define IDS_MENU_SETTINGS 279
#define IDS_SPEED_NOT_SETTABLE 280
// The media items' default texts, in the order of the [Menu] keys
#define IDS_MENU_OPEN 281
#define IDS_MENU_CLOSE 282
#define IDS_MENU_EJECT 283
#define IDS_MENU_OPEN_CLOSE 284
#define IDS_MENU_LOCK 285
#define IDS_MENU_UNLOCK 286
// The settings dialog: tabs, the library's file dialog, the lists of the
// Common page (icon styles in iconType order, then the language choices)
#define IDS_TAB_COMMON 287
#define IDS_TAB_DRIVE 288
#define IDS_TAB_MEDIA 289
#define IDS_ASPI_CHOICE_TITLE 290
#define IDS_ASPI_FILTER 291  // pairs of name and pattern, each ended by '|'
#define IDS_ICON_STYLE_FIRST 292  // to 299
#define IDS_LANGUAGE_WINDOWS 300
#define IDS_LANGUAGE_JAPANESE 301
#define IDS_LANGUAGE_ENGLISH 302
// The version dialog: the drive list's seven columns, the library list's two,
// its eight items and the two values of an entry point
#define IDS_COLUMN_ADDRESS 303
#define IDS_COLUMN_VENDOR 304
#define IDS_COLUMN_PRODUCT 305
#define IDS_COLUMN_VERSION 306
#define IDS_COLUMN_SPIN_DOWN 307
#define IDS_COLUMN_SPEED 308
#define IDS_COLUMN_SPEEDS 309
#define IDS_COLUMN_ITEM 310
#define IDS_COLUMN_VALUE 311
#define IDS_ITEM_MODULE 312
#define IDS_ITEM_DESCRIPTION 313
#define IDS_ITEM_VERSION 314
#define IDS_ITEM_DLL_VERSION 315
#define IDS_ITEM_MAX_DRIVES 316
#define IDS_ITEM_MAX_SPEEDS 317
#define IDS_ITEM_ERROR_COUNT 318
#define IDS_ITEM_RECORD_SIZE 319
#define IDS_SUPPORTED 320
#define IDS_NOT_SUPPORTED 321
#define IDS_LAST 321
