// The language of the user interface and its texts. Both languages live in
// the program's resources: a string table and a template of each dialog per
// language. The texts come out as Shift-JIS, the form every text of the
// program has (the English ones are ASCII), so they take the same paths to
// the screen as the texts the user wrote.
#pragma once

#include <windows.h>

#include <cstdint>

#include "resource_ids.h"

enum class UiLanguage { Japanese, English };

// The Language setting: Windows' own language, or one of the two.
constexpr std::int32_t LANGUAGE_WINDOWS = 0;
constexpr std::int32_t LANGUAGE_JAPANESE = 1;
constexpr std::int32_t LANGUAGE_ENGLISH = 2;

// Japanese where Windows' user interface language is Japanese, else English.
UiLanguage WindowsUiLanguage();
// The language a setting gives; anything but the two languages follows Windows.
UiLanguage LanguageOfSetting(std::int32_t setting);

// The language of every text from now on; Windows' own until this is called.
void UseUiLanguage(UiLanguage language);
UiLanguage CurrentUiLanguage();
// The resource language of a language's string table and templates.
LANGID ResourceLanguage(UiLanguage language);

// The text of a string id (IDS_FIRST..IDS_LAST) in the language in use, or
// in the one given; "" (never null) for an id the tables lack. The texts of
// a language are read from the program's resources at their first use and
// stay for the program's lifetime.
const char* UiText(unsigned id);
const char* UiTextIn(UiLanguage language, unsigned id);

// The template of dialog id in the language in use, the Japanese one when
// that language has none; null when there is none at all.
LPCDLGTEMPLATEW UiDialogTemplate(HINSTANCE instance, unsigned id);
