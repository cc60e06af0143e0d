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
#define IDC_VERSION_NUMBER 1041      // "Version ..."
#define IDC_VERSION_TITLE 1042       // the program's description
#define IDC_VERSION_COPYRIGHT 1043
#define IDC_VERSION_DRIVES 1044      // list view: the drive table
#define IDC_VERSION_ASPI 1045        // list view: the ASPI32 library
