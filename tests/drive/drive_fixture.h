// Shared by the drive table and settings tests: a state record, the program's
// bus bound to the simulated library, the settings file in the Windows folder,
// and a recorder that answers the error boxes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "appstate.h"
#include "drive_events.h"
#include "drive_settings.h"
#include "drive_table.h"
#include "program_objects.h"
#include "msgbox_recorder.h"
#include "sim_fixture.h"

namespace drivetest {

// C:\windows\KORVEX.INI: where the profile functions put the bare name.
std::string SettingsPath();
// The per-user copy of the 64-bit build, under %LOCALAPPDATA%\VirtualStore.
std::string StoreCopyPath();
// The file's bytes, or "(none)" when it does not exist. In a run that sets
// the language by its key, without the key's line.
std::string ReadSettingsFile();
std::string ReadFileBytes(const std::string& path);
// Replaces the file with these bytes (no file for "(none)") and makes the
// profile functions read it afresh. A read-only file is replaced too. In a
// run that sets the language by its key, the file has the key as well.
void WriteSettingsFile(const std::string& bytes);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Makes the file one that this user may not write (any writer is refused
// with access denied), or writable again. True when the file is now so.
bool SetReadOnly(const std::string& path, bool readOnly);

// The value of key in a state-file line "A:T:0 ...", or "(missing)".
std::string StateOf(const simtest::SimBus& sim, const std::string& address, const std::string& key);
// The CDBs of the SCSI requests logged, in hex, addressed to ha/tgt.
std::vector<std::string> Cdbs(const simtest::SimBus& sim);

// The speed list (KB/s) of a 52x drive, for the speeds= key of a bus file.
constexpr const char* kSpeeds52x = "706,1411,2117,2822,4234,5645,7056,8467,9173";

// A CD-ROM drive section of a bus file.
std::string CdromSection(unsigned adapter, unsigned target, const std::string& vendor,
                         const std::string& product, const std::string& revision,
                         const std::string& speeds, const std::string& extra = "");

class DriveFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the simulated library on this bus file into aspiBus.
    void Bind(const std::string& busFile);
    void Unbind();

    std::unique_ptr<simtest::SimBus> sim;
    std::unique_ptr<testsupport::MessageBoxRecorder> boxes;
};

}  // namespace drivetest
