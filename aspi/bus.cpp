#include "bus.h"

#include <cstring>

#include "scsi_commands.h"

namespace {

void CopyField(char* dest, const std::uint8_t* src, std::uint32_t width) {
    std::memcpy(dest, src, width);
    AspiBus::TrimTrailingBlanks(dest, width);
}

// The block ended in CHECK CONDITION and the sense it carries back (fixed
// format) says UNIT ATTENTION. Without sense bytes asked for, the key cannot
// be seen.
bool IsUnitAttention(const aspi::SRB_ExecSCSICmd& srb) {
    if (srb.SRB_Status != aspi::SS_ERR || srb.SRB_TargStat != aspi::STATUS_CHKCOND ||
        srb.SRB_SenseLen <= scsi::SENSE_KEY_BYTE)
        return false;
    if ((srb.SenseArea[0] & scsi::SENSE_RESPONSE_CODE_MASK) != scsi::SENSE_FIXED_CURRENT)
        return false;
    return (srb.SenseArea[scsi::SENSE_KEY_BYTE] & scsi::SENSE_KEY_MASK) == scsi::KEY_UNIT_ATTENTION;
}

}  // namespace

const char* const deviceTypeNames[DEVTYPE_NAMED_COUNT] = {
    "DISK", "TAPE", "PRNT", "PROC", "WORM", "CROM", "SCAN", "OPTI", "JUKE", "COMM????",
};

AspiBus::~AspiBus() = default;

int AspiBus::InquireAdapter(std::uint8_t adapter, HostAdapterInfo& info) const {
    aspi::SRB_HAInquiry srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = aspi::SC_HA_INQUIRY;
    srb.SRB_HaId = adapter;
    if (!SendCommand(&srb)) return 0;

    info.maxTargets = srb.HA_Unique[aspi::HA_UNIQUE_MAX_TARGETS];
    std::uint32_t transfer;
    std::memcpy(&transfer, &srb.HA_Unique[aspi::HA_UNIQUE_MAX_TRANSFER], sizeof transfer);
    info.maxTransferLength = transfer;  // little-endian on every target
    info.adapterScsiId = srb.HA_SCSI_ID;
    CopyField(info.managerId, srb.HA_ManagerId, sizeof srb.HA_ManagerId);
    CopyField(info.adapterId, srb.HA_Identifier, sizeof srb.HA_Identifier);
    return 1;
}

int AspiBus::GetDeviceType(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
    aspi::SRB_GDEVBlock srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = aspi::SC_GET_DEV_TYPE;
    srb.SRB_HaId = adapter;
    srb.SRB_Target = target;
    srb.SRB_Lun = lun;
    if (!SendCommand(&srb)) return -1;
    return srb.SRB_DeviceType;
}

int AspiBus::GetDeviceTypeName(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                               DeviceTypeName& out) const {
    const int type = GetDeviceType(adapter, target, lun);
    out.type = type;
    if (type < 0 || type >= DEVTYPE_NAMED_COUNT) return 0;
    out.name = deviceTypeNames[type];
    return 1;
}

int AspiBus::InquireDevice(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun,
                           DeviceIdentity& id) const {
    std::uint8_t data[scsi::INQUIRY_DATA_LEN] = {};
    aspi::SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::Inquiry(), adapter, target, lun, data);
    if (!SendScsiCommand(srb)) return 0;

    CopyField(id.vendor, data + INQUIRY_VENDOR_OFFSET, INQUIRY_VENDOR_LEN);
    CopyField(id.product, data + INQUIRY_PRODUCT_OFFSET, INQUIRY_PRODUCT_LEN);
    CopyField(id.revision, data + INQUIRY_REVISION_OFFSET, INQUIRY_REVISION_LEN);
    return 1;
}

int AspiBus::TestUnitReady(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) const {
    aspi::SRB_ExecSCSICmd srb =
        scsi::MakeRequest(scsi::TestUnitReady(), adapter, target, lun, nullptr);
    return SendScsiCommand(srb);
}

int AspiBus::SendScsiCommand(aspi::SRB_ExecSCSICmd& srb) const {
    const aspi::SRB_ExecSCSICmd asked = srb;
    if (ExecuteCommand(srb)) return 1;
    if (!IsUnitAttention(srb)) return 0;
    srb = asked;
    return ExecuteCommand(srb);
}

void AspiBus::TrimTrailingBlanks(char* field, std::uint32_t width) {
    for (std::uint32_t i = width; i-- > 0;) {
        if (field[i] == ' ')
            field[i] = '\0';
        else if (field[i] != '\0')
            break;
    }
}

bool WalkBus(const AspiBus& bus, BusVisitor& visitor) {
    const unsigned adapters = bus.GetAdapterCount();
    for (unsigned a = 0; a < adapters; ++a) {
        HostAdapterInfo info;
        std::memset(&info, 0, sizeof info);
        if (!bus.InquireAdapter(static_cast<std::uint8_t>(a), info)) {
            visitor.AdapterFailed(static_cast<std::uint8_t>(a));
            continue;
        }
        visitor.AdapterFound(static_cast<std::uint8_t>(a), info);
        for (unsigned t = 0; t < info.maxTargets; ++t) {
            if (!visitor.Target(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(t), info))
                return false;
        }
        visitor.AdapterDone(static_cast<std::uint8_t>(a), info);
    }
    return true;
}
