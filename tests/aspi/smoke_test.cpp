#include <gtest/gtest.h>
#include "bus.h"
TEST(Smoke, Unbound) { AspiBus b; EXPECT_EQ(0, b.GetAdapterCount()); EXPECT_STREQ("CROM", deviceTypeNames[5]); }
