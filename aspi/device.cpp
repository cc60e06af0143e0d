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
    "Default", "125msec", "250msec", "500msec", "1sec", "2sec", "4sec",  "8sec",
    "16sec",   "32sec",   "1min",    "2min",    "4min", "8min", "16min", "32min",
};

ScsiDevice::~ScsiDevice() = default;

int ScsiDevice::Send(const scsi::Command& command, std::uint8_t adapter, std::uint8_t target,
                     std::uint8_t lun, std::uint8_t* buffer) const {
    if (!bus) return 0;
    aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(command, adapter, target, lun, buffer);
    return bus->SendScsiCommand(srb);
}

const std::uint8_t* ScsiDevice::ModeSense(std::uint8_t page, std::uint8_t senseLen,
                                          std::uint8_t adapter, std::uint8_t target,
                                          std::uint8_t lun,
                                          std::uint8_t (&data)[scsi::MODE_SENSE_BUFFER_SIZE],
                                          std::uint32_t minLength) const {
    std::memset(data, 0, sizeof data);
    if (!Send(scsi::ModeSense10(page, senseLen), adapter, target, lun, data)) return nullptr;
    return scsi::FindModePage(data, sizeof data, page, minLength);
}

int ScsiDevice::IsRemovableType(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
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
    const std::uint8_t* page = ModeSense(scsi::PAGE_CD_CAPABILITIES, scsi::NO_SENSE, adapter,
                                         target, lun, data, scsi::CAP_LOCK_BYTE + 1);
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
    std::uint16_t media = 0;
    return GetReadSpeeds(adapter, target, lun, current, maximum, media);
}

int CdromDevice::GetReadSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                               std::uint16_t& current, std::uint16_t& maximum,
                               std::uint16_t& media) const {
    std::uint8_t data[scsi::MODE_SENSE_BUFFER_SIZE];
    const std::uint8_t* page = ModeSense(scsi::PAGE_CD_CAPABILITIES, aspi::SENSE_LEN, adapter,
                                         target, lun, data, scsi::CAP_CURRENT_READ_SPEED + 2);
    if (!page) return 0;
    current = scsi::BigEndian16(page + scsi::CAP_CURRENT_READ_SPEED);
    maximum = scsi::BigEndian16(page + scsi::CAP_MAX_READ_SPEED);
    media = scsi::BigEndian16(page + scsi::CAP_READ_MEDIA);
    return 1;
}

int CdromDevice::SetReadSpeed(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                              std::uint16_t speed) const {
    return Send(scsi::SetCdSpeed(speed), adapter, target, lun, nullptr);
}

std::uint32_t CdromDevice::ProbeSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                       std::uint16_t* list, std::uint32_t capacity) const {
    int accepted = 0;
    return ProbeSpeeds(adapter, target, lun, list, capacity, accepted);
}

std::uint32_t CdromDevice::ProbeSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                       std::uint16_t* list, std::uint32_t capacity,
                                       int& accepted) const {
    accepted = 0;
    std::uint16_t initial = 0, maximum = 0;
    if (!GetReadSpeeds(adapter, target, lun, initial, maximum)) return 0;

    const std::uint32_t maxFactor = SpeedToFactor(maximum);
    std::uint32_t previous = 0, count = 0;
    // One step past the drive's top factor, so the top speed is reached even
    // when the drive rounds requests down.
    for (std::uint32_t x = 1; x <= maxFactor + 1 && count < capacity; ++x) {
        if (!SetReadSpeed(adapter, target, lun, RequestSpeed(x))) continue;
        accepted = 1;
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
    const std::uint8_t* page = ModeSense(scsi::PAGE_CD_PARAMETERS, aspi::SENSE_LEN, adapter, target,
                                         lun, data, scsi::CDPARAM_INACTIVITY + 1);
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

MediumKind KindOfProfile(std::uint16_t profile) {
    if (profile >= scsi::PROFILE_CD_FIRST && profile <= scsi::PROFILE_CD_LAST)
        return MediumKind::Cd;
    if (profile >= scsi::PROFILE_DVD_FIRST && profile <= scsi::PROFILE_DVD_LAST)
        return MediumKind::Dvd;
    if (profile >= scsi::PROFILE_BD_FIRST && profile <= scsi::PROFILE_BD_LAST)
        return MediumKind::Bd;
    return MediumKind::None;
}

int CdromDevice::GetConfiguration(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                  DriveConfiguration& out) const {
    std::uint8_t data[scsi::CONFIG_DATA_LEN] = {};
    if (!Send(scsi::GetConfiguration(), adapter, target, lun, data)) return 0;
    // The data length does not count its own four bytes.
    std::uint64_t end = std::uint64_t(scsi::BigEndian32(data)) + 4;
    if (end > sizeof data) end = sizeof data;
    if (end < scsi::CONFIG_HEADER_LEN) return 0;
    DriveConfiguration found;
    found.profile = scsi::BigEndian16(data + scsi::CONFIG_CURRENT_PROFILE);
    for (std::uint64_t at = scsi::CONFIG_HEADER_LEN; at + scsi::FEATURE_HEADER_LEN <= end;
         at += scsi::FEATURE_HEADER_LEN + data[at + 3]) {
        const std::uint16_t feature = scsi::BigEndian16(data + at);
        if (feature == scsi::FEATURE_POWER_MANAGEMENT) found.powerManagement = true;
        if (feature == scsi::FEATURE_REAL_TIME_STREAMING) found.streaming = true;
    }
    out = found;
    return 1;
}

std::uint32_t CdromDevice::GetListedSpeeds(std::uint8_t adapter, std::uint8_t target,
                                           std::uint8_t lun, std::uint16_t* list,
                                           std::uint32_t capacity) const {
    std::uint8_t data[scsi::PERF_DATA_LEN] = {};
    if (!Send(scsi::GetPerformanceWriteSpeeds(), adapter, target, lun, data)) return 0;
    std::uint64_t end = std::uint64_t(scsi::BigEndian32(data)) + 4;
    if (end > sizeof data) end = sizeof data;
    std::uint32_t count = 0;
    for (std::uint64_t at = scsi::PERF_HEADER_LEN; at + scsi::PERF_DESCRIPTOR_LEN <= end;
         at += scsi::PERF_DESCRIPTOR_LEN) {
        const std::uint32_t speed = scsi::BigEndian32(data + at + scsi::WSD_READ_SPEED);
        // Speeds are 16 bits wide everywhere else; a factor of 0 is no speed.
        if (speed > 0xFFFF || SpeedToFactor(speed) == 0) continue;
        const std::uint16_t s = static_cast<std::uint16_t>(speed);
        std::uint32_t i = 0;
        while (i < count && list[i] < s) ++i;
        if (i < count && list[i] == s) continue;
        if (count == capacity) {
            if (i == count) continue;  // full: the fastest give way
            --count;
        }
        for (std::uint32_t j = count; j > i; --j) list[j] = list[j - 1];
        list[i] = s;
        ++count;
    }
    return count;
}

int CdromDevice::SetStreamingSpeed(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                   std::uint32_t speed) const {
    std::uint8_t list[scsi::STREAMING_DESCRIPTOR_LEN];
    scsi::StreamingDescriptor(speed, list);
    return Send(scsi::SetStreaming(), adapter, target, lun, list);
}

int CdromDevice::GetPowerCondition(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                   PowerCondition& out) const {
    std::uint8_t data[scsi::MODE_SENSE_BUFFER_SIZE];
    const std::uint8_t* page = ModeSense(scsi::PAGE_POWER_CONDITION, aspi::SENSE_LEN, adapter,
                                         target, lun, data, scsi::POWER_STANDBY_TIMER + 4);
    if (!page) return 0;
    out.flags = page[scsi::POWER_FLAGS] & (scsi::POWER_IDLE | scsi::POWER_STANDBY);
    out.idleTimer = scsi::BigEndian32(page + scsi::POWER_IDLE_TIMER);
    out.standbyTimer = scsi::BigEndian32(page + scsi::POWER_STANDBY_TIMER);
    return 1;
}

int CdromDevice::SetPowerCondition(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                   const PowerCondition& condition) const {
    std::uint8_t list[scsi::MODE_SELECT_POWER_LEN];
    scsi::PowerConditionPage(condition.flags, condition.idleTimer, condition.standbyTimer, list);
    return Send(scsi::ModeSelect10PowerCondition(), adapter, target, lun, list);
}

std::uint32_t CdromDevice::StandbyTimerOfCode(std::uint32_t code) {
    // The times the names say: doubling from 125 ms, but 1 min after 32 s.
    static const std::uint32_t namedMs[SPIN_DOWN_CODE_COUNT] = {
        0,     125,   250,   500,    1000,   2000,   4000,   8000,
        16000, 32000, 60000, 120000, 240000, 480000, 960000, 1920000};
    if (code >= SPIN_DOWN_CODE_COUNT) return 0;
    return (namedMs[code] + 99) / 100;
}

std::uint8_t CdromDevice::CodeOfStandbyTimer(std::uint32_t timer) {
    for (std::uint8_t c = 1; c < SPIN_DOWN_CODE_COUNT; ++c)
        if (StandbyTimerOfCode(c) == timer) return c;
    return 0;
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
