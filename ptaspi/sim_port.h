// The SCSI port as the tests see it: a pass-through request checked as a port
// driver checks it and carried out on simaspi's drive model. Shared by the
// library's test variant (system_fake.cpp) and the device server behind the
// test driver (tests/ptaspi/driver), so both answer exactly alike. Never shipped.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstdint>
#include <string>

#include "model.h"

namespace ptaspi {
namespace sim {

enum class Verdict {
    Answered,   // done: the request block holds the results
    Malformed,  // refused before it reached the device (ERROR_INVALID_PARAMETER)
    Denied,     // the handle may not write (ERROR_ACCESS_DENIED)
    Held,       // the device never answers it
};

class Port {
public:
    // The log and state files come from SIMASPI_LOG and SIMASPI_STATE.
    Port();
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // One IOCTL_SCSI_PASS_THROUGH on device index of the bus, its block of
    // inLen bytes (the output buffer has outLen) changed in place. returned:
    // the bytes the system hands back, as a port driver counts them. name
    // goes into the log line (drive=NAME). hang: the device answers nothing
    // but INQUIRY.
    Verdict PassThrough(std::size_t index, const std::string& name, void* block, DWORD inLen,
                        DWORD outLen, bool writable, bool hang, DWORD& returned);

    void Log(const std::string& line);
    void WriteState();

    simaspi::Bus bus;

private:
    CRITICAL_SECTION lock_;
    std::string logPath_, statePath_;
};

}  // namespace sim
}  // namespace ptaspi
