#include "drive_table.h"

#include <cstring>

#include "appstate.h"
#include "format_text.h"
#include "ui_text.h"

const char* const SPIN_DOWN_OFF = "Off";

DriveExtra driveExtras[MAX_DRIVES];

namespace {

constexpr std::uint8_t LUN = 0;

const std::uint16_t cdFactors[] = {1, 2, 4, 8, 10, 12, 16, 20, 24, 32, 40, 48, 52};
const std::uint16_t dvdFactors[] = {1, 2, 4, 6, 8, 12, 16, 18, 20, 22, 24};
const std::uint16_t bdFactors[] = {1, 2, 4, 6, 8, 10, 12, 14, 16};

constexpr std::uint32_t MS_PER_TIMER_UNIT = 100;
constexpr std::uint32_t MS_PER_SECOND = 1000;
constexpr std::uint32_t MS_PER_MINUTE = 60000;

// A drive that reads DVD or writes CD-R/RW (page 2Ah bytes 2 and 3) is of an
// era that may know GET CONFIGURATION; one of the CD-ROM era is asked nothing
// new.
bool ReadsDvd(std::uint16_t media) { return ((media >> 8) & scsi::CAP_READ_DVD_BITS) != 0; }
bool MaybeModern(std::uint16_t media) {
    return ReadsDvd(media) || (media & scsi::CAP_WRITE_CD_BITS);
}

std::uint8_t CodeInForce(const PowerCondition& power) {
    return (power.flags & scsi::POWER_STANDBY) ? CdromDevice::CodeOfStandbyTimer(power.standbyTimer)
                                               : 0;
}

// After the reads every drive gets: what a drive of the DVD era needs besides.
void LearnModernDrive(const CdromDevice& device, DriveEntry& drive, DriveExtra& extra,
                      std::uint16_t media, bool hasInactivityPage, std::uint16_t maximum) {
    if (!MaybeModern(media)) return;
    // A drive that reads no DVD and whose probe and page 0Dh served needs
    // nothing more.
    if (!ReadsDvd(media) && hasInactivityPage && (drive.speedCount >= 2 || maximum == 0)) return;
    DriveConfiguration config;
    if (!device.GetConfiguration(drive.hostAdapter, drive.targetId, LUN, config)) return;
    extra.configured = true;
    extra.config = config;

    if (!hasInactivityPage && config.powerManagement) {
        PowerCondition power;
        if (device.GetPowerCondition(drive.hostAdapter, drive.targetId, LUN, power)) {
            extra.powerPage = true;
            extra.power = power;
            drive.spinDown = CodeInForce(power);
        }
    }

    // The probe learns speeds from page 2Ah's current speed; a drive whose
    // field stays 0 or at its maximum gives it one speed or none.
    const bool settable = extra.cdSpeedAccepted || config.streaming;
    if (drive.speedCount >= 2 || maximum == 0 || !settable) return;
    std::uint16_t speeds[MAX_SPEEDS] = {};
    std::uint32_t count = 0;
    if (config.streaming)
        count = device.GetListedSpeeds(drive.hostAdapter, drive.targetId, LUN, speeds, MAX_SPEEDS);
    if (count == 0)
        count = FactorSpeeds(KindOfProfile(config.profile), maximum, speeds, MAX_SPEEDS);
    if (count == 0) return;
    std::memcpy(drive.speeds, speeds, sizeof drive.speeds);
    drive.speedCount = count;
    extra.speedsListed = true;
}

class RescanVisitor : public BusVisitor {
public:
    RescanVisitor(AppState& state, const CdromDevice& device, RescanReport& report)
        : state_(state), device_(device), bus_(*device.bus), report_(report) {}

    void AdapterFailed(std::uint8_t) override {
        report_.failures.push_back(UiText(IDS_ADAPTER_FAILED));
    }

    bool Target(std::uint8_t adapter, std::uint8_t target, const HostAdapterInfo&) override {
        // A full table takes nothing more, so there is nothing left to ask.
        if (state_.driveCount >= MAX_DRIVES) return false;
        if (bus_.GetDeviceType(adapter, target, LUN) != DEVTYPE_CDROM) return true;

        DeviceIdentity id;
        std::memset(&id, 0, sizeof id);
        if (!bus_.InquireDevice(adapter, target, LUN, id)) {
            report_.failures.push_back(UiText(IDS_DEVICE_FAILED));
            return true;
        }

        DriveEntry& drive = state_.drives[state_.driveCount];
        drive.hostAdapter = adapter;
        drive.targetId = target;
        CopyDeviceText(drive.vendor, sizeof drive.vendor, id.vendor, sizeof id.vendor);
        CopyDeviceText(drive.product, sizeof drive.product, id.product, sizeof id.product);
        CopyDeviceText(drive.version, sizeof drive.version, id.revision, sizeof id.revision);

        DriveExtra& extra = driveExtras[state_.driveCount];
        extra = DriveExtra();
        // The record is packed, so its fields are filled through aligned locals.
        std::uint16_t speeds[MAX_SPEEDS] = {};
        int accepted = 0;
        const std::uint32_t count =
            device_.ProbeSpeeds(adapter, target, LUN, speeds, MAX_SPEEDS, accepted);
        drive.speedCount = count <= MAX_SPEEDS ? count : MAX_SPEEDS;
        std::memcpy(drive.speeds, speeds, sizeof drive.speeds);
        extra.cdSpeedAccepted = accepted != 0;

        std::uint16_t current = 0, maximum = 0, media = 0;
        device_.GetReadSpeeds(adapter, target, LUN, current, maximum, media);
        drive.currentSpeed = current;
        drive.maxSpeed = maximum;

        std::uint8_t code = 0;
        const bool hasInactivityPage = device_.GetInactivityTimer(adapter, target, LUN, code) != 0;
        drive.spinDown = code;

        LearnModernDrive(device_, drive, extra, media, hasInactivityPage, maximum);

        ++state_.driveCount;
        return true;
    }

private:
    AppState& state_;
    const CdromDevice& device_;
    const AspiBus& bus_;
    RescanReport& report_;
};

}  // namespace

void CopyDeviceText(char* field, std::size_t fieldSize, const char* text, std::size_t textSize) {
    std::memset(field, 0, fieldSize);
    if (fieldSize == 0) return;
    for (std::size_t i = 0; i < textSize && i < fieldSize - 1 && text[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        field[i] =
            (c < DEVICE_TEXT_FIRST || c == DEVICE_TEXT_DELETE) ? DEVICE_TEXT_STAND_IN : text[i];
    }
}

RescanReport ScanDrives(const CdromDevice& device) {
    RescanReport report;
    if (!appState) return report;
    AppState& state = *appState;
    std::memset(state.drives, 0, sizeof state.drives);
    state.driveCount = 0;
    for (DriveExtra& extra : driveExtras) extra = DriveExtra();

    if (!device.bus) return report;  // no library bound: no adapters
    RescanVisitor visitor(state, device, report);
    WalkBus(*device.bus, visitor);
    return report;
}

bool ApplySpeed(const CdromDevice& device, std::uint32_t d, std::uint32_t k) {
    if (!appState || d >= MAX_DRIVES || k >= MAX_SPEEDS) return false;
    DriveEntry& drive = appState->drives[d];
    const std::uint16_t speed = drive.speeds[k];
    const bool cdSpeed = device.SetReadSpeed(drive.hostAdapter, drive.targetId, LUN, speed) != 0;

    // SET STREAMING as well where the medium is a DVD or BD or SET CD SPEED is
    // refused, and only to a drive that lists streaming. The medium may have
    // changed since the rescan, so its profile is asked again.
    DriveExtra& extra = driveExtras[d];
    bool streamed = false;
    if (extra.configured && extra.config.streaming) {
        DriveConfiguration config;
        if (device.GetConfiguration(drive.hostAdapter, drive.targetId, LUN, config))
            extra.config.profile = config.profile;
        const MediumKind kind = KindOfProfile(extra.config.profile);
        if (kind == MediumKind::Dvd || kind == MediumKind::Bd || !cdSpeed || !extra.cdSpeedAccepted)
            streamed = device.SetStreamingSpeed(drive.hostAdapter, drive.targetId, LUN, speed) != 0;
    }

    std::uint16_t current = drive.currentSpeed, maximum = drive.maxSpeed;
    device.GetReadSpeeds(drive.hostAdapter, drive.targetId, LUN, current, maximum);
    drive.currentSpeed = current;
    drive.maxSpeed = maximum;
    // Page 2Ah does not tell this drive's speed: what was set is what holds.
    if (extra.speedsListed && (cdSpeed || streamed)) drive.currentSpeed = speed;
    return cdSpeed || streamed;
}

bool ApplySpinDown(const CdromDevice& device, std::uint32_t d) {
    if (!appState || d >= MAX_DRIVES) return false;
    DriveEntry& drive = appState->drives[d];
    DriveExtra& extra = driveExtras[d];
    if (extra.powerPage) {
        // "Default" leaves the drive's own timer; a code sets the standby
        // timer to the time it names and keeps the idle timer as it is.
        // "Default" sends nothing, and leaves nothing that could fail.
        bool taken = true;
        if (drive.spinDown != 0 && drive.spinDown < SPIN_DOWN_CODE_COUNT) {
            PowerCondition power = extra.power;
            power.flags |= scsi::POWER_STANDBY;
            power.standbyTimer = CdromDevice::StandbyTimerOfCode(drive.spinDown);
            taken = device.SetPowerCondition(drive.hostAdapter, drive.targetId, LUN, power) != 0;
        }
        PowerCondition now;
        if (device.GetPowerCondition(drive.hostAdapter, drive.targetId, LUN, now)) {
            extra.power = now;
            drive.spinDown = CodeInForce(now);
        }
        return taken;
    }
    const bool taken =
        device.SetInactivityTimer(drive.hostAdapter, drive.targetId, LUN, drive.spinDown) != 0;

    std::uint8_t code = drive.spinDown;
    device.GetInactivityTimer(drive.hostAdapter, drive.targetId, LUN, code);
    drive.spinDown = code;
    return taken;
}

std::uint32_t FactorSpeeds(MediumKind kind, std::uint16_t maximum, std::uint16_t* list,
                           std::uint32_t capacity) {
    const std::uint16_t* factors = cdFactors;
    std::size_t n = sizeof cdFactors / sizeof cdFactors[0];
    std::uint32_t unit = KBPS_PER_FACTOR;
    if (kind == MediumKind::Dvd) {
        factors = dvdFactors;
        n = sizeof dvdFactors / sizeof dvdFactors[0];
        unit = KBPS_PER_DVD_FACTOR;
    } else if (kind == MediumKind::Bd) {
        factors = bdFactors;
        n = sizeof bdFactors / sizeof bdFactors[0];
        unit = KBPS_PER_BD_FACTOR;
    }
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < n && count < capacity; ++i) {
        const std::uint32_t speed = factors[i] * unit;
        if (speed > maximum) break;
        list[count++] = static_cast<std::uint16_t>(speed);
    }
    // The drive's own top speed, where no x-factor lands on it.
    if (count < capacity && (count == 0 || list[count - 1] != maximum) &&
        CdromDevice::SpeedToFactor(maximum) != 0)
        list[count++] = maximum;
    return count;
}

const char* DriveSpinDownText(std::uint32_t d, char (&buffer)[SPIN_DOWN_TEXT_SIZE]) {
    buffer[0] = '\0';
    if (!appState || d >= MAX_DRIVES) return buffer;
    const DriveExtra& extra = driveExtras[d];
    if (!extra.powerPage) {
        const char* name = CdromDevice::SpinDownName(appState->drives[d].spinDown);
        return name ? name : buffer;
    }
    if (!(extra.power.flags & scsi::POWER_STANDBY)) return SPIN_DOWN_OFF;
    const std::uint8_t code = CdromDevice::CodeOfStandbyTimer(extra.power.standbyTimer);
    if (code) return CdromDevice::SpinDownName(code);
    const std::uint64_t ms = std::uint64_t(extra.power.standbyTimer) * MS_PER_TIMER_UNIT;
    if (ms < MS_PER_SECOND)
        FormatText(buffer, sizeof buffer, "%umsec", unsigned(ms));
    else if (ms % MS_PER_MINUTE == 0)
        FormatText(buffer, sizeof buffer, "%umin", unsigned(ms / MS_PER_MINUTE));
    else
        FormatText(buffer, sizeof buffer, "%usec",
                   unsigned((ms + MS_PER_SECOND / 2) / MS_PER_SECOND));
    return buffer;
}
