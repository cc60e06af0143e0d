// Thin wrappers over the messages of the controls the settings pages use, so
// that a page reads as what it does to its controls. Each takes the dialog
// and the control's id, except those that take a control window.
#pragma once

#include <windows.h>

#include <cstddef>

// Registers the common control classes of ICC_* flags before a dialog's
// template makes them: InitCommonControlsEx where comctl32 has it, which
// Microsoft documents from Windows Vista on, else InitCommonControls, which
// registers them all.
void RegisterControlClasses(DWORD classes);

// Check boxes.
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);

// Any control.
void EnableItem(HWND dialog, int id, bool enabled);
void ShowWindowIf(HWND window, bool shown);
void SetItemText(HWND dialog, int id, const char* text);
// The text in Shift-JIS; false, with "", when there is no control, or the
// text has a character Shift-JIS lacks or does not fit capacity bytes with
// the terminator.
bool GetItemText(HWND dialog, int id, char* text, std::size_t capacity);

// Drop-down lists. A position is an entry's index; -1 stands for none.
void ClearList(HWND dialog, int id);
// Adds an entry at the end carrying data; its position, -1 on failure.
int AddListEntry(HWND dialog, int id, const char* text, LPARAM data = 0);
int ListCount(HWND dialog, int id);
// Selects position (none for a position outside the list).
void SelectListEntry(HWND dialog, int id, int position);
int SelectedListEntry(HWND dialog, int id);
LPARAM ListEntryData(HWND dialog, int id, int position);

// Tab controls.
int InsertTab(HWND tab, int index, const char* text);
void SelectTab(HWND tab, int index);
int SelectedTab(HWND tab);
// The display area of the tab's pages, in the client coordinates of parent.
RECT TabDisplayArea(HWND tab, HWND parent);

// Up-down controls.
void SetUpDownRange(HWND dialog, int id, int lower, int upper);
void SetUpDownPosition(HWND dialog, int id, int position);
// The position, taken up from the buddy's text; false when the control
// reports that the text is not a number within its range.
bool GetUpDownPosition(HWND dialog, int id, int& position);
