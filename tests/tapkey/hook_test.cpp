// tapkey.dll itself, fed by the system's real keyboard input: SendInput on the
// test thread, whose message loop runs the hook, and message-only windows that
// record what arrives. (Without a display Wine creates no top-level windows;
// message-only ones take posted messages all the same.)
#include "tapkey.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr UINT kKeyMessage = 32769;
constexpr DWORD kWaitMs = 3000;  // bound on every wait for input to come through

struct Report {
    HWND window;
    UINT message;
    WPARAM key;
    std::uint32_t flags;
    bool operator==(const Report& o) const {
        return window == o.window && message == o.message && key == o.key && flags == o.flags;
    }
};
std::ostream& operator<<(std::ostream& os, const Report& r) {
    char text[80];
    snprintf(text, sizeof text, "{window %p, message %u, key 0x%02X, flags 0x%08X}",
             static_cast<void*>(r.window), r.message, static_cast<unsigned>(r.key), r.flags);
    return os << text;
}

std::vector<Report> reports;
size_t rawEvents = 0;  // every low-level event the test's own hook saw
HHOOK ownHook = nullptr;

LRESULT CALLBACK RecordProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_APP) {
        reports.push_back(Report{w, msg, wp, static_cast<std::uint32_t>(lp)});
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

// A hook of the test's own, installed before tapkey's and so called after it:
// it sees an event only when tapkey passed it on.
LRESULT CALLBACK CountProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) ++rawEvents;
    return CallNextHookEx(ownHook, code, wp, lp);
}

HWND MakeWindow() {
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecordProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TapkeyTestWindow";
        return RegisterClassW(&wc);
    }();
    if (cls == 0) return nullptr;
    return CreateWindowExW(0, L"TapkeyTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Runs the test thread's message loop, which is where both hooks are called,
// until `done()` holds or the bound has passed.
template <typename Done>
bool PumpUntil(Done done, DWORD ms = kWaitMs) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

INPUT Key(WORD vk, WORD scan, bool up, bool extended = false) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}
INPUT Down(WORD vk, WORD scan, bool extended = false) { return Key(vk, scan, false, extended); }
INPUT Up(WORD vk, WORD scan, bool extended = false) { return Key(vk, scan, true, extended); }

// Sends the events and runs the loop until all of them have passed through.
void Type(std::vector<INPUT> keys) {
    const size_t expected = rawEvents + keys.size();
    ASSERT_EQ(SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)), keys.size());
    ASSERT_TRUE(PumpUntil([&] { return rawEvents >= expected; }))
        << "the low-level hooks saw " << rawEvents << " of " << expected << " events";
    // Reports are posted from inside the hook; take the last of them too.
    PumpUntil([] { return false; }, 50);
}

const UINT_PTR kVk1 = '1', kVk2 = '2';
const WORD kScanAlt = 0x38, kScan1 = 0x02, kScan2 = 0x03, kScan3 = 0x04, kScan5 = 0x06;

class HookTest : public ::testing::Test {
protected:
    void SetUp() override {
        reports.clear();
        rawEvents = 0;
        window = MakeWindow();
        ASSERT_NE(window, nullptr) << GetLastError();
        ownHook = SetWindowsHookExW(WH_KEYBOARD_LL, CountProc, GetModuleHandleW(nullptr), 0);
        ASSERT_NE(ownHook, nullptr);
    }
    void TearDown() override {
        RemoveKeyboardHook();
        UnhookWindowsHookEx(ownHook);
        ownHook = nullptr;
        DestroyWindow(window);
    }
    Report R(UINT_PTR key, std::uint32_t flags) const {
        return Report{window, kKeyMessage, key, flags};
    }
    HWND window = nullptr;
};

}  // namespace

TEST_F(HookTest, RemoveWithoutInsertIsHarmless) {
    EXPECT_FALSE(RemoveKeyboardHook());
    EXPECT_FALSE(RemoveKeyboardHook());
    // Keys still flow through the system's chain.
    Type({Down(kVk1, kScan1), Up(kVk1, kScan1)});
    EXPECT_TRUE(reports.empty());
}

TEST_F(HookTest, InsertNeedsAWindow) {
    EXPECT_FALSE(InsertKeyboardHook(nullptr, kKeyMessage));
    EXPECT_FALSE(InsertKeyboardHook(reinterpret_cast<HWND>(0x1234), kKeyMessage));
    EXPECT_FALSE(RemoveKeyboardHook());
}

TEST_F(HookTest, AltDigitCarriesTheAltBitAndKeyUpsStayAway) {
    ASSERT_TRUE(InsertKeyboardHook(window, kKeyMessage));
    Type({Down(VK_MENU, kScanAlt), Down(kVk1, kScan1), Up(kVk1, kScan1), Up(VK_MENU, kScanAlt),
          Down(kVk2, kScan2), Up(kVk2, kScan2)});
    EXPECT_EQ(reports, (std::vector<Report>{R(VK_MENU, 0x20380001), R(kVk1, 0x20020001),
                                            R(kVk2, 0x00030001)}));
    EXPECT_TRUE(RemoveKeyboardHook());
}

TEST_F(HookTest, SidedAltKeys) {
    ASSERT_TRUE(InsertKeyboardHook(window, kKeyMessage));
    Type({Down(VK_LMENU, kScanAlt), Down(kVk1, kScan1), Up(kVk1, kScan1), Up(VK_LMENU, kScanAlt)});
    Type({Down(VK_RMENU, kScanAlt, true), Down(kVk2, kScan2), Up(kVk2, kScan2),
          Up(VK_RMENU, kScanAlt, true)});
    Type({Down(kVk1, kScan1), Up(kVk1, kScan1)});
    EXPECT_EQ(reports, (std::vector<Report>{R(VK_MENU, 0x20380001), R(kVk1, 0x20020001),
                                            R(VK_MENU, 0x21380001), R(kVk2, 0x20030001),
                                            R(kVk1, 0x00020001)}));
}

TEST_F(HookTest, AutoRepeatSetsThePreviousStateBit) {
    ASSERT_TRUE(InsertKeyboardHook(window, kKeyMessage));
    Type({Down('3', kScan3), Down('3', kScan3), Down('3', kScan3), Up('3', kScan3),
          Down('3', kScan3), Up('3', kScan3)});
    EXPECT_EQ(reports, (std::vector<Report>{R('3', 0x00040001), R('3', 0x40040001),
                                            R('3', 0x40040001), R('3', 0x00040001)}));
}

TEST_F(HookTest, NothingArrivesAfterRemove) {
    ASSERT_TRUE(InsertKeyboardHook(window, kKeyMessage));
    Type({Down(kVk1, kScan1), Up(kVk1, kScan1)});
    ASSERT_EQ(reports.size(), 1u);
    // A report still queued when the hook goes is dropped with it.
    ASSERT_TRUE(PostMessageW(window, kKeyMessage, kVk2, 0x00030001));
    ASSERT_TRUE(PostMessageW(window, kKeyMessage + 1, kVk2, 0));
    EXPECT_TRUE(RemoveKeyboardHook());
    Type({Down(VK_MENU, kScanAlt), Down(kVk1, kScan1), Up(kVk1, kScan1), Up(VK_MENU, kScanAlt)});
    EXPECT_EQ(reports,
              (std::vector<Report>{R(kVk1, 0x00020001), Report{window, kKeyMessage + 1, kVk2, 0}}));
    EXPECT_FALSE(RemoveKeyboardHook());
}

TEST_F(HookTest, InsertAgainRedirectsTheOneHook) {
    HWND second = MakeWindow();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(InsertKeyboardHook(window, kKeyMessage));
    ASSERT_TRUE(InsertKeyboardHook(second, kKeyMessage + 5));
    Type({Down(kVk1, kScan1), Up(kVk1, kScan1)});
    // An invalid window leaves the reports where they went.
    EXPECT_FALSE(InsertKeyboardHook(nullptr, kKeyMessage));
    Type({Down(kVk2, kScan2), Up(kVk2, kScan2)});
    EXPECT_EQ(reports, (std::vector<Report>{Report{second, kKeyMessage + 5, kVk1, 0x00020001},
                                            Report{second, kKeyMessage + 5, kVk2, 0x00030001}}));
    EXPECT_TRUE(RemoveKeyboardHook());
    EXPECT_FALSE(RemoveKeyboardHook());
    DestroyWindow(second);
}

TEST_F(HookTest, InsertRemoveTwiceStartsFromKeysUp) {
    ASSERT_TRUE(InsertKeyboardHook(window, kKeyMessage));
    Type({Down('5', kScan5), Down(VK_MENU, kScanAlt)});
    EXPECT_TRUE(RemoveKeyboardHook());
    // Released while nobody watched.
    Type({Up('5', kScan5), Up(VK_MENU, kScanAlt)});
    ASSERT_TRUE(InsertKeyboardHook(window, kKeyMessage));
    Type({Down('5', kScan5), Up('5', kScan5)});
    EXPECT_TRUE(RemoveKeyboardHook());
    EXPECT_EQ(reports, (std::vector<Report>{R('5', 0x00060001), R(VK_MENU, 0x20380001),
                                            R('5', 0x00060001)}));
}
