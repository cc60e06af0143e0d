// The status balloon: one line per drive, cut at the first line that does
// not fit in 254 characters, shown with the "ROTAVA" title on the icon of
// iconType.
#include <cstring>
#include <string>

#include "events_fixture.h"
#include "program_objects.h"

using drivetest::CdromSection;
using eventtest::ShellCall;

namespace {

class Balloon : public eventtest::EventFixture {
protected:
    // Puts drive d in the table with these values.
    void SetDrive(std::uint32_t d, const char* product, std::uint16_t speed,
                  std::uint8_t spinDown) {
        DriveEntry& drive = appState->drives[d];
        std::memset(&drive, 0, sizeof drive);
        std::strncpy(drive.product, product, sizeof drive.product - 1);
        drive.currentSpeed = speed;
        drive.spinDown = spinDown;
        drive.speedCount = 1;
        if (appState->driveCount <= d) appState->driveCount = d + 1;
    }

    // The one shell call the balloon makes, checked for everything but the text.
    std::string ShownText() {
        EXPECT_EQ(1u, Calls().size());
        if (Calls().empty()) return "(no call)";
        const ShellCall& call = Calls().back();
        EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), call.message);
        EXPECT_EQ(static_cast<UINT>(NIF_ICON | NIF_INFO), call.data.uFlags);
        EXPECT_EQ(window, call.data.hWnd);
        EXPECT_EQ(eventtest::TRAY_ID, call.data.uID);
        EXPECT_STREQ("ROTAVA", call.infoTitle.c_str());
        EXPECT_EQ(static_cast<DWORD>(NIIF_INFO), call.data.dwInfoFlags);
        EXPECT_EQ(10000u, call.data.uTimeout);
        EXPECT_STREQ(appState->balloonText, call.info.c_str());
        return call.info.c_str();
    }
};

const std::string kLine24 = "CD-ROM DRIVE     x24 (Default)";  // 30 characters

TEST_F(Balloon, NoDrivesGiveAnEmptyText) {
    std::strcpy(appState->balloonText, "left over");
    ShowStatusBalloon(window, true);
    EXPECT_EQ("", ShownText());
    EXPECT_EQ('\0', appState->balloonText[0]);
}

TEST_F(Balloon, DriveFromTheBusGivesItsLineWithoutLineFeed) {
    Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=8\n" +
         CdromSection(0, 2, "SIMDISC", "CD-ROM DRIVE", "1.00", "706,1411,2117,2822,4234",
                      "current_speed=4234\ninactivity=0\n"));
    RescanDrives(window);
    ASSERT_EQ(1u, appState->driveCount);
    ASSERT_EQ(4234, appState->drives[0].currentSpeed);

    ShowStatusBalloon(window, true);
    EXPECT_EQ(kLine24, ShownText());
}

TEST_F(Balloon, LinesPadAndFactorsRound) {
    SetDrive(0, "CD-ROM DRIVE", 4234, 0);
    SetDrive(1, "A PRODUCT LONGER THAN 16", 706, 15);  // 4.01: x4 padded to two
    SetDrive(2, "", 65535, 9);                         // 372.4: three digits
    SetDrive(3, "FAST", 88, 4);                        // 0.5 rounds up to 1
    ShowStatusBalloon(window, true);
    EXPECT_EQ(kLine24 + "\n" +
                  "A PRODUCT LONGER THAN 16 x4  (32min)\n"
                  "                 x372 (32sec)\n"
                  "FAST             x1  (1sec)",
              ShownText());
}

TEST_F(Balloon, SkippedDrivesAreLeftOutUnlessBalloonAll) {
    SetDrive(0, "FIRST", 1411, 0);
    SetDrive(1, "SECOND", 2822, 1);
    SetDrive(2, "THIRD", 4234, 2);
    const std::string first = "FIRST            x8  (Default)";
    const std::string rest = "SECOND           x16 (125msec)\nTHIRD            x24 (250msec)";

    appState->balloonAll = 0;
    for (std::uint32_t skip : {SKIP_CONTROL, SKIP_HIDDEN}) {
        appState->skip[0] = skip;
        ClearCalls();
        ShowStatusBalloon(window, true);
        EXPECT_EQ(rest, ShownText()) << skip;
    }
    appState->skip[1] = SKIP_HIDDEN;
    ClearCalls();
    ShowStatusBalloon(window, true);
    EXPECT_EQ("THIRD            x24 (250msec)", ShownText());

    appState->balloonAll = 1;
    ClearCalls();
    ShowStatusBalloon(window, true);
    EXPECT_EQ(first + "\n" + rest, ShownText());
}

// Seven 31-character lines (30 and a line feed) make 217.
class BalloonLimit : public Balloon {
protected:
    void SevenLines() {
        for (std::uint32_t d = 0; d < 7; ++d) SetDrive(d, "CD-ROM DRIVE", 4234, 0);
    }
    std::string Seven() {
        std::string s;
        for (int i = 0; i < 7; ++i) s += kLine24 + "\n";
        return s;
    }
};

TEST_F(BalloonLimit, ALineEndingAt254IsKept) {
    SevenLines();
    SetDrive(7, "TWENTY-TWO CHARACTERS.", 4234, 0);  // 37 with its line feed: 254
    SetDrive(8, "X", 176, 4);                        // 28 more would not fit
    ShowStatusBalloon(window, true);
    const std::string text = ShownText();
    EXPECT_EQ(Seven() + "TWENTY-TWO CHARACTERS. x24 (Default)", text);
    EXPECT_EQ(253u, text.size());
}

TEST_F(BalloonLimit, TheFirstLineThatDoesNotFitEndsTheList) {
    SevenLines();
    SetDrive(7, "TWENTY-THREE CHARACTERS", 4234, 0);  // 38: 255 would not fit
    SetDrive(8, "CD-ROM DRIVE", 4234, 0);             // 31 would, but the list has ended
    ShowStatusBalloon(window, true);
    const std::string text = ShownText();
    EXPECT_EQ(Seven().substr(0, 216), text);
    EXPECT_EQ(216u, text.size());
}

TEST_F(BalloonLimit, SixtyFourDrivesStopAtEightLines) {
    for (std::uint32_t d = 0; d < MAX_DRIVES; ++d) SetDrive(d, "CD-ROM DRIVE", 4234, 0);
    ShowStatusBalloon(window, true);
    const std::string text = ShownText();
    EXPECT_EQ(247u, text.size());  // 8 x 31 - 1
    EXPECT_EQ(kLine24, text.substr(text.size() - 30));
    EXPECT_NE('\n', text.back());
}

TEST_F(Balloon, WithoutRebuildTheLastTextIsShownAgain) {
    SetDrive(0, "CD-ROM DRIVE", 4234, 0);
    ShowStatusBalloon(window, true);
    ASSERT_EQ(kLine24, ShownText());

    SetDrive(0, "CHANGED", 706, 1);
    ClearCalls();
    ShowStatusBalloon(window, false);
    EXPECT_EQ(kLine24, ShownText());
    EXPECT_EQ(kLine24, appState->balloonText);
}

TEST_F(Balloon, ShownOnTheIconOfIconTypeAndNotWithoutOne) {
    HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32516));  // IDI_INFORMATION
    ASSERT_NE(nullptr, icon);
    trayIcon.slots[3].icon = icon;  // not owned: the slot leaves it alone
    appState->iconType = 3;
    ShowStatusBalloon(window, true);
    ASSERT_EQ(1u, Calls().size());
    EXPECT_EQ(icon, Calls()[0].data.hIcon);
    trayIcon.slots[3].icon = nullptr;

    ClearCalls();
    SetDrive(0, "CD-ROM DRIVE", 4234, 0);
    appState->iconType = 8;
    ShowStatusBalloon(window, true);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(kLine24, appState->balloonText);  // composed all the same
}

}  // namespace
