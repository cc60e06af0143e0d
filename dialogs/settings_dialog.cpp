#include "settings_dialog.h"

#include <commctrl.h>

#include <new>

#include "controls.h"
#include "dialog_face.h"
#include "resource_ids.h"
#include "drive_settings.h"
#include "settings.h"
#include "table_work.h"
#include "ui_text.h"
#include "version_dialog.h"
#include "window_services.h"

SettingsDialogState* settingsState = nullptr;

namespace {

SettingsDialogState* NewSettingsState() { return new (std::nothrow) SettingsDialogState(); }

struct PageTemplate {
    int templateId;
    DLGPROC procedure;
};
constexpr PageTemplate PAGE_TEMPLATES[SETTINGS_PAGE_COUNT] = {
    {IDD_COMMON_PAGE, CommonPageProc},
    {IDD_DRIVE_PAGE, DrivePageProc},
    {IDD_MEDIA_PAGE, MediaPageProc},
};
constexpr unsigned TAB_TEXTS[SETTINGS_PAGE_COUNT] = {IDS_TAB_COMMON, IDS_TAB_DRIVE, IDS_TAB_MEDIA};

// Set while OK applies and saves: its boxes run message loops, in which a
// second OK or a Cancel (a posted one, say) must not start over or free the
// working copy under it.
bool applying = false;
// The device OK applies the chosen speeds through, from the dialog's creation.
const CdromDevice* dialogDevice = nullptr;

void Release(HWND dialog) {
    KillTimer(dialog, SETTINGS_OK_RETRY_TIMER);
    if (appState && appState->settingsDialog == dialog) appState->settingsDialog = nullptr;
    delete settingsState;
    settingsState = nullptr;
}

void Close(HWND dialog) {
    Release(dialog);
    EndDialog(dialog, 1);
}

void CreatePages(HWND dialog) {
    SettingsDialogState& state = *settingsState;
    state.tab = GetDlgItem(dialog, IDC_SETTINGS_TAB);
    for (int i = 0; i < SETTINGS_PAGE_COUNT; ++i) {
        InsertTab(state.tab, i, UiText(TAB_TEXTS[i]));
        // Unicode windows: the templates' texts reach the controls as they
        // stand, not through the system's ANSI code page.
        const LPCDLGTEMPLATEW page =
            UiDialogTemplate(appState->instance, PAGE_TEMPLATES[i].templateId);
        state.pages[i] = page ? CreateDialogIndirectParamW(appState->instance, page, dialog,
                                                           PAGE_TEMPLATES[i].procedure, 0)
                              : nullptr;
        KeepJapaneseReadable(state.pages[i]);
        const RECT area = TabDisplayArea(state.tab, dialog);
        // Above the tab control, which would otherwise paint over it.
        SetWindowPos(state.pages[i], HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOREDRAW | SWP_NOACTIVATE);
    }
}

void Initialise(HWND dialog) {
    InitCommonControls();
    KeepJapaneseReadable(dialog);
    appState->settingsDialog = dialog;
    PlaceWindow(dialog, PLACE_CENTRE);
    // Style 8 has no icon: the dialog keeps the class's.
    if (HICON icon = IconOfType(*appState, appState->iconType)) {
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    settingsState = AllocateSettingsState();
    if (!settingsState) {
        ErrorMessage(dialog, UiText(IDS_NO_MEMORY));
        // No page can be made without the working copy: nothing to edit.
        Close(dialog);
        return;
    }
    CreatePages(dialog);
    SelectPage(PAGE_COMMON, true);
    SetFocus(GetDlgItem(dialog, IDOK));
    ShowWindow(dialog, SW_SHOW);
}

// The choices reach the drives whether or not the file takes them (a save that
// fails says so in its box), and only once a load has run: after a shutdown (a
// dialog can outlive the main window) there is no library to apply them to.
void ApplyAndSave(void* context) {
    HWND dialog = static_cast<HWND>(context);
    ApplyCommonPage(settingsState->pages[PAGE_COMMON]);
    ApplyDrivePage(settingsState->pages[PAGE_DRIVE]);
    ApplyMediaPage(settingsState->pages[PAGE_MEDIA]);
    if (!appState->settingsLoaded) return;
    if (dialogDevice) ApplyStoredChoices(*dialogDevice, ChoicesInForce());
    TellSaveOutcome(dialog, SaveSettingsFile());
}

// OK runs as one piece of table work: a rescan or load asked for while its
// boxes show waits until it has applied and saved, and it waits for the work
// in hand (an OK pressed while a rescan's error box shows) instead of
// writing into a table being rebuilt.
void Ok(HWND dialog) {
    if (applying || !settingsState) return;
    if (TableWorkRunning()) {
        SetTimer(dialog, SETTINGS_OK_RETRY_TIMER, SETTINGS_OK_RETRY_MS, nullptr);
        return;
    }
    KillTimer(dialog, SETTINGS_OK_RETRY_TIMER);
    applying = true;
    RunTableWorkNow(dialog, ApplyAndSave, dialog);
    applying = false;
    Close(dialog);
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK: Ok(dialog); break;
    case IDCANCEL:
        if (!applying) Close(dialog);
        break;
    case IDC_SETTINGS_VERSION:
        if (dialogDevice && dialogDevice->bus) RunVersionDialog(dialog, *dialogDevice->bus);
        break;
    default: break;
    }
    return TRUE;
}

INT_PTR OnNotify(LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (settingsState && header && header->code == static_cast<UINT>(TCN_SELCHANGE) &&
        header->hwndFrom == settingsState->tab)
        SelectPage(SelectedTab(settingsState->tab), false);
    return TRUE;
}

}  // namespace

SettingsDialogState* (*AllocateSettingsState)() = NewSettingsState;

void SelectPage(int index, bool moveTab) {
    if (!settingsState) return;
    if (moveTab) SelectTab(settingsState->tab, index);
    for (int i = 0; i < SETTINGS_PAGE_COUNT; ++i) ShowWindowIf(settingsState->pages[i], i == index);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        dialogDevice = reinterpret_cast<const CdromDevice*>(lParam);
        Initialise(dialog);
        return FALSE;  // the focus is set
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_NOTIFY: return OnNotify(lParam);
    case WM_TIMER:
        if (wParam == SETTINGS_OK_RETRY_TIMER) Ok(dialog);
        return TRUE;
    case WM_DESTROY:
        // Destroyed without Cancel or OK (the program's loop ended under it):
        // the working copy goes with it.
        if (appState && appState->settingsDialog == dialog) Release(dialog);
        return FALSE;
    default: return FALSE;
    }
}

bool RunSettingsDialog(const CdromDevice& device) {
    if (!appState || !appState->settingsLoaded || TableWorkRunning()) return false;
    if (appState->settingsDialog) {
        ForceForeground(appState->settingsDialog);
        return false;
    }
    // The tab and up-down classes must be there before the template's
    // controls are made.
    RegisterControlClasses(ICC_TAB_CLASSES | ICC_UPDOWN_CLASS);
    const LPCDLGTEMPLATEW frame = UiDialogTemplate(appState->instance, IDD_SETTINGS);
    if (!frame) return false;
    return DialogBoxIndirectParamW(appState->instance, frame, nullptr, SettingsDialogProc,
                                   reinterpret_cast<LPARAM>(&device)) != -1;
}
