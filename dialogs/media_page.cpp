// The Media control page: the removable-media functions, the automatic
// open-and-close of a tray with its delay, the media lock and the keyboard
// control.
#include <cstdlib>

#include "controls.h"
#include "resource_ids.h"
#include "settings.h"
#include "settings_dialog.h"

namespace {

constexpr int DELAY_ITEMS[] = {IDC_OPEN_CLOSE_BEFORE, IDC_OPEN_CLOSE_AFTER, IDC_OPEN_CLOSE_EDIT,
                               IDC_OPEN_CLOSE_TIMER};

void EnableDelay(HWND page, bool enabled) {
    for (int id : DELAY_ITEMS) EnableItem(page, id, enabled);
}

// The edit field takes any text; a delay is only a whole number within the
// up-down control's range, written as it would write it.
bool DelayInEditField(HWND page, std::uint32_t& seconds) {
    char text[16] = {};
    GetItemText(page, IDC_OPEN_CLOSE_EDIT, text, sizeof text);
    if (text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0' || value < OPEN_CLOSE_TIMER_MIN || value > OPEN_CLOSE_TIMER_MAX) return false;
    seconds = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

void InitMediaPage(HWND page) {
    const bool control = appState->mediaControl != 0;
    SetChecked(page, IDC_MEDIA_CONTROL, control);
    EnableItem(page, IDC_USE_OPEN_CLOSE, control);
    EnableItem(page, IDC_USE_LOCK, control);
    SetChecked(page, IDC_USE_OPEN_CLOSE, appState->useOpenClose != 0);
    SetUpDownRange(page, IDC_OPEN_CLOSE_TIMER, OPEN_CLOSE_TIMER_MIN, OPEN_CLOSE_TIMER_MAX);
    SetUpDownPosition(page, IDC_OPEN_CLOSE_TIMER, LOWORD(appState->openCloseTimer));
    EnableDelay(page, (appState->useOpenClose & appState->mediaControl) != 0);
    SetChecked(page, IDC_USE_LOCK, appState->useLock != 0);
    SetChecked(page, IDC_USE_KEYBOARD_HOOK, appState->useKeyboardHook != 0);
}

// A delay that is not a whole number from 5 to 360 keeps the one in force.
void ApplyMediaPage(HWND page) {
    appState->mediaControl = IsChecked(page, IDC_MEDIA_CONTROL) ? 1 : 0;
    appState->useOpenClose = IsChecked(page, IDC_USE_OPEN_CLOSE) ? 1 : 0;
    int position = 0;
    std::uint32_t typed = 0;
    if (GetUpDownPosition(page, IDC_OPEN_CLOSE_TIMER, position) && DelayInEditField(page, typed) &&
        static_cast<std::uint32_t>(position) == typed)
        appState->openCloseTimer = typed;
    appState->useLock = IsChecked(page, IDC_USE_LOCK) ? 1 : 0;
    appState->useKeyboardHook = IsChecked(page, IDC_USE_KEYBOARD_HOOK) ? 1 : 0;
}

INT_PTR CALLBACK MediaPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: InitMediaPage(page); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_MEDIA_CONTROL) {
            const bool control = IsChecked(page, IDC_MEDIA_CONTROL);
            const bool openClose = control && IsChecked(page, IDC_USE_OPEN_CLOSE);
            EnableItem(page, IDC_USE_OPEN_CLOSE, control);
            EnableDelay(page, openClose);
            EnableItem(page, IDC_USE_LOCK, control);
            EnableItem(page, IDC_USE_KEYBOARD_HOOK, control);
        } else if (LOWORD(wParam) == IDC_USE_OPEN_CLOSE) {
            EnableDelay(page, IsChecked(page, IDC_USE_OPEN_CLOSE));
        }
        return TRUE;
    default: return FALSE;
    }
}
