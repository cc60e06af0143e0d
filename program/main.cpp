// The tray program's entry point: the check for a running copy, the state
// record, the hidden main window and its message loop, and the keyboard hook
// around the loop.
#include <windows.h>

#include "appstate.h"
#include "main_window.h"
#include "messages.h"
#include "tapkey.h"
#include "ui_text.h"
#include "window_services.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // A running copy shows its status balloon instead of a second icon.
    if (HWND running = FindWindowA(MAIN_WINDOW_NAME, MAIN_WINDOW_NAME)) {
        PostMessageA(running, WM_COMMAND, ID_SHOW_BALLOON, 0);
        return 0;
    }
    if (!CreateAppState(instance, CstrErrorTrap)) {
        ErrorMessage(nullptr, UiText(IDS_NO_MEMORY));
        return 0;
    }
    if (RegisterMainWindowClass(instance)) {
        if (HWND window = CreateMainWindow(instance)) {
            // Whatever the settings say: they decide later, per key, whether
            // the keys do anything.
            InsertKeyboardHook(window, WM_KORVEX_KEY);
            MSG message;
            // 0 is the quit message; -1 (an error) would repeat forever.
            while (GetMessageA(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            RemoveKeyboardHook();
        }
        UnregisterMainWindowClass(instance);
    }
    DestroyAppState();
    return 0;
}
