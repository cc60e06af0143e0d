// The shipped library's system: the drive letters and the CD-ROM class
// devices behind them.
#include "system.h"

#include <cstdio>
#include <cstring>

namespace ptaspi {
namespace sys {

DWORD CdromDrives() {
    const DWORD present = GetLogicalDrives();
    DWORD cdroms = 0;
    for (int n = 0; n < DRIVE_LETTERS; ++n) {
        if (!(present & (1u << n))) continue;
        const char root[] = {char('A' + n), ':', '\\', '\0'};
        if (GetDriveTypeA(root) == DRIVE_CDROM) cdroms |= 1u << n;
    }
    return cdroms;
}

bool ClassNumber(char letter, unsigned& number) {
    const char name[] = {letter, ':', '\0'};
    char target[MAX_PATH] = {};
    if (!QueryDosDeviceA(name, target, sizeof target)) return false;
    // Exactly \Device\CdRomN: a letter mounted elsewhere names something else.
    // Read by hand: the C library's scanf would double the library's size.
    static const char PREFIX[] = "\\Device\\CdRom";
    if (std::strncmp(target, PREFIX, sizeof PREFIX - 1) != 0) return false;
    const char* digits = target + sizeof PREFIX - 1;
    unsigned value = 0;
    int count = 0;
    for (; *digits >= '0' && *digits <= '9'; ++digits, ++count) {
        if (count == 9) return false;  // no class device number is that long
        value = value * 10 + static_cast<unsigned>(*digits - '0');
    }
    if (count == 0 || *digits != '\0') return false;
    number = value;
    return true;
}

HANDLE Open(const char* name, DWORD access) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\%s", name);
    // Shared both ways: the file system and other programs keep the drive open too.
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

BOOL Control(HANDLE device, DWORD code, void* in, DWORD inLen, void* out, DWORD outLen,
             DWORD* returned) {
    return DeviceIoControl(device, code, in, inLen, out, outLen, returned, nullptr);
}

void Close(HANDLE device) { CloseHandle(device); }

}  // namespace sys
}  // namespace ptaspi
