#include "main_window.h"

#include "appstate.h"
#include "drive_events.h"
#include "drive_settings.h"
#include "messages.h"
#include "program_objects.h"
#include "resource_ids.h"
#include "settings.h"
#include "settings_dialog.h"
#include "tray_menu.h"
#include "ui_text.h"
#include "version_dialog.h"
#include "wide_text.h"
#include "window_services.h"

static_assert(TRAY_SLOT_COUNT == ICON_COUNT, "one tray icon slot per icon style");

namespace {

// The tray icon's slots hold the styles in the order of the state record's
// icon table, so a slot index is an iconType.
void LoadTrayIcons() {
    for (std::uint32_t slot = 0; slot < TRAY_SLOT_COUNT; ++slot)
        trayIcon.LoadIconSlot(ICON_RESOURCE_IDS[slot], slot, TRAY_ICON_SIZE, TRAY_ICON_SIZE);
}

}  // namespace

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MEDIA_STANDARD));
    // Looked up in the program's own resources, which hold no arrow: the
    // class has no cursor, which a window that is never shown does not miss.
    windowClass.hCursor = LoadCursorA(instance, IDC_ARROW);
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(MAIN_WINDOW_BACKGROUND));
    windowClass.lpszClassName = MAIN_WINDOW_NAME;
    if (RegisterClassA(&windowClass)) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterMainWindowClass(HINSTANCE instance) { UnregisterClassA(MAIN_WINDOW_NAME, instance); }

HWND CreateMainWindow(HINSTANCE instance) {
    HWND window = CreateWindowExA(0, MAIN_WINDOW_NAME, MAIN_WINDOW_NAME, 0, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return nullptr;
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return window;
}

bool StartUpSequence(HWND window) {
    if (!instanceMutex.Create(MAIN_WINDOW_NAME)) {
        ConfirmMessage(window, UiText(IDS_ALREADY_RUNNING));
        return false;
    }
    // The library gets the window as its client value. An empty name (no
    // settings file) binds nothing. The name is Shift-JIS on every system.
    const auto client = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
    const char* library = appState->aspiDll.String(0);
    if (!library || !aspiBus.Load(client, WideText(library).Get())) {
        ErrorMessage(window, UiText(IDS_ASPI_FAILED));
        return false;
    }
    cdromDevice.bus = &aspiBus;
    if (!trayIcon.Create(appState->instance, window, TRAY_ICON_ID, TRAY_SLOT_COUNT)) {
        ErrorMessage(window, UiText(IDS_TRAY_FAILED));
        return false;
    }
    trayIcon.SetCallbackMessage(WM_KORVEX_TRAY);
    LoadTrayIcons();
    LoadErrorMessageSetting();
    RescanDrives(window);
    LoadSettings(cdromDevice);
    trayIcon.Add(appState->iconType);
    ShowStatusBalloon(window, true);
    SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
    return true;
}

void ShutdownSequence(HWND window) {
    if (appState) {
        // A tray opened by an automatic open-close stays open.
        if (appState->balloonTimerId) KillTimer(window, appState->balloonTimerId);
        if (appState->openCloseTimerId) KillTimer(window, appState->openCloseTimerId);
    }
    trayIcon.Delete();
    trayIcon.Destroy();
    aspiBus.Unload();
    instanceMutex.Release();
    // Work still waiting (a shutdown can run inside a rescan's error box)
    // finds no library now and must not start.
    if (appState) appState->settingsLoaded = 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM) {
    // Until the start-up has loaded the settings (a start-up failure box
    // runs a message loop too) only the pause and exit commands act.
    const bool ready = appState->settingsLoaded != 0;
    switch (LOWORD(wParam)) {
    case ID_LOAD_SETTINGS: RequestTableWork(window, TableWork::Load); break;
    case ID_SAVE_SETTINGS: RequestTableWork(window, TableWork::Save); break;
    case ID_RESCAN:
        if (appState->paused) break;
        RequestTableWork(window, TableWork::Rescan);
        break;
    case ID_PAUSE: appState->paused = appState->paused ? 0 : 1; break;
    case ID_SETTINGS_DIALOG:
        // The dialog may have changed the icon style.
        if (ready && RunSettingsDialog(cdromDevice)) trayIcon.Modify(appState->iconType);
        break;
    case ID_VERSION_DIALOG:
        if (ready) RunVersionDialog(nullptr, aspiBus);
        break;
    case ID_SHOW_BALLOON:
        if (ready) ShowStatusBalloon(window, true);
        break;
    case ID_EXIT: PostMessageA(window, WM_CLOSE, 0, 0); break;
    default: DispatchDeviceCommand(window, wParam); break;
    }
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        // The window is kept even when the start-up fails, so that closing it
        // runs the shutdown sequence and releases whatever was obtained.
        if (!StartUpSequence(window)) PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case WM_DESTROY:
        ShutdownSequence(window);
        PostQuitMessage(0);
        break;
    case WM_CLOSE: DestroyWindow(window); break;
    case WM_COMMAND: OnCommand(window, wParam, lParam); break;
    case WM_TIMER: OnTimer(window, wParam); break;
    case WM_POWERBROADCAST: OnPowerBroadcast(window, wParam); break;
    case WM_DEVICECHANGE: OnDeviceChange(window, wParam); break;
    case WM_KORVEX_KEY: OnHotKey(window, wParam, lParam); break;
    case WM_KORVEX_TRAY: OnTrayNotify(window, lParam); break;
    default: result = DefWindowProcA(window, message, wParam, lParam); break;
    }
    // After a restart of the shell the icon must be added again.
    if (appState) trayIcon.OnMessage(message, appState->iconType);
    return result;
}
