// The hidden main window under Wine: its creation runs the start-up sequence
// on the simulated bus, its destruction the shutdown sequence; the window
// procedure routes commands and events. Every shell call is recorded instead
// of reaching the notification area, every box is recorded and answered.
#include "main_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive_events.h"
#include "drive_fixture.h"
#include "messages.h"
#include "program_objects.h"
#include "shell_recorder.h"
#include "test_language.h"
#include "tray_icon.h"

using drivetest::CdromSection;
using drivetest::ReadSettingsFile;
using drivetest::WriteSettingsFile;

namespace {
// The test's own Shift-JIS paths in UTF-16.
std::wstring Wide(const char* text) {
    wchar_t out[MAX_PATH * 2] = {};
    MultiByteToWideChar(932, 0, text, -1, out, MAX_PATH * 2);
    return out;
}
}  // namespace

namespace {

using testsupport::ShellCall;
std::vector<ShellCall>& calls = testsupport::ShellCalls();

// Two CD-ROM drives behind a disk, as a user's machine might have them.
const std::string kBus =
    std::string("[bus]\nadapters=1\n[adapter.0]\ntargets=8\n") +
    "[device.0.0]\ntype=0\nvendor=SIMDISK\nproduct=HARD DISK\nrevision=1.00\n" +
    CdromSection(0, 1, "SIMDISC", "CD-ROM DRIVE", "1.00", "706,1411,2822,4234,7056") +
    CdromSection(0, 3, "OTHERCO", "DVD-ROM DRIVE", "2.10", "706,1411,2822,4234");

// Drive 0 at its second speed and spin-down code 8 (16 s); drive 1 untouched.
std::string Settings(const std::string& common = "") {
    return "[COMMON]\r\n" + common +
           "[CDROM00]\r\nVendor=SIMDISC\r\nProduct=CD-ROM DRIVE\r\nVersion=1.00\r\n"
           "Speed=1\r\nSpinDown=0x08\r\n";
}

const char* const kBalloon = "CD-ROM DRIVE     x8  (16sec)\nDVD-ROM DRIVE    x24 (Default)";

constexpr UINT FORM_ERROR = 0x50010;
constexpr UINT FORM_CONFIRM = 0x50040;

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

bool IsZero(const DriveEntry& d) {
    static const DriveEntry zero = {};
    return std::memcmp(&d, &zero, sizeof d) == 0;
}

bool MutexExists() {
    HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, MAIN_WINDOW_NAME);
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

class MainWindowTest : public drivetest::DriveFixture {
protected:
    void SetUp() override {
        DriveFixture::SetUp();
        ASSERT_TRUE(RegisterMainWindowClass(Self()));
    }

    void TearDown() override {
        if (window && IsWindow(window)) DestroyWindow(window);
        Pump();
        ShutdownSequence(nullptr);
        SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
        UnregisterMainWindowClass(Self());
        DriveFixture::TearDown();
    }

    // The simulated bus for the library that the start-up loads.
    void UseSimulatedBus(const std::string& settings = Settings(), const std::string& bus = kBus) {
        sim.reset(new simtest::SimBus(bus));
        WriteSettingsFile(settings);
        appState->aspiDll = simtest::Library("simaspi.dll").c_str();
    }

    HWND Start() {
        window = CreateMainWindow(Self());
        return window;
    }

    // Runs what is queued; true when the quit message came, with its code.
    bool Pump() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
                return true;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return false;
    }

    LRESULT Command(WPARAM id) { return SendMessageA(window, WM_COMMAND, id, 0); }

    // The start-up showed exactly one box, owned by the main window.
    // The texts as the Japanese program says them; an English run expects
    // their English forms.
    void ExpectOnlyBox(const char* japaneseText, const char* japaneseCaption, UINT style) {
        const std::string text = testsupport::Say(japaneseText);
        const std::string caption = testsupport::Say(japaneseCaption);
        ASSERT_EQ(1u, boxes->Count());
        const auto& box = boxes->Boxes()[0];
        EXPECT_EQ(window, box.owner);
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(caption, box.caption);
        EXPECT_EQ(style, box.style);
    }

    std::vector<ShellCall> Balloons() const {
        std::vector<ShellCall> out;
        for (const auto& call : calls)
            if (call.message == NIM_MODIFY && (call.data.uFlags & NIF_INFO)) out.push_back(call);
        return out;
    }

    HWND window = nullptr;
    int quitCode = -1;
    testsupport::ShellRecorder shell;
};

TEST_F(MainWindowTest, StartUpBindsTheBusAddsTheIconAndShowsTheBalloon) {
    UseSimulatedBus(Settings("IconType=5\r\n"));
    ASSERT_NE(nullptr, Start());

    EXPECT_EQ(0u, boxes->Count());
    EXPECT_FALSE(IsWindowVisible(window));
    char title[16] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("ROTAVA", title);
    EXPECT_EQ(window, FindWindowA("ROTAVA", "ROTAVA"));
    EXPECT_TRUE(MutexExists());
    EXPECT_EQ(&aspiBus, cdromDevice.bus);
    EXPECT_EQ(9u, aspiBus.GetEntryCount());

    ASSERT_TRUE(trayIcon.IsCreated());
    EXPECT_EQ(8u, trayIcon.slotCount);
    EXPECT_EQ(window, trayIcon.notifyData.hWnd);
    EXPECT_EQ(32770u, trayIcon.notifyData.uCallbackMessage);
    for (std::uint32_t slot = 0; slot < 8; ++slot) {
        EXPECT_NE(nullptr, trayIcon.slots[slot].icon) << slot;
        EXPECT_EQ(1, trayIcon.slots[slot].owned) << slot;
    }

    // The drives with the stored speed and spin-down of the first one.
    ASSERT_EQ(2u, appState->driveCount);
    EXPECT_EQ("1411", sim->StateField("0:1:0", "speed"));
    EXPECT_EQ("8", sim->StateField("0:1:0", "inactivity"));
    EXPECT_EQ("4234", sim->StateField("0:3:0", "speed"));
    EXPECT_EQ(5u, appState->iconType);

    // Added with the icon of the chosen style, then one balloon.
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), calls[0].message);
    EXPECT_EQ(static_cast<UINT>(NIF_ICON | NIF_MESSAGE), calls[0].data.uFlags);
    EXPECT_EQ(trayIcon.slots[5].icon, calls[0].data.hIcon);
    EXPECT_EQ(window, calls[0].data.hWnd);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), calls[1].message);
    EXPECT_EQ(static_cast<UINT>(NIF_ICON | NIF_MESSAGE | NIF_INFO), calls[1].data.uFlags);
    EXPECT_EQ(trayIcon.slots[5].icon, calls[1].data.hIcon);
    EXPECT_STREQ(kBalloon, calls[1].info.c_str());
    EXPECT_STREQ("ROTAVA", calls[1].infoTitle.c_str());
    EXPECT_EQ(static_cast<DWORD>(NIIF_INFO), calls[1].data.dwInfoFlags);
    EXPECT_EQ(10000u, calls[1].data.uTimeout);

    EXPECT_EQ(static_cast<DWORD>(IDLE_PRIORITY_CLASS), GetPriorityClass(GetCurrentProcess()));
    EXPECT_FALSE(Pump());  // nothing closes the window
    EXPECT_TRUE(IsWindow(window));
}

// ASPIDLL is Shift-JIS on every system: a library in a folder with a
// Japanese name loads whatever the ANSI code page is.
TEST_F(MainWindowTest, ALibraryInAFolderWithAJapaneseNameLoads) {
    UseSimulatedBus();
    const std::wstring folder =
        std::wstring(Wide(simtest::Library("").c_str())) + L"\u6a21\u64ec\u30d0\u30b9";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\simaspi.dll";
    ASSERT_TRUE(
        CopyFileW(Wide(simtest::Library("simaspi.dll").c_str()).c_str(), copy.c_str(), FALSE));
    appState->aspiDll = (simtest::Library("") + "模擬バス\\simaspi.dll").c_str();
    ASSERT_NE(nullptr, Start());
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_EQ(9u, aspiBus.GetEntryCount());
    EXPECT_EQ(2u, appState->driveCount);
    ASSERT_EQ(2u, calls.size());
    EXPECT_STREQ(kBalloon, calls[1].info.c_str());
    DestroyWindow(window);
    Pump();
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(MainWindowTest, AMutexOfTheSameNameStopsTheStartUpAndIsLeftAlone) {
    UseSimulatedBus();
    HANDLE other = CreateMutexA(nullptr, FALSE, MAIN_WINDOW_NAME);
    ASSERT_NE(nullptr, other);

    ASSERT_NE(nullptr, Start());  // the window exists until the posted close
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyBox("既に起動しています。", "確認情報", FORM_CONFIRM));
    EXPECT_EQ(0u, aspiBus.GetEntryCount());
    EXPECT_FALSE(trayIcon.IsCreated());

    EXPECT_TRUE(Pump());
    EXPECT_EQ(0, quitCode);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(MutexExists());  // the other holder keeps it
    EXPECT_EQ(nullptr, instanceMutex.handle);
    CloseHandle(other);
    EXPECT_FALSE(MutexExists());
}

TEST_F(MainWindowTest, ALibraryThatCannotBeLoadedClosesTheWindowWithoutAnIcon) {
    for (const char* name : {"NOSUCHASPI.DLL", ""}) {
        SCOPED_TRACE(name);
        boxes->Clear();
        calls.clear();
        appState->aspiDll = name;
        ASSERT_NE(nullptr, Start());
        ASSERT_NO_FATAL_FAILURE(
            ExpectOnlyBox("ASPI32の生成に失敗しました。", "エラー情報", FORM_ERROR));
        EXPECT_TRUE(MutexExists());

        EXPECT_TRUE(Pump());
        EXPECT_FALSE(IsWindow(window));
        EXPECT_TRUE(calls.empty());
        EXPECT_FALSE(trayIcon.IsCreated());
        EXPECT_FALSE(MutexExists());  // released by the shutdown
    }
}

TEST_F(MainWindowTest, ATrayIconThatCannotBeCreatedUndoesTheLibraryAndTheMutex) {
    UseSimulatedBus();
    HWND holder =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Self(), nullptr);
    ASSERT_EQ(1, trayIcon.Create(Self(), holder, 5, 1));  // a second Create fails

    ASSERT_NE(nullptr, Start());
    ASSERT_NO_FATAL_FAILURE(
        ExpectOnlyBox("タスクトレイアイコンの生成に失敗しました。", "エラー情報", FORM_ERROR));
    EXPECT_EQ(9u, aspiBus.GetEntryCount());
    EXPECT_EQ(0u, appState->driveCount);  // no scan after the failure

    EXPECT_TRUE(Pump());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0u, aspiBus.GetEntryCount());
    EXPECT_FALSE(MutexExists());
    EXPECT_FALSE(trayIcon.IsCreated());
    // Only the shutdown's delete, and the one that destroying the object does.
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[0].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[1].message);
    DestroyWindow(holder);
}

TEST_F(MainWindowTest, TheExitCommandRunsTheShutdownAndFreesTheMutex) {
    UseSimulatedBus();
    ASSERT_NE(nullptr, Start());
    calls.clear();

    EXPECT_EQ(0, Command(ID_EXIT));
    EXPECT_TRUE(IsWindow(window));  // closed through the queue, not at once
    EXPECT_TRUE(Pump());
    EXPECT_EQ(0, quitCode);
    EXPECT_FALSE(IsWindow(window));
    // The icon is deleted, then the object destroyed, which deletes once more.
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[0].message);
    EXPECT_EQ(nullptr, calls[0].data.hIcon);
    EXPECT_EQ(window, calls[0].data.hWnd);
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), calls[1].message);
    EXPECT_FALSE(trayIcon.IsCreated());
    EXPECT_EQ(0u, aspiBus.GetEntryCount());
    EXPECT_FALSE(MutexExists());
    EXPECT_EQ(nullptr, FindWindowA("ROTAVA", "ROTAVA"));

    // A new start finds everything free.
    calls.clear();
    ASSERT_NE(nullptr, Start());
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_EQ(2u, calls.size());
}

TEST_F(MainWindowTest, AnOpenCloseStillPendingAtExitLeavesTheTrayOpen) {
    UseSimulatedBus();
    ASSERT_NE(nullptr, Start());
    Command(cmd::MediaId(cmd::OPEN_CLOSE_BASE, 0, 1, 0));
    ASSERT_NE(0u, appState->openCloseTimerId);
    EXPECT_EQ("open", sim->StateField("0:1:0", "tray"));

    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(Pump());
    EXPECT_EQ("open", sim->StateField("0:1:0", "tray"));
}

TEST_F(MainWindowTest, FixedCommands) {
    UseSimulatedBus();
    ASSERT_NE(nullptr, Start());

    // The balloon command counts only the low word, and composes the text
    // anew from the drives as they are now.
    calls.clear();
    Command(MAKEWPARAM(ID_SHOW_BALLOON, 1));
    ASSERT_EQ(1u, Balloons().size());
    EXPECT_STREQ(kBalloon, Balloons()[0].info.c_str());
    Command(cmd::SpeedId(0, 0));
    Command(ID_SHOW_BALLOON);
    ASSERT_EQ(2u, Balloons().size());
    EXPECT_STREQ("CD-ROM DRIVE     x4  (16sec)\nDVD-ROM DRIVE    x24 (Default)",
                 Balloons()[1].info.c_str());
    Command(cmd::SpeedId(0, 1));

    // Pause: no rescan and no balloon until resumed.
    calls.clear();
    sim->ClearLog();
    Command(ID_PAUSE);
    EXPECT_EQ(1, appState->paused);
    Command(ID_RESCAN);
    EXPECT_TRUE(sim->Requests().empty());
    EXPECT_TRUE(calls.empty());
    Command(ID_PAUSE);
    EXPECT_EQ(0, appState->paused);
    Command(ID_RESCAN);
    EXPECT_FALSE(sim->Requests().empty());
    EXPECT_EQ(2u, appState->driveCount);
    EXPECT_EQ(1u, Balloons().size());
    EXPECT_EQ(1u, calls.size());

    // This program holds no dialog templates, so neither dialog opens, and
    // nothing at all happens: no icon change after the settings dialog.
    calls.clear();
    sim->ClearLog();
    Command(ID_SETTINGS_DIALOG);
    Command(ID_VERSION_DIALOG);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(sim->Requests().empty());
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_FALSE(Pump());

    // Load applies the file again, without balloon or icon change.
    WriteSettingsFile(
        "[CDROM00]\r\nVendor=SIMDISC\r\nProduct=CD-ROM DRIVE\r\nVersion=1.00\r\n"
        "Speed=3\r\n");
    Command(ID_LOAD_SETTINGS);
    EXPECT_EQ("4234", sim->StateField("0:1:0", "speed"));
    EXPECT_TRUE(calls.empty());

    // Save writes what the program holds now.
    WriteSettingsFile("(none)");
    Command(ID_SAVE_SETTINGS);
    const std::string file = ReadSettingsFile();
    EXPECT_NE(std::string::npos, file.find("[CDROM00]\r\nSkip=0\r\nVendor=SIMDISC\r\n"));
    EXPECT_NE(std::string::npos, file.find("Speed=3\r\n"));
    EXPECT_TRUE(calls.empty());
}

bool menuShown = false;

void CALLBACK EndShownMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    menuShown = appState->popupMenu != nullptr;
    EndMenu();
}

TEST_F(MainWindowTest, EventsReachTheDriveCommands) {
    UseSimulatedBus(Settings("MediaControl=1\r\nUseKeyboardHook=1\r\n"));
    ASSERT_NE(nullptr, Start());
    calls.clear();

    // Ids outside the fixed ones: the media ranges.
    Command(cmd::MediaId(cmd::EJECT_BASE, 0, 3, 0));
    EXPECT_EQ("open", sim->StateField("0:3:0", "tray"));
    Command(cmd::MediaId(cmd::LOAD_BASE, 0, 3, 0));
    EXPECT_EQ("closed", sim->StateField("0:3:0", "tray"));
    Command(cmd::SpeedId(1, 0));
    EXPECT_EQ("706", sim->StateField("0:3:0", "speed"));

    // The keyboard message with Alt: the first eligible device's tray.
    EXPECT_EQ(0, SendMessageA(window, WM_KORVEX_KEY, '1', KEY_FLAG_ALT_CONTEXT | 1));
    EXPECT_EQ("open", sim->StateField("0:1:0", "tray"));
    SendMessageA(window, WM_KORVEX_KEY, '1', KEY_FLAG_ALT_CONTEXT | 1);
    EXPECT_EQ("closed", sim->StateField("0:1:0", "tray"));

    // A device arriving rescans and puts the saved settings back without the
    // balloon; a resume re-applies them and shows the balloon.
    Command(cmd::SpeedId(0, 0));
    EXPECT_EQ("706", sim->StateField("0:1:0", "speed"));
    sim->ClearLog();
    EXPECT_EQ(0, SendMessageA(window, WM_DEVICECHANGE, DEVICE_ARRIVED, 0));
    EXPECT_FALSE(sim->Requests().empty());
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ("1411", sim->StateField("0:1:0", "speed"));
    Command(cmd::SpeedId(0, 0));
    EXPECT_EQ("706", sim->StateField("0:1:0", "speed"));
    EXPECT_EQ(0, SendMessageA(window, WM_POWERBROADCAST, POWER_RESUME_AUTOMATIC, 0));
    EXPECT_EQ(1u, Balloons().size());
    EXPECT_EQ("1411", sim->StateField("0:1:0", "speed"));

    // A timer that is not the program's.
    EXPECT_EQ(0, SendMessageA(window, WM_TIMER, 0x777, 0));
    ASSERT_EQ(1u, boxes->Count());
    EXPECT_EQ(testsupport::Say("未知のタイマーイベントを検出しました。"), boxes->Boxes()[0].text);
    EXPECT_EQ(window, boxes->Boxes()[0].owner);

    // The icon's right button: the speed menu, ended from inside its loop.
    menuShown = false;
    SetTimer(nullptr, 0, 200, EndShownMenu);
    EXPECT_EQ(0, SendMessageA(window, WM_KORVEX_TRAY, 0, WM_RBUTTONDOWN));
    EXPECT_TRUE(menuShown);
    EXPECT_EQ(nullptr, appState->popupMenu);
}

// A drive whose INQUIRY fails makes each rescan show a box, between the two
// good drives; the box's own message loop runs the window procedure.
const std::string kBusWithAFailingDrive =
    kBus + CdromSection(0, 2, "SIMDISC", "BROKEN", "1.00", "706", "fail=inquiry\n");

TEST_F(MainWindowTest, RequestsDuringARescanRunOnceAfterIt) {
    UseSimulatedBus(Settings(), kBusWithAFailingDrive);
    ASSERT_NE(nullptr, Start());
    ASSERT_EQ(1u, boxes->Count());  // the start-up's rescan
    boxes->Clear();

    int opened = 0;
    boxes->SetOnBox([&](HWND box) {
        if (opened++) return;
        HWND owner = GetWindow(box, GW_OWNER);
        // Device events are sent, never posted.
        SendMessageA(owner, WM_DEVICECHANGE, DEVICE_ARRIVED, 0);
        SendMessageA(owner, WM_DEVICECHANGE, DEVICE_REMOVED, 0);
        PostMessageA(owner, WM_COMMAND, ID_RESCAN, 0);
        PostMessageA(owner, WM_COMMAND, ID_LOAD_SETTINGS, 0);
    });
    Command(ID_RESCAN);
    boxes->SetOnBox(nullptr);

    // One box each: the rescan, then the device change (asked twice, run
    // once) and the second rescan after it; never a walk inside a walk.
    EXPECT_EQ(3u, boxes->Count());
    ASSERT_EQ(2u, appState->driveCount);
    EXPECT_EQ(1, appState->drives[0].targetId);
    EXPECT_EQ(3, appState->drives[1].targetId);
    EXPECT_TRUE(IsZero(appState->drives[2]));
    // The load ran last, on the whole table: drive 0 at its stored speed.
    EXPECT_EQ("1411", sim->StateField("0:1:0", "speed"));
    EXPECT_FALSE(Pump());
}

TEST_F(MainWindowTest, TheFirstRescanKeepsTheBoxesTheUserSilenced) {
    UseSimulatedBus(Settings("NoErrorMessage=1\r\n"), kBusWithAFailingDrive);
    ASSERT_NE(nullptr, Start());
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_EQ(1u, appState->errorCount);
    EXPECT_EQ(2u, appState->driveCount);
}

TEST_F(MainWindowTest, CommandsDuringAStartUpFailureBoxTouchNothing) {
    const std::string file =
        Settings("Update=1\r\nOpenCloseTimer=30\r\n") + "[Menu]\r\nOpen=OPEN\r\n";
    WriteSettingsFile(file);
    appState->aspiDll = "NOSUCHASPI.DLL";
    // The window is still being created: the box's owner is the way to it.
    boxes->SetOnBox([&](HWND box) {
        HWND owner = GetWindow(box, GW_OWNER);
        for (WPARAM id : {WPARAM(ID_SAVE_SETTINGS), WPARAM(ID_LOAD_SETTINGS), WPARAM(ID_RESCAN),
                          WPARAM(ID_SHOW_BALLOON), WPARAM(cmd::SpeedId(0, 0)),
                          WPARAM(cmd::MediaId(cmd::EJECT_BASE, 0, 1, 0))})
            PostMessageA(owner, WM_COMMAND, id, 0);
        SendMessageA(owner, WM_DEVICECHANGE, DEVICE_ARRIVED, 0);
        SendMessageA(owner, WM_POWERBROADCAST, POWER_RESUME_AUTOMATIC, 0);
        PostMessageA(owner, WM_KORVEX_KEY, '1', KEY_FLAG_ALT_CONTEXT | 1);
    });
    calls.clear();
    ASSERT_NE(nullptr, Start());
    boxes->SetOnBox(nullptr);
    ASSERT_NO_FATAL_FAILURE(
        ExpectOnlyBox("ASPI32の生成に失敗しました。", "エラー情報", FORM_ERROR));
    EXPECT_EQ(file, ReadSettingsFile());
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(0u, appState->menuOpen.Length());
    EXPECT_TRUE(Pump());
}

TEST_F(MainWindowTest, TaskbarCreatedAddsTheIconAgainWithTheChosenStyle) {
    UseSimulatedBus(Settings("IconType=3\r\n"));
    ASSERT_NE(nullptr, Start());
    calls.clear();

    SendMessageA(window, taskbarCreatedMessage, 0, 0);
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), calls[0].message);
    EXPECT_EQ(trayIcon.slots[3].icon, calls[0].data.hIcon);
    EXPECT_EQ(static_cast<UINT>(NIF_ICON | NIF_MESSAGE), calls[0].data.uFlags);

    // Style 8 has no icon: nothing goes to the shell.
    calls.clear();
    appState->iconType = 8;
    SendMessageA(window, taskbarCreatedMessage, 0, 0);
    EXPECT_TRUE(calls.empty());

    // Other messages are the default window procedure's.
    char title[16] = {};
    EXPECT_EQ(6, SendMessageA(window, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title)));
    EXPECT_STREQ("ROTAVA", title);
    EXPECT_TRUE(calls.empty());
}

TEST_F(MainWindowTest, TheClassIsRegisteredOnceAndKeepsItsIcon) {
    EXPECT_TRUE(RegisterMainWindowClass(Self()));  // exists already: still fine
    WNDCLASSA info = {};
    ASSERT_TRUE(GetClassInfoA(Self(), "ROTAVA", &info));
    EXPECT_EQ(0u, info.style);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(MainWindowProc), info.lpfnWndProc);
    EXPECT_NE(nullptr, info.hIcon);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(12)), info.hbrBackground);
    EXPECT_EQ(nullptr, info.lpszMenuName);
    EXPECT_EQ(0, info.cbClsExtra);
    EXPECT_EQ(0, info.cbWndExtra);
}

}  // namespace
