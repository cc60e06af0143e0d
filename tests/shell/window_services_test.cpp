#include "window_services.h"

#include <gtest/gtest.h>

#include "appstate.h"
#include "msgbox_recorder.h"
#include "test_language.h"

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::Say;

// A hidden top-level window without frame, so its size is exactly what is asked.
HWND MakeWindow(int width, int height, DWORD style = WS_POPUP) {
    return CreateWindowExA(0, "STATIC", "korvex test", style, 10, 20, width, height, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

RECT RectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

class WindowServicesTest : public testing::Test {
protected:
    void SetUp() override {
        owner = MakeWindow(50, 50);
        ASSERT_NE(owner, nullptr) << "no window: under Wine the tests need an X display";
        ASSERT_TRUE(recorder.Installed());
        testsupport::ApplyTestLanguage();
    }
    void TearDown() override {
        appState = nullptr;
        DestroyWindow(owner);
    }

    HWND owner = nullptr;
    MessageBoxRecorder recorder;
};

TEST_F(WindowServicesTest, TheTwoFormsHaveTheirCaptionsFlagsAndIcons) {
    recorder.SetAnswer(IDOK);
    EXPECT_EQ(ErrorMessage(owner, "ドライブが見つかりません。"), IDOK);
    EXPECT_EQ(ConfirmMessage(nullptr, "設定を保存しました。"), IDOK);

    ASSERT_EQ(recorder.Count(), 2u);
    const auto& error = recorder.Boxes()[0];
    EXPECT_EQ(error.owner, owner);
    EXPECT_EQ(error.caption, Say("エラー情報"));
    EXPECT_EQ(error.text, "ドライブが見つかりません。");
    ASSERT_TRUE(error.boxStyleKnown);
    EXPECT_EQ(error.style, 0x50010u);
    EXPECT_EQ(error.icon, LoadIconA(nullptr, IDI_ERROR));

    const auto& confirm = recorder.Boxes()[1];
    EXPECT_EQ(confirm.owner, nullptr);
    EXPECT_EQ(confirm.caption, Say("確認情報"));
    EXPECT_EQ(confirm.text, "設定を保存しました。");
    ASSERT_TRUE(confirm.boxStyleKnown);
    EXPECT_EQ(confirm.style, 0x50040u);
    EXPECT_EQ(confirm.icon, LoadIconA(nullptr, IDI_INFORMATION));
}

TEST_F(WindowServicesTest, FormsPassTheAnswerBack) {
    recorder.SetAnswer(IDCANCEL);
    EXPECT_EQ(ConfirmMessage(owner, "x"), IDCANCEL);
    EXPECT_EQ(recorder.Count(), 1u);
}

TEST_F(WindowServicesTest, ShowErrorBoxShowsTheErrorFormWithItsOwnerUnlessSilenced) {
    AppState state{};
    appState = &state;

    ShowErrorBox(owner, "ホストアダプタ情報取得に失敗しました。");
    ASSERT_EQ(recorder.Count(), 1u);
    const auto& box = recorder.Boxes()[0];
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.caption, Say("エラー情報"));
    EXPECT_EQ(box.text, "ホストアダプタ情報取得に失敗しました。");
    EXPECT_EQ(box.style, MB_FORM_ERROR);

    state.noErrorMessage = 1;
    ShowErrorBox(owner, "デバイス情報取得に失敗しました。");
    ShowErrorBox(nullptr, "デバイス情報取得に失敗しました。");
    EXPECT_EQ(recorder.Count(), 1u);

    // Any value other than 0 counts as set, as the file may hold one.
    state.noErrorMessage = -3;
    ShowErrorBox(owner, "x");
    EXPECT_EQ(recorder.Count(), 1u);

    state.noErrorMessage = 0;
    ShowErrorBox(nullptr, "デバイス情報取得に失敗しました。");
    ASSERT_EQ(recorder.Count(), 2u);
    EXPECT_EQ(recorder.Boxes()[1].owner, nullptr);
    EXPECT_EQ(recorder.Boxes()[1].text, "デバイス情報取得に失敗しました。");
}

TEST_F(WindowServicesTest, ShowErrorBoxWithoutStateRecordShowsTheBox) {
    appState = nullptr;
    ShowErrorBox(owner, "x");
    ASSERT_EQ(recorder.Count(), 1u);
    EXPECT_EQ(recorder.Boxes()[0].owner, owner);
    EXPECT_EQ(recorder.Boxes()[0].style, MB_FORM_ERROR);
}

TEST_F(WindowServicesTest, CstrErrorTrapShowsTheErrorFormWithoutOwner) {
    // The trap is shown even when error reports are silenced.
    AppState state{};
    state.noErrorMessage = 1;
    appState = &state;
    CstrErrorTrap();
    ASSERT_EQ(recorder.Count(), 1u);
    const auto& box = recorder.Boxes()[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, Say("エラー情報"));
    EXPECT_EQ(box.text, Say("CSTRクラスでエラーが発生しました。"));
    EXPECT_EQ(box.style, 0x50010u);
}

TEST(PlaceWindowTest, EveryCodePutsA200By100WindowOnTheScreen) {
    const int W = GetSystemMetrics(SM_CXSCREEN);
    const int H = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(W, 200);
    ASSERT_GT(H, 100);
    struct Case {
        int code;
        int x, y;
    } cases[] = {
        {PLACE_CENTRE, (W - 200) / 2, (H - 100) / 2},
        {PLACE_TOP_LEFT, 0, 0},
        {PLACE_BOTTOM_LEFT, 0, H - 100},
        {PLACE_TOP_RIGHT, W - 200, 0},
        {PLACE_BOTTOM_RIGHT, W - 200, H - 100},
        {5, (W - 200) / 2, (H - 100) / 2},
        {-1, (W - 200) / 2, (H - 100) / 2},
    };
    HWND window = MakeWindow(200, 100);
    ASSERT_NE(window, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        PlaceWindow(window, c.code);
        RECT rect = RectOf(window);
        EXPECT_EQ(rect.left, c.x);
        EXPECT_EQ(rect.top, c.y);
        EXPECT_EQ(rect.right - rect.left, 200);
        EXPECT_EQ(rect.bottom - rect.top, 100);
    }
    DestroyWindow(window);
}

TEST(PlaceWindowTest, CentringAWindowLargerThanTheScreenKeepsItsCornerOnTheScreen) {
    const int W = GetSystemMetrics(SM_CXSCREEN);
    const int H = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        int width, height, x, y;
    } cases[] = {
        {W + 101, H + 51, 0, 0},
        {W + 100, 100, 0, (H - 100) / 2},
        {200, H + 2, (W - 200) / 2, 0},
        {W, H, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        HWND window = MakeWindow(c.width, c.height);
        ASSERT_NE(window, nullptr);
        PlaceWindow(window, PLACE_CENTRE);
        RECT rect = RectOf(window);
        EXPECT_EQ(rect.left, c.x);
        EXPECT_EQ(rect.top, c.y);
        EXPECT_EQ(rect.right - rect.left, c.width);
        EXPECT_EQ(rect.bottom - rect.top, c.height);
        DestroyWindow(window);
    }
}

TEST(PlaceWindowTest, TheCornersOfALargeWindowFollowTheFormulaEvenOffTheScreen) {
    // Only the centred placement is kept on the screen; the corners are exact.
    const int W = GetSystemMetrics(SM_CXSCREEN);
    const int H = GetSystemMetrics(SM_CYSCREEN);
    HWND window = MakeWindow(W + 40, H + 30);
    ASSERT_NE(window, nullptr);
    PlaceWindow(window, PLACE_BOTTOM_RIGHT);
    RECT rect = RectOf(window);
    EXPECT_EQ(rect.left, -40);
    EXPECT_EQ(rect.top, -30);
    DestroyWindow(window);
}

TEST(ForceForegroundTest, BringsTheWindowToTheForeground) {
    HWND first = MakeWindow(100, 100, WS_POPUP | WS_VISIBLE);
    HWND second = MakeWindow(100, 100, WS_POPUP | WS_VISIBLE);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ForceForeground(first);
    EXPECT_EQ(GetForegroundWindow(), first);
    ForceForeground(second);
    EXPECT_EQ(GetForegroundWindow(), second);
    // A null window changes nothing and does not fail.
    ForceForeground(nullptr);
    EXPECT_EQ(GetForegroundWindow(), second);
    DestroyWindow(second);
    DestroyWindow(first);
}

}  // namespace
