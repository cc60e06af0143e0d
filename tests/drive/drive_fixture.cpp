#include "drive_fixture.h"

#include <fstream>
#include <sstream>

#include "settings_store.h"
#include "test_language.h"

namespace drivetest {

std::string SettingsPath() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + SETTINGS_FILE;
}

std::string StoreCopyPath() {
    char path[MAX_PATH];
    return VirtualStoreSettingsPath(path) ? path : "(no path)";
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "(none)";
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

// A run that sets the language by the Language key has the key in every
// settings file a test writes, and what a test reads back is shown without
// it: so the program reads the key from its file as it would from a user's.
std::string LanguageLine() {
    const std::string name = testsupport::ForcedLanguageName();
    return name.empty() ? "" : "Language=" + name + "\r\n";
}

std::string WithLanguageKey(std::string bytes) {
    const std::string line = LanguageLine();
    if (line.empty()) return bytes;
    if (bytes == "(none)") return "[COMMON]\r\n" + line;
    // Under the section's line, whichever line end the test wrote.
    std::size_t common = bytes.find("[COMMON]");
    if (common == std::string::npos) return "[COMMON]\r\n" + line + bytes;
    common = bytes.find('\n', common);
    if (common == std::string::npos) return bytes + "\r\n" + line;
    return bytes.insert(common + 1, line);
}

std::string WithoutLanguageKey(std::string bytes) {
    const std::string line = LanguageLine();
    if (line.empty()) return bytes;
    const std::size_t at = bytes.find(line);
    if (at != std::string::npos) bytes.erase(at, line.size());
    return bytes == "[COMMON]\r\n" ? "(none)" : bytes;
}

}  // namespace

std::string ReadSettingsFile() { return WithoutLanguageKey(ReadFileBytes(SettingsPath())); }

namespace {

bool Writable(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() != ERROR_ACCESS_DENIED;
    CloseHandle(file);
    return true;
}

// chattr on the file, from the Unix side (Wine starts a Unix program given
// to CreateProcess), and a wait until the file is as asked.
bool Immutable(const std::string& path, bool immutable) {
    using UnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* name = unixName(wide);
    if (!name) return false;
    std::string command = std::string("chattr ") + (immutable ? "+i" : "-i") + " \"" + name + "\"";
    HeapFree(GetProcessHeap(), 0, name);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA("Z:\\usr\\bin\\chattr", &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return false;
    // chattr's end, then its effect as the file shows it: waited for, 20
    // seconds at the most.
    WaitForSingleObject(process.hProcess, 20000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (const DWORD start = GetTickCount();
         Writable(path) == immutable && GetTickCount() - start < 20000;)
        Sleep(20);
    return Writable(path) != immutable;
}

}  // namespace

// A file's read-only attribute binds no one running as root, as these tests
// run here: Wine keeps it in the Unix mode bits, which root passes. An
// immutable file (chattr +i) refuses root too, and Wine reports that as
// access denied, as Windows does for a file the user may not write.
bool SetReadOnly(const std::string& path, bool readOnly) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return !readOnly;
    if (!readOnly && !Writable(path)) Immutable(path, false);
    SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    if (readOnly && Writable(path)) Immutable(path, true);
    return Writable(path) != readOnly;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    SetReadOnly(path, false);
    DeleteFileA(path.c_str());
    if (bytes != "(none)") {
        for (std::size_t at = path.find('\\', 3); at != std::string::npos;
             at = path.find('\\', at + 1))
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Drops the profile functions' cached copy.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

void WriteSettingsFile(const std::string& bytes) {
    WriteFileBytes(SettingsPath(), WithLanguageKey(bytes));
}

std::string StateOf(const simtest::SimBus& sim, const std::string& address,
                    const std::string& key) {
    return sim.StateField(address, key);
}

std::vector<std::string> Cdbs(const simtest::SimBus& sim) {
    std::vector<std::string> out;
    for (const auto& r : sim.Requests())
        if (r["cmd"] == "02") out.push_back(r["ha"] + ":" + r["tgt"] + " " + r["cdb"]);
    return out;
}

std::string CdromSection(unsigned adapter, unsigned target, const std::string& vendor,
                         const std::string& product, const std::string& revision,
                         const std::string& speeds, const std::string& extra) {
    std::ostringstream s;
    s << "[device." << adapter << "." << target << "]\ntype=5\nvendor=" << vendor
      << "\nproduct=" << product << "\nrevision=" << revision << "\nspeeds=" << speeds << "\n"
      << extra;
    return s.str();
}

void DriveFixture::SetUp() {
    WriteSettingsFile("(none)");
    WriteFileBytes(StoreCopyPath(), "(none)");
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    ASSERT_NE(nullptr, appState);
    boxes.reset(new testsupport::MessageBoxRecorder());
    ASSERT_TRUE(boxes->Installed());
}

void DriveFixture::TearDown() {
    Unbind();
    boxes.reset();
    DestroyAppState();
    WriteSettingsFile("(none)");
    WriteFileBytes(StoreCopyPath(), "(none)");
}

void DriveFixture::Bind(const std::string& busFile) {
    Unbind();
    sim.reset(new simtest::SimBus(busFile));
    ASSERT_EQ(1, aspiBus.Load(simtest::Library("simaspi.dll").c_str()));
    cdromDevice.bus = &aspiBus;
    sim->ClearLog();
}

void DriveFixture::Unbind() {
    aspiBus.Unload();
    cdromDevice.bus = nullptr;
    sim.reset();
}

}  // namespace drivetest
