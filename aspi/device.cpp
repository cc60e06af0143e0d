#include "device.h"

#include <cstring>

namespace {

// The speed asked for at factor x. Past 65535 KB/s the request would wrap
// to a slow speed; FFFFh asks for the drive's highest instead.
std::uint16_t RequestSpeed(std::uint32_t factor) {
    const std::uint32_t speed = CdromDevice::FactorToSpeed(factor);
    return speed > 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(speed);
}

}  // namespace

bool IsRemovableDeviceType(int type) {
    return type == DEVTYPE_TAPE || type == DEVTYPE_WORM || type == DEVTYPE_CDROM ||
           type == DEVTYPE_OPTICAL || type == DEVTYPE_CHANGER;
}

const char* const spinDownNames[SPIN_DOWN_CODE_COUNT] = {
    "Default", "125msec", "250msec", "500msec", "1sec", "2sec", "4sec", "8sec",
    "16sec",   "32sec",   "1min",    "2min",    "4min", "8min", "16min", "32min",
};

ScsiDevice::~ScsiDevice() = default;

int ScsiDevice::Send(const scsi::Command& command, std::uint8_t adapter, std::uint8_t target,
                     std::uint8_t lun, std::uint8_t* buffer) const {
    if (!bus) return 0;
    aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(command, adapter, target, lun, buffer);
    return bus->ExecuteCommand(srb);
}

int ScsiDevice::ModeSense(std::uint8_t page, std::uint8_t senseLen, std::uint8_t adapter,
                          std::uint8_t target, std::uint8_t lun,
                          std::uint8_t (&data)[scsi::MODE_SENSE_BUFFER_SIZE]) const {
    std::memset(data, 0, sizeof data);
    return Send(scsi::ModeSense10(page, senseLen), adapter, target, lun, data);
}

int ScsiDevice::IsRemovableType(std::uint8_t adapter, std::uint8_t target,
                                std::uint8_t lun) const {
    return bus && IsRemovableDeviceType(bus->GetDeviceType(adapter, target, lun));
}

int ScsiDevice::StartStopUnit(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                              std::uint8_t byte4) const {
    std::uint8_t data[scsi::START_STOP_DATA_LEN] = {};
    return Send(scsi::StartStopUnit(byte4), adapter, target, lun, data);
}

int ScsiDevice::EjectMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
    return StartStopUnit(adapter, target, lun, scsi::SSU_EJECT);
}

int ScsiDevice::LoadMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
    return StartStopUnit(adapter, target, lun, scsi::SSU_LOAD);
}

int ScsiDevice::PreventAllowRemoval(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                    std::uint8_t byte4) const {
    std::uint8_t data[scsi::PREVENT_ALLOW_DATA_LEN] = {};
    return Send(scsi::PreventAllowMediumRemoval(byte4), adapter, target, lun, data);
}

int ScsiDevice::LockMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
    return PreventAllowRemoval(adapter, target, lun, scsi::PAR_PREVENT);
}

int ScsiDevice::UnlockMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
    return PreventAllowRemoval(adapter, target, lun, scsi::PAR_ALLOW);
}

int ScsiDevice::GetLockState(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                             int& locked) const {
    locked = 0;
    std::uint8_t data[scsi::MODE_SENSE_BUFFER_SIZE];
    if (!ModeSense(scsi::PAGE_CD_CAPABILITIES, scsi::NO_SENSE, adapter, target, lun, data))
        return 0;
    const std::uint8_t* page = scsi::FindModePage(data, sizeof data, scsi::PAGE_CD_CAPABILITIES,
                                                  scsi::CAP_LOCK_BYTE + 1);
    if (!page) return 0;
    const std::uint8_t lock = page[scsi::CAP_LOCK_BYTE];
    if (lock & scsi::CAP_LOCK_STATE) locked = 1;
    return (lock & scsi::CAP_LOCK_SUPPORTED) ? 1 : 0;
}

CdromDevice::~CdromDevice() = default;

int CdromDevice::IsCdrom(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
    return bus && bus->GetDeviceType(adapter, target, lun) == DEVTYPE_CDROM;
}

int CdromDevice::GetReadSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                               std::uint16_t& current, std::uint16_t& maximum) const {
    std::uint8_t data[scsi::MODE_SENSE_BUFFER_SIZE];
    if (!ModeSense(scsi::PAGE_CD_CAPABILITIES, aspi::SENSE_LEN, adapter, target, lun, data))
        return 0;
    const std::uint8_t* page = scsi::FindModePage(data, sizeof data, scsi::PAGE_CD_CAPABILITIES,
                                                  scsi::CAP_CURRENT_READ_SPEED + 2);
    if (!page) return 0;
    current = scsi::BigEndian16(page + scsi::CAP_CURRENT_READ_SPEED);
    maximum = scsi::BigEndian16(page + scsi::CAP_MAX_READ_SPEED);
    return 1;
}

int CdromDevice::SetReadSpeed(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                              std::uint16_t speed) const {
    return Send(scsi::SetCdSpeed(speed), adapter, target, lun, nullptr);
}

std::uint32_t CdromDevice::ProbeSpeeds(std::uint8_t adapter, std::uint8_t target,
                                       std::uint8_t lun, std::uint16_t* list,
                                       std::uint32_t capacity) const {
    std::uint16_t initial = 0, maximum = 0;
    if (!GetReadSpeeds(adapter, target, lun, initial, maximum)) return 0;

    const std::uint32_t maxFactor = SpeedToFactor(maximum);
    std::uint32_t previous = 0, count = 0;
    // One step past the drive's top factor, so the top speed is reached even
    // when the drive rounds requests down.
    for (std::uint32_t x = 1; x <= maxFactor + 1 && count < capacity; ++x) {
        if (!SetReadSpeed(adapter, target, lun, RequestSpeed(x))) continue;
        std::uint16_t current = 0, top = 0;
        if (!GetReadSpeeds(adapter, target, lun, current, top)) continue;
        // A drive spinning up may report next to nothing: a factor of 0 is
        // no speed a user could choose.
        const std::uint32_t factor = SpeedToFactor(current);
        if (factor == 0 || factor == previous) continue;
        list[count++] = current;
        previous = factor;
    }

    SetReadSpeed(adapter, target, lun, initial);
    return count;
}

int CdromDevice::GetInactivityTimer(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                    std::uint8_t& code) const {
    std::uint8_t data[scsi::MODE_SENSE_BUFFER_SIZE];
    if (!ModeSense(scsi::PAGE_CD_PARAMETERS, aspi::SENSE_LEN, adapter, target, lun, data))
        return 0;
    const std::uint8_t* page = scsi::FindModePage(data, sizeof data, scsi::PAGE_CD_PARAMETERS,
                                                  scsi::CDPARAM_INACTIVITY + 1);
    if (!page) return 0;
    code = page[scsi::CDPARAM_INACTIVITY] & scsi::CDPARAM_INACTIVITY_MASK;
    return 1;
}

int CdromDevice::SetInactivityTimer(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                    std::uint8_t code) const {
    std::uint8_t list[scsi::MODE_SELECT_CD_PARAMETERS_LEN];
    scsi::CdParametersPage(code, list);
    return Send(scsi::ModeSelect10CdParameters(), adapter, target, lun, list);
}

std::uint32_t CdromDevice::SpeedToFactor(std::uint32_t speed) {
    const std::uint32_t k = speed & 0xFFFF;
    return (k + KBPS_PER_FACTOR / 2) / KBPS_PER_FACTOR;  // halves round up
}

std::uint32_t CdromDevice::FactorToSpeed(std::uint32_t factor) { return factor * KBPS_PER_FACTOR; }

const char* CdromDevice::SpinDownName(std::uint32_t code) {
    const std::uint32_t c = code & 0xFF;
    return c < SPIN_DOWN_CODE_COUNT ? spinDownNames[c] : nullptr;
}
