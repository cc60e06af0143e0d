// The language a test of what a person sees expects the program to speak.
// KORVEX_TEST_LANGUAGE ("Japanese" or "English") stands for the Language key
// of KORVEX.INI: ApplyTestLanguage puts it into the state record and into
// force, as a load of such a file does. Without it the program follows
// Windows' language, that of the locale the test runs under, as with no key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// LANGUAGE_WINDOWS, LANGUAGE_JAPANESE or LANGUAGE_ENGLISH.
std::int32_t TestLanguageSetting();
// The Language key's value for the run ("Japanese", "English"), "" for none.
std::string ForcedLanguageName();
// Into appState when there is one, and into force for every text.
void ApplyTestLanguage();
bool ExpectEnglish();

// A text the program shows, as the test expects it: the Japanese text as
// given, or in an English run its English form from the tests' own table. A
// text the table lacks (a drive's name, a user's menu text) is the same in
// both; texts joined by '|' or '\n' are looked up one by one.
std::string Say(const std::string& japanese);
// A menu item as the tests describe it ("  開ける #1400 grayed", "NAME\tnote
// #0000"): each tab-separated part's text, before " #" or " >", as Say
// gives it; the rest as it stands.
std::string SayLine(const std::string& line);
std::vector<std::string> SayLines(std::vector<std::string> lines);
// A dialog's caption as the test expects it ("設定画面" is the settings
// dialog's caption and also a menu item's text, which English tells apart).
std::string SayCaption(const std::string& japanese);

}  // namespace testsupport
