// The settings file: defaults, bounds, the written form byte for byte, the
// per-drive sections and their matching, and a save and load round trip.
#include <cstring>
#include <fstream>
#include <sstream>

#include "drive_fixture.h"
#include "settings.h"
#include "settings_store.h"
#include "ui_text.h"

using drivetest::Cdbs;
using drivetest::CdromSection;
using drivetest::ReadFileBytes;
using drivetest::ReadSettingsFile;
using drivetest::SetReadOnly;
using drivetest::SettingsPath;
using drivetest::StateOf;
using drivetest::StoreCopyPath;
using drivetest::WriteFileBytes;
using drivetest::WriteSettingsFile;

namespace {

std::string Golden(const char* name) {
    std::ifstream in(simtest::BinDir() + "golden\\" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A profile file from lines, each ended with CR LF.
std::string Profile(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* line : lines) s += std::string(line) + "\r\n";
    return s;
}

std::string OneAdapter(const std::string& devices) {
    return "[bus]\nadapters=1\n[adapter.0]\ntargets=8\n" + devices;
}

const char* const kSpeeds = "706,1411,2822,4234,5645,7056";

// Drive X and drive Y on targets 0 and 1.
std::string TwoDrives() {
    return OneAdapter(CdromSection(0, 0, "SIMDISC", "CD-ROM X", "1.00", kSpeeds, "inactivity=3\n") +
                      CdromSection(0, 1, "SIMDISC", "CD-ROM Y", "2.00", kSpeeds, "inactivity=4\n"));
}

void SetDrive(DriveEntry& d, std::uint8_t target, const char* vendor, const char* product,
              const char* version, std::initializer_list<std::uint16_t> speeds,
              std::uint16_t current, std::uint8_t spinDown) {
    std::memset(&d, 0, sizeof d);
    d.targetId = target;
    std::strcpy(d.vendor, vendor);
    std::strcpy(d.product, product);
    std::strcpy(d.version, version);
    for (std::uint16_t s : speeds) d.speeds[d.speedCount++] = s;
    d.currentSpeed = current;
    d.maxSpeed = 7056;
    d.spinDown = spinDown;
}

// A state with every setting away from its default, and three drives: one
// with speeds, one without, one skipped whose current speed is listed twice.
void KnownState(AppState& s) {
    s.aspiDll = "NEROASPI.DLL";
    s.update = 0;
    s.mediaControl = 1;
    s.useOpenClose = 1;
    s.openCloseTimer = 30;
    s.useLock = 1;
    s.useKeyboardHook = 1;
    s.swapMenu = 1;
    s.balloonAll = 0;
    s.balloonAuto = 1;
    s.noErrorMessage = 1;
    s.iconType = 8;
    s.menuOpen = "開く";
    s.menuClose = "Close";
    s.menuEject = "取り出し";
    s.menuOpenClose = "自動開閉";
    s.menuLock = "ロック";
    s.menuUnlock = "解除";
    s.driveCount = 3;
    SetDrive(s.drives[0], 0, "SIMDISC", "CD-ROM X", "1.00", {706, 1411, 2822, 4234}, 2822, 10);
    SetDrive(s.drives[1], 1, "EMPTY", "NO SPEEDS", "0.1", {}, 0, 5);
    SetDrive(s.drives[2], 3, "", "", "", {706, 1411, 1411}, 1411, 0);
    s.skip[0] = 0;
    s.skip[1] = 1;
    s.skip[2] = 2;
}

class Settings : public drivetest::DriveFixture {};

TEST_F(Settings, FirstStartWithoutAFile) {
    EXPECT_EQ(Profile({"[COMMON]", "ASPIDLL=WNASPI32.DLL"}), ReadSettingsFile());
    LoadSettings(cdromDevice);
    EXPECT_EQ(Profile({"[COMMON]", "ASPIDLL=WNASPI32.DLL"}), ReadSettingsFile());

    const AppState& s = *appState;
    EXPECT_EQ(1, s.update);
    EXPECT_EQ(0, s.mediaControl);
    EXPECT_EQ(0, s.useOpenClose);
    EXPECT_EQ(10u, s.openCloseTimer);
    EXPECT_EQ(0, s.useLock);
    EXPECT_EQ(0, s.useKeyboardHook);
    EXPECT_EQ(0, s.swapMenu);
    EXPECT_EQ(1, s.balloonAll);
    EXPECT_EQ(0, s.balloonAuto);
    EXPECT_EQ(0, s.noErrorMessage);
    EXPECT_EQ(0u, s.iconType);
    EXPECT_TRUE(appState->menuOpen == "\x8a\x4a\x82\xaf\x82\xe9");  // 開ける in Shift-JIS
    EXPECT_TRUE(appState->menuClose == "閉じる");
    EXPECT_TRUE(appState->menuEject == "取り出し");
    EXPECT_TRUE(appState->menuOpenClose == "自動開閉");
    EXPECT_TRUE(appState->menuLock == "ロック");
    EXPECT_TRUE(appState->menuUnlock == "アンロック");
    EXPECT_STREQ("WNASPI32.DLL", appState->aspiDll.String(0));
}

TEST_F(Settings, SaveWritesTheGoldenFile) {
    WriteSettingsFile("(none)");
    KnownState(*appState);
    SaveSettings();
    const std::string golden = Golden("settings.ini");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(golden, ReadSettingsFile());
}

TEST_F(Settings, SaveKeepsWhatItDoesNotWrite) {
    // An old section of a vanished drive, an old Speed of a drive whose
    // current speed is not listed, and an unknown key all stay.
    WriteSettingsFile(Profile({"[CDROM00]", "Speed=2", "Extra=yes", "[CDROM09]", "Skip=1"}));
    KnownState(*appState);
    appState->drives[0].currentSpeed = 999;
    SaveSettings();
    const std::string file = ReadSettingsFile();
    EXPECT_NE(std::string::npos,
              file.find(Profile({"[CDROM00]", "Speed=2", "Extra=yes", "Skip=0", "Vendor=SIMDISC",
                                 "Product=CD-ROM X", "Version=1.00", "SpinDown=0x0a"})))
        << file;
    EXPECT_NE(std::string::npos, file.find(Profile({"[CDROM09]", "Skip=1"}))) << file;
}

TEST_F(Settings, SaveAndLoadThroughFreshObjects) {
    Bind(TwoDrives());
    KnownState(*appState);
    RescanDrives(nullptr);  // the table of the two real drives
    ASSERT_EQ(2u, appState->driveCount);
    appState->skip[0] = 0;
    appState->skip[1] = 0;
    ApplySpeed(cdromDevice, 0, 2);  // 2822
    appState->drives[0].spinDown = 12;
    ApplySpinDown(cdromDevice, 0);
    ApplySpeed(cdromDevice, 1, 0);  // 706
    appState->drives[1].spinDown = 0;
    ApplySpinDown(cdromDevice, 1);
    appState->menuLock = "";
    SaveSettings();

    // A new process: new state record, new bus, drives at their own speeds.
    Unbind();
    DestroyAppState();
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    Bind(TwoDrives());
    RescanDrives(nullptr);
    ASSERT_EQ(7056, appState->drives[0].currentSpeed);
    LoadSettings(cdromDevice);

    const AppState& s = *appState;
    EXPECT_STREQ("NEROASPI.DLL", appState->aspiDll.String(0));
    EXPECT_EQ(0, s.update);
    EXPECT_EQ(1, s.mediaControl);
    EXPECT_EQ(1, s.useOpenClose);
    EXPECT_EQ(30u, s.openCloseTimer);
    EXPECT_EQ(1, s.useLock);
    EXPECT_EQ(1, s.useKeyboardHook);
    EXPECT_EQ(1, s.swapMenu);
    EXPECT_EQ(0, s.balloonAll);
    EXPECT_EQ(1, s.balloonAuto);
    EXPECT_EQ(1, s.noErrorMessage);
    EXPECT_EQ(8u, s.iconType);
    EXPECT_TRUE(appState->menuOpen == "開く");
    EXPECT_TRUE(appState->menuClose == "Close");
    EXPECT_TRUE(appState->menuLock == "ロック");  // saved empty: key gone, default back
    EXPECT_TRUE(appState->menuUnlock == "解除");
    EXPECT_EQ(2822, s.drives[0].currentSpeed);
    EXPECT_EQ(12, s.drives[0].spinDown);
    EXPECT_EQ(706, s.drives[1].currentSpeed);
    EXPECT_EQ(0, s.drives[1].spinDown);
    EXPECT_EQ("2822", StateOf(*sim, "0:0:0", "speed"));
    EXPECT_EQ("12", StateOf(*sim, "0:0:0", "inactivity"));
    EXPECT_EQ("706", StateOf(*sim, "0:1:0", "speed"));
    EXPECT_EQ("0", StateOf(*sim, "0:1:0", "inactivity"));
}

TEST_F(Settings, OpenCloseTimerAndIconTypeBounds) {
    struct Case {
        const char* timer;  // null: key missing
        std::uint32_t wantTimer;
        const char* icon;
        std::uint32_t wantIcon;
    };
    const Case cases[] = {
        {nullptr, 10, nullptr, 0}, {"2", 5, "9", 0},     {"1000", 360, "8", 8},
        {"5", 5, "0", 0},          {"360", 360, "7", 7}, {"4", 5, "4294967295", 0},
        {"361", 360, "-1", 0},     {"0", 5, "0x08", 8},  {"-1", 360, "100", 0},
    };
    for (const Case& c : cases) {
        std::string file = "[COMMON]\r\n";
        if (c.timer) file += std::string("OpenCloseTimer=") + c.timer + "\r\n";
        if (c.icon) file += std::string("IconType=") + c.icon + "\r\n";
        WriteSettingsFile(file);
        appState->openCloseTimer = 77;
        appState->iconType = 3;
        LoadSettings(cdromDevice);
        EXPECT_EQ(c.wantTimer, appState->openCloseTimer) << (c.timer ? c.timer : "missing");
        EXPECT_EQ(c.wantIcon, appState->iconType) << (c.icon ? c.icon : "missing");
    }
}

// Held open by another program with no sharing, as an editor or a virus
// scanner may: the profile functions would read every value as its default.
HANDLE HoldSettingsFile() {
    return CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(Settings, AFileThatCannotBeReadIsNeitherTakenAsDefaultsNorOverwritten) {
    const std::string file = Profile({"[COMMON]", "ASPIDLL=NEROASPI.DLL", "Update=0",
                                      "OpenCloseTimer=30", "[Menu]", "Open=OPEN"});
    WriteSettingsFile(file);
    LoadSettings(cdromDevice);
    HANDLE held = HoldSettingsFile();
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    appState->useLock = 1;  // changed since: what is in force stays
    LoadSettings(cdromDevice);
    EXPECT_EQ(0, appState->update);
    EXPECT_EQ(30u, appState->openCloseTimer);
    EXPECT_EQ(1, appState->useLock);
    EXPECT_TRUE(appState->menuOpen == "OPEN");
    SaveSettings();
    CloseHandle(held);
    EXPECT_EQ(file, ReadSettingsFile());
    ASSERT_EQ(1u, boxes->Count());
    EXPECT_EQ("設定ファイルを読み込めなかったため、設定を書き込みませんでした。",
              boxes->Boxes()[0].text);
    EXPECT_EQ("エラー情報", boxes->Boxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR),
              boxes->Boxes()[0].style);

    // Readable again: the next load takes the file, and saving works.
    LoadSettings(cdromDevice);
    EXPECT_EQ(0, appState->useLock);
    SaveSettings();
    EXPECT_EQ(1u, boxes->Count());
    EXPECT_NE(std::string::npos, ReadSettingsFile().find("UseLock=0\r\n"));
}

TEST_F(Settings, AFileUnreadableFromTheStartKeepsItsLibraryName) {
    const std::string file = Profile({"[COMMON]", "ASPIDLL=NEROASPI.DLL", "Update=0"});
    WriteSettingsFile(file);
    DestroyAppState();
    HANDLE held = HoldSettingsFile();
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_TRUE(appState->aspiDll == "WNASPI32.DLL");  // bound for now, never written
    LoadSettings(cdromDevice);
    EXPECT_EQ(1, appState->update);  // the defaults, as for a first start
    EXPECT_EQ(10u, appState->openCloseTimer);
    EXPECT_TRUE(appState->menuOpen == "開ける");
    SaveSettings();
    CloseHandle(held);
    EXPECT_EQ(file, ReadSettingsFile());
    EXPECT_EQ(1u, boxes->Count());

    LoadSettings(cdromDevice);
    EXPECT_TRUE(appState->aspiDll == "NEROASPI.DLL");
    EXPECT_EQ(0, appState->update);
    SaveSettings();
    EXPECT_NE(std::string::npos, ReadSettingsFile().find("ASPIDLL=NEROASPI.DLL\r\n"));
}

TEST_F(Settings, ASecondLoadGivesVanishedKeysTheirDefaults) {
    WriteSettingsFile(Profile({"[COMMON]", "Update=0", "SwapMenu=1", "OpenCloseTimer=30",
                               "IconType=3", "[Menu]", "Open=OPEN", "Unlock=UN"}));
    LoadSettings(cdromDevice);
    EXPECT_EQ(0, appState->update);
    WriteSettingsFile(Profile({"[COMMON]"}));
    LoadSettings(cdromDevice);
    EXPECT_EQ(1, appState->update);
    EXPECT_EQ(0, appState->swapMenu);
    EXPECT_EQ(10u, appState->openCloseTimer);
    EXPECT_EQ(0u, appState->iconType);
    EXPECT_TRUE(appState->menuOpen == "開ける");
    EXPECT_TRUE(appState->menuUnlock == "アンロック");
}

// Menu texts are Shift-JIS: 29 bytes are kept whole, and a longer text is
// cut without leaving half a character.
TEST_F(Settings, ShiftJisMenuTextsAtTheLimit) {
    std::string fourteen;
    for (int i = 0; i < 14; ++i) fourteen += "\x82\xa0";  // あ
    const std::string fifteen = fourteen + "\x82\xa0";
    WriteSettingsFile("[Menu]\r\nOpen=" + fourteen + "A\r\nClose=" + fifteen + "\r\nEject=A" +
                      fourteen + "\r\n");
    LoadSettings(cdromDevice);
    EXPECT_EQ(fourteen + "A", std::string(appState->menuOpen.String(0)));
    EXPECT_EQ(fourteen, std::string(appState->menuClose.String(0)));
    EXPECT_EQ("A" + fourteen, std::string(appState->menuEject.String(0)));
}

TEST_F(Settings, OtherIntegersAreStoredUnchanged) {
    WriteSettingsFile(Profile(
        {"[COMMON]", "Update=7", "MediaControl=-3", "BalloonAll=0", "NoErrorMessage=0x10"}));
    LoadSettings(cdromDevice);
    EXPECT_EQ(7, appState->update);
    EXPECT_EQ(-3, appState->mediaControl);
    EXPECT_EQ(0, appState->balloonAll);
    EXPECT_EQ(16, appState->noErrorMessage);
}

TEST_F(Settings, MenuTexts) {
    // Empty loads as empty; 40 bytes load as the first 29.
    WriteSettingsFile(
        Profile({"[Menu]", "Open=", "Close=0123456789012345678901234567890123456789"}));
    LoadSettings(cdromDevice);
    EXPECT_EQ(0u, appState->menuOpen.Length());
    EXPECT_STREQ("01234567890123456789012345678", appState->menuClose.String(0));
    EXPECT_TRUE(appState->menuEject == "取り出し");

    // Saving an empty text removes its key; the next load gives the default.
    SaveSettings();
    const std::string file = ReadSettingsFile();
    EXPECT_EQ(std::string::npos, file.find("Open=")) << file;
    EXPECT_NE(std::string::npos, file.find("OpenClose=")) << file;
    LoadSettings(cdromDevice);
    EXPECT_TRUE(appState->menuOpen == "開ける");
}

// The Language key: its two names, in any case; anything else, or none,
// follows Windows (Japanese in this test's locale). A save writes the name
// after IconType, or leaves no key.
TEST_F(Settings, TheLanguageKey) {
    const struct {
        const char* line;
        std::int32_t setting;
        UiLanguage inForce;
        const char* saved;
    } cases[] = {
        {nullptr, LANGUAGE_WINDOWS, UiLanguage::Japanese, nullptr},
        {"Language=Japanese", LANGUAGE_JAPANESE, UiLanguage::Japanese, "Language=Japanese\r\n"},
        {"Language=English", LANGUAGE_ENGLISH, UiLanguage::English, "Language=English\r\n"},
        {"Language=eNGLISH", LANGUAGE_ENGLISH, UiLanguage::English, "Language=English\r\n"},
        {"Language=Klingon", LANGUAGE_WINDOWS, UiLanguage::Japanese, nullptr},
        {"Language=", LANGUAGE_WINDOWS, UiLanguage::Japanese, nullptr},
        {"Language=2", LANGUAGE_WINDOWS, UiLanguage::Japanese, nullptr},
    };
    for (const auto& c : cases) {
        WriteSettingsFile(c.line ? Profile({"[COMMON]", "Update=1", c.line})
                                 : Profile({"[COMMON]", "Update=1"}));
        LoadSettings(cdromDevice);
        EXPECT_EQ(c.setting, appState->language) << (c.line ? c.line : "(none)");
        EXPECT_EQ(c.inForce, CurrentUiLanguage()) << (c.line ? c.line : "(none)");
        SaveSettings();
        const std::string file = ReadSettingsFile();
        if (c.saved)
            EXPECT_NE(std::string::npos, file.find(std::string("Update=1\r\n") + c.saved)) << file;
        else
            EXPECT_EQ(std::string::npos, file.find("Language")) << file;
    }
    // Chosen in the program: the key follows IconType.
    WriteSettingsFile("(none)");
    LoadSettings(cdromDevice);
    appState->language = LANGUAGE_ENGLISH;
    SaveSettings();
    EXPECT_NE(std::string::npos,
              ReadSettingsFile().find("IconType=0\r\nLanguage=English\r\n[Menu]"));
    // The key alone decides the start-up's texts, before any load.
    DestroyAppState();
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_EQ(LANGUAGE_ENGLISH, appState->language);
    EXPECT_EQ(UiLanguage::English, CurrentUiLanguage());
    WriteSettingsFile("(none)");
    LoadSettings(cdromDevice);
    EXPECT_EQ(UiLanguage::Japanese, CurrentUiLanguage());
}

// A media item's default text, stored in either language, shows in the
// language in use, so no save freezes a default; a renamed one shows as
// written, and so does an emptied one.
TEST_F(Settings, MediaItemDefaultsFollowTheLanguageRenamedOnesStay) {
    const struct {
        const char* stored;
        UiLanguage language;
        const char* shown;
    } cases[] = {
        {"開ける", UiLanguage::Japanese, "開ける"},
        {"開ける", UiLanguage::English, "Open tray"},
        {"Open tray", UiLanguage::Japanese, "開ける"},
        {"Open tray", UiLanguage::English, "Open tray"},
        {"開く", UiLanguage::English, "開く"},
        {"open tray", UiLanguage::Japanese, "open tray"},
        {"", UiLanguage::English, ""},
    };
    for (const auto& c : cases) {
        appState->menuOpen = c.stored;
        UseUiLanguage(c.language);
        EXPECT_STREQ(c.shown, MediaItemText(appState->menuOpen, IDS_MENU_OPEN)) << c.stored;
    }
    UseUiLanguage(UiLanguage::Japanese);
    const char* japanese[] = {"開ける", "閉じる", "取り出し", "自動開閉", "ロック", "アンロック"};
    const char* english[] = {"Open tray",        "Close tray", "Eject",
                             "Open, then close", "Lock tray",  "Unlock tray"};
    for (unsigned i = 0; i < 6; ++i) {
        EXPECT_STREQ(japanese[i], UiTextIn(UiLanguage::Japanese, IDS_MENU_OPEN + i));
        EXPECT_STREQ(english[i], UiTextIn(UiLanguage::English, IDS_MENU_OPEN + i));
    }
    // A file without a [Menu] section loads the Japanese defaults whatever
    // the language, and a save writes them as an earlier korvex did.
    WriteSettingsFile(Profile({"[COMMON]", "Language=English"}));
    LoadSettings(cdromDevice);
    EXPECT_TRUE(appState->menuOpen == "開ける");
    SaveSettings();
    EXPECT_NE(std::string::npos,
              ReadSettingsFile().find("[Menu]\r\nOpen=開ける\r\nClose=閉じる\r\n"));
    EXPECT_STREQ("Open tray", MediaItemText(appState->menuOpen, IDS_MENU_OPEN));
}

class SettingsOnDrives : public drivetest::DriveFixture {
protected:
    // Binds the bus, rescans, writes the file and loads it; the log then
    // holds only what loading sent.
    void Load(const std::string& bus, const std::string& file) {
        Bind(bus);
        RescanDrives(nullptr);
        WriteSettingsFile(file);
        sim->ClearLog();
        LoadSettings(cdromDevice);
    }
};

TEST_F(SettingsOnDrives, AMatchingSectionSetsSpeedAndSpinDown) {
    Load(TwoDrives(), Profile({"[CDROM01]", "Skip=0", "Vendor=SIMDISC", "Product=CD-ROM Y",
                               "Version=2.00", "Speed=1", "SpinDown=0x0a"}));
    EXPECT_EQ(
        (std::vector<std::string>{"0:1 bb000583ffff000000000000", "0:1 5a002a000000000100000000",
                                  "0:1 551000000000000010000000", "0:1 5a000d000000000100000000"}),
        Cdbs(*sim));
    EXPECT_EQ(1411, appState->drives[1].currentSpeed);
    EXPECT_EQ(10, appState->drives[1].spinDown);
    EXPECT_EQ("10", StateOf(*sim, "0:1:0", "inactivity"));
    EXPECT_EQ(3, appState->drives[0].spinDown);  // no section: the default 0 does not match
}

TEST_F(SettingsOnDrives, TheSameDriveAtAnotherPositionTakesOnlyTheSkip) {
    // Drive Y's section is at position 1, but Y is alone and at position 0.
    const std::string bus =
        OneAdapter(CdromSection(0, 4, "SIMDISC", "CD-ROM Y", "2.00", kSpeeds, "inactivity=4\n"));
    appState->skip[1] = 0;
    Load(bus, Profile({"[CDROM00]", "Skip=0", "Vendor=SIMDISC", "Product=CD-ROM X", "Version=1.00",
                       "Speed=0", "SpinDown=0x01", "[CDROM01]", "Skip=2", "Vendor=SIMDISC",
                       "Product=CD-ROM Y", "Version=2.00", "Speed=1", "SpinDown=0x0a"}));
    EXPECT_TRUE(Cdbs(*sim).empty());
    EXPECT_EQ(0u, appState->skip[0]);
    EXPECT_EQ(0u, appState->skip[1]);  // position 1 has no drive now
    EXPECT_EQ(7056, appState->drives[0].currentSpeed);

    WriteSettingsFile(Profile({"[CDROM00]", "Skip=2", "Vendor=SIMDISC", "Product=CD-ROM Y",
                               "Version=2.00", "Speed=1", "SpinDown=0x0a"}));
    LoadSettings(cdromDevice);
    EXPECT_EQ(2u, appState->skip[0]);
    EXPECT_TRUE(Cdbs(*sim).empty());
}

TEST_F(SettingsOnDrives, ASkippedDriveIsLeftAloneAndItsSkipSaved) {
    Load(TwoDrives(), Profile({"[CDROM00]", "Skip=1", "Vendor=SIMDISC", "Product=CD-ROM X",
                               "Version=1.00", "Speed=0", "SpinDown=0x0a"}));
    EXPECT_TRUE(Cdbs(*sim).empty());
    EXPECT_EQ(1u, appState->skip[0]);
    EXPECT_EQ(3, appState->drives[0].spinDown);

    SaveSettings();
    EXPECT_NE(std::string::npos,
              ReadSettingsFile().find(Profile({"[CDROM00]", "Skip=1", "Vendor=SIMDISC"})))
        << ReadSettingsFile();
}

TEST_F(SettingsOnDrives, OutOfRangeSpeedAndSpinDownAreIgnored) {
    const std::string bus = OneAdapter(CdromSection(
        0, 0, "SIMDISC", "THREE", "1.00", "706,1411,2822", "current_speed=1411\ninactivity=6\n"));
    for (const char* spin : {"16", "0x10", "-1"}) {
        Load(bus,
             Profile({"[CDROM00]", "Vendor=SIMDISC", "Product=THREE", "Version=1.00", "Speed=3"}) +
                 "SpinDown=" + spin + "\r\n");
        EXPECT_TRUE(Cdbs(*sim).empty()) << spin;
        EXPECT_EQ(1411, appState->drives[0].currentSpeed);
        EXPECT_EQ(6, appState->drives[0].spinDown) << spin;
    }
    // Speed missing (no speed), SpinDown 2 in decimal: only the spin-down.
    Load(bus,
         Profile({"[CDROM00]", "Vendor=SIMDISC", "Product=THREE", "Version=1.00", "SpinDown=2"}));
    const auto cdbs = Cdbs(*sim);
    ASSERT_EQ(2u, cdbs.size());
    EXPECT_EQ("0:0 55", cdbs[0].substr(0, 6));
    EXPECT_EQ("2", StateOf(*sim, "0:0:0", "inactivity"));
    // Speed 2, the last of three: set.
    Load(bus, Profile({"[CDROM00]", "Vendor=SIMDISC", "Product=THREE", "Version=1.00", "Speed=2",
                       "SpinDown=0x10"}));
    EXPECT_EQ(2822, appState->drives[0].currentSpeed);
    EXPECT_EQ("2822", StateOf(*sim, "0:0:0", "speed"));
}

TEST_F(SettingsOnDrives, TextsMustMatchExactly) {
    for (const char* product : {"cd-rom x", "CD-ROM", "CD-ROM  X", "CD-ROM XX"}) {
        Load(TwoDrives(), Profile({"[CDROM00]", "Vendor=SIMDISC", "Version=1.00", "Speed=0"}) +
                              "Product=" + product + "\r\n");
        EXPECT_TRUE(Cdbs(*sim).empty()) << product;
    }
}

// A stored speed comes back at the next start: the drive's section matches
// although the profile functions drop blanks and quotes around its texts.
TEST_F(SettingsOnDrives, TextsWithBlanksOrQuotesAroundThemStillMatch) {
    const struct {
        const char* vendor;
        const char* product;
    } cases[] = {
        {"\\x20SIMDISC", "\\x20\\x20LEADING"},
        {"SIMDISC", "\"QUOTED\""},
        {"'SIM'", "'SINGLE'"},
        {"SIMDISC", "\"\\x20BOTH\\x20\""},
        {"SIMDISC", "A\"B"},
        {"\"SIM", "\\x09TAB\\x09X"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.product);
        WriteSettingsFile("(none)");
        Bind(OneAdapter(CdromSection(0, 0, c.vendor, c.product, "1.00", kSpeeds)));
        RescanDrives(nullptr);
        ApplySpeed(cdromDevice, 0, 1);
        SaveSettings();
        ApplySpeed(cdromDevice, 0, 3);
        ASSERT_EQ("4234", StateOf(*sim, "0:0:0", "speed"));
        LoadSettings(cdromDevice);
        EXPECT_EQ("1411", StateOf(*sim, "0:0:0", "speed")) << ReadSettingsFile();
    }
}

// Control bytes in INQUIRY texts never change the structure of the file.
TEST_F(SettingsOnDrives, DeviceTextsCannotAddLinesToTheFile) {
    Bind(OneAdapter(CdromSection(0, 0, "\\x0a[COMMON", "X\\x0d\\x0aASPIDLL=EVIL",
                                 "1\\x7f\\x01\\x1f", kSpeeds)));
    RescanDrives(nullptr);
    ASSERT_EQ(1u, appState->driveCount);
    EXPECT_STREQ("?[COMMON", appState->drives[0].vendor);
    EXPECT_STREQ("X??ASPIDLL=EVIL", appState->drives[0].product);
    EXPECT_STREQ("1???", appState->drives[0].version);
    appState->aspiDll = "SAFE.DLL";
    ApplySpeed(cdromDevice, 0, 1);
    SaveSettings();
    const std::string file = ReadSettingsFile();
    EXPECT_EQ(0u, file.find("[COMMON]\r\nASPIDLL=SAFE.DLL\r\n")) << file;
    EXPECT_EQ(file.find("[COMMON]"), file.rfind("[COMMON]")) << file;
    EXPECT_EQ(std::string::npos, file.find("\nASPIDLL=EVIL")) << file;
    EXPECT_NE(std::string::npos, file.find("\r\nVendor=?[COMMON\r\nProduct=X??ASPIDLL=EVIL\r\n"
                                           "Version=1???\r\n"))
        << file;
    // The same drive finds its own section again.
    RescanDrives(nullptr);
    ApplySpeed(cdromDevice, 0, 3);
    LoadSettings(cdromDevice);
    EXPECT_EQ("1411", StateOf(*sim, "0:0:0", "speed"));
}

TEST_F(SettingsOnDrives, ADriveWithoutSpeedsHasNoSection) {
    Bind(TwoDrives());
    RescanDrives(nullptr);
    appState->drives[0].speedCount = 0;
    const std::string file = Profile({"[CDROM00]", "Skip=2", "Vendor=SIMDISC", "Product=CD-ROM X",
                                      "Version=1.00", "Speed=0", "SpinDown=0x0a"});
    WriteSettingsFile(file);
    sim->ClearLog();
    appState->skip[0] = 1;
    LoadSettings(cdromDevice);
    EXPECT_TRUE(Cdbs(*sim).empty());
    EXPECT_EQ(1u, appState->skip[0]);

    SaveSettings();
    const std::string saved = ReadSettingsFile();
    EXPECT_EQ(0u, saved.find(file)) << saved;  // the section as it was
    EXPECT_NE(std::string::npos, saved.find("[CDROM01]")) << saved;
}

TEST_F(SettingsOnDrives, EmptyTextsMatchAMissingSection) {
    Load(OneAdapter("[device.0.0]\ntype=5\nvendor=\nproduct=\nrevision=\nspeeds=706,1411\n"
                    "inactivity=7\n"),
         Profile({"[COMMON]", "Update=1"}));
    ASSERT_EQ(1u, appState->driveCount);
    ASSERT_STREQ("", appState->drives[0].vendor);
    const auto cdbs = Cdbs(*sim);
    ASSERT_EQ(2u, cdbs.size());  // no speed; spin-down code 0
    EXPECT_EQ("0:0 55", cdbs[0].substr(0, 6));
    EXPECT_EQ("0", StateOf(*sim, "0:0:0", "inactivity"));
    EXPECT_EQ(0, appState->drives[0].spinDown);
    EXPECT_EQ(1411, appState->drives[0].currentSpeed);
}

// Where the Windows folder's file is refused (a standard user of Windows
// Vista and later), the 64-bit build keeps the per-user copy that Windows
// keeps for the 32-bit one.
class SettingsStore : public drivetest::DriveFixture {
protected:
    void TearDown() override {
        SetReadOnly(SettingsPath(), false);
        SetReadOnly(StoreCopyPath(), false);
        DriveFixture::TearDown();
    }

    // What a save of the known state writes into a file that held before.
    std::string SavedOver(const std::string& before) {
        WriteSettingsFile(before);
        KnownState(*appState);
        SaveSettings();
        const std::string saved = ReadSettingsFile();
        WriteSettingsFile("(none)");
        return saved;
    }

    const std::string before =
        Profile({"[COMMON]", "ASPIDLL=OTHER.DLL", "Update=1", "[CDROM09]", "Skip=1"});
};

TEST_F(SettingsStore, TheCopyIsWhereWindowsKeepsItForA32BitProgram) {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    ASSERT_STREQ("C:\\windows", windows);
    char local[MAX_PATH] = {};
    ASSERT_NE(0u, GetEnvironmentVariableA("LOCALAPPDATA", local, MAX_PATH));
    EXPECT_EQ(std::string(local) + "\\VirtualStore\\windows\\KORVEX.INI", StoreCopyPath());
    // The 64-bit build keeps the copy itself; for the 32-bit one Windows does.
    EXPECT_EQ(sizeof(void*) == 8, OWN_VIRTUAL_STORE);
}

TEST_F(SettingsStore, ARefusedSaveLandsInTheCopyWhichTheNextStartReads) {
    if (!OWN_VIRTUAL_STORE) {
        // The 32-bit build leaves the copy to Windows' own redirection, which
        // Wine does not do: refused here, the save is told and makes no copy.
        WriteSettingsFile(before);
        ASSERT_TRUE(SetReadOnly(SettingsPath(), true));
        KnownState(*appState);
        SaveSettings();
        EXPECT_EQ(1u, boxes->Count());
        EXPECT_EQ(before, ReadSettingsFile());
        EXPECT_EQ("(none)", ReadFileBytes(StoreCopyPath()));
        SetReadOnly(SettingsPath(), false);
        return;
    }
    const std::string expected = SavedOver(before);
    ASSERT_NE(std::string::npos, expected.find("[CDROM09]\r\nSkip=1\r\n")) << expected;

    WriteSettingsFile(before);
    ASSERT_TRUE(SetReadOnly(SettingsPath(), true));
    KnownState(*appState);
    SaveSettings();
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_EQ(before, ReadSettingsFile());
    // The copy began as the refused file: what the save did not write stays.
    EXPECT_EQ(expected, ReadFileBytes(StoreCopyPath()));

    // The next start: library name and settings from the copy.
    DestroyAppState();
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_TRUE(appState->aspiDll == "NEROASPI.DLL");
    LoadSettings(cdromDevice);
    EXPECT_EQ(0, appState->update);
    EXPECT_EQ(30u, appState->openCloseTimer);
    EXPECT_TRUE(appState->menuUnlock == "解除");

    // Once there, the copy is the file, even where the original could be
    // written again: a later save goes to it as well.
    ASSERT_TRUE(SetReadOnly(SettingsPath(), false));
    appState->useLock = 0;
    SaveSettings();
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_EQ(before, ReadSettingsFile());
    EXPECT_NE(std::string::npos, ReadFileBytes(StoreCopyPath()).find("UseLock=0\r\n"));
}

// A user of the 32-bit build whose settings Windows keeps in the copy keeps
// them on moving to the 64-bit build.
TEST_F(SettingsStore, ACopyLeftByThe32BitBuildIsReadAndWritten) {
    if (!OWN_VIRTUAL_STORE) GTEST_SKIP() << "the 64-bit build's own";
    WriteSettingsFile(Profile({"[COMMON]", "ASPIDLL=WNASPI32.DLL", "SwapMenu=0"}));
    WriteFileBytes(StoreCopyPath(), Profile({"[COMMON]", "ASPIDLL=NEROASPI.DLL", "SwapMenu=1"}));
    DestroyAppState();
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_TRUE(appState->aspiDll == "NEROASPI.DLL");
    LoadSettings(cdromDevice);
    EXPECT_EQ(1, appState->swapMenu);
    appState->iconType = 5;
    SaveSettings();
    EXPECT_EQ(Profile({"[COMMON]", "ASPIDLL=WNASPI32.DLL", "SwapMenu=0"}), ReadSettingsFile());
    EXPECT_NE(std::string::npos, ReadFileBytes(StoreCopyPath()).find("IconType=5\r\n"));
}

// Nowhere to write: an error box that the "no error messages" setting does
// not silence, and both files as they were.
TEST_F(SettingsStore, ASaveNoFileTakesIsToldAndChangesNothing) {
    struct Case {
        const char* name;
        bool copyExists;  // else its folder cannot be made
    } cases[] = {{"the copy refused too", true}, {"no copy can be made", false}};
    char local[MAX_PATH] = {};
    ASSERT_NE(0u, GetEnvironmentVariableA("LOCALAPPDATA", local, MAX_PATH));
    const std::string storeFolder = std::string(local) + "\\VirtualStore";
    const std::string copy = Profile({"[COMMON]", "Update=1"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes->Clear();
        WriteSettingsFile(before);
        ASSERT_TRUE(SetReadOnly(SettingsPath(), true));
        if (c.copyExists) {
            WriteFileBytes(StoreCopyPath(), copy);
            ASSERT_TRUE(SetReadOnly(StoreCopyPath(), true));
        } else {
            // A file where the copy's first folder would go.
            WriteFileBytes(StoreCopyPath(), "(none)");
            RemoveDirectoryA((storeFolder + "\\windows").c_str());
            RemoveDirectoryA(storeFolder.c_str());
            ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(storeFolder.c_str()));
            WriteFileBytes(storeFolder, "not a folder");
        }
        KnownState(*appState);
        SaveSettings();
        ASSERT_EQ(1u, boxes->Count());
        EXPECT_EQ("設定ファイル KORVEX.INI に書き込めなかったため、設定を保存できませんでした。",
                  boxes->Boxes()[0].text);
        EXPECT_EQ("設定ファイル KORVEX.INI に書き込めなかったため、設定を保存できませんでした。",
                  boxes->Boxes()[0].text);
        EXPECT_EQ("エラー情報", boxes->Boxes()[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR),
                  boxes->Boxes()[0].style);
        EXPECT_EQ(before, ReadSettingsFile());
        EXPECT_EQ(c.copyExists ? copy : "(none)", ReadFileBytes(StoreCopyPath()));
        SetReadOnly(SettingsPath(), false);
        SetReadOnly(StoreCopyPath(), false);
        if (!c.copyExists) DeleteFileA(storeFolder.c_str());
    }
}

}  // namespace
