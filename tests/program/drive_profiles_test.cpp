// The shipped drive profiles (simaspi/drives/*.ini), one table over them: the
// commands each drive gets at start-up, for a speed chosen from the menu and
// for a spin-down chosen in the settings dialog; the speed list, the speed
// menu and the balloon each gets; the drive after a new disc and the device
// change that follows.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "command_ids.h"
#include "events_fixture.h"
#include "settings.h"
#include "test_language.h"
#include "tray_menu.h"

using Lines = std::vector<std::string>;

namespace {

// The drives' part of the speed menu.
Lines SpeedMenu(HWND window) {
    HMENU menu = CreatePopupMenu();
    AppendSpeedMenuItems(window, menu);
    Lines out;
    eventtest::DescribeMenu(menu, out);
    out.erase(std::find(out.begin(), out.end(), "-"), out.end());  // the drives only
    for (int i = GetMenuItemCount(menu); i-- > 0;)
        if (HMENU sub = GetSubMenu(menu, i)) DestroyMenu(sub);
    DestroyMenu(menu);
    return out;
}

// The CDBs sent, each run of SET CD SPEED requests with the MODE SENSE 2Ah
// that follows each folded into one line "bb+5a2a N" (N requests).
Lines Folded(const simtest::SimBus& sim) {
    Lines out;
    unsigned probe = 0;
    for (const std::string& c : drivetest::Cdbs(sim)) {
        const std::string cdb = c.substr(c.find(' ') + 1);
        const bool set = cdb.compare(0, 2, "bb") == 0;
        const bool page2a = cdb == "5a002a000000000100000000";
        if (set || (page2a && probe)) {
            probe += set;
            continue;
        }
        if (probe) out.push_back("bb+5a2a " + std::to_string(probe));
        probe = 0;
        out.push_back(cdb);
    }
    if (probe) out.push_back("bb+5a2a " + std::to_string(probe));
    return out;
}

std::string ReadProfile(const char* name) {
    return simtest::ReadFile(simtest::BinDir() + "drives\\" + name);
}

struct Profile {
    const char* file;
    Lines startUp;  // commands of the rescan and the settings' first load
    std::vector<std::uint16_t> speeds;
    Lines menu;                // the drive's part of the speed menu after the rescan
    std::uint32_t speedIndex;  // chosen from the menu
    Lines speedCommands;
    Lines menuAfter;
    std::uint8_t spinDown;   // chosen in the dialog
    Lines spinDownCommands;  // the dialog's OK: save, then load (speed and spin-down)
    std::string balloon;
    std::string state;  // the drive's state line at the end
};

const Profile kProfiles[] = {
    {"cdrom-32x.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 34", "5a000d000000000100000000"},
     {706, 1411, 2822, 4234, 5645},
     {"CD-ROM 32X >", "   706 KB/S (x4) #0400", "  1411 KB/S (x8) #0401", "  2822 KB/S (x16) #0402",
      "  4234 KB/S (x24) #0403", "  5645 KB/S (x32) #0404 checked"},
     1,
     {"bb+5a2a 1"},
     {"CD-ROM 32X >", "   706 KB/S (x4) #0400", "  1411 KB/S (x8) #0401 checked",
      "  2822 KB/S (x16) #0402", "  4234 KB/S (x24) #0403", "  5645 KB/S (x32) #0404"},
     10,
     {"bb+5a2a 1", "551000000000000010000000", "5a000d000000000100000000"},
     "CD-ROM 32X       x8  (1min)",
     "0:0:0 type=5 speed=1411 tray=closed medium=1 locked=0 inactivity=10"},
    {"cdrw-48x.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 50", "5a000d000000000100000000"},
     {1764, 3528, 5645, 7056, 8467},
     {"CD-RW 48X >", "  1764 KB/S (x10) #0400", "  3528 KB/S (x20) #0401",
      "  5645 KB/S (x32) #0402", "  7056 KB/S (x40) #0403", "  8467 KB/S (x48) #0404 checked"},
     0,
     {"bb+5a2a 1"},
     {"CD-RW 48X >", "  1764 KB/S (x10) #0400 checked", "  3528 KB/S (x20) #0401",
      "  5645 KB/S (x32) #0402", "  7056 KB/S (x40) #0403", "  8467 KB/S (x48) #0404"},
     10,
     {"bb+5a2a 1", "551000000000000010000000", "5a000d000000000100000000"},
     "CD-RW 48X        x10 (1min)",
     "0:1:0 type=5 speed=1764 tray=closed medium=1 locked=0 inactivity=10"},
    {"lg-gsa4040b.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 42", "5a000d000000000100000000",
      "46000100000000010000"},
     {1411, 2822, 4234, 5645, 7056},
     {"DVDRAM GSA-4040B >", "  1411 KB/S (x8) #0400", "  2822 KB/S (x16) #0401",
      "  4234 KB/S (x24) #0402", "  5645 KB/S (x32) #0403", "  7056 KB/S (x40) #0404 checked"},
     2,
     {"bb+5a2a 1", "46000100000000010000", "5a002a000000000100000000"},
     {"DVDRAM GSA-4040B >", "  1411 KB/S (x8) #0400", "  2822 KB/S (x16) #0401",
      "  4234 KB/S (x24) #0402 checked", "  5645 KB/S (x32) #0403", "  7056 KB/S (x40) #0404"},
     12,
     {"bb+5a2a 1", "46000100000000010000", "5a002a000000000100000000", "551000000000000010000000",
      "5a000d000000000100000000"},
     "DVDRAM GSA-4040B x24 (4min)",
     "0:4:0 type=5 speed=4234 tray=closed medium=1 locked=0 inactivity=12 standby=0"},
    {"dvdrom-16x.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 128", "5a000d000000000100000000",
      "46000100000000010000", "ac00000000000000000f0300"},
     {1385, 2770, 5540, 8310, 11080, 16620, 22160},
     {"DVD-ROM 16X >", "  1385 KB/S (x8) #0400", "  2770 KB/S (x16) #0401",
      "  5540 KB/S (x31) #0402", "  8310 KB/S (x47) #0403", "  11080 KB/S (x63) #0404",
      "  16620 KB/S (x94) #0405", "  22160 KB/S (x126) #0406 checked"},
     1,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000"},
     {"DVD-ROM 16X >", "  1385 KB/S (x8) #0400", "  2770 KB/S (x16) #0401 checked",
      "  5540 KB/S (x31) #0402", "  8310 KB/S (x47) #0403", "  11080 KB/S (x63) #0404",
      "  16620 KB/S (x94) #0405", "  22160 KB/S (x126) #0406"},
     13,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000",
      "551000000000000010000000", "5a000d000000000100000000"},
     "DVD-ROM 16X      x16 (8min)",
     "0:2:0 type=5 speed=2770 tray=closed medium=1 locked=0 inactivity=13"},
    {"dvdrw-zero.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 96", "5a000d000000000100000000",
      "46000100000000010000", "ac00000000000000000f0300"},
     {5540, 8310, 11080},
     {"DVD-RW 8X >", "  5540 KB/S (x31) #0400", "  8310 KB/S (x47) #0401",
      "  11080 KB/S (x63) #0402"},
     0,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000"},
     {"DVD-RW 8X >", "  5540 KB/S (x31) #0400 checked", "  8310 KB/S (x47) #0401",
      "  11080 KB/S (x63) #0402"},
     9,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000",
      "551000000000000010000000", "5a000d000000000100000000"},
     "DVD-RW 8X        x31 (32sec)",
     "0:3:0 type=5 speed=5540 tray=closed medium=1 locked=0 inactivity=9"},
    {"dvd-nostream.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 65", "5a000d000000000100000000",
      "46000100000000010000", "ac00000000000000000f0300"},
     {8310, 11080},
     {"DVD-RW NOSTREAM >", "  8310 KB/S (x47) #0400", "  11080 KB/S (x63) #0401 checked"},
     1,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000"},
     {"DVD-RW NOSTREAM >", "  8310 KB/S (x47) #0400", "  11080 KB/S (x63) #0401 checked"},
     0,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000",
      "551000000000000010000000", "5a000d000000000100000000"},
     "DVD-RW NOSTREAM  x63 (Default)",
     "0:1:0 type=5 speed=11080 tray=closed medium=1 locked=0 inactivity=0"},
    {"pioneer-bdr203.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 207", "5a000d000000000100000000",
      "46000100000000010000", "5a001a000000000100000000", "ac00000000000000000f0300"},
     {9000, 18000, 27000},
     {"BD-RW   BDR-203 >", "  9000 KB/S (x51) #0400", "  18000 KB/S (x102) #0401",
      "  27000 KB/S (x153) #0402"},
     1,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000"},
     {"BD-RW   BDR-203 >", "  9000 KB/S (x51) #0400", "  18000 KB/S (x102) #0401 checked",
      "  27000 KB/S (x153) #0402"},
     11,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000",
      "551000000000000014000000", "5a001a000000000100000000"},
     "BD-RW   BDR-203  x102 (2min)",
     "0:5:0 type=5 speed=18000 tray=closed medium=1 locked=0 inactivity=0 standby=1200"},
    {"bdrom-slim.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 155", "5a000d000000000100000000",
      "46000100000000010000", "5a001a000000000100000000", "ac00000000000000000f0300"},
     {4500, 9000, 18000, 27000},
     {"BD-ROM SLIM >", "  4500 KB/S (x26) #0400", "  9000 KB/S (x51) #0401",
      "  18000 KB/S (x102) #0402", "  27000 KB/S (x153) #0403"},
     0,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000"},
     {"BD-ROM SLIM >", "  4500 KB/S (x26) #0400 checked", "  9000 KB/S (x51) #0401",
      "  18000 KB/S (x102) #0402", "  27000 KB/S (x153) #0403"},
     13,
     {"bb+5a2a 1", "46000100000000010000", "b60000000000000000001c00", "5a002a000000000100000000",
      "551000000000000014000000", "5a001a000000000100000000"},
     "BD-ROM SLIM      x26 (8min)",
     "0:6:0 type=5 speed=4500 tray=closed medium=1 locked=0 inactivity=0 standby=4800"},
    {"dvd-fixed.ini",
     {"12000000ff00", "5a002a000000000100000000", "bb+5a2a 128", "5a000d000000000100000000",
      "46000100000000010000"},
     {},
     {"DVD FIXED\t速度は設定できません #0000 grayed"},
     0,
     {},
     {"DVD FIXED\t速度は設定できません #0000 grayed"},
     0,
     {},
     "DVD FIXED        x0  (Default)",
     "0:6:0 type=5 speed=22160 tray=closed medium=1 locked=0 inactivity=0"},
};

class DriveProfiles : public eventtest::EventFixture {};

TEST_F(DriveProfiles, EachProfileAsKorvexDrivesIt) {
    for (const Profile& p : kProfiles) {
        SCOPED_TRACE(p.file);
        const std::string bus = ReadProfile(p.file);
        ASSERT_FALSE(bus.empty());
        drivetest::WriteSettingsFile("(none)");
        Bind(bus);
        RescanDrives(window);
        LoadSettings(cdromDevice);
        EXPECT_EQ(p.startUp, Folded(*sim));
        ASSERT_EQ(1u, appState->driveCount);
        const DriveEntry& drive = appState->drives[0];
        EXPECT_EQ(p.speeds,
                  std::vector<std::uint16_t>(drive.speeds, drive.speeds + drive.speedCount));
        EXPECT_EQ(testsupport::SayLines(p.menu), SpeedMenu(window));

        sim->ClearLog();
        if (drive.speedCount) DispatchDeviceCommand(window, cmd::SpeedId(0, p.speedIndex));
        EXPECT_EQ(p.speedCommands, Folded(*sim));
        EXPECT_EQ(testsupport::SayLines(p.menuAfter), SpeedMenu(window));

        sim->ClearLog();
        appState->drives[0].spinDown = p.spinDown;  // what the drive page's OK stores
        SaveSettings();
        LoadSettings(cdromDevice);
        EXPECT_EQ(p.spinDownCommands, Folded(*sim));

        ShowStatusBalloon(window, true);
        EXPECT_EQ(p.balloon, std::string(appState->balloonText));
        EXPECT_EQ(Lines{p.state}, sim->State());

        // A new disc brings back the drive's own speed; the device change
        // that follows leaves the drive as the settings had it.
        sim->ChangeMedium(p.state.substr(0, p.state.find(' ')));
        EXPECT_EQ(0, OnDeviceChange(window, 0x8000));
        EXPECT_TRUE(sim->ControlTaken());
        EXPECT_EQ(Lines{p.state}, sim->State());
        ShowStatusBalloon(window, true);
        EXPECT_EQ(p.balloon, std::string(appState->balloonText));
        Unbind();
    }
    drivetest::WriteSettingsFile("(none)");
}

}  // namespace
