#include "controls.h"

#include <commctrl.h>

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void EnableItem(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void ShowWindowIf(HWND window, bool shown) { ShowWindow(window, shown ? SW_SHOW : SW_HIDE); }

void SetItemText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

void GetItemText(HWND dialog, int id, char* text, std::size_t capacity) {
    if (capacity == 0) return;
    text[0] = '\0';
    GetDlgItemTextA(dialog, id, text, static_cast<int>(capacity));
}

void ClearList(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, CB_RESETCONTENT, 0, 0); }

int AddListEntry(HWND dialog, int id, const char* text, LPARAM data) {
    const LRESULT position =
        SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (position < 0) return -1;
    SendDlgItemMessageA(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(position), data);
    return static_cast<int>(position);
}

int ListCount(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
}

void SelectListEntry(HWND dialog, int id, int position) {
    if (position < 0 || position >= ListCount(dialog, id)) position = -1;
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int SelectedListEntry(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

LPARAM ListEntryData(HWND dialog, int id, int position) {
    return SendDlgItemMessageA(dialog, id, CB_GETITEMDATA, static_cast<WPARAM>(position), 0);
}

int InsertTab(HWND tab, int index, const char* text) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(text);
    return static_cast<int>(
        SendMessageA(tab, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

void SelectTab(HWND tab, int index) { SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0); }

int SelectedTab(HWND tab) { return static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0)); }

RECT TabDisplayArea(HWND tab, HWND parent) {
    RECT area = {};
    GetClientRect(tab, &area);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    MapWindowPoints(tab, parent, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void SetUpDownRange(HWND dialog, int id, int lower, int upper) {
    SendDlgItemMessageA(dialog, id, UDM_SETRANGE, 0, MAKELPARAM(upper, lower));
}

void SetUpDownPosition(HWND dialog, int id, int position) {
    SendDlgItemMessageA(dialog, id, UDM_SETPOS, 0, MAKELPARAM(position, 0));
}

bool GetUpDownPosition(HWND dialog, int id, int& position) {
    const LRESULT result = SendDlgItemMessageA(dialog, id, UDM_GETPOS, 0, 0);
    position = static_cast<short>(LOWORD(result));
    return HIWORD(result) == 0;
}

void RegisterControlClasses(DWORD classes) {
    using Register = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    HMODULE comctl32 = GetModuleHandleA("comctl32.dll");
    if (!comctl32) comctl32 = LoadLibraryA("comctl32.dll");
    const auto registerEx = comctl32 ? reinterpret_cast<Register>(reinterpret_cast<void*>(
                                           GetProcAddress(comctl32, "InitCommonControlsEx")))
                                     : nullptr;
    if (registerEx) {
        const INITCOMMONCONTROLSEX controls = {sizeof controls, classes};
        registerEx(&controls);
    } else {
        InitCommonControls();
    }
}
