#include "text_fit.h"

#include <cwchar>

#include "sjis_text.h"

namespace testsupport {

namespace {

// What a check box or push button keeps for itself beside its text: the box
// and the gap after it; the edges and the focus frame.
constexpr int CHECK_GAP = 4;
constexpr int BUTTON_EDGES = 6;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring WideTextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

void Check(std::vector<TextOverflow>& out, HWND control, const std::wstring& text, int room) {
    if (text.empty()) return;
    const int width = TextWidth(control, text.c_str());
    if (width > room) out.push_back({GetDlgCtrlID(control), Sjis(text.c_str()), width, room});
}

BOOL CALLBACK Collect(HWND child, LPARAM context) {
    auto& children = *reinterpret_cast<std::vector<HWND>*>(context);
    children.push_back(child);
    return TRUE;
}

}  // namespace

int TextWidth(HWND window, const wchar_t* text) {
    HDC dc = GetDC(window);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size.cx;
}

std::vector<TextOverflow> TextsWiderThanTheirControls(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
    std::vector<TextOverflow> out;
    for (HWND control : children) {
        if (GetParent(control) != window) continue;
        RECT client = {};
        GetClientRect(control, &client);
        const int room = client.right - client.left;
        const std::wstring type = ClassOf(control);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        if (_wcsicmp(type.c_str(), L"Static") == 0) {
            Check(out, control, WideTextOf(control), room);
        } else if (_wcsicmp(type.c_str(), L"Button") == 0) {
            const LONG kind = style & BS_TYPEMASK;
            const bool box = kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX ||
                             kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON ||
                             kind == BS_3STATE || kind == BS_AUTO3STATE;
            const int kept = box ? GetSystemMetrics(SM_CXMENUCHECK) + CHECK_GAP : BUTTON_EDGES;
            Check(out, control, WideTextOf(control), room - kept);
        } else if (_wcsicmp(type.c_str(), L"ComboBox") == 0) {
            const int entries = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < entries; ++i) {
                const auto length = SendMessageW(control, CB_GETLBTEXTLEN, i, 0);
                if (length <= 0) continue;
                std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
                SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
                text.resize(static_cast<std::size_t>(length));
                Check(out, control, text, room - GetSystemMetrics(SM_CXVSCROLL) - CHECK_GAP);
            }
        }
    }
    return out;
}

}  // namespace testsupport
