#include "inifile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

// Each test works on its own file in the temporary folder, named with a full
// path, starting with no file and leaving none behind.
class IniFileTest : public testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH];
        ASSERT_NE(GetTempPathA(sizeof folder, folder), 0u);
        path = std::string(folder) + "korvex_inifile_test_" +
               std::to_string(GetCurrentProcessId()) + ".ini";
        DeleteFileA(path.c_str());
    }
    void TearDown() override {
        DeleteFileA(path.c_str());
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }

    // The raw text of a key, "<none>" when missing.
    std::string Raw(const char* section, const char* key) {
        char text[512];
        GetPrivateProfileStringA(section, key, "<none>", text, sizeof text, path.c_str());
        return text;
    }
    bool FileExists() { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string path;
};

TEST_F(IniFileTest, EveryTypedFormReadsBackThroughASecondObject) {
    INIFILE writer;
    ASSERT_EQ(writer.Open(path.c_str()), 1);
    EXPECT_EQ(writer.Write("T", "UChar", static_cast<unsigned char>(10)), 1);
    EXPECT_EQ(writer.Write("T", "UCharMax", static_cast<unsigned char>(255)), 1);
    EXPECT_EQ(writer.Write("T", "Short", static_cast<short>(-5)), 1);
    EXPECT_EQ(writer.Write("T", "ShortMin", static_cast<short>(SHRT_MIN)), 1);
    EXPECT_EQ(writer.Write("T", "UShort", static_cast<unsigned short>(0xBEEF)), 1);
    EXPECT_EQ(writer.Write("T", "Int", INT_MIN), 1);
    EXPECT_EQ(writer.Write("T", "IntMax", INT_MAX), 1);
    EXPECT_EQ(writer.Write("T", "UInt", 4000000000u), 1);
    EXPECT_EQ(writer.Write("T", "Long", -70000L), 1);
    EXPECT_EQ(writer.Write("T", "ULong", 255UL), 1);
    EXPECT_EQ(writer.Write("T", "ULongMax", 0xFFFFFFFFUL), 1);
    EXPECT_EQ(writer.Write("T", "Float", 1.5f), 1);
    EXPECT_EQ(writer.Write("T", "Negative", -2.25f), 1);
    EXPECT_EQ(writer.Write("T", "Text", "日本語 text"), 1);
    EXPECT_EQ(writer.Write("T", "Formatted", "%05lu", 42UL), 1);

    EXPECT_EQ(Raw("T", "UChar"), "0x0a");
    EXPECT_EQ(Raw("T", "UCharMax"), "0xff");
    EXPECT_EQ(Raw("T", "Short"), "-5");
    EXPECT_EQ(Raw("T", "ShortMin"), "-32768");
    EXPECT_EQ(Raw("T", "UShort"), "0xbeef");
    EXPECT_EQ(Raw("T", "Int"), "-2147483648");
    EXPECT_EQ(Raw("T", "UInt"), "4000000000");
    EXPECT_EQ(Raw("T", "Long"), "-70000");
    EXPECT_EQ(Raw("T", "ULong"), "0x000000ff");
    EXPECT_EQ(Raw("T", "ULongMax"), "0xffffffff");
    EXPECT_EQ(Raw("T", "Float"), "1.500000");
    EXPECT_EQ(Raw("T", "Negative"), "-2.250000");
    EXPECT_EQ(Raw("T", "Formatted"), "00042");

    INIFILE reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);
    unsigned char uc = 0, ucMax = 0;
    short s = 0, sMin = 0;
    unsigned short us = 0;
    int i = 0, iMax = 0;
    unsigned int ui = 0;
    long l = 0;
    unsigned long ul = 0, ulMax = 0;
    float f = 0, neg = 0;
    EXPECT_EQ(reader.Read("T", "UChar", static_cast<unsigned char>(1), &uc), 1);
    EXPECT_EQ(reader.Read("T", "UCharMax", static_cast<unsigned char>(1), &ucMax), 1);
    EXPECT_EQ(reader.Read("T", "Short", static_cast<short>(1), &s), 1);
    EXPECT_EQ(reader.Read("T", "ShortMin", static_cast<short>(1), &sMin), 1);
    EXPECT_EQ(reader.Read("T", "UShort", static_cast<unsigned short>(1), &us), 1);
    EXPECT_EQ(reader.Read("T", "Int", 1, &i), 1);
    EXPECT_EQ(reader.Read("T", "IntMax", 1, &iMax), 1);
    EXPECT_EQ(reader.Read("T", "UInt", 1u, &ui), 1);
    EXPECT_EQ(reader.Read("T", "Long", 1L, &l), 1);
    EXPECT_EQ(reader.Read("T", "ULong", 1UL, &ul), 1);
    EXPECT_EQ(reader.Read("T", "ULongMax", 1UL, &ulMax), 1);
    EXPECT_EQ(reader.Read("T", "Float", 1.0f, &f), 1);
    EXPECT_EQ(reader.Read("T", "Negative", 1.0f, &neg), 1);
    EXPECT_EQ(uc, 10);
    EXPECT_EQ(ucMax, 255);
    EXPECT_EQ(s, -5);
    EXPECT_EQ(sMin, SHRT_MIN);
    EXPECT_EQ(us, 0xBEEF);
    EXPECT_EQ(i, INT_MIN);
    EXPECT_EQ(iMax, INT_MAX);
    EXPECT_EQ(ui, 4000000000u);
    EXPECT_EQ(l, -70000L);
    EXPECT_EQ(ul, 255UL);
    EXPECT_EQ(ulMax, 0xFFFFFFFFUL);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(neg, -2.25f);

    char text[64];
    EXPECT_EQ(reader.Read("T", "Text", "def", text, sizeof text), 1);
    EXPECT_STREQ(text, "日本語 text");
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    INIFILE ini;
    ASSERT_EQ(ini.Open(path.c_str()), 1);
    int i = 0;
    unsigned char uc = 0;
    short s = 0;
    unsigned short us = 0;
    unsigned long ul = 0;
    float f = 0;
    char text[16] = "x";
    EXPECT_EQ(ini.Read("S", "Missing", 42, &i), 1);  // no file yet
    EXPECT_EQ(i, 42);
    EXPECT_EQ(ini.Read("S", "Missing", "fallback", text, sizeof text), 1);
    EXPECT_STREQ(text, "fallback");
    EXPECT_FALSE(FileExists());

    ini.Write("S", "Empty", "");
    ini.Write("S", "Other", 1);
    EXPECT_EQ(ini.Read("S", "Missing", static_cast<short>(-3), &s), 1);
    EXPECT_EQ(s, -3);
    EXPECT_EQ(ini.Read("S", "Missing", static_cast<unsigned short>(0xFFFF), &us), 1);
    EXPECT_EQ(us, 0xFFFF);
    EXPECT_EQ(ini.Read("Nowhere", "Other", static_cast<unsigned char>(7), &uc), 1);
    EXPECT_EQ(uc, 7);
    EXPECT_EQ(ini.Read("S", "Empty", 9, &i), 1);
    EXPECT_EQ(i, 9);
    EXPECT_EQ(ini.Read("S", "Empty", 0xABCDUL, &ul), 1);
    EXPECT_EQ(ul, 0xABCDUL);
    EXPECT_EQ(ini.Read("S", "Empty", 2.5f, &f), 1);
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(ini.Read("S", "Missing", -0.5f, &f), 1);
    EXPECT_EQ(f, -0.5f);

    ini.Write("S", "Float", "2.5");
    ini.Write("S", "Word", "abc");
    EXPECT_EQ(ini.Read("S", "Float", 0.0f, &f), 1);
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(ini.Read("S", "Word", 7.0f, &f), 1);
    EXPECT_EQ(f, 0.0f);  // a text that is no number
    for (const char* text : {"0x1p3", "inf", "nan", "1e999"}) {
        ini.Write("S", "Odd", text);
        f = 7.0f;
        EXPECT_EQ(ini.Read("S", "Odd", 1.0f, &f), 1);
        EXPECT_EQ(f, 0.0f) << text;
    }
}

TEST_F(IniFileTest, ClosedObjectDoesNothing) {
    INIFILE never, empty, null, closed;
    EXPECT_EQ(empty.Open(""), 0);
    EXPECT_EQ(null.Open(nullptr), 0);
    ASSERT_EQ(closed.Open(path.c_str()), 1);
    closed.Close();
    INIFILE reopened;
    reopened.Open(path.c_str());
    EXPECT_EQ(reopened.Open(""), 0);  // an empty name closes an open object

    for (INIFILE* ini : {&never, &empty, &null, &closed, &reopened}) {
        int i = 11;
        unsigned char uc = 12;
        short s = 13;
        unsigned short us = 14;
        unsigned int ui = 15;
        long l = 16;
        unsigned long ul = 17, colour = 18;
        float f = 19;
        char text[8] = "keep";
        LOGFONTA font{};
        font.lfHeight = 20;
        EXPECT_EQ(ini->Read("S", "K", 1, &i), 0);
        EXPECT_EQ(ini->Read("S", "K", static_cast<unsigned char>(1), &uc), 0);
        EXPECT_EQ(ini->Read("S", "K", static_cast<short>(1), &s), 0);
        EXPECT_EQ(ini->Read("S", "K", static_cast<unsigned short>(1), &us), 0);
        EXPECT_EQ(ini->Read("S", "K", 1u, &ui), 0);
        EXPECT_EQ(ini->Read("S", "K", 1L, &l), 0);
        EXPECT_EQ(ini->Read("S", "K", 1UL, &ul), 0);
        EXPECT_EQ(ini->Read("S", "K", 1.0f, &f), 0);
        EXPECT_EQ(ini->Read("S", "K", "def", text, sizeof text), 0);
        EXPECT_EQ(ini->Read("S", "K", &font), 0);
        EXPECT_EQ(ini->Read("S", "K", &colour), 0);
        EXPECT_EQ(i, 11);
        EXPECT_EQ(uc, 12);
        EXPECT_EQ(s, 13);
        EXPECT_EQ(us, 14);
        EXPECT_EQ(ui, 15u);
        EXPECT_EQ(l, 16);
        EXPECT_EQ(ul, 17u);
        EXPECT_EQ(colour, 18u);
        EXPECT_EQ(f, 19.0f);
        EXPECT_STREQ(text, "keep");
        EXPECT_EQ(font.lfHeight, 20);

        EXPECT_EQ(ini->Write("S", "K", "text"), 0);
        EXPECT_EQ(ini->Write("S", "K", static_cast<const char*>(nullptr)), 0);
        EXPECT_EQ(ini->Write("S", "K", "%lu", 1UL), 0);
        EXPECT_EQ(ini->Write("S", "K", static_cast<unsigned char>(1)), 0);
        EXPECT_EQ(ini->Write("S", "K", static_cast<short>(1)), 0);
        EXPECT_EQ(ini->Write("S", "K", static_cast<unsigned short>(1)), 0);
        EXPECT_EQ(ini->Write("S", "K", 1), 0);
        EXPECT_EQ(ini->Write("S", "K", 1u), 0);
        EXPECT_EQ(ini->Write("S", "K", 1L), 0);
        EXPECT_EQ(ini->Write("S", "K", 1UL), 0);
        EXPECT_EQ(ini->Write("S", "K", 1.0f), 0);
        EXPECT_EQ(ini->Write("S", "K", &font), 0);
        EXPECT_EQ(ini->Write("S", "K", &colour), 0);
        EXPECT_EQ(ini->Create("S"), 0);
    }
    EXPECT_FALSE(FileExists());
}

TEST_F(IniFileTest, CreateEmptiesOneSectionAndKeepsTheOthers) {
    INIFILE ini;
    ini.Open(path.c_str());
    ini.Write("A", "One", 1);
    ini.Write("A", "Two", 2);
    ini.Write("B", "Three", 3);
    EXPECT_EQ(ini.Create("A"), 1);
    EXPECT_EQ(Raw("A", "One"), "<none>");
    EXPECT_EQ(Raw("A", "Two"), "<none>");
    EXPECT_EQ(Raw("B", "Three"), "3");
    ini.Write("A", "Two", 22);
    EXPECT_EQ(Raw("A", "Two"), "22");
}

TEST_F(IniFileTest, NullTextRemovesTheKeyOnly) {
    INIFILE ini;
    ini.Open(path.c_str());
    ini.Write("S", "Gone", "x");
    ini.Write("S", "Kept", "y");
    EXPECT_EQ(ini.Write("S", "Gone", static_cast<const char*>(nullptr)), 1);
    EXPECT_EQ(Raw("S", "Gone"), "<none>");
    EXPECT_EQ(Raw("S", "Kept"), "y");

    CSTR emptyName;  // an empty string passes a null text
    ini.Write("S", "Kept", emptyName.String(0));
    EXPECT_EQ(Raw("S", "Kept"), "<none>");
}

TEST_F(IniFileTest, FontRoundTripAndTrailingComma) {
    INIFILE writer, reader;
    writer.Open(path.c_str());
    reader.Open(path.c_str());
    LOGFONTA arial{};
    arial.lfHeight = -12;
    arial.lfWeight = 400;
    std::strcpy(arial.lfFaceName, "Arial");
    EXPECT_EQ(writer.Write("F", "Font", &arial), 1);
    EXPECT_EQ(Raw("F", "Font"), "-12,0,0,0,400,0,0,0,0,0,0,0,0,Arial");

    LOGFONTA read;
    std::memset(&read, 0x77, sizeof read);
    EXPECT_EQ(reader.Read("F", "Font", &read), 1);
    EXPECT_EQ(std::memcmp(&read, &arial, sizeof read), 0);

    writer.Write("F", "NoFace", "1,2,3,4,5,6,7,8,9,10,11,12,13,");
    EXPECT_EQ(reader.Read("F", "NoFace", &read), 1);
    EXPECT_EQ(read.lfHeight, 1);
    EXPECT_EQ(read.lfPitchAndFamily, 13);
    EXPECT_STREQ(read.lfFaceName, "Arial");

    LOGFONTA untouched = read;
    writer.Write("F", "Empty", "");
    EXPECT_EQ(reader.Read("F", "Empty", &read), 0);
    EXPECT_EQ(reader.Read("F", "Missing", &read), 0);
    EXPECT_EQ(std::memcmp(&read, &untouched, sizeof read), 0);
}

TEST_F(IniFileTest, ColourForms) {
    INIFILE ini;
    ini.Open(path.c_str());
    unsigned long colour = 255 | 128 << 8 | 0 << 16;
    EXPECT_EQ(ini.Write("C", "Colour", &colour), 1);
    EXPECT_EQ(Raw("C", "Colour"), "255,128,0");
    unsigned long read = 0;
    EXPECT_EQ(ini.Read("C", "Colour", &read), 1);
    EXPECT_EQ(read, colour);

    ini.Write("C", "Two", "10,20");
    read = 1 | 2 << 8 | 3 << 16;
    EXPECT_EQ(ini.Read("C", "Two", &read), 1);
    EXPECT_EQ(read, 10UL | 20 << 8 | 3 << 16);

    EXPECT_EQ(ini.Read("C", "Missing", &read), 0);
    EXPECT_EQ(read, 10UL | 20 << 8 | 3 << 16);
}

TEST_F(IniFileTest, ValuesLongerThanTheReadBuffer) {
    INIFILE ini;
    ini.Open(path.c_str());
    ini.Write("L", "Text", "0123456789abcdef");
    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(ini.Read("L", "Text", "", small, sizeof small), 1);
    EXPECT_EQ(std::string(small, sizeof small), std::string("0123456\0", 8));

    // A font text is read into 128 bytes: the face is what is left of them.
    std::string numbers = "1,2,3,4,5,6,7,8,9,10,11,12,13,";
    std::string face = std::string(127 - numbers.size() - 20, 'x') + std::string(60, 'Y');
    ini.Write("L", "Font", (numbers + face).c_str());
    LOGFONTA font{};
    EXPECT_EQ(ini.Read("L", "Font", &font), 1);
    EXPECT_EQ(font.lfPitchAndFamily, 13);
    EXPECT_EQ(std::string(font.lfFaceName), face.substr(0, 31));

    // Floats and colours are read into 64 bytes.
    ini.Write("L", "Float", ("1.25" + std::string(100, '0') + "9").c_str());
    float f = 0;
    ini.Read("L", "Float", 0.0f, &f);
    EXPECT_EQ(f, 1.25f);
    ini.Write("L", "Colour", ("1,2," + std::string(70, '0') + "3").c_str());
    unsigned long colour = 0x00FFFFFF;
    ini.Read("L", "Colour", &colour);
    EXPECT_EQ(colour, 1UL | 2 << 8);  // the 3 was cut away with the buffer
}

TEST_F(IniFileTest, CopiesAndReopening) {
    INIFILE original;
    original.Open(path.c_str());
    INIFILE copy(original), assigned;
    assigned = original;
    original.Close();
    EXPECT_EQ(copy.Write("S", "Copy", 1), 1);
    EXPECT_EQ(assigned.Write("S", "Assigned", 2), 1);
    EXPECT_EQ(Raw("S", "Copy"), "1");
    EXPECT_EQ(Raw("S", "Assigned"), "2");

    // Open on an open object moves it to the new file.
    std::string other = path + ".other.ini";
    ASSERT_EQ(copy.Open(other.c_str()), 1);
    copy.Write("S", "Moved", 3);
    EXPECT_EQ(Raw("S", "Moved"), "<none>");
    char text[8];
    GetPrivateProfileStringA("S", "Moved", "", text, sizeof text, other.c_str());
    EXPECT_STREQ(text, "3");
    EXPECT_TRUE(DeleteFileA(other.c_str()));
}

}  // namespace

// A write the platform does not take is reported, in every typed form: a
// folder where the file should be cannot be written.
TEST_F(IniFileTest, AWriteThePlatformRefusesGivesZero) {
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    INIFILE ini;
    ASSERT_EQ(ini.Open(path.c_str()), 1);
    LOGFONTA font{};
    unsigned long colour = 0;
    EXPECT_EQ(ini.Write("S", "K", "text"), 0);
    EXPECT_EQ(ini.Write("S", "K", "%lu", 1UL), 0);
    EXPECT_EQ(ini.Write("S", "K", static_cast<unsigned char>(1)), 0);
    EXPECT_EQ(ini.Write("S", "K", static_cast<short>(1)), 0);
    EXPECT_EQ(ini.Write("S", "K", static_cast<unsigned short>(1)), 0);
    EXPECT_EQ(ini.Write("S", "K", 1), 0);
    EXPECT_EQ(ini.Write("S", "K", 1u), 0);
    EXPECT_EQ(ini.Write("S", "K", 1L), 0);
    EXPECT_EQ(ini.Write("S", "K", 1UL), 0);
    EXPECT_EQ(ini.Write("S", "K", 1.0f), 0);
    EXPECT_EQ(ini.Write("S", "K", &font), 0);
    EXPECT_EQ(ini.Write("S", "K", &colour), 0);
    EXPECT_TRUE(RemoveDirectoryA(path.c_str()));
}
