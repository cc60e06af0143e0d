// The tray menus built on real menus and read back item by item; the mouse
// rules seen from inside the menu's own loop; the hover balloon.
#include <cstdio>
#include <string>
#include <vector>

#include "sjis_text.h"
#include "command_ids.h"
#include "events_fixture.h"
#include "messages.h"
#include "settings.h"
#include "test_language.h"
#include "tray_menu.h"

using drivetest::CdromSection;
using eventtest::MediaCommands;
using Lines = std::vector<std::string>;

namespace {

Lines Build(void (*append)(HWND, HMENU), HWND window) {
    HMENU menu = CreatePopupMenu();
    append(window, menu);
    Lines out;
    eventtest::DescribeMenu(menu, out);
    DestroyMenu(menu);
    return out;
}

const Lines kSpeedTail = {"-",
                          "設定の読み込み #8010",
                          "設定の書き込み #8011",
                          "-",
                          "再スキャン #8012",
                          "制御の一時停止 #8013",
                          "設定画面 #8014",
                          "バージョン情報 #8016",
                          "-",
                          "プログラムの終了 #8017"};
const Lines kMediaTail = {
    "-", "再スキャン #8012",      "制御の一時停止 #8013", "設定画面 #8014", "バージョン情報 #8016",
    "-", "プログラムの終了 #8017"};

// The expected lines of a menu, in the language the test runs in.
Lines Join(Lines head, const Lines& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return testsupport::SayLines(head);
}

std::string Device(unsigned adapter, unsigned target, int type, const std::string& product,
                   const std::string& extra = "") {
    return "[device." + std::to_string(adapter) + "." + std::to_string(target) +
           "]\ntype=" + std::to_string(type) + "\nvendor=SIMDEV\nproduct=" + product +
           "\nrevision=1.00\n" + extra;
}

// What the menu loop showed: read from popupMenu by a thread timer that the
// loop dispatches, which then ends the menu.
Lines shownMenu;
bool menuSeen = false;
// When set, the icon is clicked again while the menu shows, into this window.
HWND clickInside = nullptr;

void CALLBACK ReadShownMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HMENU shown = appState->popupMenu;
    if (!shown) return;
    menuSeen = true;
    shownMenu.clear();
    if (clickInside) {
        OnTrayNotify(clickInside, WM_LBUTTONDOWN);  // returns at once: no menu in a menu
        if (appState->popupMenu != shown) shownMenu.push_back("(replaced)");
    }
    eventtest::DescribeMenu(appState->popupMenu, shownMenu);
    EndMenu();
}

class TrayMenus : public eventtest::EventFixture {
protected:
    void SetUp() override {
        EventFixture::SetUp();
        if (HasFatalFailure()) return;
        drivetest::WriteSettingsFile("(none)");
        LoadSettings(cdromDevice);  // the default menu texts
        appState->mediaControl = 1;
        appState->useOpenClose = 1;
        appState->useLock = 1;
    }

    void AddDrive(const char* product, std::vector<std::uint16_t> speeds, std::uint16_t current,
                  std::uint32_t skip = SKIP_NONE) {
        const std::uint32_t d = appState->driveCount++;
        DriveEntry& drive = appState->drives[d];
        std::snprintf(drive.product, sizeof drive.product, "%s", product);
        drive.speedCount = static_cast<std::uint32_t>(speeds.size());
        for (std::size_t k = 0; k < speeds.size(); ++k) drive.speeds[k] = speeds[k];
        drive.currentSpeed = current;
        appState->skip[d] = skip;
    }

    // Sends a mouse message of the icon; returns the menu shown ("(none)").
    Lines Click(LPARAM mouse) {
        menuSeen = false;
        shownMenu.clear();
        SetTimer(nullptr, 0, 200, ReadShownMenu);
        EXPECT_EQ(0, OnTrayNotify(window, mouse));
        EXPECT_EQ(nullptr, appState->popupMenu);
        MSG msg;
        nullPosted = false;
        while (PeekMessageA(&msg, window, WM_NULL, WM_NULL, PM_REMOVE)) nullPosted = true;
        return menuSeen ? shownMenu : Lines{"(none)"};
    }

    bool nullPosted = false;
};

TEST_F(TrayMenus, SpeedMenuListsDrivesBySkipAndMarksTheCurrentSpeed) {
    EXPECT_EQ(testsupport::SayLines(kSpeedTail),
              Build(AppendSpeedMenuItems, window));  // no drives: a separator first

    AddDrive("CD-ROM DRIVE", {706, 1411, 7056}, 1411);
    AddDrive("SKIPPED", {706}, 706, SKIP_CONTROL);
    AddDrive("HIDDEN", {706}, 706, SKIP_HIDDEN);
    AddDrive("NO SPEEDS", {}, 0);  // shown, grayed, with why
    AddDrive("NO SPEEDS HIDDEN", {}, 0, SKIP_HIDDEN);
    AddDrive("R&D DRIVE", {176, 65535}, 5000);
    EXPECT_EQ(Join({"CD-ROM DRIVE >", "   706 KB/S (x4) #0400", "  1411 KB/S (x8) #0401 checked",
                    "  7056 KB/S (x40) #0402", "SKIPPED #0000 grayed",
                    "NO SPEEDS\t速度は設定できません #0000 grayed", "R&&D DRIVE >",
                    "   176 KB/S (x1) #0540", "  65535 KB/S (x372) #0541"},
                   kSpeedTail),
              Build(AppendSpeedMenuItems, window));
}

TEST_F(TrayMenus, MediaMenuFollowsTheBusAsTheHotKeysDo) {
    // 0:0 a locked CD-ROM with a disc; 0:1 a disk; 0:2 a CD-ROM whose INQUIRY
    // fails; 0:3 an optical drive, empty, without page 2Ah; 0:4 a CD-ROM with its tray open;
    // adapter 1 cannot be inquired; 2:0 a CD-ROM that cannot lock.
    Bind(
        "[bus]\nadapters=3\n[adapter.0]\ntargets=5\n[adapter.1]\nfail=1\n[adapter.2]\ntargets=1\n" +
        CdromSection(0, 0, "SIMDISC", "LOCKED DRIVE    ", "1.00", "706", "lockable=1\nlocked=1\n") +
        Device(0, 1, 0, "DISK") +
        CdromSection(0, 2, "SIMDISC", "BROKEN", "1.00", "706", "fail=inquiry\n") +
        Device(0, 3, 7, "MO\\x01DRIVE", "lockable=1\nmedium=0\n") +
        CdromSection(0, 4, "SIMDISC", "OPEN TRAY", "1.00", "706", "lockable=1\ntray=open\n") +
        CdromSection(2, 0, "SIMDISC", "PLAIN", "1.00", "706", "lockable=0\n"));
    appState->openCloseTimerId = 0;
    const Lines menu = Build(AppendMediaMenuItems, window);
    EXPECT_EQ(Join({"LOCKED DRIVE > checked", "  開ける #1400 grayed", "  閉じる #2400 grayed",
                    "  自動開閉 #3400 grayed", "  -", "  アンロック #5400", "MO?DRIVE >",
                    "  取り出し #1430", "OPEN TRAY >", "  開ける #1440", "  閉じる #2440",
                    "  自動開閉 #3440", "  -", "  ロック #4440 grayed", "PLAIN > checked",
                    "  開ける #1600", "  閉じる #2600", "  自動開閉 #3600"},
                   kMediaTail),
              menu);
    ASSERT_EQ(2u, boxes->Count());
    EXPECT_EQ(testsupport::Say("デバイス情報取得に失敗しました。"), boxes->Boxes()[0].text);
    EXPECT_EQ(testsupport::Say("ホストアダプタ情報取得に失敗しました。"), boxes->Boxes()[1].text);
    EXPECT_EQ(2u, appState->errorCount);

    // Alt+n serves the n-th device of the menu.
    appState->useKeyboardHook = 1;
    const Lines opened = {"0:3:0 1b0000000200", "0:4:0 1b0000000200", "2:0:0 1b0000000200"};
    for (int n = 2; n <= 4; ++n) {
        sim->ClearLog();
        OnHotKey(window, '0' + n, 0x20380001);
        EXPECT_EQ(Lines{opened[n - 2]}, MediaCommands(*sim)) << n;
    }

    // Without the lock setting nothing is asked of page 2Ah and nothing grays;
    // a pending open-close grays every open-close item.
    appState->useLock = 0;
    appState->useOpenClose = 1;
    appState->openCloseTimerId = 0x2000;
    const Lines unlocked = Build(AppendMediaMenuItems, window);
    EXPECT_EQ(testsupport::SayLines({"LOCKED DRIVE > checked", "  開ける #1400", "  閉じる #2400",
                                     "  自動開閉 #3400 grayed"}),
              Lines(unlocked.begin(), unlocked.begin() + 4));
    EXPECT_EQ(testsupport::SayLine("  自動開閉 #3600 grayed"), unlocked[13]);
    appState->openCloseTimerId = 0;
}

// A new disc: the walk's TEST UNIT READY meets the drive's unit attention,
// goes out again and finds the drive ready, with the disc in and unlocked.
TEST_F(TrayMenus, ADriveWithANewDiscIsReady) {
    Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=1\n" +
         CdromSection(0, 0, "SIMDISC", "NEW DISC", "1.00", "706", "lockable=1\n"));
    sim->ChangeMedium("0:0:0");
    EXPECT_EQ(Join({"NEW DISC > checked", "  開ける #1400", "  閉じる #2400", "  自動開閉 #3400",
                    "  -", "  ロック #4400"},
                   kMediaTail),
              Build(AppendMediaMenuItems, window));
    Lines answered;
    for (const auto& r : sim->Requests())
        if (r["cmd"] == "02") answered.push_back(r["cdb"] + " " + r["status"]);
    EXPECT_EQ((Lines{"12000000ff00 01", "000000000000 04", "000000000000 01",
                     "5a002a000000000100000000 01"}),
              answered);
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(TrayMenus, DevicesBeyondTheIdRangeAreListedWithNothingToChoose) {
    Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=18\n" +
         CdromSection(0, 17, "SIMDISC", "FAR DRIVE", "1.00", "706", "lockable=1\n"));
    EXPECT_EQ(Join({"FAR DRIVE > checked", "  開ける #0000 grayed", "  閉じる #0000 grayed",
                    "  自動開閉 #0000 grayed", "  -", "  ロック #0000 grayed"},
                   kMediaTail),
              Build(AppendMediaMenuItems, window));
}

TEST_F(TrayMenus, MenuTextsComeFromTheMenuSection) {
    Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=2\n" +
         CdromSection(0, 0, "SIMDISC", "CD", "1.00", "706", "lockable=1\n") +
         Device(0, 1, 1, "TAPE"));
    drivetest::WriteSettingsFile(
        "[COMMON]\nMediaControl=1\nUseOpenClose=1\nUseLock=1\n[Menu]\nOpen=Open it\nClose=Shut\n"
        "Eject=Out\nOpenClose=Blink\nLock=Hold\nUnlock=Free\n");
    LoadSettings(cdromDevice);
    EXPECT_EQ(Join({"CD > checked", "  Open it #1400", "  Shut #2400", "  Blink #3400", "  -",
                    "  Hold #4400", "TAPE > checked", "  Out #1410"},
                   kMediaTail),
              Build(AppendMediaMenuItems, window));
}

TEST_F(TrayMenus, ButtonsFollowPauseSwapAndOpenDialogs) {
    Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=1\n" +
         CdromSection(0, 0, "SIMDISC", "CD", "1.00", "706"));
    const Lines speed = testsupport::SayLines(kSpeedTail);
    const Lines media =
        Join({"CD > checked", "  開ける #1400", "  閉じる #2400", "  自動開閉 #3400"}, kMediaTail);
    const Lines paused = testsupport::SayLines(
        {"制御の再開 #8013", "バージョン情報 #8016", "-", "プログラムの終了 #8017"});
    appState->useLock = 0;
    HWND dialog = CreateWindowExA(0, "STATIC", "dialog", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                  nullptr, nullptr, nullptr, nullptr);
    const struct {
        int paused, swap;
        bool dialogOpen;
        LPARAM mouse;
        Lines shown;
    } cases[] = {
        {0, 0, false, WM_RBUTTONDOWN, speed},     {0, 0, false, WM_LBUTTONDOWN, media},
        {0, 1, false, WM_RBUTTONDOWN, media},     {0, 1, false, WM_LBUTTONDOWN, speed},
        {1, 0, false, WM_LBUTTONDOWN, paused},    {1, 1, false, WM_RBUTTONDOWN, paused},
        {0, 0, true, WM_RBUTTONDOWN, {"(none)"}}, {1, 0, true, WM_LBUTTONDOWN, {"(none)"}},
    };
    for (const auto& c : cases) {
        appState->paused = c.paused;
        appState->swapMenu = c.swap;
        appState->settingsDialog = c.dialogOpen ? dialog : nullptr;
        EXPECT_EQ(c.shown, Click(c.mouse)) << c.paused << c.swap << c.dialogOpen << c.mouse;
        EXPECT_TRUE(nullPosted);
        if (c.dialogOpen) {
            EXPECT_EQ(dialog, GetForegroundWindow());
        }
    }
    appState->settingsDialog = nullptr;
    appState->paused = 0;

    // A click while a menu shows opens no second one.
    clickInside = window;
    EXPECT_EQ(speed, Click(WM_RBUTTONDOWN));
    clickInside = nullptr;

    // Releases, double clicks and the rest do nothing.
    for (LPARAM mouse : {WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MBUTTONUP}) {
        EXPECT_EQ(Lines{"(none)"}, Click(mouse)) << mouse;
        EXPECT_FALSE(nullPosted);
    }

    // Without media control the left button shows the balloon, or nothing
    // when the balloon comes on hover anyway.
    appState->mediaControl = 0;
    ClearCalls();
    EXPECT_EQ(Lines{"(none)"}, Click(WM_LBUTTONDOWN));
    EXPECT_EQ(1u, Calls().size());
    appState->balloonAuto = 1;
    ClearCalls();
    EXPECT_EQ(Lines{"(none)"}, Click(WM_LBUTTONDOWN));
    EXPECT_EQ(0u, Calls().size());

    // The middle button rescans, or brings the open dialog to the front.
    MSG msg;
    OnTrayNotify(window, WM_MBUTTONDOWN);
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(ID_RESCAN), msg.wParam);
    appState->versionDialog = dialog;
    OnTrayNotify(window, WM_MBUTTONDOWN);
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(dialog, GetForegroundWindow());
    appState->versionDialog = nullptr;
    DestroyWindow(dialog);
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(TrayMenus, HoverShowsTheBalloonAtMostOnceInTenSeconds) {
    appState->balloonAuto = 1;
    OnTrayNotify(window, WM_MOUSEMOVE);
    EXPECT_EQ(cmd::BALLOON_TIMER_ID, appState->balloonTimerId);
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), Calls()[0].message);
    OnTrayNotify(window, WM_MOUSEMOVE);
    EXPECT_EQ(1u, Calls().size());
    OnTimer(window, cmd::BALLOON_TIMER_ID);  // the ten seconds are over
    EXPECT_EQ(0u, appState->balloonTimerId);
    OnTrayNotify(window, WM_MOUSEMOVE);
    EXPECT_EQ(2u, Calls().size());
    OnTimer(window, cmd::BALLOON_TIMER_ID);

    // Not over an open menu or dialog, nor without the setting.
    appState->popupMenu = CreatePopupMenu();
    OnTrayNotify(window, WM_MOUSEMOVE);
    DestroyMenu(appState->popupMenu);
    appState->popupMenu = nullptr;
    appState->settingsDialog = window;
    OnTrayNotify(window, WM_MOUSEMOVE);
    appState->settingsDialog = nullptr;
    appState->balloonAuto = 0;
    OnTrayNotify(window, WM_MOUSEMOVE);
    EXPECT_EQ(2u, Calls().size());
    EXPECT_EQ(0u, appState->balloonTimerId);

    // A timer that cannot be made: the error form, whatever NoErrorMessage says.
    appState->balloonAuto = 1;
    appState->noErrorMessage = 1;
    OnTrayNotify(GetDesktopWindow(), WM_MOUSEMOVE);  // another process's window
    ASSERT_EQ(1u, boxes->Count());
    EXPECT_EQ(testsupport::Say("タイマーの生成に失敗しました。"), boxes->Boxes()[0].text);
    EXPECT_EQ(2u, Calls().size());
}

}  // namespace
