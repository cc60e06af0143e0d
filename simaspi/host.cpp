#include "host.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace simaspi {

std::string Env(const char* name) {
    char value[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0 || n >= sizeof value) return std::string();
    return std::string(value, n);
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char chunk[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, chunk, sizeof chunk, &got, nullptr) != 0) && got > 0)
        text.append(chunk, got);
    CloseHandle(h);
    return ok;
}

void WriteStderr(const std::string& line) {
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written;
    WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
}

void WriteFileText(const std::string& path, const std::string& text, bool append) {
    if (path.empty()) return;
    HANDLE h = CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(h);
}

std::string Hex(const void* data, std::size_t len) {
    static const char digits[] = "0123456789abcdef";
    const std::uint8_t* p = static_cast<const std::uint8_t*>(data);
    std::string s;
    s.reserve(len * 2);
    for (std::size_t i = 0; i < len; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string Format(const char* fmt, ...) {
    char buf[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

bool LoadConfiguredBus(Bus& bus) {
    std::string busPath = Env("SIMASPI_BUS");
    if (busPath.empty()) {
        bus = DefaultBus();
        return true;
    }
    std::string text;
    ParseResult parsed;
    if (!ReadWholeFile(busPath, text)) {
        parsed.problem = "cannot read the bus file";
    } else {
        parsed = ParseBusText(text);
    }
    if (parsed.ok) {
        bus = parsed.bus;
        return true;
    }
    WriteStderr("simaspi: " + busPath + ":" + std::to_string(parsed.line) + ": " + parsed.problem);
    bus = Bus();
    return false;
}

std::string StateText(const Bus& bus) {
    std::string text;
    for (const Device& d : bus.devices) text += StateLine(d) + "\n";
    return text;
}

}  // namespace simaspi
