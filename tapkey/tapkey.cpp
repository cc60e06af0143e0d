// tapkey.dll: a low-level keyboard hook that posts every key-down of the
// desktop to one window.
#define TAPKEY_BUILD
#include "tapkey.h"

#include "keystroke.h"

namespace {

HINSTANCE module = nullptr;
HHOOK hook = nullptr;
HWND target = nullptr;
UINT targetMessage = 0;
// Touched only on the installing thread: the system calls a low-level hook
// there, from that thread's message loop.
tapkey::KeyTracker tracker;

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && lParam != 0) {
        const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const tapkey::KeyEvent e{static_cast<unsigned>(k->vkCode),
                                 static_cast<unsigned>(k->scanCode),
                                 (k->flags & LLKHF_EXTENDED) != 0, (k->flags & LLKHF_UP) != 0,
                                 (k->flags & LLKHF_ALTDOWN) != 0};
        tapkey::KeyReport report;
        if (tracker.Feed(e, report) && target != nullptr) {
            PostMessageW(target, targetMessage, static_cast<WPARAM>(report.key),
                         static_cast<LPARAM>(report.flags));
        }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" TAPKEY_API BOOL WINAPI InsertKeyboardHook(HWND window, UINT message) {
    if (window == nullptr || !IsWindow(window)) return FALSE;
    if (hook == nullptr) {
        // Keys released while no hook watched are unknown: start from all up.
        tracker.Reset();
        hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, module, 0);
        if (hook == nullptr) return FALSE;
    }
    target = window;
    targetMessage = message;
    return TRUE;
}

extern "C" TAPKEY_API BOOL WINAPI RemoveKeyboardHook(void) {
    if (hook == nullptr) return FALSE;
    UnhookWindowsHookEx(hook);
    hook = nullptr;
    // Reports still queued would arrive after the hook is gone; the caller's
    // own queue can be cleared of them (another thread's cannot).
    if (target != nullptr && targetMessage != 0 &&
        GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId()) {
        MSG m;
        while (PeekMessageW(&m, target, targetMessage, targetMessage, PM_REMOVE | PM_NOYIELD)) {
        }
    }
    target = nullptr;
    targetMessage = 0;
    return TRUE;
}
