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
