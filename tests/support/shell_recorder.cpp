#include "shell_recorder.h"

#include "tray_icon.h"

namespace testsupport {

namespace {

BOOL WINAPI RecordCall(DWORD message, PNOTIFYICONDATAA data) {
    ShellCalls().push_back({message, *data});
    return TRUE;
}

}  // namespace

std::vector<ShellCall>& ShellCalls() {
    static std::vector<ShellCall> calls;
    return calls;
}

ShellRecorder::ShellRecorder() : saved_(shellNotifyIcon) {
    ShellCalls().clear();
    shellNotifyIcon = RecordCall;
}

ShellRecorder::~ShellRecorder() {
    shellNotifyIcon = saved_;
    ShellCalls().clear();
}

}  // namespace testsupport
