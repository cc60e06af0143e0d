// Adapter inquiry, device type, INQUIRY, TEST UNIT READY and the bus walk.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bus.h"
#include "sim_fixture.h"

using simtest::Library;
using simtest::MatchesPattern;
using simtest::SimBus;

namespace {

const char kBus[] =
    "[bus]\n"
    "[adapter.0]\n"
    "targets=8\n"
    "max_transfer=0x12345678\n"
    "scsi_id=7\n"
    "manager=MGR     \n"
    "identifier=ABCDEFGHIJKLMNOPQRS\n"
    "[adapter.1]\n"
    "targets=0\n"
    "scsi_id=3\n"
    "[adapter.2]\n"
    "fail=1\n"
    "[adapter.3]\n"
    "targets=16\n"
    "max_transfer=0xffffffff\n"
    "[device.0.0]\n"
    "type=5\n"
    "vendor=ABC\n"
    "product=0123456789ABCDEF\n"
    "revision=1.0\n"
    "[device.0.1]\n"
    "type=0x1f\n"
    "vendor=ODD\n"
    "[device.0.2]\n"
    "type=0\n"
    "vendor=TWO WORD\n"
    "product=BIG DISK\n"
    "revision=A B\n"
    "[device.0.4]\n"
    "type=9\n"
    "fail=inquiry,tur\n"
    "[device.0.5]\n"
    "type=1\n"
    "vendor=\\x83\\x65\\x83\\x58\n"
    "[device.3.15]\n"
    "type=8\n";

class Bus : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(1, bus.Load(Library("simaspi.dll").c_str())); }
    SimBus sim{kBus};
    AspiBus bus;
};

bool Matches(const std::string& hex, const std::string& pattern) {
    std::string why;
    const bool ok = MatchesPattern(hex, pattern, &why);
    if (!ok) ADD_FAILURE() << why << "\n  got " << hex;
    return ok;
}

}  // namespace

TEST_F(Bus, InquireAdapterFillsTheRecordAndTrimsItsTexts) {
    HostAdapterInfo info;
    std::memset(&info, 0, sizeof info);
    ASSERT_EQ(1, bus.InquireAdapter(0, info));
    EXPECT_EQ(8, info.maxTargets);
    EXPECT_EQ(0x12345678u, info.maxTransferLength);
    EXPECT_EQ(7, info.adapterScsiId);
    EXPECT_STREQ("MGR", info.managerId);
    EXPECT_STREQ("ABCDEFGHIJKLMNOP", info.adapterId);  // the field holds 16 bytes

    // The block as the library received it: 60 bytes, all zero but the
    // command code and the adapter number.
    sim.ClearLog();
    ASSERT_EQ(1, bus.InquireAdapter(3, info));
    EXPECT_EQ(16, info.maxTargets);
    EXPECT_EQ(0xFFFFFFFFu, info.maxTransferLength);
    const auto requests = sim.Requests();
    ASSERT_EQ(1u, requests.size());
    Matches(requests[0]["raw"], "00 00 03 00 00000000 00 00" + std::string(48 * 2, '0') + "0000");
}

TEST_F(Bus, InquireAdapterFailureLeavesTheRecord) {
    HostAdapterInfo info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(0, bus.InquireAdapter(2, info));  // injected failure
    EXPECT_EQ(0, bus.InquireAdapter(4, info));  // no such adapter
    for (std::size_t i = 0; i < sizeof info; ++i)
        ASSERT_EQ(0xAB, reinterpret_cast<unsigned char*>(&info)[i]) << i;
}

TEST_F(Bus, DeviceTypes) {
    EXPECT_EQ(5, bus.GetDeviceType(0, 0, 0));
    EXPECT_EQ(0x1F, bus.GetDeviceType(0, 1, 0));
    EXPECT_EQ(-1, bus.GetDeviceType(0, 3, 0));  // empty address
    EXPECT_EQ(-1, bus.GetDeviceType(9, 0, 0));  // no such adapter

    DeviceTypeName name{77, "untouched"};
    EXPECT_EQ(1, bus.GetDeviceTypeName(0, 4, 0, name));
    EXPECT_EQ(9, name.type);
    EXPECT_STREQ("COMM????", name.name);

    name = {77, "untouched"};
    EXPECT_EQ(0, bus.GetDeviceTypeName(0, 1, 0, name));
    EXPECT_EQ(0x1F, name.type);
    EXPECT_STREQ("untouched", name.name);

    EXPECT_EQ(0, bus.GetDeviceTypeName(0, 3, 0, name));
    EXPECT_EQ(-1, name.type);

    sim.ClearLog();
    bus.GetDeviceType(3, 15, 0);
    const auto requests = sim.Requests();
    ASSERT_EQ(1u, requests.size());
    Matches(requests[0]["raw"], "01 00 03 00 00000000 0f 00 00 00");
}

TEST(DeviceTypeNames, TheTenNames) {
    const char* expected[] = {"DISK", "TAPE", "PRNT", "PROC", "WORM",
                              "CROM", "SCAN", "OPTI", "JUKE", "COMM????"};
    for (int i = 0; i < 10; ++i) EXPECT_STREQ(expected[i], deviceTypeNames[i]);
}

TEST_F(Bus, InquireDeviceSendsTheExactBlock) {
    DeviceIdentity id;
    std::memset(&id, 0, sizeof id);
    sim.ClearLog();
    ASSERT_EQ(1, bus.InquireDevice(0, 0, 0, id));
    const auto requests = sim.Requests();
    ASSERT_EQ(1u, requests.size());
    // SRB_Cmd 02, flags 48, buffer 255 bytes, sense 14, CDB 12 00 00 00 FF 00;
    // ?? are the buffer pointer and the completion event.
    Matches(requests[0]["raw"],
            "02 00 00 48 00000000 00 00 0000 ff000000" + simtest::AnyPointer() + "0e 06 00 00" +
                simtest::AnyPointer() + std::string(20 * 2, '0') +
                "12 00 00 00 ff 00 00000000000000000000" + std::string(16 * 2, '0'));
    EXPECT_EQ("event", requests[0]["post"]);
}

TEST_F(Bus, InquireDeviceTrimsTheIdentity) {
    DeviceIdentity id;
    std::memset(&id, 0, sizeof id);
    ASSERT_EQ(1, bus.InquireDevice(0, 0, 0, id));
    EXPECT_STREQ("ABC", id.vendor);                // three letters and five blanks
    EXPECT_STREQ("0123456789ABCDEF", id.product);  // all sixteen, no blank
    EXPECT_STREQ("1.0", id.revision);

    std::memset(&id, 0, sizeof id);
    ASSERT_EQ(1, bus.InquireDevice(0, 2, 0, id));
    EXPECT_STREQ("TWO WORD", id.vendor);  // inner blank kept, eight bytes
    EXPECT_STREQ("BIG DISK", id.product);
    EXPECT_STREQ("A B", id.revision);

    std::memset(&id, 0, sizeof id);
    ASSERT_EQ(1, bus.InquireDevice(0, 5, 0, id));
    EXPECT_STREQ("\x83\x65\x83\x58", id.vendor);  // bytes above 7Fh pass unchanged
}

TEST_F(Bus, InquireDeviceFailureLeavesTheRecord) {
    DeviceIdentity id;
    std::memset(&id, 0x5A, sizeof id);
    EXPECT_EQ(0, bus.InquireDevice(0, 4, 0, id));  // injected failure
    EXPECT_EQ(0, bus.InquireDevice(0, 6, 0, id));  // nobody there
    for (std::size_t i = 0; i < sizeof id; ++i)
        ASSERT_EQ(0x5A, reinterpret_cast<unsigned char*>(&id)[i]) << i;
}

TEST_F(Bus, TestUnitReadySendsTheExactBlock) {
    sim.ClearLog();
    EXPECT_EQ(1, bus.TestUnitReady(0, 0, 0));
    EXPECT_EQ(0, bus.TestUnitReady(0, 4, 0));  // injected failure
    EXPECT_EQ(0, bus.TestUnitReady(0, 6, 0));  // nobody there
    const auto requests = sim.Requests();
    ASSERT_EQ(3u, requests.size());
    // No direction bit, no buffer (length 0, null pointer), sense 14, 6-byte CDB of zeros.
    Matches(requests[0]["raw"], "02 00 00 40 00000000 00 00 0000 00000000" +
                                    simtest::NullPointer() + "0e 06 00 00" + simtest::AnyPointer() +
                                    std::string(20 * 2, '0') + std::string(16 * 2, '0') +
                                    std::string(16 * 2, '0'));
    EXPECT_EQ("01", requests[0]["status"]);
    EXPECT_NE("01", requests[1]["status"]);
    EXPECT_EQ("82", requests[2]["status"]);  // SS_NO_DEVICE
}

TEST(Unbound, EveryQueryFails) {
    AspiBus bus;
    HostAdapterInfo info{};
    DeviceIdentity id{};
    DeviceTypeName name{};
    EXPECT_EQ(0, bus.InquireAdapter(0, info));
    EXPECT_EQ(-1, bus.GetDeviceType(0, 0, 0));
    EXPECT_EQ(0, bus.GetDeviceTypeName(0, 0, 0, name));
    EXPECT_EQ(-1, name.type);
    EXPECT_EQ(0, bus.InquireDevice(0, 0, 0, id));
    EXPECT_EQ(0, bus.TestUnitReady(0, 0, 0));
}

TEST(TrimTrailingBlanks, Cases) {
    struct Case {
        const char* field;
        std::uint32_t width;
        const char* expected;
    };
    const Case cases[] = {
        {"ABC     ", 8, "ABC"}, {"ABCDEFGH", 8, "ABCDEFGH"}, {"A B     ", 8, "A B"},
        {"        ", 8, ""},    {"AB \0 \0  ", 8, "AB"},  // NULs among the blanks are passed over
        {"AB  ", 0, "AB  "},                              // width 0 touches nothing
        {"AB  CD  ", 4, "AB"},                            // only the first width bytes count
    };
    for (const Case& c : cases) {
        char field[16] = {};
        std::memcpy(field, c.field, 8);
        AspiBus::TrimTrailingBlanks(field, c.width);
        EXPECT_STREQ(c.expected, field) << '"' << c.field << "\" width " << c.width;
    }
}

// --- the walk ---------------------------------------------------------------

namespace {

class Recorder : public BusVisitor {
public:
    void AdapterFailed(std::uint8_t a) override { events.push_back("fail " + std::to_string(a)); }
    void AdapterFound(std::uint8_t a, const HostAdapterInfo&) override {
        events.push_back("adapter " + std::to_string(a));
    }
    bool Target(std::uint8_t a, std::uint8_t t, const HostAdapterInfo&) override {
        events.push_back(std::to_string(a) + ":" + std::to_string(t));
        return --budget > 0;
    }
    void AdapterDone(std::uint8_t a, const HostAdapterInfo&) override {
        events.push_back("done " + std::to_string(a));
    }
    std::vector<std::string> events;
    int budget = 1000;
};

std::string Join(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += s + ",";
    return out;
}

}  // namespace

TEST_F(Bus, WalkVisitsEveryTargetOfEveryAdapter) {
    Recorder r;
    EXPECT_TRUE(WalkBus(bus, r));
    EXPECT_EQ(
        "adapter 0,0:0,0:1,0:2,0:3,0:4,0:5,0:6,0:7,done 0,"
        "adapter 1,done 1,"  // maxTargets 0: no target
        "fail 2,"
        "adapter 3,3:0,3:1,3:2,3:3,3:4,3:5,3:6,3:7,3:8,3:9,3:10,3:11,3:12,3:13,3:14,"
        "3:15,done 3,",
        Join(r.events));
}

TEST_F(Bus, WalkStopsWhenTheVisitorSaysSo) {
    Recorder r;
    r.budget = 3;
    EXPECT_FALSE(WalkBus(bus, r));
    EXPECT_EQ("adapter 0,0:0,0:1,0:2,", Join(r.events));
}

TEST(Walk, UnboundBusVisitsNothing) {
    AspiBus bus;
    Recorder r;
    EXPECT_TRUE(WalkBus(bus, r));
    EXPECT_TRUE(r.events.empty());
}
