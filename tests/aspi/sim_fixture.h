// Test support: a simulated bus described by a bus file, its command log and
// its device-state file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace simtest {

// The folder of the running test executable, with a trailing backslash.
std::string BinDir();
// Full path of a library beside the test executable.
std::string Library(const char* name);
// The whole file, byte for byte; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// A request or call seen by the simulated library, as key=value tokens.
struct LogLine {
    std::string kind;  // "srb" or the name of an entry point
    std::map<std::string, std::string> fields;
    std::string operator[](const std::string& key) const;
};

// The lines of a command log file.
std::vector<LogLine> ReadLog(const std::string& path);
// The lines of one kind ("srb", "spt", ...), oldest first.
std::vector<LogLine> OfKind(const std::vector<LogLine>& log, const std::string& kind);
// A pass-through line as "cdb dir len senselen", then " data" when it
// carried data out.
std::string PassThroughText(const LogLine& spt);

// Sets up SIMASPI_BUS (when the text is not empty), SIMASPI_LOG,
// SIMASPI_STATE and SIMASPI_CONTROL for the libraries loaded while it lives,
// in a fresh folder.
class SimBus {
public:
    explicit SimBus(const std::string& busFile = "");
    ~SimBus();
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    std::vector<LogLine> Log() const;
    std::vector<LogLine> Requests() const;  // the srb lines only
    void ClearLog() const;
    std::vector<std::string> State() const;
    // One field of one device's state line ("0:2:0", "speed"), or "(missing)".
    std::string StateField(const std::string& address, const std::string& key) const;
    // A new disc in the drive at "A:T:L", taken by the library at its next call.
    void ChangeMedium(const std::string& address) const;
    // True once the library has taken what was asked of it.
    bool ControlTaken() const;
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
};

// Bytes of a hexadecimal text (spaces ignored).
std::vector<std::uint8_t> Hex(const std::string& text);

// True when the hexadecimal text matches the pattern byte by byte; "??" in
// the pattern matches any byte, spaces are ignored. Explains a mismatch in why.
bool MatchesPattern(const std::string& hex, const std::string& pattern, std::string* why);

// A logged SC_EXEC_SCSI_CMD block's hex with its completion event blanked:
// the one field that sending the same block again writes anew.
std::string WithoutEvent(const std::string& raw);

// A pointer of a request block in a pattern: any value, or null. Four bytes
// on 32-bit Windows, eight on 64-bit.
inline std::string AnyPointer() { return std::string(sizeof(void*) * 2, '?'); }
inline std::string NullPointer() { return std::string(sizeof(void*) * 2, '0'); }

}  // namespace simtest
