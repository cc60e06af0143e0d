// The Drive page: per drive of the table that has a speed list, its read
// speed, its spin-down time and how the tray menus offer it. The edits of
// every drive stay in the working copy, under the drive's table index,
// until OK.
#include <cstring>
#include <initializer_list>

#include "controls.h"
#include "device.h"
#include "format_text.h"
#include "resource_ids.h"
#include "settings_dialog.h"
#include "ui_text.h"
#include "window_services.h"

namespace {

constexpr std::size_t ENTRY_TEXT_SIZE = 128;

std::uint32_t DriveCount() {
    return appState->driveCount < MAX_DRIVES ? appState->driveCount : MAX_DRIVES;
}

std::uint32_t SpeedCount(const DriveEntry& drive) {
    return drive.speedCount < MAX_SPEEDS ? drive.speedCount : MAX_SPEEDS;
}

// A drive text may fill its whole array: it is cut there.
void TerminatedCopy(char (&to)[DRIVE_TEXT_SIZE + 1], const char (&from)[DRIVE_TEXT_SIZE]) {
    std::memcpy(to, from, DRIVE_TEXT_SIZE);
    to[DRIVE_TEXT_SIZE] = '\0';
}

void EntryText(const DriveEntry& drive, char (&text)[ENTRY_TEXT_SIZE]) {
    char vendor[DRIVE_TEXT_SIZE + 1], product[DRIVE_TEXT_SIZE + 1], version[DRIVE_TEXT_SIZE + 1];
    TerminatedCopy(vendor, drive.vendor);
    TerminatedCopy(product, drive.product);
    TerminatedCopy(version, drive.version);
    FormatText(text, sizeof text, DRIVE_ENTRY_FORMAT, drive.hostAdapter, drive.targetId, vendor,
               product, version);
}

// The table index of the drive selected in the drive list; false for none.
bool SelectedDrive(HWND page, std::uint32_t& d) {
    const int position = SelectedListEntry(page, IDC_DRIVE_LIST);
    if (position < 0) return false;
    const LPARAM index = ListEntryData(page, IDC_DRIVE_LIST, position);
    if (index < 0 || static_cast<std::uint32_t>(index) >= MAX_DRIVES) return false;
    d = static_cast<std::uint32_t>(index);
    return true;
}

// Speed and spin-down are edited only for a drive that is controlled; the
// "hide" box only for one that is not.
void ShowSkip(HWND page, std::uint32_t skip) {
    const bool controlled = skip != SKIP_CONTROL && skip != SKIP_HIDDEN;
    SetChecked(page, IDC_DRIVE_DISABLED, !controlled);
    SetChecked(page, IDC_DRIVE_HIDDEN, skip == SKIP_HIDDEN);
    EnableItem(page, IDC_DRIVE_SPEED, controlled);
    EnableItem(page, IDC_DRIVE_SPIN_DOWN, controlled);
    EnableItem(page, IDC_DRIVE_HIDDEN, !controlled);
}

void OnListChange(HWND page, HWND list) {
    std::uint32_t d = 0;
    if (!SelectedDrive(page, d)) return;
    if (list == GetDlgItem(page, IDC_DRIVE_LIST)) {
        ShowDrive(page, SelectedListEntry(page, IDC_DRIVE_LIST));
    } else if (list == GetDlgItem(page, IDC_DRIVE_SPEED)) {
        const int position = SelectedListEntry(page, IDC_DRIVE_SPEED);
        settingsState->speedIndex[d] =
            position < 0 ? SPEED_INDEX_UNSET : static_cast<std::uint32_t>(position);
    } else if (list == GetDlgItem(page, IDC_DRIVE_SPIN_DOWN)) {
        const int position = SelectedListEntry(page, IDC_DRIVE_SPIN_DOWN);
        if (position >= 0 && position < SPIN_DOWN_CODE_COUNT)
            settingsState->spinDownIndex[d] = static_cast<std::uint8_t>(position);
    }
}

void OnCheckBox(HWND page, HWND box) {
    std::uint32_t d = 0;
    if (!SelectedDrive(page, d)) return;
    std::uint32_t& skip = settingsState->skip[d];
    if (box == GetDlgItem(page, IDC_DRIVE_DISABLED)) {
        skip = IsChecked(page, IDC_DRIVE_DISABLED) ? SKIP_CONTROL : SKIP_NONE;
        ShowSkip(page, skip);
    } else if (box == GetDlgItem(page, IDC_DRIVE_HIDDEN)) {
        skip = IsChecked(page, IDC_DRIVE_HIDDEN) ? SKIP_HIDDEN : SKIP_CONTROL;
    }
}

}  // namespace

void InitDrivePage(HWND page) {
    SettingsDialogState& state = *settingsState;
    for (std::uint8_t code = 0; code < SPIN_DOWN_CODE_COUNT; ++code)
        AddListEntry(page, IDC_DRIVE_SPIN_DOWN, CdromDevice::SpinDownName(code));
    for (std::uint32_t d = 0; d < MAX_DRIVES; ++d) state.speedIndex[d] = SPEED_INDEX_UNSET;
    for (std::uint32_t d = 0; d < DriveCount(); ++d) {
        const DriveEntry& drive = appState->drives[d];
        const std::uint32_t count = SpeedCount(drive);
        if (count == 0) continue;
        char text[ENTRY_TEXT_SIZE];
        EntryText(drive, text);
        AddListEntry(page, IDC_DRIVE_LIST, text, static_cast<LPARAM>(d));
        // With the same speed twice, the later position wins.
        for (std::uint32_t k = 0; k < count; ++k)
            if (drive.speeds[k] == drive.currentSpeed) state.speedIndex[d] = k;
        state.spinDownIndex[d] = drive.spinDown;
        state.skip[d] = appState->skip[d];
    }
    ShowDrive(page, 0);
}

void ShowDrive(HWND page, int position) {
    SelectListEntry(page, IDC_DRIVE_LIST, position);
    ClearList(page, IDC_DRIVE_SPEED);
    std::uint32_t d = 0;
    if (!SelectedDrive(page, d)) {
        // No drive to edit: nothing on the page would be kept.
        for (int id : {IDC_DRIVE_SPEED, IDC_DRIVE_SPIN_DOWN, IDC_DRIVE_DISABLED, IDC_DRIVE_HIDDEN})
            EnableItem(page, id, false);
        return;
    }
    const DriveEntry& drive = appState->drives[d];
    for (std::uint32_t k = 0; k < SpeedCount(drive); ++k) {
        char text[16];
        FormatText(text, sizeof text, SPEED_ENTRY_FORMAT,
                   static_cast<int>(CdromDevice::SpeedToFactor(drive.speeds[k])));
        AddListEntry(page, IDC_DRIVE_SPEED, text);
    }
    const std::uint32_t speed = settingsState->speedIndex[d];
    SelectListEntry(page, IDC_DRIVE_SPEED,
                    speed == SPEED_INDEX_UNSET ? -1 : static_cast<int>(speed));
    SelectListEntry(page, IDC_DRIVE_SPIN_DOWN, settingsState->spinDownIndex[d]);
    ShowSkip(page, settingsState->skip[d]);
}

// Goes through the drives the list shows, which are in table order: a drive
// that a rescan has put into the table since the page was filled has no
// edits, and keeps its values.
void ApplyDrivePage(HWND page) {
    const SettingsDialogState& state = *settingsState;
    const int entries = ListCount(page, IDC_DRIVE_LIST);
    for (int position = 0; position < entries; ++position) {
        const LPARAM index = ListEntryData(page, IDC_DRIVE_LIST, position);
        if (index < 0 || static_cast<std::uint32_t>(index) >= DriveCount()) continue;
        const auto d = static_cast<std::uint32_t>(index);
        DriveEntry& drive = appState->drives[d];
        if (SpeedCount(drive) == 0) continue;
        if (state.speedIndex[d] < SpeedCount(drive))
            drive.currentSpeed = drive.speeds[state.speedIndex[d]];
        else
            ErrorMessage(page, UiText(IDS_SPEED_INDEX_INVALID));
        drive.spinDown = state.spinDownIndex[d];
        appState->skip[d] = state.skip[d];
    }
}

INT_PTR CALLBACK DrivePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: InitDrivePage(page); return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnCheckBox(page, reinterpret_cast<HWND>(lParam));
        else if (HIWORD(wParam) == CBN_SELCHANGE)
            OnListChange(page, reinterpret_cast<HWND>(lParam));
        return TRUE;
    default: return FALSE;
    }
}
