// The Common page: five switches, the tray icon style, the ASPI32 library the
// program loads at its next start, and the language of the user interface.
#include <cstring>
#include <cwchar>
#include <new>

#include "controls.h"
#include "resource_ids.h"
#include "settings.h"
#include "settings_dialog.h"
#include "ui_text.h"
#include "wide_text.h"
#include "window_services.h"

BOOL(WINAPI* OpenFileDialog)(LPOPENFILENAMEW) = GetOpenFileNameW;

namespace {

struct Switch {
    int id;
    std::int32_t AppState::*field;
};
constexpr Switch SWITCHES[] = {
    {IDC_UPDATE, &AppState::update},
    {IDC_SWAP_MENU, &AppState::swapMenu},
    {IDC_BALLOON_ALL, &AppState::balloonAll},
    {IDC_BALLOON_AUTO, &AppState::balloonAuto},
    {IDC_NO_ERROR_MESSAGE, &AppState::noErrorMessage},
};

// The byte after the last backslash of text, or text itself. A backslash
// byte that ends a double-byte character is part of that character.
const char* AfterLastBackslash(const char* text, const char** backslash) {
    const char* found = nullptr;
    for (const char* p = text; *p; ++p) {
        if (IsDBCSLeadByteEx(TEXT_CODE_PAGE, static_cast<BYTE>(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\') found = p;
    }
    if (backslash) *backslash = found;
    return found ? found + 1 : text;
}

// A double-zero ended list of Shift-JIS texts in UTF-16; false when it
// does not fit.
bool WideList(const char* list, wchar_t* out, std::size_t capacity) {
    std::size_t used = 0;
    for (const char* item = list;; item += std::strlen(item) + 1) {
        const WideText wide(item);
        if (used + wide.Length() + 2 > capacity) return false;
        std::wmemcpy(out + used, wide.Get(), wide.Length() + 1);
        used += wide.Length() + 1;
        if (!*item) break;
    }
    out[used] = L'\0';
    return true;
}

constexpr std::size_t FILTER_CAPACITY = 512;

// The language list's entries, in the order of the Language setting's values.
constexpr unsigned LANGUAGE_CHOICES[] = {IDS_LANGUAGE_WINDOWS, IDS_LANGUAGE_JAPANESE,
                                         IDS_LANGUAGE_ENGLISH};

}  // namespace

bool FilterList(const char* text, char* out, std::size_t capacity) {
    if (!out || capacity < 2) return false;
    std::size_t n = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (n + 2 >= capacity) {
            out[0] = out[1] = '\0';
            return false;
        }
        // A '|' byte that ends a double-byte character is part of it.
        if (IsDBCSLeadByteEx(TEXT_CODE_PAGE, static_cast<BYTE>(*p)) && p[1]) {
            out[n++] = *p++;
            out[n++] = *p;
            continue;
        }
        out[n++] = *p == '|' ? '\0' : *p;
    }
    // Every part is ended by its '|'; the list ends with one more zero.
    out[n] = '\0';
    if (n > 0 && out[n - 1] != '\0') out[++n] = '\0';
    return true;
}

bool SplitPath(const char* path, CSTR* folder, CSTR* name) {
    if (folder) folder->Remove();
    if (name) name->Remove();
    if (!path) return false;
    const std::size_t length = std::strlen(path);
    char* copy = new (std::nothrow) char[length + 1];
    if (!copy) return false;
    std::memcpy(copy, path, length + 1);
    const char* backslash = nullptr;
    const char* after = AfterLastBackslash(copy, &backslash);
    if (name) *name = after;
    if (folder && backslash) {
        copy[backslash - copy] = '\0';
        *folder = copy;
    }
    delete[] copy;
    return true;
}

bool ChooseFile(HWND owner, const char* title, const char* filter, const char* initialFolder,
                char* path, std::size_t capacity) {
    if (!path || capacity == 0) return false;
    // Each Shift-JIS byte gives at most one UTF-16 unit: a buffer of capacity
    // units holds any path of capacity bytes.
    wchar_t* file = new (std::nothrow) wchar_t[capacity];
    wchar_t* wideFilter = new (std::nothrow) wchar_t[FILTER_CAPACITY];
    if (!file || !wideFilter) {
        delete[] file;
        delete[] wideFilter;
        return false;
    }
    std::wmemset(file, L'\0', capacity);
    CSTR name;
    if (SplitPath(path, nullptr, &name) && name.Length() < capacity) {
        const WideText wide(name.String(0));
        std::wmemcpy(file, wide.Get(), wide.Length());
    }
    const WideText wideTitle(title), wideFolder(initialFolder);
    const bool filtered = filter && WideList(filter, wideFilter, FILTER_CAPACITY);

    OPENFILENAMEW choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = owner;
    choice.lpstrFilter = filtered ? wideFilter : nullptr;
    choice.nFilterIndex = 1;
    choice.lpstrFile = file;
    choice.nMaxFile = static_cast<DWORD>(capacity);
    choice.lpstrInitialDir = initialFolder ? wideFolder.Get() : nullptr;
    choice.lpstrTitle = title ? wideTitle.Get() : nullptr;
    choice.Flags = ASPI_CHOICE_FLAGS;
    const bool chosen = OpenFileDialog(&choice) != FALSE;
    // A dialog that did not keep within the buffer gives no path.
    bool fits = chosen && std::wmemchr(file, L'\0', capacity) != nullptr && file[0] != L'\0';
    if (fits) {
        char* chosenPath = new (std::nothrow) char[capacity];
        fits = chosenPath && ShiftJisText(file, chosenPath, capacity);
        if (fits)
            std::memcpy(path, chosenPath, std::strlen(chosenPath) + 1);
        else if (chosenPath)
            ErrorMessage(owner, UiText(IDS_PATH_NOT_SHIFT_JIS));
        delete[] chosenPath;
    }
    delete[] file;
    delete[] wideFilter;
    return fits;
}

void InitCommonPage(HWND page) {
    const char* library = appState->aspiDll.String(0);
    SetItemText(page, IDC_ASPI_DLL, library ? library : "");
    for (const Switch& s : SWITCHES) SetChecked(page, s.id, appState->*s.field != 0);
    ClearList(page, IDC_ICON_TYPE);
    for (unsigned i = 0; i < ICON_COUNT; ++i)
        AddListEntry(page, IDC_ICON_TYPE, UiText(IDS_ICON_STYLE_FIRST + i));
    // Style 8 is not in the list: then nothing is selected.
    SelectListEntry(page, IDC_ICON_TYPE, static_cast<int>(appState->iconType));
    ClearList(page, IDC_LANGUAGE);
    for (unsigned choice : LANGUAGE_CHOICES) AddListEntry(page, IDC_LANGUAGE, UiText(choice));
    const std::int32_t language = appState->language;
    SelectListEntry(page, IDC_LANGUAGE,
                    language == LANGUAGE_JAPANESE || language == LANGUAGE_ENGLISH
                        ? static_cast<int>(language)
                        : static_cast<int>(LANGUAGE_WINDOWS));
}

void ChooseAspiDll(HWND page) {
    // The system folder in Shift-JIS; one that has no such form is left out.
    char folder[PATH_CAPACITY] = {};
    wchar_t system[PATH_CAPACITY] = {};
    const UINT length = GetSystemDirectoryW(system, PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY || !ShiftJisText(system, folder, sizeof folder))
        folder[0] = '\0';
    char path[PATH_CAPACITY] = {};
    if (const char* library = appState->aspiDll.String(0))
        std::strncpy(path, library, PATH_CAPACITY - 1);
    char filter[FILTER_CAPACITY];
    FilterList(UiText(IDS_ASPI_FILTER), filter, sizeof filter);
    if (ChooseFile(page, UiText(IDS_ASPI_CHOICE_TITLE), filter, folder[0] ? folder : nullptr, path,
                   PATH_CAPACITY))
        SetItemText(page, IDC_ASPI_DLL, path);
}

// The chosen library is compared with the stored one as whole texts: a name
// that merely begins with the stored one is a different library.
void ApplyCommonPage(HWND page) {
    // The language first: from here on, the box below included, every text
    // speaks it; the dialogs take it at their next opening.
    const int language = SelectedListEntry(page, IDC_LANGUAGE);
    if (language >= LANGUAGE_WINDOWS && language <= LANGUAGE_ENGLISH) {
        appState->language = language;
        ApplyLanguageSetting();
    }
    char library[PATH_CAPACITY] = {};
    // A button text that cannot be had in Shift-JIS changes nothing.
    const bool shown = GetItemText(page, IDC_ASPI_DLL, library, sizeof library);
    const char* stored = appState->aspiDll.String(0);
    if (shown && std::strcmp(stored ? stored : "", library) != 0) {
        appState->aspiDll = library;
        ConfirmMessage(page, UiText(IDS_ASPI_DLL_CHANGED));
    }
    for (const Switch& s : SWITCHES) appState->*s.field = IsChecked(page, s.id) ? 1 : 0;
    // With no style selected (style 8 was in force) the standard one is stored.
    const int style = SelectedListEntry(page, IDC_ICON_TYPE);
    appState->iconType =
        style >= 0 && style < static_cast<int>(ICON_COUNT) ? static_cast<std::uint32_t>(style) : 0;
}

INT_PTR CALLBACK CommonPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: InitCommonPage(page); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ASPI_DLL) ChooseAspiDll(page);
        return TRUE;
    default: return FALSE;
    }
}
