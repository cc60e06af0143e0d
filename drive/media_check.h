// Which devices the media menu and the Alt+digit keys offer.
#pragma once

#include <cstdint>

#include "bus.h"

// What the media menu and the hot keys make of an address, asked of bus: a
// removable class (tape, WORM, CD-ROM, optical, changer) whose INQUIRY
// succeeds is offered; one whose INQUIRY fails is not, and the menu says so.
enum class MediaDeviceCheck { NotMedia, InquiryFailed, Eligible };
// type receives the device type whenever one was read, id the INQUIRY
// texts of an eligible device; either may be null.
MediaDeviceCheck CheckMediaDevice(const AspiBus& bus, std::uint8_t adapter, std::uint8_t target,
                                  std::uint8_t lun, int* type = nullptr,
                                  DeviceIdentity* id = nullptr);
bool IsEligibleMediaDevice(const AspiBus& bus, std::uint8_t adapter, std::uint8_t target,
                           std::uint8_t lun, int* type = nullptr);
