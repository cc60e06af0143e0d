#include "appstate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>

#include "msgbox_recorder.h"

// CreateAppState allocates with the non-throwing new; this replacement lets a
// test make that allocation fail.
namespace {
bool failNothrowNew = false;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (failNothrowNew) return nullptr;
    return std::malloc(size ? size : 1);
}
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace {

// The bare file name lands in the Windows directory. Each test starts without
// the file and leaves none behind.
class AppStateTest : public testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH];
        ASSERT_NE(GetWindowsDirectoryA(folder, sizeof folder), 0u);
        path = std::string(folder) + "\\" + SETTINGS_FILE;
        Remove();
        ASSERT_FALSE(Exists());
        ASSERT_TRUE(recorder.Installed());
    }
    void TearDown() override {
        if (appState) DestroyAppState();
        Remove();
        EXPECT_FALSE(Exists());
        // Creation shows no box, whatever the file holds.
        EXPECT_EQ(recorder.Count(), 0u);
    }

    void Remove() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // flush the cache
        DeleteFileA(path.c_str());
    }
    bool Exists() { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    void WriteFile(const std::string& text) {
        std::ofstream file(path, std::ios::binary);
        file << text;
    }
    std::string FileText() {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::string path;
    testsupport::MessageBoxRecorder recorder;
};

TEST_F(AppStateTest, FirstStartTakesTheUsualLibraryAndWritesOnlyItsName) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(CreateAppState(instance));
    ASSERT_NE(appState, nullptr);
    AppState& s = *appState;
    EXPECT_STREQ(s.aspiDll.String(0), "WNASPI32.DLL");
    EXPECT_EQ(FileText(), "[COMMON]\r\nASPIDLL=WNASPI32.DLL\r\n");

    // Everything else holds its zero value until the settings are loaded.
    EXPECT_EQ(s.instance, instance);
    EXPECT_EQ(s.settingsDialog, nullptr);
    EXPECT_EQ(s.versionDialog, nullptr);
    EXPECT_EQ(s.popupMenu, nullptr);
    EXPECT_EQ(s.errorCount, 0u);
    EXPECT_EQ(s.driveCount, 0u);
    EXPECT_TRUE(std::all_of(std::begin(s.skip), std::end(s.skip), [](auto v) { return v == 0; }));
    const auto* driveBytes = reinterpret_cast<const unsigned char*>(s.drives);
    EXPECT_TRUE(
        std::all_of(driveBytes, driveBytes + sizeof s.drives, [](auto b) { return b == 0; }));
    EXPECT_EQ(s.openCloseTimerId, 0u);
    EXPECT_EQ(s.balloonTimerId, 0u);
    EXPECT_TRUE(std::all_of(std::begin(s.balloonText), std::end(s.balloonText),
                            [](char c) { return c == 0; }));
    const std::int32_t flags[] = {s.paused,      s.update,          s.mediaControl, s.useOpenClose,
                                  s.useLock,     s.useKeyboardHook, s.swapMenu,     s.balloonAll,
                                  s.balloonAuto, s.noErrorMessage};
    for (std::int32_t flag : flags) EXPECT_EQ(flag, 0);
    EXPECT_EQ(s.openCloseTimer, 0u);
    EXPECT_EQ(s.iconType, 0u);
    CSTR* menus[] = {&s.menuOpen,      &s.menuClose, &s.menuEject,
                     &s.menuOpenClose, &s.menuLock,  &s.menuUnlock};
    for (CSTR* text : menus) EXPECT_EQ(text->Length(), 0u);
}

TEST_F(AppStateTest, AnEmptyNameCountsAsMissingAndIsWrittenBack) {
    WriteFile("[COMMON]\r\nASPIDLL=\r\nUpdate=0\r\n[Menu]\r\nOpen=x\r\n");
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_STREQ(appState->aspiDll.String(0), "WNASPI32.DLL");
    EXPECT_EQ(FileText(), "[COMMON]\r\nASPIDLL=WNASPI32.DLL\r\nUpdate=0\r\n[Menu]\r\nOpen=x\r\n");
    // Creation reads nothing but the library name.
    EXPECT_EQ(appState->update, 0);
    EXPECT_EQ(appState->menuOpen.Length(), 0u);
}

TEST_F(AppStateTest, AStoredNameIsKeptAndTheFileLeftAlone) {
    const std::string text = "[COMMON]\r\nASPIDLL=C:\\ASPI\\NEROASPI.DLL\r\nIconType=3\r\n";
    WriteFile(text);
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_STREQ(appState->aspiDll.String(0), "C:\\ASPI\\NEROASPI.DLL");
    EXPECT_EQ(appState->iconType, 0u);
    EXPECT_EQ(FileText(), text);
}

TEST_F(AppStateTest, TheNameIsReadIntoA260ByteBuffer) {
    const std::string longName(300, 'A');
    WriteFile("[COMMON]\r\nASPIDLL=" + longName + "\r\n");
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_EQ(appState->aspiDll.Length(), 259u);
    EXPECT_EQ(std::string(appState->aspiDll.String(0)), longName.substr(0, 259));
}

TEST_F(AppStateTest, TheEightIconsComeFromTheProgramsResources) {
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    for (std::uint32_t i = 0; i < ICON_COUNT; ++i) {
        SCOPED_TRACE(i);
        HICON icon = appState->icons[i];
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(IconOfType(*appState, i), icon);
        for (std::uint32_t j = 0; j < i; ++j) EXPECT_NE(appState->icons[j], icon);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXICON));
        EXPECT_EQ(bitmap.bmHeight, GetSystemMetrics(SM_CYICON));
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    // Style 8 has no icon, and nothing past the table is read.
    EXPECT_EQ(IconOfType(*appState, 8), nullptr);
    EXPECT_EQ(IconOfType(*appState, 9), nullptr);
    EXPECT_EQ(IconOfType(*appState, 0xFFFFFFFFu), nullptr);
}

TEST_F(AppStateTest, AModuleWithoutTheIconsLeavesTheSlotsEmpty) {
    // kernel32 has no icon resources of these ids.
    ASSERT_TRUE(CreateAppState(GetModuleHandleA("kernel32.dll")));
    for (HICON icon : appState->icons) EXPECT_EQ(icon, nullptr);
    EXPECT_STREQ(appState->aspiDll.String(0), "WNASPI32.DLL");
}

TEST_F(AppStateTest, DestroyReleasesTheRecordAndClearsThePointer) {
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    appState->menuUnlock = "アンロック";
    appState->menuOpen = "開ける";
    DestroyAppState();
    EXPECT_EQ(appState, nullptr);
    // A second life starts from zero again.
    ASSERT_TRUE(CreateAppState(GetModuleHandleA(nullptr)));
    EXPECT_EQ(appState->menuOpen.Length(), 0u);
    DestroyAppState();
    EXPECT_EQ(appState, nullptr);
}

TEST_F(AppStateTest, AllocationFailureLeavesNoRecordAndNoFile) {
    failNothrowNew = true;
    const bool created = CreateAppState(GetModuleHandleA(nullptr));
    failNothrowNew = false;
    EXPECT_FALSE(created);
    EXPECT_EQ(appState, nullptr);
    EXPECT_FALSE(Exists());
}

}  // namespace
