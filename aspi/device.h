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
    // CDB allows.
    int ModeSense(std::uint8_t page, std::uint8_t senseLen, std::uint8_t adapter,
                  std::uint8_t target, std::uint8_t lun,
                  std::uint8_t (&data)[scsi::MODE_SENSE_BUFFER_SIZE]) const;
};

// Inactivity-timer codes 0..15 of mode page 0Dh.
constexpr std::uint8_t SPIN_DOWN_CODE_COUNT = 16;
extern const char* const spinDownNames[SPIN_DOWN_CODE_COUNT];

constexpr std::uint32_t KBPS_PER_FACTOR = 176;  // 1x CD speed in KB/s

class CdromDevice : public ScsiDevice {
public:
    ~CdromDevice() override;

    int IsCdrom(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    // Current and maximum read speed in KB/s; written only on success.
    int GetReadSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                      std::uint16_t& current, std::uint16_t& maximum) const;
    int SetReadSpeed(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                     std::uint16_t speed) const;
    // Finds the distinct read speeds the drive accepts, in the order found, and
    // stores at most capacity of them. Returns how many were stored.
    std::uint32_t ProbeSpeeds(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                              std::uint16_t* list, std::uint32_t capacity) const;
    int GetInactivityTimer(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                           std::uint8_t& code) const;
    int SetInactivityTimer(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                           std::uint8_t code) const;

    static std::uint32_t SpeedToFactor(std::uint32_t speed);
    static std::uint32_t FactorToSpeed(std::uint32_t factor);
    static const char* SpinDownName(std::uint32_t code);
};
