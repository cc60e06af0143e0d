// The shipped library's system: the drive letters and the devices behind them.
#include "system.h"

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

HANDLE Open(char letter, DWORD access) {
    const char path[] = {'\\', '\\', '.', '\\', letter, ':', '\0'};
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
