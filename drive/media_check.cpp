#include "media_check.h"

#include <cstring>

#include "device.h"

MediaDeviceCheck CheckMediaDevice(const AspiBus& bus, std::uint8_t adapter, std::uint8_t target,
                                  std::uint8_t lun, int* type, DeviceIdentity* id) {
    const int found = bus.GetDeviceType(adapter, target, lun);
    if (type) *type = found;
    if (!IsRemovableDeviceType(found)) return MediaDeviceCheck::NotMedia;
    DeviceIdentity identity;
    std::memset(&identity, 0, sizeof identity);
    if (!bus.InquireDevice(adapter, target, lun, identity)) return MediaDeviceCheck::InquiryFailed;
    if (id) *id = identity;
    return MediaDeviceCheck::Eligible;
}

bool IsEligibleMediaDevice(const AspiBus& bus, std::uint8_t adapter, std::uint8_t target,
                           std::uint8_t lun, int* type) {
    return CheckMediaDevice(bus, adapter, target, lun, type) == MediaDeviceCheck::Eligible;
}
