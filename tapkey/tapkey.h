// tapkey.dll: reports the key presses of the whole desktop to one window.
//
// Between InsertKeyboardHook and RemoveKeyboardHook every key-down is posted to
// the window as the given message:
//   wParam  the virtual-key code (the generic VK_SHIFT, VK_CONTROL, VK_MENU for
//           the left and right variants, as a WM_KEYDOWN carries them)
//   lParam  the keystroke flags of a key message: repeat count 1 (bits 0..15),
//           scan code (16..23), extended key (24), Alt held (29), key already
//           down before this event, i.e. auto-repeat (30), transition 0 (31).
// Key-ups are not posted.
//
// A low-level keyboard hook does the watching. Such a hook is called on the
// thread that installed it, through that thread's message queue: the thread
// that calls InsertKeyboardHook must run a message loop (GetMessage or
// PeekMessage) for as long as the hook is in place, or the desktop's keyboard
// stalls until the system times the hook out. Both functions belong on that
// same thread; they are not meant to be called from several threads.
//
// Both functions use the WINAPI (stdcall) convention and are exported under
// their plain names on 32-bit and 64-bit Windows alike.
#ifndef KORVEX_TAPKEY_H
#define KORVEX_TAPKEY_H

#include <windows.h>

#ifdef TAPKEY_BUILD
#define TAPKEY_API __declspec(dllexport)
#else
#define TAPKEY_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Starts reporting key-downs to `window` as `message`. Returns TRUE when the
// hook is in place, FALSE when `window` is not a window or the hook cannot be
// installed. Called again while a hook is in place, it keeps that one hook and
// only redirects the reports to the new window and message (TRUE), or leaves
// everything as it was when the new window is invalid (FALSE).
TAPKEY_API BOOL WINAPI InsertKeyboardHook(HWND window, UINT message);

// Stops the reports: removes the hook and drops reports already posted to the
// window but not yet taken from its queue when the window belongs to the
// calling thread. Returns TRUE when a hook was removed, FALSE when none was in
// place (then it does nothing).
TAPKEY_API BOOL WINAPI RemoveKeyboardHook(void);

#ifdef __cplusplus
}
#endif

#endif
