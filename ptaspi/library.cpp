// WNASPI32.DLL: an ASPI for Win32 library over the system's own SCSI
// pass-through. Every CD-ROM class device (\\.\X:) is placed on an ASPI host
// adapter and target (layout.h); SCSI commands are queued per device and
// carried out by its threads (device.h), so they complete asynchronously.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "aspi32.h"
#include "bus.h"
#include "device.h"
#include "scsi_commands.h"
#include "system.h"

using namespace aspi;
using namespace ptaspi;

namespace {

// GetASPI32DLLVersion: 1.0.0.0, the least significant byte first.
constexpr std::uint32_t LIBRARY_VERSION = 0x00000001;
constexpr const char* MANAGER_ID = "ASPI for WIN32";
// At unload the library waits this long for its threads to leave its code.
constexpr DWORD DETACH_WAIT_MS = 5000;
constexpr std::uint8_t INQUIRY_TYPE_MASK = 0x1F;  // peripheral device type bits of byte 0
// Class devices are tried from CdRom0 on until this many names in a row are
// missing, and never past CdRom63.
constexpr int CLASS_GAP = 4;
constexpr int CLASS_NUMBER_LIMIT = 64;

struct Adapter {
    std::uint8_t ownId;
    char identifier[HA_TEXT_LEN + 1];
};

struct Library {
    CRITICAL_SECTION lock;   // the lists and every device's queue
    CRITICAL_SECTION build;  // one rebuild at a time
    bool built = false;
    std::vector<Device*> devices;
    std::vector<Adapter> adapters;
};

Library* lib = nullptr;

void PutText(std::uint8_t* field, const char* text, std::size_t width) {
    std::memset(field, ' ', width);
    std::memcpy(field, text, std::min(width, std::strlen(text)));
}

std::uint32_t Answer(void* srb, std::uint8_t status) {
    static_cast<SRB_Header*>(srb)->SRB_Status = status;
    return status;
}

// A SCSI command refused or ended at once. The event is still signalled, for a
// caller that waits whatever the return value; nothing is posted, since the
// caller learns the end from the return value.
std::uint32_t Refuse(SRB_ExecSCSICmd* srb, std::uint8_t status) {
    const std::uint8_t flags = srb->SRB_Flags;
    void* const post = srb->SRB_PostProc;
    Answer(srb, status);
    if ((flags & SRB_EVENT_NOTIFY) && !(flags & SRB_POSTING) && post) SetEvent(post);
    return status;
}

// The caller holds the lock.
Device* Find(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) {
    for (Device* d : lib->devices)
        if (d->slot.adapter == adapter && d->slot.target == target && d->slot.lun == lun) return d;
    return nullptr;
}

bool ValidAdapter(std::uint8_t adapter) { return adapter < lib->adapters.size(); }

// The peripheral type from INQUIRY; a drive that does not answer is still
// what its drive letter says.
std::uint8_t Identify(Device& d) {
    std::uint8_t data[scsi::INQUIRY_DATA_LEN] = {};
    SRB_ExecSCSICmd srb = scsi::MakeRequest(scsi::Inquiry(), 0, 0, 0, data);
    if (d.Carry(srb) != SS_COMP) return DEVTYPE_CDROM;
    return data[0] & INQUIRY_TYPE_MASK;
}

// One device as found, before it is placed.
struct Found {
    SystemDevice seen;
    HANDLE handle;
};

// Opens \\.\NAME (read and write access, read access where only that is
// allowed) and reads its address and, where a letter did not tell, its class
// device number.
Found OpenFound(const char* name, char letter, int number) {
    Found f = {SystemDevice{letter, false, 0, 0, 0, 0, number}, INVALID_HANDLE_VALUE};
    f.handle = sys::Open(name, GENERIC_READ | GENERIC_WRITE);
    if (f.handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        f.handle = sys::Open(name, GENERIC_READ);
    if (f.handle == INVALID_HANDLE_VALUE) return f;
    SCSI_ADDRESS address = {};
    DWORD returned = 0;
    if (sys::Control(f.handle, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address,
                     &returned)) {
        f.seen.addressed = true;
        f.seen.port = address.PortNumber;
        f.seen.path = address.PathId;
        f.seen.target = address.TargetId;
        f.seen.lun = address.Lun;
    }
    STORAGE_DEVICE_NUMBER n = {};
    if (f.seen.number == NO_NUMBER &&
        sys::Control(f.handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &n, sizeof n,
                     &returned) &&
        n.DeviceType == FILE_DEVICE_CD_ROM)
        f.seen.number = int(n.DeviceNumber);
    return f;
}

bool SameDevice(const SystemDevice& a, const SystemDevice& b) {
    if (a.number != NO_NUMBER && a.number == b.number) return true;
    return a.addressed && b.addressed && a.port == b.port && a.path == b.path &&
           a.target == b.target && a.lun == b.lun;
}

// Every CD-ROM class device once: the drive letters of type CD-ROM, then the
// class devices \\.\CdRom0, CdRom1, ... up to a gap of CLASS_GAP names, those
// a letter stands for already (by class device number or address) left out.
std::vector<Found> FindDevices() {
    std::vector<Found> found;
    const DWORD drives = sys::CdromDrives();
    for (int n = 0; n < sys::DRIVE_LETTERS; ++n) {
        if (!(drives & (1u << n))) continue;
        const char name[] = {char('A' + n), ':', '\0'};
        unsigned number = 0;
        found.push_back(
            OpenFound(name, name[0], sys::ClassNumber(name[0], number) ? int(number) : NO_NUMBER));
    }
    int misses = 0;
    for (int number = 0; number < CLASS_NUMBER_LIMIT && misses < CLASS_GAP; ++number) {
        const bool known = std::any_of(found.begin(), found.end(),
                                       [&](const Found& f) { return f.seen.number == number; });
        if (known) {
            misses = 0;
            continue;
        }
        char name[16];
        std::snprintf(name, sizeof name, "CdRom%d", number);
        Found f = OpenFound(name, NO_LETTER, number);
        if (f.handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_ACCESS_DENIED) {
            ++misses;  // no such name
            continue;
        }
        misses = 0;
        f.seen.number = number;
        const bool twice = std::any_of(found.begin(), found.end(),
                                       [&](const Found& g) { return SameDevice(g.seen, f.seen); });
        if (twice) {
            if (f.handle != INVALID_HANDLE_VALUE) sys::Close(f.handle);
            continue;
        }
        found.push_back(f);
    }
    return found;
}

void Dispose(Device* d) {
    if (d->Stop()) delete d;  // else a call of the system still holds it: left alive
}

// The caller holds lib->build.
void Rebuild() {
    std::vector<Device*> old;
    {
        Lock lock(lib->lock);
        old.swap(lib->devices);
        lib->adapters.clear();
    }
    for (Device* d : old) Dispose(d);

    const std::vector<Found> found = FindDevices();
    std::vector<SystemDevice> seen;
    for (const Found& f : found) seen.push_back(f.seen);
    const std::vector<Slot> slots = PlaceDevices(seen);

    std::vector<Device*> placed;
    std::vector<Adapter> adapters;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (slots[i].adapter == NOT_PLACED) {
            if (found[i].handle != INVALID_HANDLE_VALUE) sys::Close(found[i].handle);
            continue;
        }
        Device* d = new Device(seen[i].letter, found[i].handle, lib->lock);
        d->type = DEVTYPE_CDROM;
        if (d->Start()) d->type = Identify(*d);
        d->slot = slots[i];
        placed.push_back(d);
        while (adapters.size() <= slots[i].adapter)
            adapters.push_back({OwnScsiId(slots, std::uint8_t(adapters.size())), {}});
        // Named after the first device found on it: its port and bus, its
        // letter, or its class device.
        char* identifier = adapters[slots[i].adapter].identifier;
        if (identifier[0]) continue;
        if (seen[i].addressed)
            std::snprintf(identifier, HA_TEXT_LEN + 1, "PORT%u BUS%u", seen[i].port, seen[i].path);
        else if (seen[i].letter != NO_LETTER)
            std::snprintf(identifier, HA_TEXT_LEN + 1, "DRIVE %c:", seen[i].letter);
        else
            std::snprintf(identifier, HA_TEXT_LEN + 1, "CDROM%d", seen[i].number);
    }
    Lock lock(lib->lock);
    lib->devices.swap(placed);
    lib->adapters.swap(adapters);
    lib->built = true;
}

// The device list is made at the first call rather than at load: opening
// devices has no place in DllMain.
void EnsureBuilt() {
    Lock lock(lib->build);
    if (!lib->built) Rebuild();
}

std::uint32_t RescanAll() {
    Lock lock(lib->build);
    Rebuild();
    return SS_COMP;
}

std::uint32_t HaInquiry(SRB_HAInquiry* srb) {
    Lock lock(lib->lock);
    srb->HA_Count = std::uint8_t(lib->adapters.size());
    if (!ValidAdapter(srb->SRB_HaId)) return Answer(srb, SS_INVALID_HA);
    const Adapter& a = lib->adapters[srb->SRB_HaId];
    srb->HA_SCSI_ID = a.ownId;
    PutText(srb->HA_ManagerId, MANAGER_ID, sizeof srb->HA_ManagerId);
    PutText(srb->HA_Identifier, a.identifier, sizeof srb->HA_Identifier);
    std::memset(srb->HA_Unique, 0, sizeof srb->HA_Unique);
    srb->HA_Unique[HA_UNIQUE_MAX_TARGETS] = TARGET_LIMIT;
    const std::uint32_t maxTransfer = MAX_TRANSFER;
    std::memcpy(srb->HA_Unique + HA_UNIQUE_MAX_TRANSFER, &maxTransfer, sizeof maxTransfer);
    return Answer(srb, SS_COMP);
}

std::uint32_t GetDevType(SRB_GDEVBlock* srb) {
    Lock lock(lib->lock);
    if (!ValidAdapter(srb->SRB_HaId)) return Answer(srb, SS_INVALID_HA);
    const Device* d = Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
    if (!d) return Answer(srb, SS_NO_DEVICE);
    srb->SRB_DeviceType = d->type;
    return Answer(srb, SS_COMP);
}

std::uint32_t Exec(SRB_ExecSCSICmd* srb) {
    Lock lock(lib->lock);
    if (!ValidAdapter(srb->SRB_HaId)) return Refuse(srb, SS_INVALID_HA);
    Device* d = Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
    if (!d) return Refuse(srb, SS_NO_DEVICE);
    if (const std::uint8_t bad = CheckRequest(*srb)) return Refuse(srb, bad);
    if (!d->Opened()) return Refuse(srb, Unanswered(*srb, HASTAT_SEL_TO));
    d->Accept(srb);
    return SS_PENDING;
}

std::uint32_t Abort(SRB_Abort* srb) {
    SRB_ExecSCSICmd* target = static_cast<SRB_ExecSCSICmd*>(srb->SRB_ToAbort);
    bool withdrawn = false;
    {
        Lock lock(lib->lock);
        if (!ValidAdapter(srb->SRB_HaId)) return Answer(srb, SS_INVALID_HA);
        for (Device* d : lib->devices)
            if (d->slot.adapter == srb->SRB_HaId && d->Withdraw(target)) withdrawn = true;
    }
    if (!withdrawn) return Answer(srb, SS_ABORT_FAIL);  // started, finished or unknown
    Complete(target, SS_ABORTED);
    return Answer(srb, SS_COMP);
}

// The pass-through has no reset to send: resetting ends what waits in the
// device's queue, and the device is left as it is.
std::uint32_t ResetDevice(SRB_BusDeviceReset* srb) {
    Device* d;
    {
        Lock lock(lib->lock);
        if (!ValidAdapter(srb->SRB_HaId)) return Answer(srb, SS_INVALID_HA);
        d = Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
        if (!d) return Answer(srb, SS_NO_DEVICE);
    }
    d->AbortQueued();
    srb->SRB_HaStat = HASTAT_OK;
    srb->SRB_TargStat = STATUS_GOOD;
    const std::uint8_t flags = srb->SRB_Flags;
    void* const post = srb->SRB_PostProc;
    Answer(srb, SS_COMP);
    if ((flags & SRB_EVENT_NOTIFY) && post) SetEvent(post);
    return SS_COMP;
}

bool Matches(std::uint8_t wanted, std::uint8_t actual) {
    return wanted == ADDRESS_WILDCARD || wanted == actual;
}

std::uint32_t Timeouts(SRB_GetSetTimeouts* srb) {
    const bool get = srb->SRB_Flags & SRB_DIR_IN, set = srb->SRB_Flags & SRB_DIR_OUT;
    if (get == set || srb->SRB_Timeout > MAX_TIMEOUT_HALF_SECONDS)
        return Answer(srb, SS_INVALID_SRB);
    Lock lock(lib->lock);
    if (srb->SRB_HaId != ADDRESS_WILDCARD && !ValidAdapter(srb->SRB_HaId))
        return Answer(srb, SS_INVALID_HA);
    if (get) {
        const Device* d = Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
        if (!d) return Answer(srb, SS_NO_DEVICE);
        srb->SRB_Timeout = d->timeout;
        return Answer(srb, SS_COMP);
    }
    bool matched = false;
    for (Device* d : lib->devices) {
        if (Matches(srb->SRB_HaId, d->slot.adapter) && Matches(srb->SRB_Target, d->slot.target) &&
            Matches(srb->SRB_Lun, d->slot.lun)) {
            d->timeout = srb->SRB_Timeout ? srb->SRB_Timeout : DEFAULT_TIMEOUT_HALF_SECONDS;
            matched = true;
        }
    }
    return Answer(srb, matched ? SS_COMP : SS_NO_DEVICE);
}

}  // namespace

extern "C" {

std::uint32_t __cdecl GetASPI32SupportInfo(void) {
    EnsureBuilt();
    Lock lock(lib->lock);
    const std::uint8_t count = std::uint8_t(lib->adapters.size());
    return count ? MakeSupportWord(SS_COMP, count) : MakeSupportWord(SS_NO_ADAPTERS, 0);
}

std::uint32_t __cdecl SendASPI32Command(void* srb) {
    if (!srb) return SS_INVALID_SRB;
    EnsureBuilt();
    switch (static_cast<SRB_Header*>(srb)->SRB_Cmd) {
    case SC_HA_INQUIRY: return HaInquiry(static_cast<SRB_HAInquiry*>(srb));
    case SC_GET_DEV_TYPE: return GetDevType(static_cast<SRB_GDEVBlock*>(srb));
    case SC_EXEC_SCSI_CMD: return Exec(static_cast<SRB_ExecSCSICmd*>(srb));
    case SC_ABORT_SRB: return Abort(static_cast<SRB_Abort*>(srb));
    case SC_RESET_DEV: return ResetDevice(static_cast<SRB_BusDeviceReset*>(srb));
    case SC_GETSET_TIMEOUTS: return Timeouts(static_cast<SRB_GetSetTimeouts*>(srb));
    default: return Answer(srb, SS_INVALID_CMD);
    }
}

// Page-aligned and zero-filled, whatever AB_ZeroFill says.
std::uint32_t __cdecl GetASPI32Buffer(ASPI32BUFF* buffer) {
    if (!buffer || !buffer->AB_BufLen) return FALSE;
    void* p = VirtualAlloc(nullptr, buffer->AB_BufLen, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!p) return FALSE;
    buffer->AB_BufPointer = static_cast<std::uint8_t*>(p);
    return TRUE;
}

std::uint32_t __cdecl FreeASPI32Buffer(ASPI32BUFF* buffer) {
    if (!buffer || !buffer->AB_BufPointer) return FALSE;
    if (!VirtualFree(buffer->AB_BufPointer, 0, MEM_RELEASE)) return FALSE;
    buffer->AB_BufPointer = nullptr;
    return TRUE;
}

// The Windows 95 device nodes this maps to do not exist on Windows NT.
std::uint32_t __cdecl TranslateASPI32Address(std::uint32_t*, std::uint32_t*) { return FALSE; }

std::uint32_t __cdecl GetASPI32DLLVersion(void) { return LIBRARY_VERSION; }

std::uint32_t __cdecl ScsiRescan(void) { return RescanAll(); }

std::uint32_t __cdecl ReScanAdapters(void) { return RescanAll(); }

// Nothing to keep per client: the library serves every caller alike.
std::uint32_t __cdecl RegisterASPI32Client(std::uint32_t) { return SS_COMP; }

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        libraryModule = instance;
        lib = new Library;
        InitializeCriticalSection(&lib->lock);
        InitializeCriticalSection(&lib->build);
    } else if (reason == DLL_PROCESS_DETACH) {
        if (reserved) return TRUE;  // the process ends: its threads are gone already
        for (Device* d : lib->devices) d->RequestStop();
        // A thread ends on the loader lock this thread holds: it cannot be
        // waited for, only seen to leave the library's code.
        for (DWORD waited = 0; liveThreads > 0 && waited < DETACH_WAIT_MS; ++waited) Sleep(1);
        if (liveThreads > 0) return TRUE;  // still in a call: leave everything in place
        Sleep(1);
        for (Device* d : lib->devices) delete d;
        DeleteCriticalSection(&lib->build);
        DeleteCriticalSection(&lib->lock);
        delete lib;
        lib = nullptr;
    }
    return TRUE;
}
