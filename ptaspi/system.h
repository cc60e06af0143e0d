// The system calls the library needs, behind one seam: the real ones in the
// shipped library (system_win32.cpp); in its test variant a fake that answers
// from the simulated drive model (system_fake.cpp).
#pragma once

#include <windows.h>

namespace ptaspi {
namespace sys {

constexpr int DRIVE_LETTERS = 26;  // A: to Z:

// Bit n set: drive letter 'A' + n is a CD-ROM class device.
DWORD CdromDrives();
// The N of the \Device\CdRomN a drive letter names; false when it names
// something else or cannot be read.
bool ClassNumber(char letter, unsigned& number);
// \\.\NAME ("X:" or "CdRomN") opened with the access asked for;
// INVALID_HANDLE_VALUE when it cannot be, the reason in GetLastError.
HANDLE Open(const char* name, DWORD access);
// DeviceIoControl without overlapped I/O; the library asks only
// IOCTL_SCSI_GET_ADDRESS, IOCTL_STORAGE_GET_DEVICE_NUMBER and
// IOCTL_SCSI_PASS_THROUGH.
BOOL Control(HANDLE device, DWORD code, void* in, DWORD inLen, void* out, DWORD outLen,
             DWORD* returned);
void Close(HANDLE device);

}  // namespace sys
}  // namespace ptaspi
