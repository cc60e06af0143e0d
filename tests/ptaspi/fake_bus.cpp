#include "fake_bus.h"

#include <windows.h>

#include <cstring>

namespace pttest {

FakeBus::FakeBus(const std::string& busFile, const std::string& quirks) : sim(busFile) {
    SetEnvironmentVariableA("PTASPI_FAKE", quirks.empty() ? nullptr : quirks.c_str());
    bus.Load(simtest::Library(FAKE_LIBRARY).c_str());
    bus.GetAdapterCount();  // the library makes its device list at the first call
    drive.bus = &bus;
}

FakeBus::~FakeBus() {
    bus.Unload();
    SetEnvironmentVariableA("PTASPI_FAKE", nullptr);
}

std::vector<simtest::LogLine> FakeBus::PassThroughs() const {
    return simtest::OfKind(sim.Log(), "spt");
}

std::size_t FakeBus::Begun() const { return simtest::OfKind(sim.Log(), "begin").size(); }

bool FakeBus::WaitUntilBegun(std::size_t count) const {
    constexpr DWORD LIMIT_MS = 20000, EVERY_MS = 10;
    for (DWORD waited = 0; waited < LIMIT_MS; waited += EVERY_MS) {
        if (Begun() >= count) return true;
        Sleep(EVERY_MS);
    }
    return Begun() >= count;
}

std::uint32_t FakeBus::Send(void* srb) const { return pttest::Send(FAKE_LIBRARY, srb); }

std::vector<std::string> FakeBus::Devices() const { return pttest::Devices(bus); }

std::uint32_t Send(const char* library, void* srb) {
    auto send = reinterpret_cast<aspi::SendASPI32CommandFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(library), "SendASPI32Command")));
    return send(srb);
}

namespace {

class Collect : public BusVisitor {
public:
    Collect(const AspiBus& bus, std::vector<std::string>& out) : bus_(bus), out_(out) {}
    bool Target(std::uint8_t a, std::uint8_t t, const HostAdapterInfo&) override {
        DeviceIdentity id;
        std::memset(&id, 0, sizeof id);
        if (bus_.GetDeviceType(a, t, 0) >= 0 && bus_.InquireDevice(a, t, 0, id))
            out_.push_back(std::to_string(a) + ":" + std::to_string(t) + " " + id.product);
        return true;
    }

private:
    const AspiBus& bus_;
    std::vector<std::string>& out_;
};

}  // namespace

std::vector<std::string> Devices(const AspiBus& bus) {
    std::vector<std::string> out;
    Collect collect(bus, out);
    WalkBus(bus, collect);
    return out;
}

std::string Drive(int adapter, int target, const std::string& product) {
    return "[device." + std::to_string(adapter) + "." + std::to_string(target) +
           "]\ntype=5\nvendor=SIMDISC\nproduct=" + product + "\nrevision=1.00\n";
}

std::uint32_t SetTimeout(const FakeBus& fake, std::uint8_t adapter, std::uint8_t target,
                         std::uint32_t halfSeconds) {
    aspi::SRB_GetSetTimeouts srb = {};
    srb.SRB_Cmd = aspi::SC_GETSET_TIMEOUTS;
    srb.SRB_Flags = aspi::SRB_DIR_OUT;
    srb.SRB_HaId = adapter;
    srb.SRB_Target = target;
    srb.SRB_Timeout = halfSeconds;
    return fake.Send(&srb);
}

}  // namespace pttest
