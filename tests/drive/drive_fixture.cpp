#include "drive_fixture.h"

#include <fstream>
#include <sstream>

namespace drivetest {

std::string SettingsPath() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + SETTINGS_FILE;
}

std::string ReadSettingsFile() {
    std::ifstream in(SettingsPath(), std::ios::binary);
    if (!in) return "(none)";
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteSettingsFile(const std::string& bytes) {
    DeleteFileA(SettingsPath().c_str());
    if (bytes != "(none)") std::ofstream(SettingsPath(), std::ios::binary) << bytes;
    // Drops the profile functions' cached copy.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, SETTINGS_FILE);
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
