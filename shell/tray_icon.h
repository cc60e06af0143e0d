// The program's one icon in the notification area: a small table of icons to
// choose from, the record handed to the shell, and the calls that add, change
// and remove the icon and pop up its balloon. There is no hover tip; status
// text is shown only as a balloon.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

// Every shell call of TrayIcon goes through this pointer; it is
// Shell_NotifyIconW unless a test puts a recorder in its place. The balloon's
// Shift-JIS texts are handed over in UTF-16, so they read right on any
// Windows.
extern BOOL(WINAPI* shellNotifyIcon)(DWORD message, PNOTIFYICONDATAW data);

// The number RegisterWindowMessageA gives "TaskbarCreated", obtained once at
// load time. The shell broadcasts it when it restarts; the icon must then be
// added again.
extern const UINT taskbarCreatedMessage;

// The id used when Create is given 0, from a time of day:
// ((hour * 256 + minute) * 256 + second) * 4096 + milliseconds, in 32 bits
// (hours of 16 and more lose their high bits).
std::uint32_t TimeDerivedId(const SYSTEMTIME& time);

// Version-2 record size: no GUID and no balloon icon, which the shells of the
// program's era do not know.
constexpr DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAW_V2_SIZE;
#if defined(_WIN32) && !defined(_WIN64)
static_assert(TRAY_RECORD_SIZE == 936, "the version-2 record is 936 bytes on 32-bit Windows");
#endif

struct TrayIconSlot {
    HICON icon;          // null when empty
    std::int32_t owned;  // 1 when this object loaded the icon and must destroy it
};

class TrayIcon {
public:
    TrayIcon();
    virtual ~TrayIcon();  // does what Destroy does

    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // 1 on success; 0 when already created or the slots cannot be allocated.
    // An id of 0 is replaced by the time-derived id of the current UTC time.
    int Create(HINSTANCE instance, HWND window, UINT id, std::uint32_t slotCount);
    // Removes the icon, releases every slot and returns to "not created".
    void Destroy();

    // Loads icon resource LOWORD(resourceId) from the instance into a slot,
    // releasing what the slot held. A failed load leaves a null icon.
    void LoadIconSlot(UINT resourceId, std::uint32_t index, int width, int height);
    // Destroys the slot's icon if this object loaded it, and empties the slot.
    void ReleaseIcon(std::uint32_t index);

    void SetCallbackMessage(UINT message);
    // Shift-JIS, cut to 63 UTF-16 characters.
    void SetBalloonTitle(const char* text, DWORD infoFlags);
    // Shift-JIS, cut to 255 UTF-16 characters.
    void SetBalloonText(const char* text, UINT timeoutMs);

    void Add(std::uint32_t index);
    void Modify(std::uint32_t index);
    // Modify with the balloon shown, for this one call only.
    void ShowBalloon(std::uint32_t index);
    void Delete();

    // Called after every message of the main window: re-adds the icon when
    // the shell has restarted.
    void OnMessage(UINT message, std::uint32_t index);

    bool IsCreated() const { return slots != nullptr; }

    std::uint32_t slotCount;  // 0 while not created
    TrayIconSlot* slots;      // owned; null while not created
    HINSTANCE instance;       // where the icons are loaded from
    NOTIFYICONDATAW notifyData;

private:
    void Send(DWORD message, std::uint32_t index);
};
