// The settings dialog under Wine: created modeless from the program's own
// templates over a simulated bus, its pages driven by the messages their
// controls would send, and read back from the state record, the drive table,
// KORVEX.INI and the bus's command log.
#include "settings_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "dialog_face.h"
#include "drive_fixture.h"
#include "main_window.h"
#include "messages.h"
#include "resource_ids.h"
#include "sjis_text.h"
#include "settings.h"
#include "table_work.h"
#include "test_language.h"
#include "text_fit.h"
#include "tray_menu.h"
#include "ui_text.h"
#include "version_dialog.h"

using drivetest::Cdbs;
using drivetest::CdromSection;
using drivetest::ReadSettingsFile;
using drivetest::StateOf;

namespace {

using testsupport::Say;
using testsupport::SayCaption;

// Drives at table positions 0, 1 and 2: the middle one has no speed list
// (see Start).
// The first answers the factors x4 x8 x16 x24, the last x4 x8 x8.
std::string ThreeDrives(const std::string& extra = "") {
    return "[bus]\nadapters=2\n[adapter.0]\ntargets=8\n[adapter.1]\ntargets=8\n" +
           CdromSection(0, 1, "SIMDISC", "CD-ROM A", "1.00", "706,1411,2822,4234",
                        "inactivity=3\n") +
           CdromSection(0, 2, "EMPTYCO", "NO SPEEDS", "0.1", "") +
           CdromSection(1, 3, "OTHERCO", "DVD-ROM B", "2.10", "706,1411,1411", "inactivity=9\n") +
           extra;
}

// Texts are read back as Unicode, as Shift-JIS for the comparisons.
std::string Text(HWND window) { return testsupport::WindowText(window); }

std::vector<std::string> ListTexts(HWND list) {
    std::vector<std::string> out;
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        out.push_back(testsupport::Sjis(text));
    }
    return out;
}

// What the open-file dialog was given, and what it answers.
struct FileDialogCall {
    bool called = false;
    HWND owner = nullptr;
    std::string title, filter, initialFolder, initialName, defaultExtension;
    DWORD filterIndex = 0, maxFile = 0, flags = 0;
    const char* answer = nullptr;  // null: the user cancels
    std::wstring wideAnswer;
} fileDialog;

// The texts it is given are Unicode; kept as Shift-JIS. The answer is
// Shift-JIS, or UTF-16 in wideAnswer.
BOOL WINAPI FakeOpenFileDialog(LPOPENFILENAMEW choice) {
    using testsupport::Sjis;
    fileDialog.called = true;
    fileDialog.owner = choice->hwndOwner;
    fileDialog.title = choice->lpstrTitle ? Sjis(choice->lpstrTitle) : "(null)";
    fileDialog.filter.clear();
    for (const wchar_t* part = choice->lpstrFilter;; part += std::wcslen(part) + 1) {
        fileDialog.filter += Sjis(part) + '\0';
        if (!*part) break;
    }
    fileDialog.initialFolder = choice->lpstrInitialDir ? Sjis(choice->lpstrInitialDir) : "(null)";
    fileDialog.initialName = Sjis(choice->lpstrFile);
    fileDialog.defaultExtension = choice->lpstrDefExt ? Sjis(choice->lpstrDefExt) : "(null)";
    fileDialog.filterIndex = choice->nFilterIndex;
    fileDialog.maxFile = choice->nMaxFile;
    fileDialog.flags = choice->Flags;
    if (!fileDialog.wideAnswer.empty()) {
        std::wcscpy(choice->lpstrFile, fileDialog.wideAnswer.c_str());
        return TRUE;
    }
    if (!fileDialog.answer) return FALSE;
    const int n = MultiByteToWideChar(932, 0, fileDialog.answer, -1, choice->lpstrFile,
                                      static_cast<int>(choice->nMaxFile));
    return n > 0;
}

SettingsDialogState* NoMemory() { return nullptr; }

class SettingsDialogTest : public drivetest::DriveFixture {
protected:
    void SetUp() override {
        DriveFixture::SetUp();
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&controls);
        fileDialog = FileDialogCall();
        OpenFileDialog = FakeOpenFileDialog;
    }

    void TearDown() override {
        if (dialog && IsWindow(dialog)) DestroyWindow(dialog);
        AllocateSettingsState = saved;
        OpenFileDialog = GetOpenFileNameW;
        DriveFixture::TearDown();
    }

    // The bus, the table and the settings as the start-up leaves them.
    void Start(const std::string& bus = ThreeDrives()) {
        Bind(bus);
        RescanDrives(nullptr);
        // The simulated drive answers one speed whatever its list, and the
        // probe lists each speed once; the table is what the pages go by.
        // The last lists x8 twice.
        if (appState->driveCount > 2) {
            appState->drives[1].speedCount = 0;
            DriveEntry& last = appState->drives[2];
            last.speeds[last.speedCount++] = 1411;
        }
        LoadSettings(cdromDevice);
        sim->ClearLog();
    }

    // Modeless, from the template of the language in use, as the program
    // picks it.
    HWND Open() {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        dialog =
            CreateDialogIndirectParamW(module, UiDialogTemplate(module, IDD_SETTINGS), nullptr,
                                       SettingsDialogProc, reinterpret_cast<LPARAM>(&cdromDevice));
        return dialog;
    }
    HWND Page(int index) const { return settingsState->pages[index]; }
    HWND Item(int page, int id) const { return GetDlgItem(Page(page), id); }
    bool Checked(int page, int id) const {
        return IsDlgButtonChecked(Page(page), id) == BST_CHECKED;
    }
    bool Enabled(int page, int id) const { return IsWindowEnabled(Item(page, id)) != FALSE; }
    void Click(int page, int id) { SendMessageA(Item(page, id), BM_CLICK, 0, 0); }
    int Selected(int page, int id) const {
        return static_cast<int>(SendMessageA(Item(page, id), CB_GETCURSEL, 0, 0));
    }
    void Choose(int page, int id, int position) {
        SendMessageA(Item(page, id), CB_SETCURSEL, position, 0);
        SendMessageA(Page(page), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(page, id)));
    }
    void ShowTab(int index) {
        SendMessageA(settingsState->tab, TCM_SETCURSEL, index, 0);
        NMHDR header = {settingsState->tab, IDC_SETTINGS_TAB, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageA(dialog, WM_NOTIFY, IDC_SETTINGS_TAB, reinterpret_cast<LPARAM>(&header));
    }
    void Command(int id) { SendMessageA(dialog, WM_COMMAND, id, 0); }
    void TypeDelay(const char* text) {
        SetWindowTextA(Item(PAGE_MEDIA, IDC_OPEN_CLOSE_EDIT), text);
    }
    std::vector<int> VisiblePages() const {
        std::vector<int> out;
        for (int i = 0; i < SETTINGS_PAGE_COUNT; ++i)
            if (IsWindowVisible(Page(i))) out.push_back(i);
        return out;
    }
    // The SET CD SPEED and MODE SELECT commands logged.
    std::vector<std::string> Applied() const {
        std::vector<std::string> out;
        for (const std::string& c : Cdbs(*sim)) {
            const std::string op = c.substr(c.find(' ') + 1, 2);
            if (op == "bb" || op == "55") out.push_back(c.substr(0, c.find(' ') + 9));
        }
        return out;
    }

    HWND dialog = nullptr;
    SettingsDialogState* (*saved)() = AllocateSettingsState;
};

TEST_F(SettingsDialogTest, FrameTabsPagesIconAndPlace) {
    Start();
    for (std::uint32_t style : {0u, 6u, ICON_COUNT}) {
        appState->iconType = style;
        ASSERT_NE(nullptr, Open());
        EXPECT_EQ(dialog, appState->settingsDialog);
        EXPECT_EQ(SayCaption("設定画面"), Text(dialog));
        EXPECT_EQ(Say("設 定"), Text(GetDlgItem(dialog, IDOK)));
        EXPECT_EQ(Say("中 止"), Text(GetDlgItem(dialog, IDCANCEL)));
        EXPECT_EQ(Say("バージョン情報"), Text(GetDlgItem(dialog, IDC_SETTINGS_VERSION)));
        EXPECT_EQ(GetDlgItem(dialog, IDOK), GetFocus());
        const LRESULT icon =
            reinterpret_cast<LRESULT>(style < ICON_COUNT ? appState->icons[style] : nullptr);
        EXPECT_EQ(icon, SendMessageA(dialog, WM_GETICON, ICON_BIG, 0)) << style;
        EXPECT_EQ(icon, SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0)) << style;
        RECT r;
        GetWindowRect(dialog, &r);
        EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, r.left);
        EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, r.top);

        ASSERT_EQ(3, SendMessageA(settingsState->tab, TCM_GETITEMCOUNT, 0, 0));
        const char* tabs[] = {"共通", "ドライブ", "メディア制御"};
        RECT area;
        GetClientRect(settingsState->tab, &area);
        SendMessageA(settingsState->tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        MapWindowPoints(settingsState->tab, dialog, reinterpret_cast<POINT*>(&area), 2);
        for (int i = 0; i < 3; ++i) {
            wchar_t text[32] = {};
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 32;
            SendMessageW(settingsState->tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
            EXPECT_EQ(Say(tabs[i]), testsupport::Sjis(text));
            EXPECT_EQ(dialog, GetParent(Page(i)));
            EXPECT_TRUE(GetWindowLongA(Page(i), GWL_STYLE) & WS_CHILD);
            EXPECT_TRUE(GetWindowLongA(Page(i), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
            RECT p;
            GetWindowRect(Page(i), &p);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&p), 2);
            EXPECT_TRUE(EqualRect(&area, &p)) << i;
        }
        EXPECT_EQ(std::vector<int>{0}, VisiblePages());
        ShowTab(2);
        EXPECT_EQ(std::vector<int>{2}, VisiblePages());
        ShowTab(1);
        EXPECT_EQ(std::vector<int>{1}, VisiblePages());
        Command(IDCANCEL);
        EXPECT_EQ(nullptr, appState->settingsDialog);
        EXPECT_EQ(nullptr, settingsState);
        EXPECT_FALSE(IsWindowVisible(dialog));
        DestroyWindow(dialog);
    }
}

TEST_F(SettingsDialogTest, CancelAfterChangingEveryPageLeavesEverythingAsItWas) {
    Start();
    appState->aspiDll = "WNASPI32.DLL";
    SaveSettings();
    const std::string file = ReadSettingsFile();
    std::vector<char> before(sizeof(AppState));
    std::memcpy(before.data(), appState, sizeof(AppState));
    sim->ClearLog();

    ASSERT_NE(nullptr, Open());
    fileDialog.answer = "C:\\windows\\system32\\NEROASPI.DLL";
    for (int id : {IDC_UPDATE, IDC_SWAP_MENU, IDC_BALLOON_ALL, IDC_BALLOON_AUTO,
                   IDC_NO_ERROR_MESSAGE, IDC_ASPI_DLL})
        Click(PAGE_COMMON, id);
    Choose(PAGE_COMMON, IDC_ICON_TYPE, 5);
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 0);
    Choose(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN, 12);
    Click(PAGE_DRIVE, IDC_DRIVE_DISABLED);
    for (int id : {IDC_MEDIA_CONTROL, IDC_USE_OPEN_CLOSE, IDC_USE_LOCK, IDC_USE_KEYBOARD_HOOK})
        Click(PAGE_MEDIA, id);
    TypeDelay("99");
    ASSERT_EQ("C:\\windows\\system32\\NEROASPI.DLL", Text(Item(PAGE_COMMON, IDC_ASPI_DLL)));
    Command(IDCANCEL);

    EXPECT_EQ(0, std::memcmp(before.data(), appState, sizeof(AppState)));
    EXPECT_EQ(file, ReadSettingsFile());
    EXPECT_TRUE(Applied().empty());
    EXPECT_EQ(0u, boxes->Count());
}

// Only the first page is ever shown; the others are applied all the same.
TEST_F(SettingsDialogTest, OkAppliesEveryControlOfEveryPageSavesAndReapplies) {
    Start();
    ASSERT_NE(nullptr, Open());
    for (int id :
         {IDC_UPDATE, IDC_SWAP_MENU, IDC_BALLOON_ALL, IDC_BALLOON_AUTO, IDC_NO_ERROR_MESSAGE})
        Click(PAGE_COMMON, id);
    Choose(PAGE_COMMON, IDC_ICON_TYPE, 7);
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 2);       // drive 0: x16, was x24
    Choose(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN, 10);  // 2min
    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 1);        // table position 2
    Click(PAGE_DRIVE, IDC_DRIVE_DISABLED);
    Click(PAGE_DRIVE, IDC_DRIVE_HIDDEN);
    Click(PAGE_MEDIA, IDC_MEDIA_CONTROL);
    Click(PAGE_MEDIA, IDC_USE_OPEN_CLOSE);
    Click(PAGE_MEDIA, IDC_USE_LOCK);
    TypeDelay("42");
    EXPECT_EQ(std::vector<int>{0}, VisiblePages());
    Command(IDOK);

    EXPECT_EQ(nullptr, appState->settingsDialog);
    EXPECT_EQ(nullptr, settingsState);
    const AppState& s = *appState;
    EXPECT_EQ((std::vector<int>{0, 1, 0, 1, 1, 7}),
              (std::vector<int>{s.update, s.swapMenu, s.balloonAll, s.balloonAuto, s.noErrorMessage,
                                static_cast<int>(s.iconType)}));
    EXPECT_EQ((std::vector<int>{1, 1, 42, 1, 0}),
              (std::vector<int>{s.mediaControl, s.useOpenClose, static_cast<int>(s.openCloseTimer),
                                s.useLock, s.useKeyboardHook}));
    EXPECT_EQ((std::vector<std::uint32_t>{0, 0, 2}),
              (std::vector<std::uint32_t>(s.skip, s.skip + 3)));
    EXPECT_EQ(2822, s.drives[0].currentSpeed);
    EXPECT_EQ(10, s.drives[0].spinDown);
    const std::string file = ReadSettingsFile();
    for (const char* line :
         {"Update=0\r\n", "SwapMenu=1\r\n", "IconType=7\r\n", "OpenCloseTimer=42\r\n",
          "MediaControl=1\r\n", "[CDROM00]\r\nSkip=0\r\n", "Speed=2\r\nSpinDown=0x0a\r\n",
          "[CDROM02]\r\nSkip=2\r\n"})
        EXPECT_NE(std::string::npos, file.find(line)) << line;
    EXPECT_EQ(std::string::npos, file.find("[CDROM01]"));
    // Read back: only the drive at skip 0 is set again.
    EXPECT_EQ((std::vector<std::string>{"0:1 bb000b06", "0:1 55100000"}), Applied());
    EXPECT_EQ("2822", StateOf(*sim, "0:1:0", "speed"));
    EXPECT_EQ("10", StateOf(*sim, "0:1:0", "inactivity"));
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(SettingsDialogTest, OkWithoutChangesRewritesTheFileAndSetsTheDrivesAgain) {
    Start();
    drivetest::WriteSettingsFile("[COMMON]\r\nASPIDLL=WNASPI32.DLL\r\n");
    ASSERT_NE(nullptr, Open());
    Command(IDOK);
    const std::string file = ReadSettingsFile();
    EXPECT_NE(std::string::npos,
              file.find("[CDROM00]\r\nSkip=0\r\nVendor=SIMDISC\r\nProduct=CD-ROM A\r\n"
                        "Version=1.00\r\nSpeed=3\r\nSpinDown=0x03\r\n"));
    EXPECT_NE(std::string::npos, file.find("[CDROM02]\r\nSkip=0\r\nVendor=OTHERCO\r\n"));
    // Drive 2's current speed is listed twice: the later position is saved.
    EXPECT_NE(std::string::npos, file.find("Speed=2\r\nSpinDown=0x09\r\n"));
    EXPECT_EQ(
        (std::vector<std::string>{"0:1 bb00108a", "0:1 55100000", "1:3 bb000583", "1:3 55100000"}),
        Applied());
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(SettingsDialogTest, CommonPageShowsTheSettingsAndTheEightStyles) {
    Start();
    const std::vector<std::string> styles = {Say("メディア 標準"),     Say("メディア カラフル"),
                                             Say("メディア シンプル"), Say("メディア モノクロ"),
                                             Say("ドライブ 標準"),     Say("ドライブ カラフル"),
                                             Say("ドライブ シンプル"), Say("ドライブ モノクロ")};
    const int ids[] = {IDC_UPDATE, IDC_SWAP_MENU, IDC_BALLOON_ALL, IDC_BALLOON_AUTO,
                       IDC_NO_ERROR_MESSAGE};
    const char* texts[] = {"休止状態から復帰したら再設定する", "メニュー表示を左右入れ替える",
                           "バルーンに全てのデバイスを表示する",
                           "トレイアイコンでバルーンを自動表示する", "エラーメッセージを抑制する"};
    struct Case {
        std::int32_t update, swap, all, automatic, quiet;
        std::uint32_t iconType;
        int selected;          // in the list
        std::uint32_t stored;  // after OK
    } cases[] = {{1, 0, 1, 0, 0, 0, 0, 0}, {0, 1, 0, 1, 1, 7, 7, 7}, {1, 1, 1, 1, 1, 8, -1, 0}};
    for (const Case& c : cases) {
        AppState& s = *appState;
        s.update = c.update, s.swapMenu = c.swap, s.balloonAll = c.all, s.balloonAuto = c.automatic;
        s.noErrorMessage = c.quiet, s.iconType = c.iconType;
        ASSERT_NE(nullptr, Open());
        const std::int32_t values[] = {c.update, c.swap, c.all, c.automatic, c.quiet};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(Say(texts[i]), Text(Item(PAGE_COMMON, ids[i])));
            EXPECT_EQ(values[i] != 0, Checked(PAGE_COMMON, ids[i])) << ids[i];
        }
        EXPECT_EQ(styles, ListTexts(Item(PAGE_COMMON, IDC_ICON_TYPE)));
        EXPECT_EQ(c.selected, Selected(PAGE_COMMON, IDC_ICON_TYPE));
        EXPECT_EQ(appState->aspiDll.String(0), Text(Item(PAGE_COMMON, IDC_ASPI_DLL)));
        // A box changed and changed back leaves its setting as it was.
        Click(PAGE_COMMON, IDC_SWAP_MENU);
        Click(PAGE_COMMON, IDC_SWAP_MENU);
        Command(IDOK);
        EXPECT_EQ(c.swap, appState->swapMenu);
        EXPECT_EQ(c.stored, appState->iconType);
        DestroyWindow(dialog);
    }
    EXPECT_EQ(0u, boxes->Count());
}

// The stored name against the chosen one, compared as whole texts.
TEST_F(SettingsDialogTest, LibraryChoice) {
    Start();
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string full = std::string(system) + "\\WNASPI32.DLL";
    struct Case {
        const char* stored;
        std::string answer;  // "" the user cancels
        const char* initialName;
        std::string result;
        bool notice;
    } cases[] = {
        {"WNASPI32.DLL", "", "WNASPI32.DLL", "WNASPI32.DLL", false},
        {"WNASPI32.DLL", full, "WNASPI32.DLL", full, true},
        {"WNASPI32.DLL", "WNASPI32.DLL", "WNASPI32.DLL", "WNASPI32.DLL", false},
        {"WNASPI32.DLL", "WNASPI32.DLL.OLD", "WNASPI32.DLL", "WNASPI32.DLL.OLD", true},
        {"C:\\aspi\\NEROASPI.DLL", "C:\\aspi\\NEROASPI.DLL2", "NEROASPI.DLL",
         "C:\\aspi\\NEROASPI.DLL2", true},
        {"C:\\aspi\\", "", "", "C:\\aspi\\", false},
    };
    for (const Case& c : cases) {
        appState->aspiDll = c.stored;
        fileDialog = FileDialogCall();
        fileDialog.answer = c.answer.empty() ? nullptr : c.answer.c_str();
        boxes->Clear();
        ASSERT_NE(nullptr, Open());
        Click(PAGE_COMMON, IDC_ASPI_DLL);
        ASSERT_TRUE(fileDialog.called);
        EXPECT_EQ(Page(PAGE_COMMON), fileDialog.owner);
        EXPECT_EQ(Say("ASPI32の選択"), fileDialog.title);
        std::string filter;
        for (const char* part :
             {"ダイナミックリンクライブラリ", "*.DLL", "Adaptec社製", "WNASPI32.DLL", "Nero社製",
              "NEROASPI.DLL", "NexiTech社製", "WNASPINT.DLL", "全てのファイル", "*.*", ""})
            filter += Say(part) + '\0';
        EXPECT_EQ(filter, fileDialog.filter);
        EXPECT_EQ(1u, fileDialog.filterIndex);
        EXPECT_EQ(system, fileDialog.initialFolder);
        EXPECT_EQ(c.initialName, fileDialog.initialName) << c.stored;
        EXPECT_EQ(260u, fileDialog.maxFile);
        EXPECT_EQ(DWORD(OFN_READONLY | OFN_HIDEREADONLY), fileDialog.flags);
        EXPECT_EQ("(null)", fileDialog.defaultExtension);
        // The button shows the choice at once; the record takes it at OK.
        EXPECT_EQ(c.answer.empty() ? c.stored : c.answer, Text(Item(PAGE_COMMON, IDC_ASPI_DLL)));
        EXPECT_STREQ(c.stored, appState->aspiDll.String(0));
        Command(IDOK);
        EXPECT_EQ(c.result, appState->aspiDll.String(0)) << c.answer;
        ASSERT_EQ(c.notice ? 1u : 0u, boxes->Count()) << c.answer;
        if (c.notice) {
            const auto& box = boxes->Boxes()[0];
            EXPECT_EQ(dialog, box.owner);  // the page's top-level window
            EXPECT_EQ(Say("確認情報"), box.caption);
            EXPECT_EQ(Say("変更したASPI32用DLLは\r\n次回起動時から有効になります。"), box.text);
            EXPECT_EQ(UINT(MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST), box.style);
            EXPECT_NE(std::string::npos, ReadSettingsFile().find("ASPIDLL=" + c.result + "\r\n"));
        }
        DestroyWindow(dialog);
    }
}

// The path comes back from the dialog in UTF-16 and is kept in Shift-JIS:
// a Japanese folder name is stored as such; a path Shift-JIS cannot hold is
// refused with a box and the button keeps its text.
TEST_F(SettingsDialogTest, LibraryChoiceInShiftJis) {
    Start();
    appState->aspiDll = "C:\\模擬\\WNASPI32.DLL";
    fileDialog.answer = "C:\\表示\\NEROASPI.DLL";
    ASSERT_NE(nullptr, Open());
    Click(PAGE_COMMON, IDC_ASPI_DLL);
    EXPECT_EQ("WNASPI32.DLL", fileDialog.initialName);
    EXPECT_EQ("C:\\表示\\NEROASPI.DLL", Text(Item(PAGE_COMMON, IDC_ASPI_DLL)));
    Command(IDOK);
    EXPECT_STREQ("C:\\表示\\NEROASPI.DLL", appState->aspiDll.String(0));
    EXPECT_NE(std::string::npos, ReadSettingsFile().find("ASPIDLL=C:\\表示\\NEROASPI.DLL\r\n"));
    ASSERT_EQ(1u, boxes->Count());

    boxes->Clear();
    fileDialog = FileDialogCall();
    fileDialog.wideAnswer = L"C:\\\u00c9lan\\WNASPI32.DLL";
    ASSERT_NE(nullptr, Open());
    Click(PAGE_COMMON, IDC_ASPI_DLL);
    ASSERT_EQ(1u, boxes->Count());
    EXPECT_EQ(Say("選択したファイルの名前はKORVEX.INIに書き込めません。"), boxes->Boxes()[0].text);
    EXPECT_EQ(Say("エラー情報"), boxes->Boxes()[0].caption);
    EXPECT_EQ(dialog, boxes->Boxes()[0].owner);  // the page's top-level window
    EXPECT_EQ("C:\\表示\\NEROASPI.DLL", Text(Item(PAGE_COMMON, IDC_ASPI_DLL)));
    Command(IDOK);
    EXPECT_STREQ("C:\\表示\\NEROASPI.DLL", appState->aspiDll.String(0));
    EXPECT_EQ(1u, boxes->Count());
    // A button text with no Shift-JIS form (put there by no one but a test)
    // leaves the stored name.
    ASSERT_NE(nullptr, Open());
    SetWindowTextW(Item(PAGE_COMMON, IDC_ASPI_DLL), L"C:\\\u00c9lan\\X.DLL");
    Command(IDOK);
    EXPECT_STREQ("C:\\表示\\NEROASPI.DLL", appState->aspiDll.String(0));
    EXPECT_EQ(1u, boxes->Count());
}

TEST(SplitPathTest, AtTheLastBackslashThatIsNoTrailByte) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"C:\\windows\\system32\\WNASPI32.DLL", "C:\\windows\\system32", "WNASPI32.DLL"},
        {"WNASPI32.DLL", "", "WNASPI32.DLL"},
        {"C:\\aspi\\", "C:\\aspi", ""},
        {"", "", ""},
        {"C:\\表\\A.DLL", "C:\\表", "A.DLL"},  // 表 is 95 5C
        {"C:\\aspi\\表", "C:\\aspi", "表"},
    };
    for (const Case& c : cases) {
        CSTR folder("old"), name("old");
        ASSERT_TRUE(SplitPath(c.path, &folder, &name)) << c.path;
        EXPECT_STREQ(c.folder, folder.Length() ? folder.String(0) : "") << c.path;
        EXPECT_STREQ(c.name, name.Length() ? name.String(0) : "") << c.path;
        EXPECT_TRUE(SplitPath(c.path, nullptr, &name));
        EXPECT_TRUE(SplitPath(c.path, &folder, nullptr));
    }
    CSTR name("old");
    EXPECT_FALSE(SplitPath(nullptr, nullptr, &name));
    EXPECT_EQ(0u, name.Length());
}

TEST_F(SettingsDialogTest, DrivePageListsDrivesWithSpeedsUnderTheirTableIndexes) {
    Start();
    appState->skip[1] = 1;  // the drive without speeds: never changed here
    appState->skip[2] = 2;
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(
        (std::vector<std::string>{"00:01 SIMDISC CD-ROM A 1.00", "01:03 OTHERCO DVD-ROM B 2.10"}),
        ListTexts(Item(PAGE_DRIVE, IDC_DRIVE_LIST)));
    std::vector<std::string> names;
    for (std::uint32_t code = 0; code < 16; ++code)
        names.push_back(CdromDevice::SpinDownName(code));
    EXPECT_EQ("Default", names[0]);
    EXPECT_EQ(names, ListTexts(Item(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN)));

    struct Shown {
        std::vector<std::string> speeds;
        int speed, spinDown;
        bool disabled, hidden, speedEnabled, hiddenEnabled;
    };
    auto shown = [&] {
        return Shown{
            ListTexts(Item(PAGE_DRIVE, IDC_DRIVE_SPEED)), Selected(PAGE_DRIVE, IDC_DRIVE_SPEED),
            Selected(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN),    Checked(PAGE_DRIVE, IDC_DRIVE_DISABLED),
            Checked(PAGE_DRIVE, IDC_DRIVE_HIDDEN),        Enabled(PAGE_DRIVE, IDC_DRIVE_SPEED),
            Enabled(PAGE_DRIVE, IDC_DRIVE_HIDDEN)};
    };
    auto expect = [&](const Shown& want, const char* where) {
        const Shown got = shown();
        EXPECT_EQ(want.speeds, got.speeds) << where;
        EXPECT_EQ(want.speed, got.speed) << where;
        EXPECT_EQ(want.spinDown, got.spinDown) << where;
        EXPECT_EQ(want.disabled, got.disabled) << where;
        EXPECT_EQ(want.hidden, got.hidden) << where;
        EXPECT_EQ(want.speedEnabled, got.speedEnabled) << where;
        EXPECT_EQ(want.speedEnabled, Enabled(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN)) << where;
        EXPECT_EQ(want.hiddenEnabled, got.hiddenEnabled) << where;
    };
    const std::vector<std::string> a = {"x4", "x8", "x16", "x24"}, b = {"x4", "x8", "x8"};
    EXPECT_EQ(0, Selected(PAGE_DRIVE, IDC_DRIVE_LIST));
    expect({a, 3, 3, false, false, true, false}, "drive 0 at skip 0");
    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 1);
    expect({b, 2, 9, true, true, false, true}, "drive 2 at skip 2, the later x8");
    Click(PAGE_DRIVE, IDC_DRIVE_HIDDEN);
    expect({b, 2, 9, true, false, false, true}, "drive 2 back to skip 1");
    Click(PAGE_DRIVE, IDC_DRIVE_DISABLED);
    expect({b, 2, 9, false, false, true, false}, "drive 2 at skip 0");
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 0);
    Choose(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN, 15);

    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 0);
    // Hide is offered only once disabled is checked; clearing disabled clears it.
    Click(PAGE_DRIVE, IDC_DRIVE_DISABLED);
    Click(PAGE_DRIVE, IDC_DRIVE_HIDDEN);
    expect({a, 3, 3, true, true, false, true}, "drive 0 at skip 2");
    Click(PAGE_DRIVE, IDC_DRIVE_DISABLED);
    expect({a, 3, 3, false, false, true, false}, "drive 0 cleared to skip 0");
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 1);
    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 1);
    expect({b, 0, 15, false, false, true, false}, "drive 2 keeps its edits");
    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 0);
    expect({a, 1, 3, false, false, true, false}, "drive 0 keeps its edits");

    Command(IDOK);
    EXPECT_EQ((std::vector<std::uint32_t>{0, 1, 0}),
              (std::vector<std::uint32_t>(appState->skip, appState->skip + 3)));
    EXPECT_EQ(1411, appState->drives[0].currentSpeed);
    EXPECT_EQ(706, appState->drives[2].currentSpeed);
    EXPECT_EQ(15, appState->drives[2].spinDown);
    EXPECT_EQ(
        (std::vector<std::string>{"0:1 bb000583", "0:1 55100000", "1:3 bb0002c2", "1:3 55100000"}),
        Applied());
}

// Disabled, hidden, then shown again with "disabled" still ticked: the
// drive is kept disabled, and OK sends it neither speed nor spin-down.
TEST_F(SettingsDialogTest, AHiddenDriveShownAgainStaysDisabled) {
    Start();
    ASSERT_NE(nullptr, Open());
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 0);
    Click(PAGE_DRIVE, IDC_DRIVE_DISABLED);
    Click(PAGE_DRIVE, IDC_DRIVE_HIDDEN);
    Click(PAGE_DRIVE, IDC_DRIVE_HIDDEN);
    // Picked again, the drive shows what the working copy holds.
    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 1);
    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 0);
    EXPECT_TRUE(Checked(PAGE_DRIVE, IDC_DRIVE_DISABLED));
    EXPECT_FALSE(Checked(PAGE_DRIVE, IDC_DRIVE_HIDDEN));
    EXPECT_TRUE(Enabled(PAGE_DRIVE, IDC_DRIVE_HIDDEN));
    EXPECT_FALSE(Enabled(PAGE_DRIVE, IDC_DRIVE_SPEED));
    EXPECT_FALSE(Enabled(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN));
    Command(IDOK);
    EXPECT_EQ((std::vector<std::uint32_t>{1, 0, 0}),
              (std::vector<std::uint32_t>(appState->skip, appState->skip + 3)));
    EXPECT_NE(std::string::npos, ReadSettingsFile().find("[CDROM00]\r\nSkip=1\r\n"));
    EXPECT_EQ((std::vector<std::string>{"1:3 bb000583", "1:3 55100000"}), Applied());
    EXPECT_EQ("4234", StateOf(*sim, "0:1:0", "speed"));
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(SettingsDialogTest, WithoutADriveWithSpeedsNothingOnTheDrivePageCanBeEdited) {
    Start();
    appState->drives[0].speedCount = 0;
    appState->drives[2].speedCount = 0;
    appState->skip[0] = 1;
    ASSERT_NE(nullptr, Open());
    EXPECT_TRUE(ListTexts(Item(PAGE_DRIVE, IDC_DRIVE_LIST)).empty());
    EXPECT_TRUE(ListTexts(Item(PAGE_DRIVE, IDC_DRIVE_SPEED)).empty());
    for (int id : {IDC_DRIVE_SPEED, IDC_DRIVE_SPIN_DOWN, IDC_DRIVE_DISABLED, IDC_DRIVE_HIDDEN})
        EXPECT_FALSE(Enabled(PAGE_DRIVE, id)) << id;
    Command(IDOK);
    EXPECT_EQ(1u, appState->skip[0]);
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(SettingsDialogTest, AnUnsetSpeedIsReportedAndLeftAtOk) {
    Start();
    appState->drives[0].currentSpeed = 999;  // not in its list
    appState->drives[2].currentSpeed = 1;
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(-1, Selected(PAGE_DRIVE, IDC_DRIVE_SPEED));
    Choose(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN, 4);
    Choose(PAGE_DRIVE, IDC_DRIVE_LIST, 1);
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 1);  // drive 2 picked, drive 0 not
    appState->noErrorMessage = 1;            // not a box the setting silences
    Command(IDOK);
    ASSERT_EQ(1u, boxes->Count());
    EXPECT_EQ(Say("転送速度の値が異常です。\r\n値を無視しました。"), boxes->Boxes()[0].text);
    EXPECT_EQ(Say("エラー情報"), boxes->Boxes()[0].caption);
    EXPECT_EQ(dialog, boxes->Boxes()[0].owner);
    EXPECT_EQ(UINT(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST), boxes->Boxes()[0].style);
    EXPECT_EQ(4, appState->drives[0].spinDown);  // the rest of OK goes on
    EXPECT_EQ(1411, appState->drives[2].currentSpeed);
}

TEST_F(SettingsDialogTest, MediaPageEnablingFollowsItsBoxes) {
    Start();
    const int delay[] = {IDC_OPEN_CLOSE_BEFORE, IDC_OPEN_CLOSE_AFTER, IDC_OPEN_CLOSE_EDIT,
                         IDC_OPEN_CLOSE_TIMER};
    auto enabled = [&] {
        std::string s;
        for (int id : {IDC_USE_OPEN_CLOSE, IDC_USE_LOCK, IDC_USE_KEYBOARD_HOOK})
            s += Enabled(PAGE_MEDIA, id) ? '1' : '0';
        s += ' ';
        for (int id : delay) s += Enabled(PAGE_MEDIA, id) ? '1' : '0';
        return s;
    };
    struct Case {
        std::int32_t control, openClose;
        const char* atOpen;
        const char* afterToggle;  // 1010 clicked twice
    } cases[] = {{0, 0, "001 0000", "000 0000"},
                 {0, 1, "001 0000", "000 0000"},
                 {1, 0, "111 0000", "111 0000"},
                 {1, 1, "111 1111", "111 1111"}};
    for (const Case& c : cases) {
        appState->mediaControl = c.control;
        appState->useOpenClose = c.openClose;
        appState->useLock = appState->useKeyboardHook = 1;
        ASSERT_NE(nullptr, Open());
        EXPECT_EQ(c.atOpen, enabled()) << c.control << c.openClose;
        Click(PAGE_MEDIA, IDC_MEDIA_CONTROL);
        Click(PAGE_MEDIA, IDC_MEDIA_CONTROL);
        EXPECT_EQ(c.afterToggle, enabled()) << c.control << c.openClose;
        DestroyWindow(dialog);
    }
    // Checking 1011 enables the delay; clearing 1010 keeps the check marks.
    appState->mediaControl = 1;
    appState->useOpenClose = 0;
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(Say("トレイを開けてから"), Text(Item(PAGE_MEDIA, IDC_OPEN_CLOSE_BEFORE)));
    EXPECT_EQ(Say("秒後に閉じる"), Text(Item(PAGE_MEDIA, IDC_OPEN_CLOSE_AFTER)));
    Click(PAGE_MEDIA, IDC_USE_OPEN_CLOSE);
    EXPECT_EQ("111 1111", enabled());
    Click(PAGE_MEDIA, IDC_MEDIA_CONTROL);
    EXPECT_EQ("000 0000", enabled());
    Command(IDOK);
    EXPECT_EQ((std::vector<int>{0, 1, 1, 1}),
              (std::vector<int>{appState->mediaControl, appState->useOpenClose, appState->useLock,
                                appState->useKeyboardHook}));
}

TEST_F(SettingsDialogTest, DelayUpDownAndTypedTexts) {
    Start();
    appState->openCloseTimer = 65536 + 42;  // shown by its low 16 bits
    ASSERT_NE(nullptr, Open());
    HWND edit = Item(PAGE_MEDIA, IDC_OPEN_CLOSE_EDIT);
    HWND updown = Item(PAGE_MEDIA, IDC_OPEN_CLOSE_TIMER);
    EXPECT_EQ("42", Text(edit));
    EXPECT_EQ(edit, reinterpret_cast<HWND>(SendMessageA(updown, UDM_GETBUDDY, 0, 0)));
    EXPECT_EQ(MAKELONG(360, 5), SendMessageA(updown, UDM_GETRANGE, 0, 0));
    const LONG style = GetWindowLongA(updown, GWL_STYLE);
    const LONG wanted = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;
    EXPECT_EQ(wanted, style & wanted);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_RIGHT);
    // The arrows stop at the ends of the range.
    SendMessageA(updown, UDM_SETPOS, 0, MAKELPARAM(359, 0));
    for (int i = 0; i < 3; ++i) SendMessageA(edit, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ("360", Text(edit));
    SendMessageA(updown, UDM_SETPOS, 0, MAKELPARAM(6, 0));
    for (int i = 0; i < 3; ++i) SendMessageA(edit, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ("5", Text(edit));
    DestroyWindow(dialog);

    struct Case {
        const char* typed;
        std::uint32_t stored;  // 30: the value in force is kept
    } cases[] = {{"5", 5}, {"360", 360}, {"77", 77},  {"4", 30},  {"361", 30}, {"1000", 30},
                 {"", 30}, {"abc", 30},  {"12x", 30}, {"-5", 30}, {"1,0", 30}};
    for (const Case& c : cases) {
        appState->openCloseTimer = 30;
        ASSERT_NE(nullptr, Open());
        TypeDelay(c.typed);
        Command(IDOK);
        EXPECT_EQ(c.stored, appState->openCloseTimer) << c.typed;
        DestroyWindow(dialog);
    }
}

TEST_F(SettingsDialogTest, VersionButtonRunsTheVersionDialogOverItAndReturns) {
    Start();
    ASSERT_NE(nullptr, Open());
    ShowTab(2);
    for (int round = 0; round < 2; ++round) {
        boxes->Clear();
        SendMessageA(GetDlgItem(dialog, IDC_SETTINGS_VERSION), BM_CLICK, 0, 0);
        // The recorder answered the modal dialog it took for a box.
        ASSERT_EQ(1u, boxes->Count()) << round;
        EXPECT_EQ(SayCaption("バージョン情報"), boxes->Boxes()[0].caption);
        EXPECT_EQ(dialog, boxes->Boxes()[0].owner);
        EXPECT_EQ(nullptr, appState->versionDialog);
        EXPECT_EQ(dialog, appState->settingsDialog);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_TRUE(IsWindowEnabled(dialog));
        EXPECT_EQ(2, SendMessageA(settingsState->tab, TCM_GETCURSEL, 0, 0));
        EXPECT_EQ(std::vector<int>{2}, VisiblePages());
    }
    versionTitleFont.Delete();
    versionLineFont.Delete();
}

TEST_F(SettingsDialogTest, WithoutAWorkingCopyItReportsAndEnds) {
    Start();
    AllocateSettingsState = NoMemory;
    ASSERT_NE(nullptr, Open());
    ASSERT_EQ(1u, boxes->Count());
    EXPECT_EQ(Say("メモリの確保に失敗しました。"), boxes->Boxes()[0].text);
    EXPECT_EQ(Say("エラー情報"), boxes->Boxes()[0].caption);
    EXPECT_EQ(dialog, boxes->Boxes()[0].owner);
    EXPECT_EQ(UINT(MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST), boxes->Boxes()[0].style);
    EXPECT_EQ(nullptr, appState->settingsDialog);
    EXPECT_EQ(nullptr, settingsState);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(nullptr, FindWindowExA(dialog, nullptr, "#32770", nullptr));  // no page
}

// A rescan's error box runs a message loop in which the dialog stays usable:
// OK pressed there waits for the rescan, then applies and saves.
TEST_F(SettingsDialogTest, OkDuringARescanWaitsForIt) {
    Start(ThreeDrives("[device.1.5]\ntype=5\nvendor=X\nproduct=Y\nrevision=1\nfail=inquiry\n"));
    ASSERT_NE(nullptr, Open());
    Click(PAGE_COMMON, IDC_SWAP_MENU);
    const std::string file = ReadSettingsFile();
    bool runningAtOk = false;
    std::int32_t swapAtOk = -1;
    boxes->SetOnBox([&](HWND) {
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        runningAtOk = TableWorkRunning();
        swapAtOk = appState->swapMenu;
    });
    RequestTableWork(nullptr, TableWork::DeviceRescan);
    boxes->SetOnBox(nullptr);
    EXPECT_TRUE(runningAtOk);
    EXPECT_EQ(0, swapAtOk);
    EXPECT_EQ(file, ReadSettingsFile());
    EXPECT_EQ(dialog, appState->settingsDialog);
    // The retry comes with the timer: waited for (20 seconds at the most).
    for (const DWORD start = GetTickCount();
         appState->settingsDialog && GetTickCount() - start < 20000;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(20);
    }
    EXPECT_EQ(nullptr, appState->settingsDialog);
    EXPECT_EQ(1, appState->swapMenu);
    EXPECT_NE(std::string::npos, ReadSettingsFile().find("SwapMenu=1\r\n"));
}

// The program's window went (its WM_DESTROY ran the shutdown) while the
// dialog's own loop kept running: OK then neither writes the file nor reads
// it back into the program.
// The text of the checked item of the first drive's speed sub-menu.
std::string CheckedSpeed() {
    HMENU menu = CreatePopupMenu();
    AppendSpeedMenuItems(nullptr, menu);
    HMENU speeds = GetSubMenu(menu, 0);
    std::string checked = "(none)";
    for (int i = 0; speeds && i < GetMenuItemCount(speeds); ++i)
        if (GetMenuState(speeds, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED)
            checked = testsupport::MenuText(speeds, static_cast<UINT>(i));
    DestroyMenu(menu);
    return checked;
}

// A file another program holds cannot be saved over, but the chosen speed and
// spin-down still reach the drive, and the menu marks the speed it runs at.
TEST_F(SettingsDialogTest, OkWhileTheFileCannotBeReadStillSetsTheDrives) {
    Start();
    drivetest::WriteSettingsFile("[COMMON]\r\nASPIDLL=WNASPI32.DLL\r\n");
    HANDLE held = CreateFileA(drivetest::SettingsPath().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    LoadSettings(cdromDevice);  // finds the file held: saving is refused from now on
    sim->ClearLog();
    ASSERT_NE(nullptr, Open());
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 2);       // drive 0: x16
    Choose(PAGE_DRIVE, IDC_DRIVE_SPIN_DOWN, 10);  // 2min
    Command(IDOK);
    CloseHandle(held);

    EXPECT_EQ(
        (std::vector<std::string>{"0:1 bb000b06", "0:1 55100000", "1:3 bb000583", "1:3 55100000"}),
        Applied());
    EXPECT_EQ("2822", StateOf(*sim, "0:1:0", "speed"));
    EXPECT_EQ("10", StateOf(*sim, "0:1:0", "inactivity"));
    EXPECT_EQ(2822, appState->drives[0].currentSpeed);
    EXPECT_EQ("2822 KB/S (x16)", CheckedSpeed());
    ASSERT_EQ(1u, boxes->Count());
    EXPECT_EQ(Say("設定ファイルを読み込めなかったため、設定を書き込みませんでした。"),
              boxes->Boxes()[0].text);
    EXPECT_EQ("[COMMON]\r\nASPIDLL=WNASPI32.DLL\r\n", ReadSettingsFile());
}

TEST_F(SettingsDialogTest, OkAfterTheShutdownNeitherSavesNorReloads) {
    Start();
    SaveSettings();
    const std::string file = ReadSettingsFile();
    ASSERT_NE(nullptr, Open());
    Click(PAGE_COMMON, IDC_SWAP_MENU);
    Choose(PAGE_DRIVE, IDC_DRIVE_SPEED, 0);
    ShutdownSequence(nullptr);
    Command(IDOK);
    EXPECT_EQ(file, ReadSettingsFile());
    EXPECT_EQ(0, appState->settingsLoaded);
    EXPECT_EQ(nullptr, appState->settingsDialog);
    EXPECT_EQ(nullptr, settingsState);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(0u, boxes->Count());
}

HFONT FontOf(HWND window) {
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

// Where the face the templates ask for shows no Japanese, the dialog and all
// its controls get one that does, in the same size; where it does, nothing
// The language has a list of its own on the Common page, with the setting
// selected. OK puts the choice into force at once (the next menu speaks it)
// and into the file; following Windows leaves no key.
TEST_F(SettingsDialogTest, TheLanguageListChoosesTheLanguageAtOnce) {
    Start();
    const std::vector<std::string> choices = {Say("Windows の設定に従う"), Say("日本語"),
                                              "English"};
    for (std::int32_t setting : {LANGUAGE_WINDOWS, LANGUAGE_JAPANESE, LANGUAGE_ENGLISH, 7}) {
        appState->language = setting;
        ASSERT_NE(nullptr, Open());
        EXPECT_EQ(choices, ListTexts(Item(PAGE_COMMON, IDC_LANGUAGE)));
        EXPECT_EQ(setting == 7 ? 0 : setting, Selected(PAGE_COMMON, IDC_LANGUAGE)) << setting;
        DestroyWindow(dialog);
    }
    const struct {
        int choice;
        UiLanguage inForce;
        const char* key;
    } cases[] = {
        {LANGUAGE_ENGLISH, UiLanguage::English, "Language=English\r\n"},
        {LANGUAGE_JAPANESE, UiLanguage::Japanese, "Language=Japanese\r\n"},
        {LANGUAGE_WINDOWS, WindowsUiLanguage(), nullptr},
    };
    for (const auto& c : cases) {
        ASSERT_NE(nullptr, Open());
        Choose(PAGE_COMMON, IDC_LANGUAGE, c.choice);
        Command(IDOK);
        EXPECT_EQ(c.choice, appState->language);
        EXPECT_EQ(c.inForce, CurrentUiLanguage());
        HMENU menu = CreatePopupMenu();
        AppendPausedMenuItems(nullptr, menu);
        wchar_t item[64] = {};
        GetMenuStringW(menu, ID_EXIT, item, 64, MF_BYCOMMAND);
        DestroyMenu(menu);
        EXPECT_EQ(c.inForce == UiLanguage::English ? "Exit" : "プログラムの終了",
                  testsupport::Sjis(item));
        // The file as it is, the test run's own key included.
        const std::string file = drivetest::ReadFileBytes(drivetest::SettingsPath());
        if (c.key)
            EXPECT_NE(std::string::npos, file.find(c.key)) << file;
        else
            EXPECT_EQ(std::string::npos, file.find("Language")) << file;
        if (IsWindow(dialog)) DestroyWindow(dialog);
    }
}

// No text of the dialog is cut off: each is measured in its control's font
// against the room the control gives it, on the frame and every page.
TEST_F(SettingsDialogTest, EveryTextFitsItsControl) {
    Start();
    ASSERT_NE(nullptr, Open());
    for (HWND window : {dialog, Page(PAGE_COMMON), Page(PAGE_DRIVE), Page(PAGE_MEDIA)})
        for (const auto& cut : testsupport::TextsWiderThanTheirControls(window))
            ADD_FAILURE() << "control " << cut.id << " \"" << cut.text << "\": " << cut.width
                          << " pixels in " << cut.room;
}

// changes.
TEST_F(SettingsDialogTest, AFaceThatShowsJapanese) {
    Start();
    wchar_t face[LF_FACESIZE] = {};
    ASSERT_TRUE(JapaneseFace(face));
    EXPECT_NE(L'@', face[0]);
    HFONT japanese =
        CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, face);
    // Arial is DejaVu Sans here: no Japanese characters.
    HFONT latin = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"Arial");
    EXPECT_TRUE(FontShowsJapanese(japanese));
    EXPECT_FALSE(FontShowsJapanese(latin));
    EXPECT_FALSE(FontShowsJapanese(nullptr));

    ASSERT_NE(nullptr, Open());
    HWND page = Page(PAGE_COMMON);
    std::vector<HWND> controls;
    EnumChildWindows(page, CollectChild, reinterpret_cast<LPARAM>(&controls));
    ASSERT_FALSE(controls.empty());
    const HFONT template_font = FontOf(page);
    if (testsupport::ExpectEnglish()) {
        // The English template's face is left as it is: its texts need no
        // Japanese.
        KeepJapaneseReadable(page);
        EXPECT_EQ(template_font, FontOf(page));
        DestroyWindow(dialog);
        DeleteObject(japanese);
        DeleteObject(latin);
        return;
    }
    // The template's face shows Japanese here: the page keeps its font.
    EXPECT_TRUE(FontShowsJapanese(template_font));
    KeepJapaneseReadable(page);
    EXPECT_EQ(template_font, FontOf(page));

    for (HWND control : controls)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(latin), FALSE);
    ASSERT_TRUE(GiveJapaneseFont(page, latin));
    const HFONT given = FontOf(controls[0]);
    EXPECT_NE(latin, given);
    EXPECT_TRUE(FontShowsJapanese(given));
    for (HWND control : controls) EXPECT_EQ(given, FontOf(control));
    LOGFONTW was = {}, now = {};
    GetObjectW(latin, sizeof was, &was);
    GetObjectW(given, sizeof now, &now);
    EXPECT_EQ(was.lfHeight, now.lfHeight);
    EXPECT_EQ(SHIFTJIS_CHARSET, now.lfCharSet);
    DestroyWindow(dialog);
    DeleteObject(japanese);
    DeleteObject(latin);
}

// Runs modally: a command that comes while it is open opens no second one.
struct ModalRun {
    bool secondOpened = true;
    HWND shown = nullptr;
} modalRun;

void CALLBACK CancelWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!appState->settingsDialog) return;
    KillTimer(nullptr, timer);
    modalRun.shown = appState->settingsDialog;
    modalRun.secondOpened = RunSettingsDialog(cdromDevice);
    PostMessageA(modalRun.shown, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(SettingsDialogTest, RunsModallyOnceAtATime) {
    Start();
    boxes.reset();  // it would answer the dialog
    appState->settingsLoaded = 0;
    EXPECT_FALSE(RunSettingsDialog(cdromDevice));
    appState->settingsLoaded = 1;
    for (int round = 0; round < 2; ++round) {
        modalRun = ModalRun();
        ASSERT_NE(0u, SetTimer(nullptr, 0, 50, CancelWhenShown));
        EXPECT_TRUE(RunSettingsDialog(cdromDevice));
        EXPECT_NE(nullptr, modalRun.shown) << round;
        EXPECT_FALSE(modalRun.secondOpened) << round;
        EXPECT_FALSE(IsWindow(modalRun.shown)) << round;
        EXPECT_EQ(nullptr, appState->settingsDialog);
        EXPECT_EQ(nullptr, settingsState);
    }
}

}  // namespace
