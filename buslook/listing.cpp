#include <cstring>

#include "bus.h"
#include "buslook.h"

namespace {

constexpr std::uint8_t LUN0 = 0;
constexpr const char* ADAPTER_TYPE_NAME = "ADPT";

class Listing : public BusVisitor {
public:
    Listing(const AspiBus& bus, std::FILE* out) : bus_(bus), out_(out) {}

    void AdapterFailed(std::uint8_t) override { std::fputs("\n", out_); }

    void AdapterFound(std::uint8_t adapter, const HostAdapterInfo& info) override {
        std::fputs("\n", out_);
        std::fprintf(out_, " HOST ADAPTER #%02d  MDN:%d MTL:%d\n", adapter, info.maxTargets,
                     static_cast<std::int32_t>(info.maxTransferLength));
    }

    bool Target(std::uint8_t adapter, std::uint8_t target, const HostAdapterInfo& info) override {
        if (target == info.adapterScsiId) {
            AdapterLine(info);
            return true;
        }
        DeviceTypeName type;
        std::memset(&type, 0, sizeof type);
        if (!bus_.GetDeviceTypeName(adapter, target, LUN0, type)) return true;
        DeviceIdentity id;
        std::memset(&id, 0, sizeof id);
        if (!bus_.InquireDevice(adapter, target, LUN0, id)) return true;
        std::fprintf(out_, "  - #%02d:[%s] %-8s  %-16s  %-4s\n", target, type.name, id.vendor,
                     id.product, id.revision);
        return true;
    }

    // An adapter whose own id lies past the scanned targets still gets its line.
    void AdapterDone(std::uint8_t, const HostAdapterInfo& info) override {
        if (info.adapterScsiId >= info.maxTargets) AdapterLine(info);
    }

private:
    void AdapterLine(const HostAdapterInfo& info) {
        std::fprintf(out_, "  - #%02d:[%s] %-24s    %-16s\n", info.adapterScsiId, ADAPTER_TYPE_NAME,
                     info.managerId, info.adapterId);
    }

    const AspiBus& bus_;
    std::FILE* out_;
};

}  // namespace

void ListBus(const char* fileName, std::FILE* out) {
    std::fputs("BUSLOOK for ASPI32  by QUILLAN\n", out);
    AspiBus bus;
    if (!bus.Load(fileName)) {
        std::fputs("Create error.\n", out);
        return;
    }
    Listing listing(bus, out);
    WalkBus(bus, listing);
    bus.Unload();
}
