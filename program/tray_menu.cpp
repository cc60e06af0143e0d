#include "tray_menu.h"

#include <cstring>

#include "appstate.h"
#include "command_ids.h"
#include "drive_events.h"
#include "drive_table.h"
#include "format_text.h"
#include "media_check.h"
#include "messages.h"
#include "program_objects.h"
#include "settings.h"
#include "ui_text.h"
#include "wide_text.h"
#include "window_services.h"

namespace {

constexpr std::uint8_t LUN = 0;

struct FixedItem {
    WORD id;  // 0: a separator
    WORD textId;
};

const FixedItem pausedItems[] = {
    {ID_PAUSE, IDS_MENU_RESUME},
    {ID_VERSION_DIALOG, IDS_MENU_VERSION},
    {0, 0},
    {ID_EXIT, IDS_MENU_EXIT},
};

// The speed menu puts the settings file's two commands before the commands
// both menus end with.
const FixedItem settingsFileItems[] = {
    {0, 0},
    {ID_LOAD_SETTINGS, IDS_MENU_LOAD},
    {ID_SAVE_SETTINGS, IDS_MENU_SAVE},
};

const FixedItem commandItems[] = {
    {0, 0},
    {ID_RESCAN, IDS_MENU_RESCAN},
    {ID_PAUSE, IDS_MENU_PAUSE},
    {ID_SETTINGS_DIALOG, IDS_MENU_SETTINGS},
    {ID_VERSION_DIALOG, IDS_MENU_VERSION},
    {0, 0},
    {ID_EXIT, IDS_MENU_EXIT},
};

template <std::size_t N>
void AppendFixedItems(HMENU menu, const FixedItem (&items)[N]) {
    for (const FixedItem& item : items) {
        if (item.id)
            AppendMenuW(menu, MF_STRING, item.id, WideText(UiText(item.textId)));
        else
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
}

UINT Grayed(bool grayed) { return grayed ? MF_GRAYED : MF_ENABLED; }

// A device's product text as a menu shows it: blanks at the end trimmed,
// control bytes replaced, and '&' doubled so that it is not taken for the
// mark of an access key.
void DeviceMenuText(char (&out)[2 * DRIVE_TEXT_SIZE], const char* text, std::size_t textSize) {
    char clean[DRIVE_TEXT_SIZE];
    CopyDeviceText(clean, sizeof clean, text, textSize);
    AspiBus::TrimTrailingBlanks(clean, sizeof clean);
    std::size_t n = 0;
    for (const char* c = clean; *c && n + 2 < sizeof out; ++c) {
        if (*c == '&') out[n++] = '&';
        out[n++] = *c;
    }
    out[n] = '\0';
}

// Builds one device's sub-menu of the media menu.
class MediaMenuVisitor : public BusVisitor {
public:
    MediaMenuVisitor(HWND window, HMENU menu) : window_(window), menu_(menu) {}

    void AdapterFailed(std::uint8_t) override { Failure(UiText(IDS_ADAPTER_FAILED)); }

    bool Target(std::uint8_t adapter, std::uint8_t target, const HostAdapterInfo&) override {
        int type = -1;
        DeviceIdentity id;
        std::memset(&id, 0, sizeof id);
        switch (CheckMediaDevice(aspiBus, adapter, target, LUN, &type, &id)) {
        case MediaDeviceCheck::NotMedia: return true;
        case MediaDeviceCheck::InquiryFailed: Failure(UiText(IDS_DEVICE_FAILED)); return true;
        case MediaDeviceCheck::Eligible: break;
        }
        HMENU sub = CreatePopupMenu();
        if (!sub) return true;
        const bool ready = aspiBus.TestUnitReady(adapter, target, LUN) != 0;
        char text[2 * DRIVE_TEXT_SIZE];
        DeviceMenuText(text, id.product, sizeof id.product);
        AppendMenuW(menu_, MF_POPUP | (ready ? MF_CHECKED : MF_UNCHECKED),
                    reinterpret_cast<UINT_PTR>(sub), WideText(text));
        FillDeviceMenu(sub, adapter, target, type, ready);
        return true;
    }

private:
    void FillDeviceMenu(HMENU sub, std::uint8_t adapter, std::uint8_t target, int type,
                        bool ready) {
        AppState& state = *appState;
        int canLock = 0, locked = 0;
        if (state.useLock) canLock = cdromDevice.GetLockState(adapter, target, LUN, locked);
        if (!canLock) locked = 0;
        const bool blocked = canLock && locked;
        // Ids carry the adapter and target in four bits each: a device beyond
        // them stays in the menu, so that it counts as the hot keys count,
        // but offers nothing.
        const bool addressable = cmd::Addressable(adapter, target, LUN);
        const auto id = [&](std::uint16_t base) -> UINT_PTR {
            return addressable ? cmd::MediaId(base, adapter, target, LUN) : 0;
        };
        const UINT off = Grayed(!addressable);

        if (type == DEVTYPE_CDROM) {
            AppendMenuW(sub, MF_STRING | Grayed(blocked) | off, id(cmd::EJECT_BASE),
                        WideText(MediaItemText(state.menuOpen, IDS_MENU_OPEN)));
            AppendMenuW(sub, MF_STRING | Grayed(blocked) | off, id(cmd::LOAD_BASE),
                        WideText(MediaItemText(state.menuClose, IDS_MENU_CLOSE)));
            if (state.useOpenClose)
                AppendMenuW(sub, MF_STRING | Grayed(blocked || state.openCloseTimerId != 0) | off,
                            id(cmd::OPEN_CLOSE_BASE),
                            WideText(MediaItemText(state.menuOpenClose, IDS_MENU_OPEN_CLOSE)));
        } else {
            AppendMenuW(sub, MF_STRING | Grayed(blocked) | off, id(cmd::EJECT_BASE),
                        WideText(MediaItemText(state.menuEject, IDS_MENU_EJECT)));
        }
        if (canLock) {
            AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
            if (locked)
                AppendMenuW(sub, MF_STRING | Grayed(!ready) | off, id(cmd::UNLOCK_BASE),
                            WideText(MediaItemText(state.menuUnlock, IDS_MENU_UNLOCK)));
            else
                AppendMenuW(sub, MF_STRING | Grayed(!ready) | off, id(cmd::LOCK_BASE),
                            WideText(MediaItemText(state.menuLock, IDS_MENU_LOCK)));
        }
    }

    void Failure(const char* text) {
        ++appState->errorCount;
        ShowErrorBox(window_, text);
    }

    HWND window_;
    HMENU menu_;
};

// Sub-menus first, each taken out of the menu before it goes, then the menu.
void DestroyTrayMenu(HMENU menu) {
    for (int i = GetMenuItemCount(menu); i-- > 0;) {
        HMENU sub = GetSubMenu(menu, i);
        if (!sub) continue;
        RemoveMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
        DestroyMenu(sub);
    }
    DestroyMenu(menu);
}

using AppendItems = void (*)(HWND, HMENU);

// The frame all three menus share: the menu lives in popupMenu exactly while
// it is built and tracked.
void ShowTrayMenu(HWND window, AppendItems append) {
    AppState& state = *appState;
    // A box shown while the media menu is built, or the menu's own loop, may
    // pass on another click: one menu at a time.
    if (state.popupMenu) return;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    state.popupMenu = menu;
    append(window, menu);
    POINT cursor = {};
    GetCursorPos(&cursor);
    ForceForeground(window);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    DestroyTrayMenu(menu);
    state.popupMenu = nullptr;
}

// An open dialog comes to the front in place of a menu; the version dialog
// first, as it can be open over the settings dialog.
bool BringOpenDialogToFront() {
    const AppState& state = *appState;
    if (state.versionDialog) {
        ForceForeground(state.versionDialog);
        return true;
    }
    if (state.settingsDialog) {
        ForceForeground(state.settingsDialog);
        return true;
    }
    return false;
}

void OnMenuButton(HWND window, bool leftButton) {
    ForceForeground(GetDesktopWindow());
    if (!BringOpenDialogToFront()) {
        if (appState->paused)
            ShowPausedMenu(window);
        else if (leftButton != (appState->swapMenu != 0))
            ShowMediaMenu(window);
        else
            ShowSpeedMenu(window);
    }
    PostMessageA(window, WM_NULL, 0, 0);
}

void OnHover(HWND window) {
    AppState& state = *appState;
    if (!state.balloonAuto || state.balloonTimerId) return;
    if (state.versionDialog || state.settingsDialog || state.popupMenu) return;
    state.balloonTimerId = SetTimer(window, cmd::BALLOON_TIMER_ID, cmd::BALLOON_TIMER_MS, nullptr);
    if (state.balloonTimerId)
        ShowStatusBalloon(window, false);
    else
        ErrorMessage(window, UiText(IDS_TIMER_CREATE_FAILED));
}

}  // namespace

void AppendPausedMenuItems(HWND, HMENU menu) { AppendFixedItems(menu, pausedItems); }

void AppendSpeedMenuItems(HWND, HMENU menu) {
    const AppState& state = *appState;
    const std::uint32_t count = state.driveCount < MAX_DRIVES ? state.driveCount : MAX_DRIVES;
    for (std::uint32_t d = 0; d < count; ++d) {
        const DriveEntry& drive = state.drives[d];
        const std::uint32_t speedCount =
            drive.speedCount < MAX_SPEEDS ? drive.speedCount : MAX_SPEEDS;
        if (state.skip[d] == SKIP_HIDDEN) continue;
        char text[2 * DRIVE_TEXT_SIZE];
        DeviceMenuText(text, drive.product, sizeof drive.product);
        if (speedCount == 0) {
            // Not left out: the user sees that this drive takes no speed.
            char item[2 * DRIVE_TEXT_SIZE + 32];
            FormatText(item, sizeof item, "%s\t%s", text, UiText(IDS_SPEED_NOT_SETTABLE));
            AppendMenuW(menu, MF_STRING | MF_GRAYED, 0, WideText(item));
            continue;
        }
        if (state.skip[d] == SKIP_CONTROL) {
            AppendMenuW(menu, MF_STRING | MF_GRAYED, 0, WideText(text));
            continue;
        }
        HMENU sub = CreatePopupMenu();
        if (!sub) continue;
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), WideText(text));
        for (std::uint32_t k = 0; k < speedCount; ++k) {
            const std::uint16_t speed = drive.speeds[k];
            char item[32];
            FormatText(item, sizeof item, SPEED_ITEM_FORMAT, static_cast<int>(speed),
                       static_cast<int>(CdromDevice::SpeedToFactor(speed)));
            AppendMenuW(sub, MF_STRING | (speed == drive.currentSpeed ? MF_CHECKED : MF_UNCHECKED),
                        cmd::SpeedId(d, k), WideText(item));
        }
    }
    AppendFixedItems(menu, settingsFileItems);
    AppendFixedItems(menu, commandItems);
}

void AppendMediaMenuItems(HWND window, HMENU menu) {
    MediaMenuVisitor visitor(window, menu);
    WalkBus(aspiBus, visitor);
    AppendFixedItems(menu, commandItems);
}

void ShowPausedMenu(HWND window) { ShowTrayMenu(window, AppendPausedMenuItems); }
void ShowSpeedMenu(HWND window) { ShowTrayMenu(window, AppendSpeedMenuItems); }

void ShowMediaMenu(HWND window) {
    if (!appState->mediaControl) {
        if (!appState->balloonAuto) ShowStatusBalloon(window, false);
        return;
    }
    ShowTrayMenu(window, AppendMediaMenuItems);
}

LRESULT OnTrayNotify(HWND window, LPARAM mouseMessage) {
    // Nothing to offer before the start-up has loaded the settings.
    if (!appState || !appState->settingsLoaded) return 0;
    switch (mouseMessage) {
    case WM_MOUSEMOVE: OnHover(window); break;
    case WM_LBUTTONDOWN: OnMenuButton(window, true); break;
    case WM_RBUTTONDOWN: OnMenuButton(window, false); break;
    case WM_MBUTTONDOWN:
        ForceForeground(GetDesktopWindow());
        if (!BringOpenDialogToFront()) PostMessageA(window, WM_COMMAND, ID_RESCAN, 0);
        break;
    default: break;
    }
    return 0;
}
