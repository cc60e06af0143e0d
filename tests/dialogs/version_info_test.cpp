// VersionInfo on real files: the simulated bus library (one Japanese
// translation), its two-translation variant, a library whose description is
// empty and whose FileVersion is missing, one without a version resource.
#include "version_info.h"

#include <gtest/gtest.h>

#include <string>

#include "sim_fixture.h"
#include "sjis_text.h"

namespace {

using simtest::Library;

TEST(VersionInfoTest, ReadsTheOneTranslationAndItsStrings) {
    VersionInfo info;
    const std::string path = Library("simaspi.dll");
    ASSERT_TRUE(info.Load(path.c_str()));
    EXPECT_EQ(0x04B00411u, info.translation);
    EXPECT_EQ(path, info.fileName);
    // What the dialogs show: the UTF-16 text, here as Shift-JIS.
    EXPECT_EQ("korvex 模擬 ASPI32 バス", testsupport::Sjis(info.GetStringW("FileDescription")));
    EXPECT_STREQ(L"1.0.0", info.GetStringW("FileVersion"));
    // In the ANSI code page: the Japanese text reads right only where it is 932.
    if (GetACP() == 932) {
        EXPECT_STREQ("korvex 模擬 ASPI32 バス", info.GetString("FileDescription"));
    }
    EXPECT_STREQ("1.0.0", info.GetString("FileVersion"));
    const std::string longKey(300, 'K');
    for (const char* key : {"LegalCopyright", static_cast<const char*>(nullptr), longKey.c_str()}) {
        // A key too long for any query path names nothing.
        EXPECT_STREQ("(error)", info.GetString(key));
        EXPECT_STREQ(L"(error)", info.GetStringW(key));
    }
}

TEST(VersionInfoTest, AsksInTheFilesOwnTranslationInLowerCaseHex) {
    VersionInfo info;
    ASSERT_TRUE(info.Load(Library("vi_strings.dll").c_str()));
    EXPECT_EQ(0x04E40409u, info.translation);
    EXPECT_STREQ("read through 040904e4", info.GetString("Comments"));
    EXPECT_STREQ("(null)", info.GetString("FileDescription"));
    EXPECT_STREQ(L"(null)", info.GetStringW("FileDescription"));
    EXPECT_STREQ("(error)", info.GetString("FileVersion"));
}

TEST(VersionInfoTest, RefusesFilesWithoutExactlyOneTranslation) {
    const std::string refused[] = {
        Library("simaspi_twolang.dll"),  // two translations
        Library("vi_none.dll"),          // no version resource
        Library("nosuch.dll"),           // no file
        "",
    };
    for (const std::string& name : refused) {
        VersionInfo info;
        // What an earlier load held goes first.
        ASSERT_TRUE(info.Load(Library("simaspi.dll").c_str()));
        EXPECT_FALSE(info.Load(name.c_str())) << name;
        EXPECT_EQ(nullptr, info.data) << name;
        EXPECT_EQ(0u, info.translation) << name;
        EXPECT_STREQ("(error)", info.GetString("FileVersion")) << name;
    }
    VersionInfo info;
    EXPECT_FALSE(info.Load(static_cast<const char*>(nullptr)));
    EXPECT_EQ(nullptr, info.fileName);
}

TEST(VersionInfoTest, FindsABareNameOnTheSearchPathAndClearForgetsIt) {
    VersionInfo info;
    EXPECT_STREQ("(error)", info.GetString("FileVersion"));  // nothing loaded yet
    ASSERT_TRUE(info.Load("simaspi.dll"));
    EXPECT_STREQ("simaspi.dll", info.fileName);
    EXPECT_STREQ("1.0.0", info.GetString("FileVersion"));
    info.Clear();
    EXPECT_EQ(nullptr, info.data);
    EXPECT_EQ(nullptr, info.fileName);
    EXPECT_STREQ("(error)", info.GetString("FileVersion"));
}

}  // namespace
