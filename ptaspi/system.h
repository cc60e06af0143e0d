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
// \\.\X: opened with the access asked for; INVALID_HANDLE_VALUE when it cannot be.
HANDLE Open(char letter, DWORD access);
// DeviceIoControl without overlapped I/O; the library asks only
// IOCTL_SCSI_GET_ADDRESS and IOCTL_SCSI_PASS_THROUGH.
BOOL Control(HANDLE device, DWORD code, void* in, DWORD inLen, void* out, DWORD outLen,
             DWORD* returned);
void Close(HANDLE device);

}  // namespace sys
}  // namespace ptaspi
