#include "ui_text.h"

namespace {

constexpr unsigned TEXT_COUNT = IDS_LAST - IDS_FIRST + 1;
constexpr unsigned STRINGS_PER_BLOCK = 16;  // a string table block's strings
constexpr UINT SHIFT_JIS = 932;
// RT_STRING and RT_DIALOG as the wide functions take them.
const LPCWSTR STRING_TABLE = MAKEINTRESOURCEW(6);
const LPCWSTR DIALOG = MAKEINTRESOURCEW(5);

// The texts of one language, each ended by a zero, one after another.
struct TextTable {
    bool read;
    const char* texts[TEXT_COUNT];
    char store[6144];
};

TextTable tables[2];
UiLanguage current = UiLanguage::Japanese;
bool chosen = false;  // until a language is chosen, Windows' own is in use

TextTable& TableOf(UiLanguage language) { return tables[language == UiLanguage::English ? 1 : 0]; }

// A string of the table of language: its UTF-16 units, not ended by a zero,
// and their count; null when the table lacks it. A block holds 16 strings,
// each a count followed by that many units.
const WCHAR* FindString(HMODULE module, LANGID language, unsigned id, int* length) {
    const HRSRC found = FindResourceExW(module, STRING_TABLE,
                                        MAKEINTRESOURCEW(id / STRINGS_PER_BLOCK + 1), language);
    if (!found) return nullptr;
    const HGLOBAL loaded = LoadResource(module, found);
    const auto* unit = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (!unit) return nullptr;
    const WCHAR* end = unit + SizeofResource(module, found) / sizeof(WCHAR);
    for (unsigned i = 0; i < id % STRINGS_PER_BLOCK && unit < end; ++i) unit += 1 + *unit;
    if (unit >= end || *unit > end - unit - 1) return nullptr;
    *length = *unit;
    return unit + 1;
}

// Shift-JIS of the Japanese texts; the English ones are ASCII, taken unit by
// unit, so that they need no code page at all.
int ToShiftJis(UiLanguage language, const WCHAR* text, int length, char* out, int capacity) {
    if (language == UiLanguage::Japanese)
        return WideCharToMultiByte(SHIFT_JIS, 0, text, length, out, capacity, nullptr, nullptr);
    if (length > capacity) return 0;
    for (int i = 0; i < length; ++i) out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return length;
}

void ReadTable(TextTable& table, UiLanguage language) {
    const HMODULE module = GetModuleHandleW(nullptr);
    std::size_t used = 0;
    for (unsigned i = 0; i < TEXT_COUNT; ++i) {
        table.texts[i] = "";
        int length = 0;
        const WCHAR* text = FindString(module, ResourceLanguage(language), IDS_FIRST + i, &length);
        if (!text || length == 0) continue;
        char* out = table.store + used;
        const int room = static_cast<int>(sizeof table.store - used) - 1;
        const int n = room > 0 ? ToShiftJis(language, text, length, out, room) : 0;
        if (n <= 0) continue;
        out[n] = '\0';
        table.texts[i] = out;
        used += static_cast<std::size_t>(n) + 1;
    }
    table.read = true;
}

}  // namespace

UiLanguage WindowsUiLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? UiLanguage::Japanese
                                                                      : UiLanguage::English;
}

UiLanguage LanguageOfSetting(std::int32_t setting) {
    switch (setting) {
    case LANGUAGE_JAPANESE: return UiLanguage::Japanese;
    case LANGUAGE_ENGLISH: return UiLanguage::English;
    default: return WindowsUiLanguage();
    }
}

void UseUiLanguage(UiLanguage language) {
    current = language;
    chosen = true;
}

UiLanguage CurrentUiLanguage() {
    if (!chosen) UseUiLanguage(WindowsUiLanguage());
    return current;
}

LANGID ResourceLanguage(UiLanguage language) {
    return language == UiLanguage::English ? MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)
                                           : MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
}

const char* UiTextIn(UiLanguage language, unsigned id) {
    if (id < IDS_FIRST || id > IDS_LAST) return "";
    TextTable& table = TableOf(language);
    if (!table.read) ReadTable(table, language);
    return table.texts[id - IDS_FIRST];
}

const char* UiText(unsigned id) { return UiTextIn(CurrentUiLanguage(), id); }

LPCDLGTEMPLATEW UiDialogTemplate(HINSTANCE instance, unsigned id) {
    const LANGID languages[] = {ResourceLanguage(CurrentUiLanguage()),
                                ResourceLanguage(UiLanguage::Japanese)};
    for (const LANGID language : languages) {
        const HRSRC found = FindResourceExW(instance, DIALOG, MAKEINTRESOURCEW(id), language);
        if (!found) continue;
        const HGLOBAL loaded = LoadResource(instance, found);
        if (loaded) return static_cast<LPCDLGTEMPLATEW>(LockResource(loaded));
    }
    return nullptr;
}
