// korvexpeek.dll: loaded into the tray program by korvexprobe's hook, to
// read the pop-up menus it shows. A menu's items can be read only in the
// process that owns it; the hook procedure runs there, on the program's own
// thread, and sends the texts back to the probe's window as WM_COPYDATA.
#include <windows.h>

#include <string>
#include <vector>

#include "utf8_text.h"

namespace {

constexpr const wchar_t* PEEK_MESSAGE = L"KorvexProbePeekMenus";
constexpr UINT MN_GETHMENU_MESSAGE = 0x01E1;

struct Shown {
    HWND window;
    HMENU menu;
};

struct Found {
    bool points;
    std::vector<Shown> menus;
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
    if (menu) reinterpret_cast<Found*>(found)->menus.push_back({window, menu});
    return TRUE;
}

// How many of the shown menus lead to MENU: 0 for the menu the program
// opened, 1 for a sub-menu of it, and so on (no further than there are
// menus shown).
int Depth(const std::vector<Shown>& menus, HMENU menu, std::size_t hops = 0) {
    if (hops >= menus.size()) return 0;
    for (const Shown& shown : menus) {
        const int count = GetMenuItemCount(shown.menu);
        for (int i = 0; i < count; ++i)
            if (shown.menu != menu && GetSubMenu(shown.menu, i) == menu)
                return 1 + Depth(menus, shown.menu, hops + 1);
    }
    return 0;
}

// The menus, the deepest open sub-menu first and the menu the program opened
// last, whatever their order on the screen.
std::string Lines(const Found& found) {
    int deepest = 0;
    std::vector<int> depths;
    for (const Shown& shown : found.menus) {
        depths.push_back(Depth(found.menus, shown.menu));
        if (depths.back() > deepest) deepest = depths.back();
    }
    std::string lines;
    for (int depth = deepest; depth >= 0; --depth)
        for (std::size_t i = 0; i < found.menus.size(); ++i)
            if (depths[i] == depth) {
                lines += "menu\n";
                Describe(found.menus[i].window, found.menus[i].menu, found.points, lines);
            }
    return lines;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK PeekHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT peek = RegisterWindowMessageW(PEEK_MESSAGE);
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message && message->message == peek) {
        Found found{message->wParam != 0, {}};
        EnumThreadWindows(GetCurrentThreadId(), Visit, reinterpret_cast<LPARAM>(&found));
        std::string lines = Lines(found);
        COPYDATASTRUCT data = {};
        data.cbData = static_cast<DWORD>(lines.size());
        data.lpData = &lines[0];
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(reinterpret_cast<HWND>(message->lParam), WM_COPYDATA, 0,
                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 2000, &ignored);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
