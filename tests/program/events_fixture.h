// Shared by the drive-event tests: the state record and simulated bus of the
// drive fixture, a hidden main window on the test thread that hands its
// timer ticks to OnTimer, and the tray icon created with every shell call
// recorded.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "drive_events.h"
#include "drive_fixture.h"
#include "shell_recorder.h"

namespace eventtest {

using testsupport::ShellCall;

// One SCSI request of the log: "ha:tgt:lun cdb".
std::vector<std::string> Commands(const simtest::SimBus& sim);
// Only the START STOP UNIT and PREVENT ALLOW requests among them.
std::vector<std::string> MediaCommands(const simtest::SimBus& sim);

// One line per item of a menu: "-" for a separator, else the text, the id
// (">" for a sub-menu, whose items follow indented) and the marks "checked",
// "grayed".
void DescribeMenu(HMENU menu, std::vector<std::string>& out, const std::string& indent = "");

constexpr UINT TRAY_ID = 1;

class EventFixture : public drivetest::DriveFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the window's messages until done says so or the time is up.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

    const std::vector<ShellCall>& Calls() const;
    void ClearCalls();

    HWND window = nullptr;
    testsupport::ShellRecorder shell;
};

}  // namespace eventtest
