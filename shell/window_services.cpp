#include "window_services.h"

#include "appstate.h"
#include "ui_text.h"
#include "wide_text.h"

namespace {

// GetVersion: low byte major, next byte minor, high bit set on the 9x family.
constexpr DWORD VERSION_9X_BIT = 0x80000000u;

}  // namespace

int ErrorMessage(HWND owner, const char* text) {
    return MessageBoxW(owner, WideText(text), WideText(UiText(IDS_ERROR_CAPTION)), MB_FORM_ERROR);
}

int ConfirmMessage(HWND owner, const char* text) {
    return MessageBoxW(owner, WideText(text), WideText(UiText(IDS_CONFIRM_CAPTION)),
                       MB_FORM_CONFIRM);
}

// Without a state record there is no setting to silence the box: a report
// from before creation or after destruction is shown.
void ShowErrorBox(HWND owner, const char* text) {
    if (appState && appState->noErrorMessage) return;
    ErrorMessage(owner, text);
}

void CstrErrorTrap() { ErrorMessage(nullptr, UiText(IDS_CSTR_ERROR)); }

void TellSaveOutcome(HWND owner, SaveOutcome outcome) {
    // A save that no file took is never passed over in silence: the user
    // would find every change gone at the next start.
    if (const char* text = SaveOutcomeText(outcome)) ErrorMessage(owner, text);
}

void PlaceWindow(HWND window, int code) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    const int screenW = GetSystemMetrics(SM_CXSCREEN);
    const int screenH = GetSystemMetrics(SM_CYSCREEN);
    int x;
    int y;
    switch (code) {
    case PLACE_TOP_LEFT:
        x = 0;
        y = 0;
        break;
    case PLACE_BOTTOM_LEFT:
        x = 0;
        y = screenH - h;
        break;
    case PLACE_TOP_RIGHT:
        x = screenW - w;
        y = 0;
        break;
    case PLACE_BOTTOM_RIGHT:
        x = screenW - w;
        y = screenH - h;
        break;
    default:
        // Centred; a window larger than the screen keeps its title bar and
        // top-left corner on the screen, where the user can still reach them.
        x = (screenW - w) / 2;
        y = (screenH - h) / 2;
        if (x < 0) x = 0;
        if (y < 0) y = 0;
        break;
    }
    MoveWindow(window, x, y, w, h, TRUE);
}

void ForceForeground(HWND window) {
    const DWORD version = GetVersion();
    const DWORD major = LOBYTE(LOWORD(version));
    const DWORD minor = HIBYTE(LOWORD(version));
    const bool family9x = (version & VERSION_9X_BIT) != 0;
    // Windows 98 and later, and 2000 and later, refuse SetForegroundWindow to a
    // thread that has no input: borrow the foreground thread's input for it.
    const bool guarded = family9x ? (major >= 4 && minor >= 10) : major >= 5;
    if (!guarded) {
        SetForegroundWindow(window);
        return;
    }
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD thisThread = GetCurrentThreadId();
    AttachThreadInput(thisThread, foregroundThread, TRUE);
    SetForegroundWindow(window);
    AttachThreadInput(thisThread, foregroundThread, FALSE);
    BringWindowToTop(window);
}
