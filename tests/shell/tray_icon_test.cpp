// TrayIcon under Wine: every shell call is recorded (message and a copy of
// the record) through the shell-call pointer; icons are real, loaded from
// this test program's own resources.
#include "tray_icon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell_recorder.h"
#include "test_icons.h"

namespace {

constexpr UINT CALLBACK_MESSAGE = 32770;
constexpr UINT BALLOON_TIMEOUT = 10000;
constexpr std::uint32_t SLOTS = 8;

using testsupport::ShellCall;
std::vector<ShellCall>& calls = testsupport::ShellCalls();

bool IconAlive(HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return false;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return true;
}

bool AllZero(const void* p, std::size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i]) return false;
    return true;
}

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

// Message-only: needs no display, and the shell may still post to it.
HWND HiddenWindow() {
    return CreateWindowExA(0, "STATIC", "tray test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Self(),
                           nullptr);
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = HiddenWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { DestroyWindow(window); }

    // The object as the program sets it up: 8 slots, callback message, icons
    // in slots 0 and 1.
    void SetUpProgramIcon(TrayIcon& tray, UINT id) {
        ASSERT_EQ(tray.Create(Self(), window, id, SLOTS), 1);
        tray.SetCallbackMessage(CALLBACK_MESSAGE);
        tray.LoadIconSlot(TEST_ICON_RED, 0, 16, 16);
        tray.LoadIconSlot(TEST_ICON_BLUE, 1, 16, 16);
        ASSERT_NE(tray.slots[0].icon, nullptr);
        ASSERT_NE(tray.slots[1].icon, nullptr);
    }

    testsupport::ShellRecorder shell;
    HWND window = nullptr;
};

TEST(TrayRecord, VersionTwoSize) {
    // The record handed over stops before the GUID member.
    EXPECT_EQ(TRAY_RECORD_SIZE, offsetof(NOTIFYICONDATAW, guidItem));
    EXPECT_EQ(offsetof(NOTIFYICONDATAW, szInfoTitle) + 64 * sizeof(wchar_t) + sizeof(DWORD),
              TRAY_RECORD_SIZE);
#ifndef _WIN64
    EXPECT_EQ(TRAY_RECORD_SIZE, 936u);
#endif
}

TEST(TimeDerivedIdTest, Formula) {
    SYSTEMTIME t{};
    t.wHour = 13;
    t.wMinute = 45;
    t.wSecond = 30;
    t.wMilliseconds = 250;
    EXPECT_EQ(TimeDerivedId(t), 3536969978u);

    // Hours of 16 and more lose their high bits.
    t = SYSTEMTIME{};
    t.wHour = 16;
    EXPECT_EQ(TimeDerivedId(t), 0u);
    t.wHour = 15;
    t.wMinute = 59;
    t.wSecond = 59;
    t.wMilliseconds = 999;
    EXPECT_EQ(TimeDerivedId(t), 4088640487u);
    t.wHour = 23;
    EXPECT_EQ(TimeDerivedId(t), 1941156839u);

    // The date plays no part.
    t.wYear = 2024;
    t.wMonth = 2;
    t.wDay = 29;
    t.wDayOfWeek = 4;
    EXPECT_EQ(TimeDerivedId(t), 1941156839u);
}

TEST_F(TrayIconTest, CreateFillsTheRecordAndAddSendsIt) {
    TrayIcon tray;
    ASSERT_EQ(tray.Create(Self(), window, 5, SLOTS), 1);
    EXPECT_EQ(tray.slotCount, SLOTS);
    ASSERT_NE(tray.slots, nullptr);
    for (std::uint32_t i = 0; i < SLOTS; ++i) {
        EXPECT_EQ(tray.slots[i].icon, nullptr);
        EXPECT_EQ(tray.slots[i].owned, 0);
    }
    EXPECT_EQ(tray.instance, Self());
    EXPECT_TRUE(calls.empty()) << "Create shows nothing yet";

    tray.LoadIconSlot(TEST_ICON_RED, 3, 16, 16);
    ASSERT_NE(tray.slots[3].icon, nullptr);
    EXPECT_EQ(tray.slots[3].owned, 1);

    tray.Add(3);  // before a callback message is set: the icon flag alone
    tray.SetCallbackMessage(CALLBACK_MESSAGE);
    tray.Add(3);
    ASSERT_EQ(calls.size(), 2u);

    const NOTIFYICONDATAW& first = calls[0].data;
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(first.cbSize, NOTIFYICONDATAW_V2_SIZE);
    EXPECT_EQ(first.hWnd, window);
    EXPECT_EQ(first.uID, 5u);
    EXPECT_EQ(first.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(first.uCallbackMessage, 0u);
    EXPECT_EQ(first.hIcon, tray.slots[3].icon);

    const NOTIFYICONDATAW& second = calls[1].data;
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(second.cbSize, NOTIFYICONDATAW_V2_SIZE);
    EXPECT_EQ(second.hWnd, window);
    EXPECT_EQ(second.uID, 5u);
    EXPECT_EQ(second.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE)) << "never NIF_TIP";
    EXPECT_EQ(second.uCallbackMessage, CALLBACK_MESSAGE);
    EXPECT_EQ(second.hIcon, tray.slots[3].icon);
    EXPECT_STREQ(second.szTip, L"");
    EXPECT_STREQ(second.szInfo, L"");
    EXPECT_STREQ(second.szInfoTitle, L"");
    EXPECT_EQ(second.uTimeout, 0u);
    EXPECT_EQ(second.dwInfoFlags, 0u);
    EXPECT_EQ(second.dwState, 0u);
    EXPECT_EQ(second.dwStateMask, 0u);
}

TEST_F(TrayIconTest, IdZeroIsDerivedFromTheTimeOfTheCall) {
    // The formula is taken mod 16 hours; retry if the call straddles that wrap.
    for (int attempt = 0; attempt < 3; ++attempt) {
        TrayIcon tray;
        SYSTEMTIME before, after;
        GetSystemTime(&before);
        ASSERT_EQ(tray.Create(Self(), window, 0, SLOTS), 1);
        GetSystemTime(&after);
        const std::uint32_t low = TimeDerivedId(before);
        const std::uint32_t high = TimeDerivedId(after);
        if (low > high) continue;
        const std::uint32_t id = tray.notifyData.uID;
        EXPECT_GE(id, low);
        EXPECT_LE(id, high);
        // The id decodes to a time of day at least ~10 ms after the call began.
        auto msOfDay = [](std::uint32_t hour, std::uint32_t minute, std::uint32_t second,
                          std::uint32_t ms) {
            return ((hour * 60 + minute) * 60 + second) * 1000 + ms;
        };
        const std::uint32_t idMs =
            msOfDay(id >> 28, (id >> 20) & 0xFF, (id >> 12) & 0xFF, id & 0xFFF);
        const std::uint32_t beforeMs =
            msOfDay(before.wHour % 16, before.wMinute, before.wSecond, before.wMilliseconds);
        EXPECT_GE(idMs, beforeMs + 9) << "Create waits before reading the clock";
        EXPECT_NE(id, 0u);
        return;
    }
    FAIL() << "the clock kept straddling the 16-hour wrap";
}

TEST_F(TrayIconTest, CreateTwiceFailsAndChangesNothing) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    const NOTIFYICONDATAW record = tray.notifyData;
    TrayIconSlot* const table = tray.slots;
    const HICON icon = tray.slots[0].icon;

    EXPECT_EQ(tray.Create(nullptr, nullptr, 9, 3), 0);
    EXPECT_EQ(tray.Create(Self(), window, 0, SLOTS), 0);
    EXPECT_EQ(std::memcmp(&record, &tray.notifyData, sizeof record), 0);
    EXPECT_EQ(tray.slots, table);
    EXPECT_EQ(tray.slotCount, SLOTS);
    EXPECT_EQ(tray.instance, Self());
    EXPECT_EQ(tray.slots[0].icon, icon);
    EXPECT_TRUE(IconAlive(icon));
    EXPECT_TRUE(calls.empty());
}

TEST_F(TrayIconTest, BalloonTitleIsCutTo63) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    const std::string title70(70, 'T');
    const std::string title64 = std::string(63, 'a') + "Z";
    const std::string title63(63, 'b');

    tray.SetBalloonTitle(title70.c_str(), NIIF_INFO);
    tray.ShowBalloon(0);
    tray.SetBalloonTitle(title64.c_str(), NIIF_WARNING);
    tray.ShowBalloon(0);
    tray.SetBalloonTitle(title63.c_str(), NIIF_INFO);
    tray.ShowBalloon(0);
    tray.SetBalloonTitle("ROTAVA", NIIF_INFO);
    tray.ShowBalloon(0);
    ASSERT_EQ(calls.size(), 4u);

    EXPECT_EQ(std::string(calls[0].infoTitle.c_str()), std::string(63, 'T'));
    EXPECT_EQ(calls[0].infoTitle.c_str()[63], '\0');
    EXPECT_EQ(calls[0].data.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(std::string(calls[1].infoTitle.c_str()), std::string(63, 'a'));
    EXPECT_EQ(calls[1].data.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    EXPECT_EQ(std::string(calls[2].infoTitle.c_str()), title63);
    EXPECT_STREQ(calls[3].infoTitle.c_str(), "ROTAVA");
}

// Shift-JIS texts are cut by characters, not bytes: no character is split.
TEST_F(TrayIconTest, JapaneseBalloonTextsAreCutByCharacters) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    std::string title70, text300;
    for (int i = 0; i < 70; ++i) title70 += "設";
    for (int i = 0; i < 300; ++i) text300 += i % 2 ? "ア" : "\xb1";  // full- and half-width
    tray.SetBalloonTitle(title70.c_str(), NIIF_INFO);
    tray.SetBalloonText(text300.c_str(), BALLOON_TIMEOUT);
    tray.ShowBalloon(0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(title70.substr(0, 63 * 2), calls[0].infoTitle);
    EXPECT_EQ(std::wstring(63, L'\u8a2d'), calls[0].data.szInfoTitle);
    EXPECT_EQ(255u, std::wcslen(calls[0].data.szInfo));
    EXPECT_EQ(L'\uff71', calls[0].data.szInfo[254]);
    EXPECT_EQ(text300.substr(0, 128 * 1 + 127 * 2), calls[0].info);
}

TEST_F(TrayIconTest, BalloonTextIsCutTo255) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    std::string text255;
    for (int i = 0; i < 255; ++i) text255 += static_cast<char>('A' + i % 26);
    const std::string text256 = text255 + "!";
    const std::string text300 = std::string(300, 'x');

    tray.SetBalloonText(text255.c_str(), BALLOON_TIMEOUT);
    tray.ShowBalloon(1);
    tray.SetBalloonText(text256.c_str(), 500);
    tray.ShowBalloon(1);
    tray.SetBalloonText(text300.c_str(), BALLOON_TIMEOUT);
    tray.ShowBalloon(1);
    tray.SetBalloonText("", BALLOON_TIMEOUT);
    tray.ShowBalloon(1);
    ASSERT_EQ(calls.size(), 4u);

    EXPECT_EQ(std::string(calls[0].info.c_str()), text255) << "255 characters are kept whole";
    EXPECT_EQ(calls[0].data.uTimeout, BALLOON_TIMEOUT);
    EXPECT_EQ(std::string(calls[1].info.c_str()), text255);
    EXPECT_EQ(calls[1].data.uTimeout, 500u);
    EXPECT_EQ(std::string(calls[2].info.c_str()), std::string(255, 'x'));
    EXPECT_EQ(calls[2].info.c_str()[255], '\0');
    EXPECT_STREQ(calls[3].info.c_str(), "");
    EXPECT_EQ(calls[3].data.hIcon, tray.slots[1].icon);
}

TEST_F(TrayIconTest, OnlyTheBalloonCallCarriesNifInfo) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    tray.SetBalloonTitle("ROTAVA", NIIF_INFO);
    tray.SetBalloonText("CD-ROM DRIVE", BALLOON_TIMEOUT);

    tray.Add(0);
    tray.ShowBalloon(1);
    tray.Modify(0);
    ASSERT_EQ(calls.size(), 3u);

    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));

    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[1].data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE | NIF_INFO));
    EXPECT_EQ(calls[1].data.hIcon, tray.slots[1].icon);
    EXPECT_STREQ(calls[1].infoTitle.c_str(), "ROTAVA");
    EXPECT_STREQ(calls[1].info.c_str(), "CD-ROM DRIVE");
    EXPECT_EQ(calls[1].data.uTimeout, BALLOON_TIMEOUT);
    EXPECT_EQ(calls[1].data.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(calls[1].data.uCallbackMessage, CALLBACK_MESSAGE);

    // The balloon texts stay in the record but are not shown again.
    EXPECT_EQ(calls[2].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[2].data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
    EXPECT_EQ(calls[2].data.hIcon, tray.slots[0].icon);
    EXPECT_STREQ(calls[2].info.c_str(), "CD-ROM DRIVE");
    EXPECT_EQ(tray.notifyData.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
}

TEST_F(TrayIconTest, SlotIndexAtOrBeyondTheCountSendsNothing) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    const NOTIFYICONDATAW record = tray.notifyData;

    for (std::uint32_t index : {SLOTS, SLOTS + 1, 0xFFFFFFFFu}) {
        tray.Add(index);
        tray.Modify(index);
        tray.ShowBalloon(index);
        tray.OnMessage(taskbarCreatedMessage, index);
        tray.LoadIconSlot(TEST_ICON_RED, index, 16, 16);
        tray.ReleaseIcon(index);
    }
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(std::memcmp(&record, &tray.notifyData, sizeof record), 0)
        << "uFlags restored, icon untouched";

    // The last slot is still in range; an empty slot gives the shell a null icon.
    tray.Add(SLOTS - 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].data.hIcon, nullptr);
}

TEST_F(TrayIconTest, NothingHappensBeforeCreate) {
    TrayIcon tray;
    EXPECT_EQ(tray.slotCount, 0u);
    EXPECT_EQ(tray.slots, nullptr);
    EXPECT_EQ(tray.instance, nullptr);
    EXPECT_TRUE(AllZero(&tray.notifyData, sizeof tray.notifyData));

    tray.LoadIconSlot(TEST_ICON_RED, 0, 16, 16);
    tray.ReleaseIcon(0);
    tray.SetCallbackMessage(CALLBACK_MESSAGE);
    tray.SetBalloonTitle("ROTAVA", NIIF_INFO);
    tray.SetBalloonText("text", BALLOON_TIMEOUT);
    tray.Add(0);
    tray.Modify(0);
    tray.ShowBalloon(0);
    tray.Delete();
    tray.OnMessage(taskbarCreatedMessage, 0);
    tray.Destroy();

    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(tray.slots, nullptr);
    EXPECT_TRUE(AllZero(&tray.notifyData, sizeof tray.notifyData));
}

TEST_F(TrayIconTest, DestroyDeletesOnceAndReleasesEverything) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    const HICON red = tray.slots[0].icon;
    const HICON blue = tray.slots[1].icon;
    tray.Add(0);
    calls.clear();

    tray.Destroy();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[0].data.hIcon, nullptr);
    EXPECT_EQ(calls[0].data.cbSize, NOTIFYICONDATAW_V2_SIZE);
    EXPECT_EQ(calls[0].data.hWnd, window);
    EXPECT_EQ(calls[0].data.uID, 5u);
    EXPECT_EQ(calls[0].data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));

    EXPECT_EQ(tray.slots, nullptr);
    EXPECT_EQ(tray.slotCount, 0u);
    EXPECT_TRUE(AllZero(&tray.notifyData, sizeof tray.notifyData));
    EXPECT_FALSE(IconAlive(red));
    EXPECT_FALSE(IconAlive(blue));

    tray.Destroy();
    EXPECT_EQ(calls.size(), 1u) << "the second Destroy sends nothing";

    // A destroyed object can be created again.
    EXPECT_EQ(tray.Create(Self(), window, 7, 2), 1);
    EXPECT_EQ(tray.slotCount, 2u);
    EXPECT_EQ(tray.notifyData.uID, 7u);
    EXPECT_EQ(tray.notifyData.uFlags, static_cast<UINT>(NIF_ICON));
}

TEST_F(TrayIconTest, DeleteSendsANullIconAndAddRestoresIt) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    tray.Delete();
    tray.Add(1);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[0].data.hIcon, nullptr);
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[1].data.hIcon, tray.slots[1].icon);
    EXPECT_TRUE(IconAlive(tray.slots[1].icon)) << "Delete keeps the icons";
}

TEST_F(TrayIconTest, DestructorDoesWhatDestroyDoes) {
    HICON icon = nullptr;
    {
        TrayIcon tray;
        SetUpProgramIcon(tray, 5);
        icon = tray.slots[0].icon;
    }
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[0].data.hIcon, nullptr);
    EXPECT_FALSE(IconAlive(icon));

    calls.clear();
    { TrayIcon never; }
    EXPECT_TRUE(calls.empty()) << "an object never created sends nothing when it goes";
}

TEST_F(TrayIconTest, LoadingASlotTwiceDestroysTheFirstIcon) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    const HICON first = tray.slots[0].icon;
    const HICON other = tray.slots[1].icon;
    ASSERT_TRUE(IconAlive(first));

    tray.LoadIconSlot(TEST_ICON_BLUE, 0, 16, 16);
    const HICON second = tray.slots[0].icon;
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_FALSE(IconAlive(first));
    EXPECT_TRUE(IconAlive(second));
    EXPECT_EQ(tray.slots[0].owned, 1);
    EXPECT_TRUE(IconAlive(other)) << "other slots are untouched";
    EXPECT_EQ(tray.slots[1].icon, other);
    EXPECT_TRUE(calls.empty());
}

TEST_F(TrayIconTest, IconLoadUsesTheLowWordAndSizeAndKeepsFailures) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    const HICON old = tray.slots[2].icon;
    EXPECT_EQ(old, nullptr);

    tray.LoadIconSlot(0x10000u | TEST_ICON_RED, 2, 32, 32);
    ASSERT_NE(tray.slots[2].icon, nullptr) << "the high word of the id is ignored";
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(tray.slots[2].icon, &info));
    BITMAP bitmap;
    ASSERT_TRUE(GetObjectA(info.hbmColor, sizeof bitmap, &bitmap));
    EXPECT_EQ(bitmap.bmWidth, 32) << "loaded at the size asked for";
    EXPECT_EQ(bitmap.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    const HICON loaded = tray.slots[2].icon;

    // A missing resource releases the old icon and leaves a null, owned slot.
    tray.LoadIconSlot(TEST_ICON_MISSING, 2, 16, 16);
    EXPECT_EQ(tray.slots[2].icon, nullptr);
    EXPECT_EQ(tray.slots[2].owned, 1);
    EXPECT_FALSE(IconAlive(loaded));
    tray.Add(2);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].data.hIcon, nullptr);

    tray.ReleaseIcon(2);
    EXPECT_EQ(tray.slots[2].icon, nullptr);
    EXPECT_EQ(tray.slots[2].owned, 0);
}

TEST_F(TrayIconTest, ReleaseLeavesIconsItDidNotLoad) {
    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    HICON borrowed = static_cast<HICON>(
        LoadImageA(Self(), MAKEINTRESOURCEA(TEST_ICON_BLUE), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ASSERT_NE(borrowed, nullptr);
    tray.slots[3].icon = borrowed;
    tray.slots[3].owned = 0;

    tray.ReleaseIcon(3);
    EXPECT_EQ(tray.slots[3].icon, nullptr);
    EXPECT_EQ(tray.slots[3].owned, 0);
    EXPECT_TRUE(IconAlive(borrowed));

    tray.slots[4].icon = borrowed;
    tray.Destroy();
    EXPECT_TRUE(IconAlive(borrowed));
    DestroyIcon(borrowed);
}

TEST_F(TrayIconTest, TaskbarCreatedReAddsTheIcon) {
    EXPECT_EQ(taskbarCreatedMessage, RegisterWindowMessageA("TaskbarCreated"));
    EXPECT_GE(taskbarCreatedMessage, 0xC000u);

    TrayIcon tray;
    SetUpProgramIcon(tray, 5);
    for (UINT other : {0u, static_cast<UINT>(WM_TIMER), CALLBACK_MESSAGE, taskbarCreatedMessage + 1,
                       taskbarCreatedMessage - 1})
        tray.OnMessage(other, 1);
    EXPECT_TRUE(calls.empty());

    tray.OnMessage(taskbarCreatedMessage, 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].data.hIcon, tray.slots[1].icon);
    EXPECT_EQ(calls[0].data.uID, 5u);
    EXPECT_EQ(calls[0].data.uFlags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
    EXPECT_EQ(calls[0].data.uCallbackMessage, CALLBACK_MESSAGE);
}

// The real shell call: the default pointer, wrapped to note every result.
std::vector<std::pair<DWORD, BOOL>> shellResults;
BOOL(WINAPI* defaultShellCall)(DWORD, PNOTIFYICONDATAW) = nullptr;

BOOL WINAPI PassThrough(DWORD message, PNOTIFYICONDATAW data) {
    BOOL result = defaultShellCall(message, data);
    shellResults.push_back({message, result});
    return result;
}

TEST(TrayIconShell, RealShellCallsSucceed) {
    HWND window = HiddenWindow();
    ASSERT_NE(window, nullptr);
    defaultShellCall = shellNotifyIcon;
    ASSERT_NE(defaultShellCall, nullptr);
    shellNotifyIcon = PassThrough;
    shellResults.clear();
    {
        TrayIcon tray;
        ASSERT_EQ(tray.Create(Self(), window, 0, SLOTS), 1);
        tray.SetCallbackMessage(WM_APP + 2);
        tray.LoadIconSlot(TEST_ICON_RED, 0, 16, 16);
        tray.LoadIconSlot(TEST_ICON_BLUE, 1, 16, 16);
        tray.Add(0);
        tray.SetBalloonTitle("ROTAVA", NIIF_INFO);
        tray.SetBalloonText("CD-ROM DRIVE", BALLOON_TIMEOUT);
        tray.ShowBalloon(1);
        tray.Modify(0);
        tray.Delete();
        tray.Destroy();
    }
    shellNotifyIcon = defaultShellCall;
    DestroyWindow(window);

    ASSERT_EQ(shellResults.size(), 5u);
    const DWORD expected[] = {NIM_ADD, NIM_MODIFY, NIM_MODIFY, NIM_DELETE, NIM_DELETE};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(shellResults[i].first, expected[i]) << i;
    // Without a display there is no notification area and the shell says so;
    // with one, adding, the balloon, changing and removing all succeed.
    const BOOL shown = FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(shellResults[i].second, shown) << i;
}

}  // namespace
