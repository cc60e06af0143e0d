// The version dialog under Wine, created modeless from the program's own
// template and read back through its controls: the title lines, the drive
// list and the ASPI32 list, row by row and cell by cell; then closed with
// each kind of command, and opened over an owner as the settings dialog will.
#include "version_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sjis_text.h"
#include "test_language.h"
#include "text_fit.h"
#include "appstate.h"
#include "drive_fixture.h"
#include "drive_table.h"
#include "program_objects.h"
#include "resource_ids.h"
#include "ui_text.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using simtest::Library;
using testsupport::Say;

struct Column {
    std::string title;
    int width;
    bool operator==(const Column& other) const {
        return title == other.title && width == other.width;
    }
};

const std::vector<Column> kDriveColumns = {
    {Say("HA:ID"), 50},    {Say("VENDOR"), 70}, {Say("PRODUCT"), 120},       {Say("VERSION"), 60},
    {Say("SPINDOWN"), 70}, {Say("SPEED"), 50},  {Say("SUPPORT SPEEDS"), 300}};
const std::vector<Column> kAspiColumns = {{Say("ITEM"), 170}, {Say("VALUE"), 200}};

const std::vector<std::string> kEntries = {
    "GetASPI32SupportInfo()", "SendASPI32Command()",      "GetASPI32Buffer()",
    "FreeASPI32Buffer()",     "TranslateASPI32Address()", "GetASPI32DLLVersion()",
    "ScsiRescan()",           "RegisterASPI32Client()",   "ReScanAdapters()"};

const char* const kSimDescription = "korvex 模擬 ASPI32 バス";

// Texts are read back as Unicode, as Shift-JIS for the comparisons.
std::string ItemText(HWND dialog, int id) {
    return testsupport::WindowText(GetDlgItem(dialog, id));
}

// Every column's title and width; each is left-aligned and its own sub-item.
std::vector<Column> Columns(HWND list) {
    std::vector<Column> out;
    for (int i = 0;; ++i) {
        wchar_t wide[64] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = wide;
        column.cchTextMax = 64;
        if (!SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column))) break;
        const std::string title = testsupport::Sjis(wide);
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK) << title;
        EXPECT_EQ(i, column.iSubItem) << title;
        out.push_back({title, column.cx});
    }
    return out;
}

Rows Cells(HWND list) {
    const int columns = static_cast<int>(Columns(list).size());
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    Rows rows;
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < columns; ++column) {
            wchar_t text[512] = {};
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 512;
            SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            cells.push_back(testsupport::Sjis(text));
        }
        rows.push_back(cells);
    }
    return rows;
}

void CopyText(char (&to)[DRIVE_TEXT_SIZE], const char* text) {
    std::memcpy(to, text, std::min(std::strlen(text), std::size_t(DRIVE_TEXT_SIZE)));
}

DriveEntry Drive(std::uint8_t adapter, std::uint8_t target, const char* vendor, const char* product,
                 const char* version, std::uint8_t spinDown, std::uint16_t current,
                 std::vector<std::uint16_t> speeds) {
    DriveEntry drive = {};
    drive.hostAdapter = adapter;
    drive.targetId = target;
    CopyText(drive.vendor, vendor);
    CopyText(drive.product, product);
    CopyText(drive.version, version);
    drive.spinDown = spinDown;
    drive.currentSpeed = current;
    drive.maxSpeed = current;
    drive.speedCount = static_cast<std::uint32_t>(speeds.size());
    for (std::size_t k = 0; k < speeds.size(); ++k) drive.speeds[k] = speeds[k];
    return drive;
}

class VersionDialogTest : public drivetest::DriveFixture {
protected:
    void SetUp() override {
        DriveFixture::SetUp();
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        appState->iconType = 0;
    }

    void TearDown() override {
        if (dialog && IsWindow(dialog)) DestroyWindow(dialog);
        versionTitleFont.Delete();
        versionLineFont.Delete();
        DriveFixture::TearDown();
    }

    // The library the start-up would have bound, and what aspiDll names.
    void UseLibrary(const char* bound, const std::string& configured,
                    const std::string& busFile = "") {
        sim.reset(new simtest::SimBus(busFile));
        ASSERT_EQ(1, aspiBus.Load(Library(bound).c_str()));
        appState->aspiDll = configured.c_str();
    }

    HWND Open() {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        dialog = CreateDialogIndirectParamW(module, UiDialogTemplate(module, IDD_VERSION), nullptr,
                                            VersionDialogProc, reinterpret_cast<LPARAM>(&aspiBus));
        return dialog;
    }

    HWND List(int id) const { return GetDlgItem(dialog, id); }
    Rows AspiRows() const { return Cells(List(IDC_VERSION_ASPI)); }

    // The rows of a readable library, from its DLL version row on.
    Rows FiguresAfterEntries(const std::vector<bool>& supported, const std::string& dllVersion) {
        Rows rows = {{Say("ASPI32 DLL Version"), dllVersion}};
        for (std::size_t i = 0; i < kEntries.size(); ++i)
            rows.push_back({kEntries[i], supported[i] ? Say("Supported") : Say("Not supported")});
        rows.push_back({Say("Max support drives"), "64"});
        rows.push_back({Say("Max support speeds"), "32"});
        rows.push_back({Say("Internal error count"), std::to_string(appState->errorCount)});
        rows.push_back({Say("Resource structure"), std::to_string(sizeof(AppState))});
        return rows;
    }

    HWND dialog = nullptr;
};

// No fixed text is cut off: the button's against the button, each column
// title against its column (the header keeps some pixels beside a title).
TEST_F(VersionDialogTest, EveryFixedTextFitsItsPlace) {
    constexpr int HEADER_PADDING = 12;
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    ASSERT_NE(nullptr, Open());
    for (const auto& cut : testsupport::TextsWiderThanTheirControls(dialog))
        if (cut.id == IDOK)
            ADD_FAILURE() << "\"" << cut.text << "\": " << cut.width << " pixels in " << cut.room;
    for (int id : {IDC_VERSION_DRIVES, IDC_VERSION_ASPI}) {
        for (int i = 0;; ++i) {
            wchar_t title[64] = {};
            LVCOLUMNW column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = title;
            column.cchTextMax = 64;
            if (!SendMessageW(List(id), LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)))
                break;
            const int width = static_cast<int>(
                SendMessageW(List(id), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title)));
            EXPECT_LE(width + HEADER_PADDING, column.cx) << testsupport::Sjis(title);
        }
    }
}

TEST_F(VersionDialogTest, ShowsTheProgramsTitleLinesInTheirFonts) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(dialog, appState->versionDialog);

    EXPECT_EQ(testsupport::SayCaption("バージョン情報"), testsupport::WindowText(dialog));
    EXPECT_EQ("korvex CD-ROM Drive Controller", ItemText(dialog, IDC_VERSION_TITLE));
    EXPECT_EQ("Version 1.0.0", ItemText(dialog, IDC_VERSION_NUMBER));
    EXPECT_EQ("Copyright (C) 2026 the korvex authors", ItemText(dialog, IDC_VERSION_COPYRIGHT));
    EXPECT_EQ(Say("確 認"), ItemText(dialog, IDOK));

    // Font A on the description, font B on the two lines under it.
    ASSERT_NE(nullptr, versionTitleFont.handle);
    ASSERT_NE(nullptr, versionLineFont.handle);
    const struct {
        const DialogFont& font;
        LONG height, width;
    } fonts[] = {{versionTitleFont, 18, 8}, {versionLineFont, 16, 7}};
    for (const auto& f : fonts) {
        EXPECT_EQ(f.height, f.font.logFont.lfHeight);
        EXPECT_EQ(f.width, f.font.logFont.lfWidth);
        EXPECT_EQ(700, f.font.logFont.lfWeight);
        EXPECT_EQ(0, f.font.logFont.lfCharSet);
        EXPECT_STREQ("Arial", f.font.logFont.lfFaceName);
        EXPECT_EQ(
            0, f.font.logFont.lfItalic + f.font.logFont.lfUnderline + f.font.logFont.lfStrikeOut);
    }
    auto fontOf = [&](int id) {
        return reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, id, WM_GETFONT, 0, 0));
    };
    EXPECT_EQ(versionTitleFont.handle, fontOf(IDC_VERSION_TITLE));
    EXPECT_EQ(versionLineFont.handle, fontOf(IDC_VERSION_NUMBER));
    EXPECT_EQ(versionLineFont.handle, fontOf(IDC_VERSION_COPYRIGHT));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)),
              fontOf(IDC_VERSION_DRIVES));
}

// Style 8, a value loading lets through, has no icon of its own: the dialog
// keeps the one its template shows and reads nothing past the icon table.
TEST_F(VersionDialogTest, IsCentredAndShowsTheIconOfTheStyleInForce) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    for (std::uint32_t style : {0u, 5u, 7u, ICON_COUNT}) {
        appState->iconType = style;
        ASSERT_NE(nullptr, Open()) << style;
        const LRESULT icon =
            reinterpret_cast<LRESULT>(style < ICON_COUNT ? appState->icons[style] : nullptr);
        EXPECT_EQ(icon, SendMessageA(dialog, WM_GETICON, ICON_BIG, 0)) << style;
        EXPECT_EQ(icon, SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0)) << style;
        const LRESULT shown = SendDlgItemMessageA(dialog, IDC_VERSION_ICON, STM_GETICON, 0, 0);
        EXPECT_NE(0, shown) << style;
        if (icon) {
            EXPECT_EQ(icon, shown) << style;
        }

        RECT r;
        GetWindowRect(dialog, &r);
        EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, r.left) << style;
        EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, r.top) << style;
        DestroyWindow(dialog);
    }
}

TEST_F(VersionDialogTest, WithoutDrivesTheDriveListHasOnlyItsColumns) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(kDriveColumns, Columns(List(IDC_VERSION_DRIVES)));
    EXPECT_EQ(0, SendMessageA(List(IDC_VERSION_DRIVES), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(kAspiColumns, Columns(List(IDC_VERSION_ASPI)));
    const LRESULT wanted = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
    for (int id : {IDC_VERSION_DRIVES, IDC_VERSION_ASPI}) {
        EXPECT_EQ(wanted, SendMessageA(List(id), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & wanted)
            << id;
        EXPECT_EQ(LVS_REPORT, GetWindowLongA(List(id), GWL_STYLE) & LVS_TYPEMASK) << id;
    }
}

TEST_F(VersionDialogTest, OneRowPerDriveInTableOrder) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    std::vector<std::uint16_t> fastest(MAX_SPEEDS, 65535);
    const DriveEntry drives[] = {
        Drive(0, 3, "SIMDISC", "CD-ROM DRIVE", "1.00", 8, 7056, {1764, 3528}),
        Drive(1, 12, "EMPTY", "NO SPEEDS", "0.01", 16, 0, {}),  // nothing probed
        Drive(10, 15, "ROUND", "HALVES UP", "9.99", 0, 263, {88, 87, 264}),
        Drive(2, 0, "FULLCO", "THIRTY-TWO", "2.00", 15, 65535, fastest),
    };
    appState->driveCount = 4;
    for (int d = 0; d < 4; ++d) appState->drives[d] = drives[d];
    // A text filling its whole array, with no terminator of its own.
    std::memset(appState->drives[3].product, 'P', DRIVE_TEXT_SIZE);
    std::string all;
    for (std::uint32_t k = 0; k < MAX_SPEEDS; ++k) all += "x372 ";

    ASSERT_NE(nullptr, Open());
    const Rows expected = {
        {"00:03", "SIMDISC", "CD-ROM DRIVE", "1.00", "16sec", "x40", "x10 x20 "},
        {"01:12", "EMPTY", "NO SPEEDS", "0.01", "", "x0", ""},
        {"10:15", "ROUND", "HALVES UP", "9.99", "Default", "x1", "x1 x0 x2 "},
        {"02:00", "FULLCO", std::string(DRIVE_TEXT_SIZE, 'P'), "2.00", "32min", "x372", all},
    };
    EXPECT_EQ(expected, Cells(List(IDC_VERSION_DRIVES)));
}

// Drives timed by page 1Ah show the standby timer in force, whatever code
// their record holds.
TEST_F(VersionDialogTest, StandbyTimersInForceShowAsTimes) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    const struct {
        std::uint8_t flags;
        std::uint32_t standby;
        const char* shown;
    } timers[] = {
        {0x03, 4800, "8min"}, {0x01, 200, "20sec"}, {0x01, 3, "250msec"}, {0x01, 1, "100msec"},
        {0x01, 3000, "5min"}, {0x01, 25, "3sec"},   {0x02, 4800, "Off"},  {0x01, 2, "125msec"},
    };
    appState->driveCount = 8;
    Rows expected;
    for (std::uint32_t d = 0; d < 8; ++d) {
        appState->drives[d] =
            Drive(0, std::uint8_t(d), "PIONEER", "BD-RW", "1.02", 13, 4500, {4500});
        driveExtras[d].powerPage = true;
        driveExtras[d].power.flags = timers[d].flags;
        driveExtras[d].power.standbyTimer = timers[d].standby;
        expected.push_back({"00:0" + std::to_string(d), "PIONEER", "BD-RW", "1.02", timers[d].shown,
                            "x26", "x26 "});
    }
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(expected, Cells(List(IDC_VERSION_DRIVES)));
    for (DriveExtra& extra : driveExtras) extra = DriveExtra();
}

TEST_F(VersionDialogTest, FullLibraryRowsWithItsDllVersionBytes) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"), "[bus]\ndll_version=0x04030201\n");
    appState->errorCount = 7;
    ASSERT_NE(nullptr, Open());
    Rows expected = {{Say("ASPI32 Module"), Library("simaspi.dll")},
                     {Say("ASPI32 Description"), kSimDescription},
                     {Say("ASPI32 Version"), "1.0.0"}};
    for (auto& row : FiguresAfterEntries(std::vector<bool>(9, true), "1.2.3.4 (0x04030201)"))
        expected.push_back(row);
    EXPECT_EQ(expected, AspiRows());
    EXPECT_EQ("7", AspiRows()[15][1]);
}

TEST_F(VersionDialogTest, MinimalLibraryOffersTwoEntriesAndNoDllVersion) {
    UseLibrary("simaspi_min.dll", "simaspi_min.dll");
    appState->errorCount = 4294967295u;
    ASSERT_NE(nullptr, Open());
    // Named bare, the file is found beside the program.
    Rows expected = {{Say("ASPI32 Module"), "simaspi_min.dll"},
                     {Say("ASPI32 Description"), kSimDescription},
                     {Say("ASPI32 Version"), "1.0.0"}};
    std::vector<bool> supported(9, false);
    supported[0] = supported[1] = true;
    for (auto& row : FiguresAfterEntries(supported, "0.0.0.0 (0x00000000)"))
        expected.push_back(row);
    EXPECT_EQ(expected, AspiRows());
    EXPECT_EQ("4294967295", AspiRows()[15][1]);
}

TEST_F(VersionDialogTest, HighBytesOfTheDllVersionShowUnsigned) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"), "[bus]\ndll_version=0xFFFE8001\n");
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ((std::vector<std::string>{Say("ASPI32 DLL Version"), "1.128.254.255 (0xFFFE8001)"}),
              AspiRows().at(3));
}

// The rows describe the file named now; Supported is what was bound.
TEST_F(VersionDialogTest, EmptyOrMissingStringsShowAsNullAndError) {
    UseLibrary("simaspi.dll", Library("vi_strings.dll"));
    ASSERT_NE(nullptr, Open());
    const Rows rows = AspiRows();
    ASSERT_EQ(17u, rows.size());
    EXPECT_EQ((Rows{{Say("ASPI32 Module"), Library("vi_strings.dll")},
                    {Say("ASPI32 Description"), "(null)"},
                    {Say("ASPI32 Version"), "(error)"}}),
              Rows(rows.begin(), rows.begin() + 3));
    EXPECT_EQ(Say("Supported"), rows[4 + 8][1]);
}

TEST_F(VersionDialogTest, UnreadableLibrariesGiveNoRowsAtAll) {
    const std::string names[] = {Library("simaspi_twolang.dll"), Library("vi_none.dll"),
                                 "NOSUCHASPI.DLL", ""};
    for (const std::string& name : names) {
        UseLibrary("simaspi.dll", name);
        appState->driveCount = 1;
        appState->drives[0] = Drive(0, 1, "SIMDISC", "CD-ROM DRIVE", "1.00", 0, 1411, {1411});
        ASSERT_NE(nullptr, Open()) << name;
        EXPECT_EQ(kAspiColumns, Columns(List(IDC_VERSION_ASPI))) << name;
        EXPECT_EQ(0, SendMessageA(List(IDC_VERSION_ASPI), LVM_GETITEMCOUNT, 0, 0)) << name;
        // The rest of the dialog is filled as ever.
        EXPECT_EQ(1, SendMessageA(List(IDC_VERSION_DRIVES), LVM_GETITEMCOUNT, 0, 0)) << name;
        EXPECT_EQ("Version 1.0.0", ItemText(dialog, IDC_VERSION_NUMBER)) << name;
        DestroyWindow(dialog);
        aspiBus.Unload();
    }
}

TEST_F(VersionDialogTest, AnyCommandClosesAndDeletesBothFonts) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    for (WPARAM command :
         {WPARAM(IDOK), WPARAM(IDCANCEL), WPARAM(MAKEWPARAM(IDC_VERSION_TITLE, 0))}) {
        ASSERT_NE(nullptr, Open()) << command;
        const HFONT a = versionTitleFont.handle;
        const HFONT b = versionLineFont.handle;
        EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(a)));
        EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(b)));
        ShowWindow(dialog, SW_SHOW);
        SendMessageA(dialog, WM_COMMAND, command, 0);
        EXPECT_EQ(nullptr, appState->versionDialog) << command;
        EXPECT_EQ(nullptr, versionTitleFont.handle);
        EXPECT_EQ(nullptr, versionLineFont.handle);
        EXPECT_EQ(0u, GetObjectType(a)) << command;
        EXPECT_EQ(0u, GetObjectType(b)) << command;
        EXPECT_FALSE(IsWindowVisible(dialog)) << command;  // ended
        DestroyWindow(dialog);
    }
}

TEST_F(VersionDialogTest, OpeningAgainMakesTheFontsAfreshAndLeaksNoHandle) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    // Wine answers GetGuiResources with 0: there the check that counts is
    // that every font an opening made is gone once it has closed.
    const auto gdiObjects = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
    // The first opening loads what stays for the process (icons, classes).
    ASSERT_NE(nullptr, Open());
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    DestroyWindow(dialog);
    const DWORD before = gdiObjects();
    std::vector<HFONT> made;
    for (int round = 0; round < 3; ++round) {
        ASSERT_NE(nullptr, Open());
        for (HFONT font : {versionTitleFont.handle, versionLineFont.handle}) {
            EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(font))) << round;
            made.push_back(font);
        }
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        DestroyWindow(dialog);
    }
    ASSERT_EQ(6u, made.size());
    for (HFONT font : made) EXPECT_EQ(0u, GetObjectType(font));
    EXPECT_EQ(before, gdiObjects());
}

// As the settings dialog runs it: modal over its owner, which is disabled
// meanwhile and enabled again when the dialog ends.
struct ModalRun {
    HWND owner = nullptr;
    HWND shown = nullptr;
    HWND shownOwner = nullptr;
    BOOL ownerEnabled = TRUE;
};
ModalRun* modalRun = nullptr;

void CALLBACK CloseWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND open = appState->versionDialog;
    if (!open || !modalRun) return;
    KillTimer(nullptr, timer);
    modalRun->shown = open;
    modalRun->shownOwner = GetWindow(open, GW_OWNER);
    modalRun->ownerEnabled = IsWindowEnabled(modalRun->owner);
    PostMessageA(GetDlgItem(open, IDOK), BM_CLICK, 0, 0);
}

TEST_F(VersionDialogTest, RunsModallyOverItsOwnerAndReturnsToIt) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    // The box recorder would take the dialog for a box and answer it.
    boxes.reset();
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    for (int round = 0; round < 2; ++round) {
        ModalRun run;
        run.owner = owner;
        modalRun = &run;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseWhenShown);
        ASSERT_NE(0u, timer);
        RunVersionDialog(owner, aspiBus);
        modalRun = nullptr;
        EXPECT_NE(nullptr, run.shown) << round;
        EXPECT_EQ(owner, run.shownOwner) << round;
        EXPECT_FALSE(run.ownerEnabled) << round;
        EXPECT_TRUE(IsWindowEnabled(owner)) << round;
        EXPECT_FALSE(IsWindow(run.shown)) << round;
        EXPECT_EQ(nullptr, appState->versionDialog) << round;
        EXPECT_EQ(nullptr, versionTitleFont.handle) << round;
    }
    DestroyWindow(owner);
}

// Asked for while it is open (a command arriving through the dialog's own
// message loop), the dialog comes forward; no second one opens over it.
TEST_F(VersionDialogTest, AskedForWhileOpenOpensNoSecondOne) {
    UseLibrary("simaspi.dll", Library("simaspi.dll"));
    // The recorder comes after the first dialog, which it would answer when
    // it is brought forward; a second dialog it takes for a box and answers.
    boxes.reset();
    ASSERT_NE(nullptr, Open());
    boxes.reset(new testsupport::MessageBoxRecorder);
    ASSERT_EQ(dialog, appState->versionDialog);
    const HFONT title = versionTitleFont.handle, line = versionLineFont.handle;
    RunVersionDialog(nullptr, aspiBus);
    EXPECT_EQ(0u, boxes->Count());
    EXPECT_EQ(dialog, appState->versionDialog);
    EXPECT_EQ(title, versionTitleFont.handle);
    EXPECT_EQ(line, versionLineFont.handle);
    EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(title)));
    EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(line)));
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    DestroyWindow(dialog);
    // Closed, it opens again as usual.
    boxes->Clear();
    RunVersionDialog(nullptr, aspiBus);
    EXPECT_EQ(1u, boxes->Count());
    EXPECT_EQ(nullptr, appState->versionDialog);
}

}  // namespace
