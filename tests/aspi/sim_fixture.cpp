#include "sim_fixture.h"

#include <windows.h>

#include <cctype>
#include <cstddef>
#include <fstream>
#include <sstream>

#include "aspi32.h"

namespace simtest {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::string Compact(const std::string& text) {
    std::string out;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) out += c;
    return out;
}

}  // namespace

std::string BinDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string Library(const char* name) { return BinDir() + name; }

std::string LogLine::operator[](const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

SimBus::SimBus(const std::string& busFile) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH] = {};
    GetTempFileNameA(temp, "sim", 0, name);  // a unique name, made into a folder
    DeleteFileA(name);
    CreateDirectoryA(name, nullptr);
    folder_ = std::string(name) + "\\";
    if (!busFile.empty()) {
        std::ofstream(folder_ + "bus.ini", std::ios::binary) << busFile;
        SetEnvironmentVariableA("SIMASPI_BUS", (folder_ + "bus.ini").c_str());
    } else {
        SetEnvironmentVariableA("SIMASPI_BUS", nullptr);
    }
    SetEnvironmentVariableA("SIMASPI_LOG", (folder_ + "log.txt").c_str());
    SetEnvironmentVariableA("SIMASPI_STATE", (folder_ + "state.txt").c_str());
    SetEnvironmentVariableA("SIMASPI_CONTROL", (folder_ + "control.txt").c_str());
}

SimBus::~SimBus() {
    SetEnvironmentVariableA("SIMASPI_BUS", nullptr);
    SetEnvironmentVariableA("SIMASPI_LOG", nullptr);
    SetEnvironmentVariableA("SIMASPI_STATE", nullptr);
    SetEnvironmentVariableA("SIMASPI_CONTROL", nullptr);
    for (const char* file : {"bus.ini", "log.txt", "state.txt", "control.txt", "control.new"})
        DeleteFileA((folder_ + file).c_str());
    RemoveDirectoryA(folder_.c_str());
}

std::vector<LogLine> SimBus::Log() const { return ReadLog(folder_ + "log.txt"); }

std::vector<LogLine> ReadLog(const std::string& path) {
    std::vector<LogLine> out;
    for (const std::string& line : Lines(ReadFile(path))) {
        std::istringstream in(line);
        LogLine entry;
        std::string token;
        while (in >> token) {
            const auto eq = token.find('=');
            if (eq == std::string::npos) {
                entry.kind = token;
                continue;
            }
            const std::string key = token.substr(0, eq), value = token.substr(eq + 1);
            if (key == "call")
                entry.kind = value;
            else
                entry.fields[key] = value;
        }
        out.push_back(entry);
    }
    return out;
}

std::vector<LogLine> OfKind(const std::vector<LogLine>& log, const std::string& kind) {
    std::vector<LogLine> out;
    for (const LogLine& line : log)
        if (line.kind == kind) out.push_back(line);
    return out;
}

std::string PassThroughText(const LogLine& spt) {
    std::string text = spt["cdb"] + " " + spt["dir"] + " " + spt["len"] + " " + spt["senselen"];
    if (!spt["data"].empty()) text += " " + spt["data"];
    return text;
}

std::vector<LogLine> SimBus::Requests() const { return OfKind(Log(), "srb"); }

void SimBus::ClearLog() const {
    // The library appends to the file; emptying it in place keeps that working.
    std::ofstream(folder_ + "log.txt", std::ios::binary | std::ios::trunc);
}

std::vector<std::string> SimBus::State() const { return Lines(ReadFile(folder_ + "state.txt")); }

std::string SimBus::StateField(const std::string& address, const std::string& key) const {
    for (const std::string& line : State()) {
        std::istringstream in(line);
        std::string token;
        in >> token;
        if (token != address) continue;
        while (in >> token)
            if (token.compare(0, key.size() + 1, key + "=") == 0)
                return token.substr(key.size() + 1);
    }
    return "(missing)";
}

void SimBus::ChangeMedium(const std::string& address) const {
    // Written aside and renamed into place, so the library never reads half
    // a line; what it has not taken yet stays in front.
    const std::string text = ReadFile(folder_ + "control.txt") + "medium " + address + "\n";
    std::ofstream(folder_ + "control.new", std::ios::binary) << text;
    MoveFileExA((folder_ + "control.new").c_str(), (folder_ + "control.txt").c_str(),
                MOVEFILE_REPLACE_EXISTING);
}

bool SimBus::ControlTaken() const {
    return GetFileAttributesA((folder_ + "control.txt").c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::string WithoutEvent(const std::string& raw) {
    const std::size_t at = offsetof(aspi::SRB_ExecSCSICmd, SRB_PostProc) * 2;
    std::string text = raw;
    if (text.size() >= at + sizeof(void*) * 2)
        text.replace(at, sizeof(void*) * 2, std::string(sizeof(void*) * 2, '-'));
    return text;
}

std::vector<std::uint8_t> Hex(const std::string& text) {
    const std::string hex = Compact(text);
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

bool MatchesPattern(const std::string& hex, const std::string& pattern, std::string* why) {
    const std::string h = Compact(hex), p = Compact(pattern);
    if (h.size() != p.size()) {
        if (why)
            *why = "length " + std::to_string(h.size() / 2) + " bytes, expected " +
                   std::to_string(p.size() / 2);
        return false;
    }
    for (std::size_t i = 0; i + 1 < p.size(); i += 2) {
        if (p.compare(i, 2, "??") == 0) continue;
        if (std::tolower(static_cast<unsigned char>(h[i])) !=
                std::tolower(static_cast<unsigned char>(p[i])) ||
            std::tolower(static_cast<unsigned char>(h[i + 1])) !=
                std::tolower(static_cast<unsigned char>(p[i + 1]))) {
            if (why)
                *why = "byte " + std::to_string(i / 2) + " is " + h.substr(i, 2) + ", expected " +
                       p.substr(i, 2);
            return false;
        }
    }
    return true;
}

}  // namespace simtest
