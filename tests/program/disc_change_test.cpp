// A new disc brings back a drive's own speed and leaves a unit attention for
// the next command: the device change that follows puts the saved speed and
// spin-down back on, and no command is lost to the attention.
#include <string>
#include <vector>

#include "events_fixture.h"
#include "settings.h"
#include "table_work.h"

using drivetest::StateOf;

namespace {

// One SCSI request of the log: "cdb status".
std::vector<std::string> Answered(const simtest::SimBus& sim) {
    std::vector<std::string> out;
    for (const auto& r : sim.Requests())
        if (r["cmd"] == "02") out.push_back(r["cdb"] + " " + r["status"]);
    return out;
}

class DiscChange : public eventtest::EventFixture {
protected:
    void SetUp() override {
        EventFixture::SetUp();
        if (HasFatalFailure()) return;
        // A 12x drive: three speeds, a short probe.
        Bind("[bus]\nadapters=1\n[adapter.0]\ntargets=2\n" +
             drivetest::CdromSection(0, 1, "SIMDISC", "CD-ROM DRIVE", "1.00", "706,1411,2117"));
        RescanDrives(window);
        ASSERT_EQ(3u, appState->drives[0].speedCount);
        drivetest::WriteSettingsFile(
            "[COMMON]\r\nUpdate=1\r\n[CDROM00]\r\nVendor=SIMDISC\r\nProduct=CD-ROM DRIVE\r\n"
            "Version=1.00\r\nSpeed=1\r\nSpinDown=0x05\r\n");
        LoadSettings(cdromDevice);
        ASSERT_EQ("1411", StateOf(*sim, "0:1:0", "speed"));
        ASSERT_EQ("5", StateOf(*sim, "0:1:0", "inactivity"));
        NewDisc();
    }

    void NewDisc() {
        sim->ChangeMedium("0:1:0");
        sim->ClearLog();
        ClearCalls();
    }

    // The drive as the saved settings have it, nothing left waiting.
    void ExpectSettingsBack(const std::string& what) {
        EXPECT_TRUE(sim->ControlTaken()) << what;
        EXPECT_EQ("1411", StateOf(*sim, "0:1:0", "speed")) << what;
        EXPECT_EQ("5", StateOf(*sim, "0:1:0", "inactivity")) << what;
        EXPECT_EQ("(missing)", StateOf(*sim, "0:1:0", "attention")) << what;
        EXPECT_EQ(1411, appState->drives[0].currentSpeed) << what;
        EXPECT_EQ(5, appState->drives[0].spinDown) << what;
    }
};

TEST_F(DiscChange, TheDeviceChangeMeetsTheAttentionAndPutsTheSettingsBack) {
    EXPECT_EQ(0, OnDeviceChange(window, 0x8000));
    ExpectSettingsBack("arrival");
    const auto log = sim->Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("medium-change", log[0].kind);  // taken at the library's first call
    EXPECT_EQ("ScsiRescan", log[1].kind);

    // INQUIRY passes the attention by; the probe's first MODE SENSE meets it
    // and goes out again as the same block.
    const auto requests = sim->Requests();
    std::vector<simtest::LogLine> scsi;
    for (const auto& r : requests)
        if (r["cmd"] == "02") scsi.push_back(r);
    ASSERT_GE(scsi.size(), 3u);
    EXPECT_EQ("12000000ff00", scsi[0]["cdb"]);
    EXPECT_EQ("01", scsi[0]["status"]);
    EXPECT_EQ("5a002a000000000100000000", scsi[1]["cdb"]);
    EXPECT_EQ("04", scsi[1]["status"]);
    EXPECT_EQ(simtest::WithoutEvent(scsi[1]["raw"]), simtest::WithoutEvent(scsi[2]["raw"]));
    EXPECT_EQ("01", scsi[2]["status"]);

    // The probe ends on the speed the drive had, its own after the change;
    // then the saved speed and spin-down, as a resume sends them.
    const auto answered = Answered(*sim);
    ASSERT_GE(answered.size(), 7u);
    EXPECT_EQ(
        std::vector<std::string>({"bb000845ffff000000000000 01", "5a002a000000000100000000 01",
                                  "5a000d000000000100000000 01", "bb000583ffff000000000000 01",
                                  "5a002a000000000100000000 01", "551000000000000010000000 01",
                                  "5a000d000000000100000000 01"}),
        std::vector<std::string>(answered.end() - 7, answered.end()));
    EXPECT_EQ("00000000000000000d060005003c004b", scsi[scsi.size() - 2]["data"]);
    EXPECT_TRUE(Calls().empty());  // no balloon
    EXPECT_EQ(0u, boxes->Count());
}

TEST_F(DiscChange, EveryDeviceEventReappliesTheMenuRescanDoesNot) {
    for (WPARAM event : {WPARAM(0x8000), WPARAM(0x8004), WPARAM(0x0018)}) {
        EXPECT_EQ(0, OnDeviceChange(window, event));
        ExpectSettingsBack(std::to_string(event));
        EXPECT_TRUE(Calls().empty()) << event;
        NewDisc();
    }
    // The rescan command rebuilds the table and shows the balloon: the drive
    // stays at the speed the disc brought.
    RequestTableWork(window, TableWork::Rescan);
    EXPECT_EQ("2117", StateOf(*sim, "0:1:0", "speed"));
    EXPECT_EQ(2117, appState->drives[0].currentSpeed);
    for (const std::string& a : Answered(*sim)) EXPECT_NE("55", a.substr(0, 2)) << a;
    ASSERT_EQ(1u, Calls().size());
    EXPECT_STREQ("CD-ROM DRIVE     x12 (2sec)", Calls()[0].info.c_str());
    EXPECT_EQ(0u, boxes->Count());
}

// No rescan at a resume: the saved speed is the first command after the
// disc change, and it is sent again past the attention.
TEST_F(DiscChange, AResumeSetsTheSpeedAtTheSecondTry) {
    EXPECT_EQ(0, OnPowerBroadcast(window, 0x12));
    ExpectSettingsBack("resume");
    const auto answered = Answered(*sim);
    ASSERT_GE(answered.size(), 2u);
    EXPECT_EQ("bb000583ffff000000000000 04", answered[0]);
    EXPECT_EQ("bb000583ffff000000000000 01", answered[1]);
    const auto r = sim->Requests();
    EXPECT_EQ(simtest::WithoutEvent(r[0]["raw"]), simtest::WithoutEvent(r[1]["raw"]));
    ASSERT_EQ(1u, Calls().size());
    EXPECT_STREQ("CD-ROM DRIVE     x8  (2sec)", Calls()[0].info.c_str());
}

}  // namespace
