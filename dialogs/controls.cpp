#include "controls.h"

#include <new>

#include <commctrl.h>

#include "wide_text.h"

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void EnableItem(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void ShowWindowIf(HWND window, bool shown) { ShowWindow(window, shown ? SW_SHOW : SW_HIDE); }

void SetItemText(HWND dialog, int id, const char* text) {
    SetDlgItemTextW(dialog, id, WideText(text));
}

bool GetItemText(HWND dialog, int id, char* text, std::size_t capacity) {
    if (capacity == 0) return false;
    text[0] = '\0';
    HWND control = GetDlgItem(dialog, id);
    if (!control) return false;
    const int length = GetWindowTextLengthW(control);
    if (length <= 0) return true;
    wchar_t* wide = new (std::nothrow) wchar_t[static_cast<std::size_t>(length) + 1];
    if (!wide) return false;
    GetWindowTextW(control, wide, length + 1);
    const bool kept = ShiftJisText(wide, text, capacity);
    delete[] wide;
    return kept;
}

void ClearList(HWND dialog, int id) { SendDlgItemMessageW(dialog, id, CB_RESETCONTENT, 0, 0); }

int AddListEntry(HWND dialog, int id, const char* text, LPARAM data) {
    const LRESULT position = SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                                                 reinterpret_cast<LPARAM>(WideText(text).Get()));
    if (position < 0) return -1;
    SendDlgItemMessageW(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(position), data);
    return static_cast<int>(position);
}

int ListCount(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0));
}

void SelectListEntry(HWND dialog, int id, int position) {
    if (position < 0 || position >= ListCount(dialog, id)) position = -1;
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int SelectedListEntry(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

LPARAM ListEntryData(HWND dialog, int id, int position) {
    return SendDlgItemMessageW(dialog, id, CB_GETITEMDATA, static_cast<WPARAM>(position), 0);
}

int InsertTab(HWND tab, int index, const char* text) {
    const WideText wide(text);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(wide.Get());
    return static_cast<int>(SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(&item)));
}

void SelectTab(HWND tab, int index) {
    SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int SelectedTab(HWND tab) { return static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0)); }

RECT TabDisplayArea(HWND tab, HWND parent) {
    RECT area = {};
    GetClientRect(tab, &area);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    MapWindowPoints(tab, parent, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void SetUpDownRange(HWND dialog, int id, int lower, int upper) {
    SendDlgItemMessageW(dialog, id, UDM_SETRANGE, 0, MAKELPARAM(upper, lower));
}

void SetUpDownPosition(HWND dialog, int id, int position) {
    SendDlgItemMessageW(dialog, id, UDM_SETPOS, 0, MAKELPARAM(position, 0));
}

bool GetUpDownPosition(HWND dialog, int id, int& position) {
    const LRESULT result = SendDlgItemMessageW(dialog, id, UDM_GETPOS, 0, 0);
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
