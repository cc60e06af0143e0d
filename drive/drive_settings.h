// Putting the settings file's choices into force on the drives.
#pragma once

#include "device.h"
#include "settings.h"

// Applies each held choice of stored to its drive, drive by drive in table
// order: the speed at its stored position (when the drive has one there),
// then the spin-down code (when it is a code).
void ApplyStoredChoices(const CdromDevice& device, const StoredChoices& stored);

// Reads the settings file into appState and applies each drive's stored
// speed and spin-down through device.
void LoadSettings(const CdromDevice& device);
