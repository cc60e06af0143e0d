// A device that never answers. Its call never returns, which keeps the library
// in memory for the rest of the process: hence a test program of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include "fake_bus.h"
#include "scsi_commands.h"

using namespace aspi;

TEST(Hang, ACommandEndsAfterItsTimeoutAndTheOtherDriveGoesOn) {
    pttest::FakeBus fake(pttest::Drive(0, 0, "A") + pttest::Drive(0, 1, "B"), "0:0:0=hang");
    ASSERT_EQ(SS_COMP, pttest::SetTimeout(fake, 0, 0, 2));  // one second
    SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::TestUnitReady(), 0, 0, 0, nullptr);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(fake.bus.ExecuteCommand(srb));  // waits without a limit: the event came
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(SS_ERR, srb.SRB_Status);
    EXPECT_EQ(HASTAT_COMMAND_TIMEOUT, srb.SRB_HaStat);
    EXPECT_GE(took, 1900u);  // its second and the library's grace
    // Ended by the library, not by the binding's own limit (35 seconds): the
    // bound leaves room for a slow machine.
    EXPECT_LT(took, 20000u);
    // The device is still in the first call: the next ends at once.
    SRB_ExecSCSICmd next = scsi::MakeRequest(scsi::TestUnitReady(), 0, 0, 0, nullptr);
    EXPECT_FALSE(fake.bus.ExecuteCommand(next));
    EXPECT_EQ(HASTAT_TIMEOUT, next.SRB_HaStat);
    EXPECT_TRUE(fake.bus.TestUnitReady(0, 1, 0));
}
