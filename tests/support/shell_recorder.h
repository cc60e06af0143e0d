// ShellRecorder: while an object lives, every Shell_NotifyIcon call that the
// tray icon makes is recorded, with a copy of its data, instead of reaching
// the shell, and answered TRUE. One recorder at a time; the calls are kept
// in one list that it clears when it starts.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace testsupport {

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
    // The balloon's texts as Shift-JIS (code page 932).
    std::string info, infoTitle;
};

// The calls recorded so far, oldest first.
std::vector<ShellCall>& ShellCalls();

class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

private:
    BOOL(WINAPI* saved_)(DWORD, PNOTIFYICONDATAW);
};

}  // namespace testsupport
