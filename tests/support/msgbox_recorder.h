// MessageBoxRecorder: records every message box that the test thread shows
// and dismisses it at once, so no test waits on a box.
//
// While an object lives, a WH_CBT and a WH_CALLWNDPROC hook watch the thread
// that made it. For each box (a "#32770" dialog that a MessageBox call
// creates) it records:
//   owner    the box's owner window (GetWindow GW_OWNER), null for none
//   caption  the title bar text, read as Unicode and kept as Shift-JIS
//            (code page 932, whatever the system's ANSI code page)
//   text     the text of the box's message control (id 0xFFFF), the same way
//   style    the MB_* flags exactly as passed to MessageBox, taken from the
//            box's own parameters when its dialog initialises; boxStyleKnown
//            is false (and style 0) when the dialog was not made by MessageBox
//   icon     the icon the box shows (STM_GETICON), to compare with the
//            system icons (LoadIcon(nullptr, IDI_ERROR) ...)
// Then it answers the box with WM_COMMAND `answer` (IDOK unless set), which
// becomes MessageBox's result.
//
// Only one recorder may live at a time, on the thread that uses the boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct RecordedBox {
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    UINT style = 0;
    bool boxStyleKnown = false;
    HICON icon = nullptr;
};

class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // False when a hook could not be installed.
    bool Installed() const { return cbtHook != nullptr && callHook != nullptr; }

    const std::vector<RecordedBox>& Boxes() const { return boxes; }
    std::size_t Count() const { return boxes.size(); }
    void Clear() { boxes.clear(); }
    // The answer given to the boxes from now on.
    void SetAnswer(int id) { answer = id; }
    // Called with each box once it is recorded and before it is answered:
    // what it posts reaches the box's own message loop ahead of the answer.
    void SetOnBox(std::function<void(HWND box)> call) { onBox = std::move(call); }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CallProc(int code, WPARAM wParam, LPARAM lParam);
    void Record(HWND box);

    HHOOK cbtHook = nullptr;
    HHOOK callHook = nullptr;
    int answer;
    // The box being set up, between its creation and its activation.
    HWND pending = nullptr;
    UINT pendingStyle = 0;
    bool pendingStyleKnown = false;
    std::vector<RecordedBox> boxes;
    std::function<void(HWND)> onBox;
};

}  // namespace testsupport
