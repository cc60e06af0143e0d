#include "drive_table.h"

#include <cstring>

#include "appstate.h"
#include "window_services.h"

const char* const RESCAN_ADAPTER_FAILED = "ホストアダプタ情報取得に失敗しました。";
const char* const RESCAN_DEVICE_FAILED = "デバイス情報取得に失敗しました。";

namespace {

constexpr std::uint8_t LUN = 0;

class RescanVisitor : public BusVisitor {
public:
    RescanVisitor(AppState& state, HWND window) : state_(state), window_(window) {}

    void AdapterFailed(std::uint8_t) override { Failure(RESCAN_ADAPTER_FAILED); }

    bool Target(std::uint8_t adapter, std::uint8_t target, const HostAdapterInfo&) override {
        // A full table takes nothing more, so there is nothing left to ask.
        if (state_.driveCount >= MAX_DRIVES) return false;
        if (aspiBus.GetDeviceType(adapter, target, LUN) != DEVTYPE_CDROM) return true;

        DeviceIdentity id;
        std::memset(&id, 0, sizeof id);
        if (!aspiBus.InquireDevice(adapter, target, LUN, id)) {
            Failure(RESCAN_DEVICE_FAILED);
            return true;
        }

        DriveEntry& drive = state_.drives[state_.driveCount];
        drive.hostAdapter = adapter;
        drive.targetId = target;
        CopyDeviceText(drive.vendor, sizeof drive.vendor, id.vendor, sizeof id.vendor);
        CopyDeviceText(drive.product, sizeof drive.product, id.product, sizeof id.product);
        CopyDeviceText(drive.version, sizeof drive.version, id.revision, sizeof id.revision);

        // The record is packed, so its fields are filled through aligned locals.
        std::uint16_t speeds[MAX_SPEEDS] = {};
        const std::uint32_t count = cdromDevice.ProbeSpeeds(adapter, target, LUN, speeds, MAX_SPEEDS);
        drive.speedCount = count <= MAX_SPEEDS ? count : MAX_SPEEDS;
        std::memcpy(drive.speeds, speeds, sizeof drive.speeds);

        std::uint16_t current = 0, maximum = 0;
        cdromDevice.GetReadSpeeds(adapter, target, LUN, current, maximum);
        drive.currentSpeed = current;
        drive.maxSpeed = maximum;

        std::uint8_t code = 0;
        cdromDevice.GetInactivityTimer(adapter, target, LUN, code);
        drive.spinDown = code;

        ++state_.driveCount;
        return true;
    }

private:
    void Failure(const char* text) {
        ++state_.errorCount;
        ShowErrorBox(window_, text);
    }

    AppState& state_;
    HWND window_;
};

}  // namespace

void CopyDeviceText(char* field, std::size_t fieldSize, const char* text, std::size_t textSize) {
    std::memset(field, 0, fieldSize);
    if (fieldSize == 0) return;
    for (std::size_t i = 0; i < textSize && i < fieldSize - 1 && text[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        field[i] = (c < DEVICE_TEXT_FIRST || c == DEVICE_TEXT_DELETE) ? DEVICE_TEXT_STAND_IN : text[i];
    }
}

void RescanDrives(HWND window) {
    if (!appState) return;
    AppState& state = *appState;
    std::memset(state.drives, 0, sizeof state.drives);
    state.driveCount = 0;

    RescanVisitor visitor(state, window);
    WalkBus(aspiBus, visitor);
}

void ApplySpeed(std::uint32_t d, std::uint32_t k) {
    if (!appState || d >= MAX_DRIVES || k >= MAX_SPEEDS) return;
    DriveEntry& drive = appState->drives[d];
    cdromDevice.SetReadSpeed(drive.hostAdapter, drive.targetId, LUN, drive.speeds[k]);

    std::uint16_t current = drive.currentSpeed, maximum = drive.maxSpeed;
    cdromDevice.GetReadSpeeds(drive.hostAdapter, drive.targetId, LUN, current, maximum);
    drive.currentSpeed = current;
    drive.maxSpeed = maximum;
}

void ApplySpinDown(std::uint32_t d) {
    if (!appState || d >= MAX_DRIVES) return;
    DriveEntry& drive = appState->drives[d];
    cdromDevice.SetInactivityTimer(drive.hostAdapter, drive.targetId, LUN, drive.spinDown);

    std::uint8_t code = drive.spinDown;
    cdromDevice.GetInactivityTimer(drive.hostAdapter, drive.targetId, LUN, code);
    drive.spinDown = code;
}
