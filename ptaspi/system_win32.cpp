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
    char rest = 0;
    // Exactly \Device\CdRomN: a letter mounted elsewhere names something else.
    return std::sscanf(target, "\\Device\\CdRom%u%c", &number, &rest) == 1 &&
           std::strncmp(target, "\\Device\\CdRom", 13) == 0;
}

HANDLE Open(const char* name, DWORD access) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\%s", name);
    // Shared both ways: the file system and other programs keep the drive open too.
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

BOOL Control(HANDLE device, DWORD code, void* in, DWORD inLen, void* out, DWORD outLen,
             DWORD* returned) {
    return DeviceIoControl(device, code, in, inLen, out, outLen, returned, nullptr);
}

void Close(HANDLE device) { CloseHandle(device); }

}  // namespace sys
}  // namespace ptaspi
