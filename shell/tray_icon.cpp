#include "tray_icon.h"

#include <cstring>
#include <new>

#include "wide_text.h"

BOOL(WINAPI* shellNotifyIcon)(DWORD, PNOTIFYICONDATAW) = Shell_NotifyIconW;

const UINT taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");

namespace {

constexpr std::size_t TITLE_CHARS =
    sizeof(NOTIFYICONDATAW::szInfoTitle) / sizeof(wchar_t) - 1;                            // 63
constexpr std::size_t TEXT_CHARS = sizeof(NOTIFYICONDATAW::szInfo) / sizeof(wchar_t) - 1;  // 255
constexpr DWORD ID_DELAY_MS = 10;

static_assert(TITLE_CHARS == 63 && TEXT_CHARS == 255, "balloon field sizes");

// Copies at most `limit` characters of the Shift-JIS text; the character
// after them is always 0. No double-byte character is cut in two.
void CopyCut(wchar_t* field, const char* text, std::size_t limit) {
    const WideText wide(text);
    std::size_t length = wide.Length();
    if (length > limit) length = limit;
    std::memcpy(field, wide.Get(), length * sizeof(wchar_t));
    field[length] = L'\0';
}

}  // namespace

std::uint32_t TimeDerivedId(const SYSTEMTIME& time) {
    std::uint32_t id = time.wHour;
    id = id * 256u + time.wMinute;
    id = id * 256u + time.wSecond;
    return id * 4096u + time.wMilliseconds;
}

TrayIcon::TrayIcon() : slotCount(0), slots(nullptr), instance(nullptr), notifyData() {}

TrayIcon::~TrayIcon() { Destroy(); }

int TrayIcon::Create(HINSTANCE inst, HWND window, UINT id, std::uint32_t count) {
    if (slots) return 0;
    TrayIconSlot* table = new (std::nothrow) TrayIconSlot[count];
    if (!table) return 0;
    for (std::uint32_t i = 0; i < count; ++i) table[i] = TrayIconSlot{nullptr, 0};
    slots = table;
    slotCount = count;
    instance = inst;
    std::memset(&notifyData, 0, sizeof notifyData);
    notifyData.cbSize = TRAY_RECORD_SIZE;
    notifyData.uID = id;
    notifyData.hWnd = window;
    notifyData.uFlags = NIF_ICON;
    if (id == 0) {
        // Two copies started in the same instant still get different ids.
        Sleep(ID_DELAY_MS);
        SYSTEMTIME now;
        GetSystemTime(&now);
        notifyData.uID = TimeDerivedId(now);
    }
    return 1;
}

void TrayIcon::Destroy() {
    if (!slots) return;
    Delete();
    std::memset(&notifyData, 0, sizeof notifyData);
    for (std::uint32_t i = 0; i < slotCount; ++i) ReleaseIcon(i);
    delete[] slots;
    slots = nullptr;
    slotCount = 0;
}

void TrayIcon::LoadIconSlot(UINT resourceId, std::uint32_t index, int width, int height) {
    if (!slots || index >= slotCount) return;
    ReleaseIcon(index);
    HANDLE image = LoadImageA(instance, MAKEINTRESOURCEA(LOWORD(resourceId)), IMAGE_ICON, width,
                              height, LR_DEFAULTCOLOR);
    slots[index].icon = static_cast<HICON>(image);
    slots[index].owned = 1;
}

void TrayIcon::ReleaseIcon(std::uint32_t index) {
    if (!slots || index >= slotCount) return;
    TrayIconSlot& slot = slots[index];
    if (slot.icon && slot.owned) DestroyIcon(slot.icon);
    slot.icon = nullptr;
    slot.owned = 0;
}

void TrayIcon::SetCallbackMessage(UINT message) {
    if (!slots) return;
    notifyData.uFlags |= NIF_MESSAGE;
    notifyData.uCallbackMessage = message;
}

void TrayIcon::SetBalloonTitle(const char* text, DWORD infoFlags) {
    if (!slots) return;
    CopyCut(notifyData.szInfoTitle, text, TITLE_CHARS);
    notifyData.dwInfoFlags = infoFlags;
}

void TrayIcon::SetBalloonText(const char* text, UINT timeoutMs) {
    if (!slots) return;
    CopyCut(notifyData.szInfo, text, TEXT_CHARS);
    notifyData.uTimeout = timeoutMs;
}

void TrayIcon::Send(DWORD message, std::uint32_t index) {
    if (!slots || index >= slotCount) return;
    notifyData.hIcon = slots[index].icon;
    shellNotifyIcon(message, &notifyData);
}

void TrayIcon::Add(std::uint32_t index) { Send(NIM_ADD, index); }

void TrayIcon::Modify(std::uint32_t index) { Send(NIM_MODIFY, index); }

void TrayIcon::ShowBalloon(std::uint32_t index) {
    // Later Modify calls must not pop the same balloon up again.
    const UINT flags = notifyData.uFlags;
    notifyData.uFlags |= NIF_INFO;
    Modify(index);
    notifyData.uFlags = flags;
}

void TrayIcon::Delete() {
    if (!slots) return;
    notifyData.hIcon = nullptr;
    shellNotifyIcon(NIM_DELETE, &notifyData);
}

void TrayIcon::OnMessage(UINT message, std::uint32_t index) {
    if (message == taskbarCreatedMessage) Add(index);
}
