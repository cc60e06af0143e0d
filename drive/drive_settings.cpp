#include "drive_settings.h"

#include "appstate.h"
#include "drive_table.h"

void ApplyStoredChoices(const CdromDevice& device, const StoredChoices& stored) {
    if (!appState) return;
    AppState& state = *appState;
    const std::uint32_t count = state.driveCount <= MAX_DRIVES ? state.driveCount : MAX_DRIVES;
    for (std::uint32_t i = 0; i < count; ++i) {
        const StoredDrive& choice = stored.drives[i];
        if (!choice.held) continue;
        DriveEntry& drive = state.drives[i];
        if (choice.speed < drive.speedCount) ApplySpeed(device, i, choice.speed);
        if (choice.spinDown <= SPIN_DOWN_MAX) {
            drive.spinDown = static_cast<std::uint8_t>(choice.spinDown);
            ApplySpinDown(device, i);
        }
    }
}

void LoadSettings(const CdromDevice& device) { ApplyStoredChoices(device, ReadSettings()); }
