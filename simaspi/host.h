// What the libraries over the simulated drive model share on the Windows side:
// the environment, the bus file, the command log and the state file. simaspi.dll
// and the pass-through library's test variant both read SIMASPI_BUS and write
// SIMASPI_LOG and SIMASPI_STATE through these.
#pragma once

#include <cstddef>
#include <string>

#include "model.h"

namespace simaspi {

std::string Env(const char* name);
bool ReadWholeFile(const std::string& path, std::string& text);
void WriteStderr(const std::string& line);
void WriteFileText(const std::string& path, const std::string& text, bool append);
std::string Hex(const void* data, std::size_t len);
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The bus named by SIMASPI_BUS, or the built-in one without it. A bus file
// that cannot be read or parsed is reported on standard error and gives false
// (and an empty bus).
bool LoadConfiguredBus(Bus& bus);

// The state file's text: one line per device.
std::string StateText(const Bus& bus);

}  // namespace simaspi
