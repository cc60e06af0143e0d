#include "msgbox_recorder.h"

#include <gtest/gtest.h>

namespace {

using testsupport::MessageBoxRecorder;

TEST(MessageBoxRecorderTest, RecordsEachBoxInOrderAndAnswersIt) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    MessageBoxRecorder recorder(IDNO);
    ASSERT_TRUE(recorder.Installed());

    EXPECT_EQ(MessageBoxA(owner, "一つ目", "見出し", MB_YESNO | MB_ICONWARNING), IDNO);
    recorder.SetAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "two\nlines", "", MB_OKCANCEL | MB_DEFBUTTON2 | MB_TOPMOST),
              IDCANCEL);

    ASSERT_EQ(recorder.Count(), 2u);
    const auto& first = recorder.Boxes()[0];
    EXPECT_EQ(first.owner, owner);
    EXPECT_EQ(first.caption, "見出し");
    EXPECT_EQ(first.text, "一つ目");
    EXPECT_TRUE(first.boxStyleKnown);
    EXPECT_EQ(first.style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(first.icon, LoadIconA(nullptr, IDI_WARNING));

    const auto& second = recorder.Boxes()[1];
    EXPECT_EQ(second.owner, nullptr);
    EXPECT_EQ(second.caption, "");
    EXPECT_EQ(second.text, "two\nlines");
    EXPECT_EQ(second.style, static_cast<UINT>(MB_OKCANCEL | MB_DEFBUTTON2 | MB_TOPMOST));
    EXPECT_EQ(second.icon, nullptr);

    recorder.Clear();
    EXPECT_EQ(recorder.Count(), 0u);
    DestroyWindow(owner);
}

TEST(MessageBoxRecorderTest, OnlyOneRecorderHooksAtATime) {
    MessageBoxRecorder first;
    MessageBoxRecorder second;
    EXPECT_TRUE(first.Installed());
    EXPECT_FALSE(second.Installed());
    MessageBoxA(nullptr, "x", "y", MB_OK);
    EXPECT_EQ(first.Count(), 1u);
    EXPECT_EQ(second.Count(), 0u);
}

TEST(MessageBoxRecorderTest, ANewRecorderWorksAfterTheLastOneEnded) {
    { MessageBoxRecorder gone; }
    MessageBoxRecorder recorder;
    ASSERT_TRUE(recorder.Installed());
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), IDOK);
    EXPECT_EQ(recorder.Count(), 1u);
}

}  // namespace
