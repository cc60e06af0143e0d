#include "events_fixture.h"

#include <cstdio>

#include "program_objects.h"
#include "sjis_text.h"

namespace eventtest {

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) return OnTimer(window, wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* WindowClass() {
    static const char* const name = "korvex events test";
    static bool registered = false;
    if (!registered) {
        WNDCLASSA c = {};
        c.lpfnWndProc = WindowProc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = name;
        registered = RegisterClassA(&c) != 0;
    }
    return name;
}

}  // namespace

std::vector<std::string> Commands(const simtest::SimBus& sim) {
    std::vector<std::string> out;
    for (const auto& r : sim.Requests())
        if (r["cmd"] == "02")
            out.push_back(r["ha"] + ":" + r["tgt"] + ":" + r["lun"] + " " + r["cdb"]);
    return out;
}

void DescribeMenu(HMENU menu, std::vector<std::string>& out, const std::string& indent) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            out.push_back(indent + "-");
            continue;
        }
        HMENU sub = GetSubMenu(menu, i);
        std::string line = indent + testsupport::MenuText(menu, static_cast<UINT>(i));
        if (sub) {
            line += " >";
        } else {
            char id[16];
            std::snprintf(id, sizeof id, " #%04x", GetMenuItemID(menu, i));
            line += id;
        }
        if (state & MF_CHECKED) line += " checked";
        if (state & MF_GRAYED) line += " grayed";
        out.push_back(line);
        if (sub) DescribeMenu(sub, out, indent + "  ");
    }
}

std::vector<std::string> MediaCommands(const simtest::SimBus& sim) {
    std::vector<std::string> out;
    for (const std::string& c : Commands(sim)) {
        const std::string cdb = c.substr(c.find(' ') + 1);
        if (cdb.compare(0, 2, "1b") == 0 || cdb.compare(0, 2, "1e") == 0) out.push_back(c);
    }
    return out;
}

void EventFixture::SetUp() {
    DriveFixture::SetUp();
    if (HasFatalFailure()) return;
    window = CreateWindowExA(0, WindowClass(), "ROTAVA", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(1, trayIcon.Create(GetModuleHandleA(nullptr), window, TRAY_ID, ICON_COUNT));
    ResetHotKeys();
    appState->openCloseTimer = 10;
    appState->settingsLoaded = 1;  // as after the start-up
}

void EventFixture::TearDown() {
    if (appState && appState->openCloseTimerId) KillTimer(window, appState->openCloseTimerId);
    trayIcon.Destroy();
    if (window) DestroyWindow(window);
    window = nullptr;
    DriveFixture::TearDown();
}

bool EventFixture::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return true;
}

const std::vector<ShellCall>& EventFixture::Calls() const { return testsupport::ShellCalls(); }
void EventFixture::ClearCalls() { testsupport::ShellCalls().clear(); }

}  // namespace eventtest
