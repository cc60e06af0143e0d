#include "drive_events.h"

#include <cstdio>
#include <cstring>

#include "appstate.h"
#include "command_ids.h"
#include "drive_settings.h"
#include "drive_table.h"
#include "media_check.h"
#include "program_objects.h"
#include "settings.h"
#include "ui_text.h"
#include "window_services.h"

namespace {

constexpr std::uint8_t LUN = 0;
constexpr UINT MS_PER_SECOND = 1000;

// The Alt+digit keys in the order the eligible devices take them; key 0 ends
// the table. The toggles belong to positions, not to devices.
struct HotKey {
    std::uint8_t key;
    std::uint32_t state;  // 1 after an eject, so the next press closes
};

HotKey hotKeys[HOT_KEY_COUNT + 1] = {
    {'1', 0}, {'2', 0}, {'3', 0}, {'4', 0}, {'5', 0}, {'6', 0},
    {'7', 0}, {'8', 0}, {'9', 0}, {'0', 0}, {0, 0},
};

// Finds the eligible device that holds the pressed key, live on the buses,
// and opens or closes it.
class HotKeyVisitor : public BusVisitor {
public:
    explicit HotKeyVisitor(WPARAM key) : key_(key) {}

    bool Target(std::uint8_t adapter, std::uint8_t target, const HostAdapterInfo&) override {
        int type = -1;
        if (!IsEligibleMediaDevice(aspiBus, adapter, target, LUN, &type)) return true;
        HotKey& entry = hotKeys[next_];
        if (entry.key != key_) {
            ++next_;
            return hotKeys[next_].key != 0;  // an eleventh device has no key
        }
        // Only a CD-ROM tray is closed again; anything else is always ejected.
        if (type != DEVTYPE_CDROM) entry.state = 0;
        if (entry.state)
            cdromDevice.LoadMedium(adapter, target, LUN);
        else
            cdromDevice.EjectMedium(adapter, target, LUN);
        entry.state ^= 1;
        return false;
    }

private:
    WPARAM key_;
    std::uint32_t next_ = 0;
};

void OpenClose(HWND window, std::uint16_t x) {
    AppState& state = *appState;
    const cmd::DeviceAddress a = cmd::DecodeAddress(x);
    cdromDevice.EjectMedium(a.adapter, a.target, a.lun);
    // Only one open-close runs at a time: a timer left running would tick
    // into the unknown-timer box again and again, so an earlier one ends
    // here, leaving its tray open.
    if (state.openCloseTimerId) KillTimer(window, state.openCloseTimerId);
    state.openCloseTimerId =
        SetTimer(window, cmd::OpenCloseTimerId(x), state.openCloseTimer * MS_PER_SECOND, nullptr);
    if (!state.openCloseTimerId) ErrorMessage(window, UiText(IDS_TIMER_CREATE_FAILED));
}

void RunTableWork(HWND window, TableWork work) {
    switch (work) {
    case TableWork::Rescan:
        aspiBus.Rescan();
        RescanDrives(window);
        ShowStatusBalloon(window, true);
        break;
    case TableWork::DeviceRescan:
        // A new disc brings back the drive's own speed: the saved settings
        // go back on, as after a resume, without the balloon.
        aspiBus.Rescan();
        RescanDrives(window);
        LoadSettings(cdromDevice);
        break;
    case TableWork::Load: LoadSettings(cdromDevice); break;
    case TableWork::Resume:
        LoadSettings(cdromDevice);
        ShowStatusBalloon(window, true);
        break;
    case TableWork::Save: SaveSettings(window); break;
    }
}

}  // namespace

void RescanDrives(HWND window) {
    const RescanReport report = ScanDrives(cdromDevice);
    for (const char* failure : report.failures) {
        if (appState) ++appState->errorCount;
        ShowErrorBox(window, failure);
    }
}

void SaveSettings(HWND owner) { TellSaveOutcome(owner, SaveSettingsFile()); }

void RequestTableWork(HWND window, TableWork work) { QueueTableWork(window, work, RunTableWork); }

void ResetHotKeys() {
    for (HotKey& entry : hotKeys) entry.state = 0;
}

void ShowStatusBalloon(HWND window, bool rebuild) {
    if (!appState) return;
    AppState& state = *appState;
    if (rebuild) {
        trayIcon.SetBalloonTitle(BALLOON_TITLE, NIIF_INFO);
        ComposeBalloonText(state);
        trayIcon.SetBalloonText(state.balloonText, BALLOON_TIMEOUT_MS);
    }
    ForceForeground(window);
    trayIcon.ShowBalloon(state.iconType);
}

LRESULT DispatchDeviceCommand(HWND window, WPARAM id) {
    if (!appState || !appState->settingsLoaded) return 0;
    const AppState& state = *appState;
    const std::uint32_t low = LOWORD(id);
    std::uint16_t x = 0;

    if (cmd::InRange(low, cmd::SPEED_BASE, x)) {
        const std::uint32_t d = cmd::SpeedDrive(x), k = cmd::SpeedIndex(x);
        // An id left over from before a rescan may name a drive or a speed
        // that is no longer there.
        if (d < state.driveCount && d < MAX_DRIVES && k < state.drives[d].speedCount)
            ApplySpeed(cdromDevice, d, k);
        return 0;
    }
    if (cmd::InRange(low, cmd::OPEN_CLOSE_BASE, x)) {
        OpenClose(window, x);
        return 0;
    }

    using MediaCommand = int (ScsiDevice::*)(std::uint8_t, std::uint8_t, std::uint8_t) const;
    static const struct {
        std::uint16_t base;
        MediaCommand command;
    } media[] = {
        {cmd::EJECT_BASE, &ScsiDevice::EjectMedium},
        {cmd::LOAD_BASE, &ScsiDevice::LoadMedium},
        {cmd::LOCK_BASE, &ScsiDevice::LockMedium},
        {cmd::UNLOCK_BASE, &ScsiDevice::UnlockMedium},
    };
    for (const auto& range : media) {
        if (!cmd::InRange(low, range.base, x)) continue;
        const cmd::DeviceAddress a = cmd::DecodeAddress(x);
        (cdromDevice.*range.command)(a.adapter, a.target, a.lun);
        return 0;
    }
    return 0;
}

LRESULT OnTimer(HWND window, WPARAM id) {
    if (!appState) return 0;
    AppState& state = *appState;
    // 0 stands for "no timer", never for a timer of ours.
    if (id != 0 && id == state.balloonTimerId) {
        KillTimer(window, id);
        state.balloonTimerId = 0;
        return 0;
    }
    if (id != 0 && id == state.openCloseTimerId) {
        KillTimer(window, id);
        const cmd::DeviceAddress a =
            cmd::DecodeAddress(static_cast<std::uint16_t>(id - cmd::OPEN_CLOSE_TIMER_BASE));
        cdromDevice.LoadMedium(a.adapter, a.target, a.lun);
        state.openCloseTimerId = 0;
        return 0;
    }
    ErrorMessage(window, UiText(IDS_TIMER_UNKNOWN));
    return 0;
}

LRESULT OnPowerBroadcast(HWND window, WPARAM event) {
    if (!appState) return 0;
    const AppState& state = *appState;
    if (state.paused || !state.update || event != POWER_RESUME_AUTOMATIC) return 0;
    RequestTableWork(window, TableWork::Resume);
    return 0;
}

LRESULT OnDeviceChange(HWND window, WPARAM event) {
    if (!appState || appState->paused) return 0;
    if (event != DEVICE_CONFIG_CHANGED && event != DEVICE_ARRIVED && event != DEVICE_REMOVED)
        return 0;
    RequestTableWork(window, TableWork::DeviceRescan);
    return 0;
}

LRESULT OnHotKey(HWND, WPARAM key, LPARAM flags) {
    if (!appState || !appState->settingsLoaded) return 0;
    const AppState& state = *appState;
    if (!state.mediaControl || !state.useKeyboardHook || !(flags & KEY_FLAG_ALT_CONTEXT)) return 0;
    // A held key repeats its key-down: only the first one is a press, or the
    // tray would open and close for as long as the key is held.
    if (flags & KEY_FLAG_PREVIOUS_STATE) return 0;
    HotKeyVisitor visitor(key);
    WalkBus(aspiBus, visitor);
    return 0;
}
