#include "msgbox_recorder.h"

#include <cstring>

#include "sjis_text.h"

namespace testsupport {

namespace {

MessageBoxRecorder* active = nullptr;

// The message control of a message box has this id on Windows and on Wine.
constexpr int MESSAGE_TEXT_ID = 0xFFFF;

bool IsDialog(HWND window) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    return std::strcmp(name, "#32770") == 0;
}

// Read as Unicode, kept as Shift-JIS: the same bytes on any system.
std::string TextOf(HWND window) { return WindowText(window); }

}  // namespace

MessageBoxRecorder::MessageBoxRecorder(int answer) : answer(answer) {
    if (active) return;  // one at a time; Installed() then says false
    DWORD thread = GetCurrentThreadId();
    cbtHook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, thread);
    callHook = SetWindowsHookExA(WH_CALLWNDPROC, CallProc, nullptr, thread);
    if (Installed()) {
        active = this;
    } else {
        if (cbtHook) UnhookWindowsHookEx(cbtHook);
        if (callHook) UnhookWindowsHookEx(callHook);
        cbtHook = callHook = nullptr;
    }
}

MessageBoxRecorder::~MessageBoxRecorder() {
    if (active != this) return;
    UnhookWindowsHookEx(cbtHook);
    UnhookWindowsHookEx(callHook);
    active = nullptr;
}

LRESULT CALLBACK MessageBoxRecorder::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    MessageBoxRecorder* self = active;
    if (self && code == HCBT_CREATEWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (IsDialog(window)) {
            self->pending = window;
            self->pendingStyle = 0;
            self->pendingStyleKnown = false;
        }
    } else if (self && code == HCBT_ACTIVATE && self->pending &&
               reinterpret_cast<HWND>(wParam) == self->pending) {
        // Activation comes after WM_INITDIALOG: the controls hold their texts.
        HWND box = self->pending;
        self->pending = nullptr;
        self->Record(box);
        if (self->onBox) self->onBox(box);
        PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(self->answer), 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// MessageBox gives its dialog its parameter block (MSGBOXPARAMSW, the A calls
// convert to it) as the WM_INITDIALOG parameter. It is trusted only when its
// size and owner agree with the window being set up; a box given a child
// window (a dialog page) is owned by that window's top-level window.
LRESULT CALLBACK MessageBoxRecorder::CallProc(int code, WPARAM wParam, LPARAM lParam) {
    MessageBoxRecorder* self = active;
    if (self && code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (message->message == WM_INITDIALOG && message->hwnd == self->pending &&
            message->lParam) {
            const auto* params = reinterpret_cast<const MSGBOXPARAMSW*>(message->lParam);
            if (params->cbSize == sizeof(MSGBOXPARAMSW) &&
                (params->hwndOwner == GetWindow(message->hwnd, GW_OWNER) ||
                 (params->hwndOwner &&
                  GetAncestor(params->hwndOwner, GA_ROOT) == GetWindow(message->hwnd, GW_OWNER)))) {
                self->pendingStyle = params->dwStyle;
                self->pendingStyleKnown = true;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxRecorder::Record(HWND box) {
    RecordedBox record;
    record.owner = GetWindow(box, GW_OWNER);
    record.caption = TextOf(box);
    record.text = TextOf(GetDlgItem(box, MESSAGE_TEXT_ID));
    record.style = pendingStyleKnown ? pendingStyle : 0;
    record.boxStyleKnown = pendingStyleKnown;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, "Static") == 0 &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            record.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            break;
        }
    }
    boxes.push_back(std::move(record));
}

}  // namespace testsupport
