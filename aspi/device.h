// Commands for removable-medium devices and CD-ROM drives.
#pragma once

#include <cstdint>

#include "bus.h"
#include "scsi_commands.h"

// Tape, WORM, CD-ROM, optical memory and medium changer: the classes whose
// medium the programs load and unload.
bool IsRemovableDeviceType(int type);

class ScsiDevice {
public:
    virtual ~ScsiDevice();

    // 1 for the removable-medium classes: tape, WORM, CD-ROM, optical, changer.
    int IsRemovableType(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    int StartStopUnit(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                      std::uint8_t byte4) const;
    int EjectMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    int LoadMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    int PreventAllowRemoval(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                            std::uint8_t byte4) const;
    int LockMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    int UnlockMedium(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    // 1 when the drive can lock its medium; locked is cleared first and set
    // when the medium is locked now.
    int GetLockState(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                     int& locked) const;

    const AspiBus* bus = nullptr;  // not owned; set once the library is bound

protected:
    // Sends one command of the command set; 0 when no bus is set.
    int Send(const scsi::Command& command, std::uint8_t adapter, std::uint8_t target,
             std::uint8_t lun, std::uint8_t* buffer) const;
    // MODE SENSE(10) of one page into a cleared buffer with room for all the
    // CDB allows; the page within it when it came back with at least
    // minLength bytes, else null.
    const std::uint8_t* ModeSense(std::uint8_t page, std::uint8_t senseLen, std::uint8_t adapter,
                                  std::uint8_t target, std::uint8_t lun,
                                  std::uint8_t (&data)[scsi::MODE_SENSE_BUFFER_SIZE],
                                  std::uint32_t minLength) const;
};

// Inactivity-timer codes 0..15 of mode page 0Dh.
constexpr std::uint8_t SPIN_DOWN_CODE_COUNT = 16;
extern const char* const spinDownNames[SPIN_DOWN_CODE_COUNT];

constexpr std::uint32_t KBPS_PER_FACTOR = 176;  // 1x CD speed in KB/s

// What GET CONFIGURATION tells of a drive.
struct DriveConfiguration {
    std::uint16_t profile = 0;     // current profile; 0: no medium or unknown
    bool powerManagement = false;  // feature 0100h: page 1Ah
    bool streaming = false;        // feature 0107h: SET STREAMING, GET PERFORMANCE
};

// The medium kinds a current profile falls into.
enum class MediumKind { None, Cd, Dvd, Bd };
MediumKind KindOfProfile(std::uint16_t profile);

// Page 1Ah: the idle and standby timers (100 ms units) and whether each runs.
struct PowerCondition {
    std::uint8_t flags = 0;  // scsi::POWER_IDLE | scsi::POWER_STANDBY
    std::uint32_t idleTimer = 0;
    std::uint32_t standbyTimer = 0;
};

class CdromDevice : public ScsiDevice {
public:
    ~CdromDevice() override;

    int IsCdrom(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    // Current and maximum read speed in KB/s; written only on success.
    int GetReadSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                      std::uint16_t& current, std::uint16_t& maximum) const;
    // The same command, also giving page 2Ah bytes 2 (media read) and 3
    // (media written) as media = byte 2 << 8 | byte 3.
    int GetReadSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                      std::uint16_t& current, std::uint16_t& maximum, std::uint16_t& media) const;
    int SetReadSpeed(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                     std::uint16_t speed) const;
    // Finds the distinct read speeds the drive accepts, in the order found, and
    // stores at most capacity of them. Returns how many were stored.
    std::uint32_t ProbeSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                              std::uint16_t* list, std::uint32_t capacity) const;
    // The same probe; accepted is set to 1 when the drive took any of its
    // SET CD SPEED requests, else 0.
    std::uint32_t ProbeSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                              std::uint16_t* list, std::uint32_t capacity, int& accepted) const;
    int GetInactivityTimer(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                           std::uint8_t& code) const;
    int SetInactivityTimer(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                           std::uint8_t code) const;

    // GET CONFIGURATION from feature 0100h on; written only on success.
    int GetConfiguration(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                         DriveConfiguration& out) const;
    // The distinct read speeds of the drive's write speed descriptors (GET
    // PERFORMANCE type 03h), slowest first, at most capacity; 0 on failure.
    std::uint32_t GetListedSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                                  std::uint16_t* list, std::uint32_t capacity) const;
    // SET STREAMING: the whole medium read at speed kB/s.
    int SetStreamingSpeed(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                          std::uint32_t speed) const;
    int GetPowerCondition(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                          PowerCondition& out) const;
    int SetPowerCondition(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                          const PowerCondition& condition) const;

    // The standby timer (100 ms units) for a spin-down code: at least the
    // time the code names (code 1, 125 ms, gives 2). 0 for code 0 and above 15.
    static std::uint32_t StandbyTimerOfCode(std::uint32_t code);
    // The code whose timer that is, or 0 when none is.
    static std::uint8_t CodeOfStandbyTimer(std::uint32_t timer);

    static std::uint32_t SpeedToFactor(std::uint32_t speed);
    static std::uint32_t FactorToSpeed(std::uint32_t factor);
    static const char* SpinDownName(std::uint32_t code);
};
