#include "shell_recorder.h"

#include "sjis_text.h"
#include "tray_icon.h"

namespace testsupport {

namespace {

BOOL WINAPI RecordCall(DWORD message, PNOTIFYICONDATAW data) {
    ShellCalls().push_back({message, *data, Sjis(data->szInfo), Sjis(data->szInfoTitle)});
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
