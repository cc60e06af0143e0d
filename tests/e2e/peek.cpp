// korvexpeek.dll: loaded into the tray program by korvexprobe's hook, to
// read the pop-up menus it shows. A menu's items can be read only in the
// process that owns it; the hook procedure runs there, on the program's own
// thread, and sends the texts back to the probe's window as WM_COPYDATA.
#include <windows.h>

#include <string>

#include "utf8_text.h"

namespace {

constexpr const wchar_t* PEEK_MESSAGE = L"KorvexProbePeekMenus";
constexpr UINT MN_GETHMENU_MESSAGE = 0x01E1;

struct Found {
    bool points;
    std::string lines;
};

// points: each item's middle on the screen too, as " @X,Y".
void Describe(HWND window, HMENU menu, bool points, std::string& lines) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            lines += "  -\n";
            continue;
        }
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        std::string line = "  " + Utf8(text);
        if (GetSubMenu(menu, i)) line += " >";
        if (state & MF_CHECKED) line += " checked";
        if (state & MF_GRAYED) line += " grayed";
        RECT r;
        if (points && GetMenuItemRect(window, menu, static_cast<UINT>(i), &r))
            line += " @" + std::to_string((r.left + r.right) / 2) + "," +
                    std::to_string((r.top + r.bottom) / 2);
        lines += line + "\n";
    }
}

BOOL CALLBACK Visit(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"#32768" || !IsWindowVisible(window)) return TRUE;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU_MESSAGE, 0, 0));
    if (!menu) return TRUE;
    auto& f = *reinterpret_cast<Found*>(found);
    f.lines += "menu\n";
    Describe(window, menu, f.points, f.lines);
    return TRUE;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK PeekHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT peek = RegisterWindowMessageW(PEEK_MESSAGE);
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message && message->message == peek) {
        Found found{message->wParam != 0, {}};
        EnumThreadWindows(GetCurrentThreadId(), Visit, reinterpret_cast<LPARAM>(&found));
        COPYDATASTRUCT data = {};
        data.cbData = static_cast<DWORD>(found.lines.size());
        data.lpData = &found.lines[0];
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(reinterpret_cast<HWND>(message->lParam), WM_COPYDATA, 0,
                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 2000, &ignored);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
