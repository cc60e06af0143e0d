// Host adapters and the devices behind them.
#pragma once

#include <cstdint>

#include "binding.h"

struct HostAdapterInfo {
    std::uint8_t maxTargets;  // target ids to scan on this adapter
    std::uint32_t maxTransferLength;
    std::uint8_t adapterScsiId;  // the adapter's own id on its bus
    char managerId[32];
    char adapterId[32];
};

struct DeviceIdentity {
    char vendor[16];
    char product[32];
    char revision[8];
};

struct DeviceTypeName {
    std::int32_t type;  // the peripheral device type, or -1
    const char* name;
};

// SCSI peripheral device types the programs name or act on.
constexpr int DEVTYPE_DISK = 0;
constexpr int DEVTYPE_TAPE = 1;
constexpr int DEVTYPE_WORM = 4;
constexpr int DEVTYPE_CDROM = 5;
constexpr int DEVTYPE_OPTICAL = 7;
constexpr int DEVTYPE_CHANGER = 8;
constexpr int DEVTYPE_NAMED_COUNT = 10;  // types 0..9 have a name

extern const char* const deviceTypeNames[DEVTYPE_NAMED_COUNT];

// Widths of the identification fields in the INQUIRY data.
constexpr std::uint32_t INQUIRY_VENDOR_OFFSET = 8, INQUIRY_VENDOR_LEN = 8;
constexpr std::uint32_t INQUIRY_PRODUCT_OFFSET = 16, INQUIRY_PRODUCT_LEN = 16;
constexpr std::uint32_t INQUIRY_REVISION_OFFSET = 32, INQUIRY_REVISION_LEN = 4;

class AspiBus : public AspiBinding {
public:
    ~AspiBus() override;

    int InquireAdapter(std::uint8_t adapter, HostAdapterInfo& info) const;
    int GetDeviceType(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;
    int GetDeviceTypeName(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                          DeviceTypeName& out) const;
    int InquireDevice(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                      DeviceIdentity& id) const;
    int TestUnitReady(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const;

    // Every SCSI command the programs send to a device goes through here. A
    // drive reports a medium change or a reset once, as a unit attention on
    // whatever command comes next; that command is sent once more, as the
    // same block, and the second answer stands.
    int SendScsiCommand(aspi::SRB_ExecSCSICmd& srb) const;

    // Replaces the blanks at the end of a fixed-width text field with NULs.
    static void TrimTrailingBlanks(char* field, std::uint32_t width);
};

// What the walk over every adapter and target tells its caller. Every walk
// addresses LUN 0 only.
class BusVisitor {
public:
    virtual ~BusVisitor() = default;
    // The adapter could not be inquired; the walk goes on with the next one.
    virtual void AdapterFailed(std::uint8_t /*adapter*/) {}
    virtual void AdapterFound(std::uint8_t /*adapter*/, const HostAdapterInfo& /*info*/) {}
    // Returns false to end the whole walk.
    virtual bool Target(std::uint8_t adapter, std::uint8_t target, const HostAdapterInfo& info) = 0;
    // After the last target of an adapter.
    virtual void AdapterDone(std::uint8_t /*adapter*/, const HostAdapterInfo& /*info*/) {}
};

// Walks adapters 0..n-1 and, on each, targets 0..maxTargets-1.
// Returns false when the visitor ended the walk early.
bool WalkBus(const AspiBus& bus, BusVisitor& visitor);
