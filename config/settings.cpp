#include "settings.h"

#include <cstring>
#include <initializer_list>

#include "appstate.h"
#include "format_text.h"
#include "inifile.h"
#include "settings_store.h"
#include "ui_text.h"

namespace {

constexpr unsigned int LIBRARY_NAME_SIZE = 260;
constexpr unsigned int MENU_TEXT_SIZE = 30;  // 29 bytes of text
constexpr const char* ASPIDLL_KEY = "ASPIDLL";
constexpr const char* DEFAULT_ASPI_DLL = "WNASPI32.DLL";
// [COMMON] Language: one of these two, or no key for Windows' own language.
constexpr const char* LANGUAGE_KEY = "Language";
constexpr const char* LANGUAGE_NAMES[] = {"", "Japanese", "English"};

// A file held open by another program (an editor, a virus scanner, a sync
// tool) is usually let go within moments.
constexpr int READ_ATTEMPTS = 5;
constexpr DWORD READ_RETRY_MS = 100;

// What a drive's section holds, between the file and the drive table.
struct DriveSection {
    std::uint32_t skip;
    char vendor[DRIVE_TEXT_SIZE];
    char product[DRIVE_TEXT_SIZE];
    char version[DRIVE_TEXT_SIZE];
    std::uint32_t speed;     // position in the drive's speeds, NO_SPEED for none
    std::uint32_t spinDown;  // inactivity-timer code
};

// One key of a section and the field of Record that it stores. Exactly one
// of the four field pointers is set; that decides the written form:
// signed "%d", unsigned "%u" (or "0x%02x" when hex), the text as it is.
template <typename Record>
struct Key {
    const char* name;
    std::int32_t Record::*asSigned;
    std::uint32_t Record::*asUnsigned;
    CSTR Record::*asString;
    char (Record::*asText)[DRIVE_TEXT_SIZE];
    std::uint32_t defaultNumber;
    const char* defaultText;
    unsigned int textSize;       // read buffer of a text, terminator included
    unsigned int defaultTextId;  // a Japanese text of the string table, else 0
    bool hex;
    bool loaded;       // false: saved here, read elsewhere
    bool omitDefault;  // the default value is not written
};

template <typename R>
constexpr Key<R> Signed(const char* name, std::int32_t R::*field, std::int32_t def) {
    return {name,    field, nullptr, nullptr, nullptr, static_cast<std::uint32_t>(def),
            nullptr, 0,     0,       false,   true,    false};
}

template <typename R>
constexpr Key<R> Unsigned(const char* name, std::uint32_t R::*field, std::uint32_t def,
                          bool hex = false, bool omitDefault = false) {
    return {name, nullptr, field, nullptr, nullptr, def, nullptr, 0, 0, hex, true, omitDefault};
}

template <typename R>
constexpr Key<R> String(const char* name, CSTR R::*field, const char* def, unsigned int size,
                        bool loaded = true) {
    return {name, nullptr, nullptr, field, nullptr, 0, def, size, 0, false, loaded, false};
}

// A menu text: its default is the item's Japanese text of the string table.
template <typename R>
constexpr Key<R> MenuText(const char* name, CSTR R::*field, unsigned int textId) {
    return {name,    nullptr,        nullptr, field, nullptr, 0,
            nullptr, MENU_TEXT_SIZE, textId,  false, true,    false};
}

template <typename R>
constexpr Key<R> Text(const char* name, char (R::*field)[DRIVE_TEXT_SIZE]) {
    return {name, nullptr, nullptr, nullptr, field, 0, "", DRIVE_TEXT_SIZE, 0, false, true, false};
}

const Key<AppState> commonKeys[] = {
    String(ASPIDLL_KEY, &AppState::aspiDll, "", LIBRARY_NAME_SIZE, false),
    Signed("Update", &AppState::update, 1),
    Signed("MediaControl", &AppState::mediaControl, 0),
    Signed("UseOpenClose", &AppState::useOpenClose, 0),
    Unsigned("OpenCloseTimer", &AppState::openCloseTimer, 10),
    Signed("UseLock", &AppState::useLock, 0),
    Signed("UseKeyboardHook", &AppState::useKeyboardHook, 0),
    Signed("SwapMenu", &AppState::swapMenu, 0),
    Signed("BalloonAll", &AppState::balloonAll, 1),
    Signed("BalloonAuto", &AppState::balloonAuto, 0),
    Signed("NoErrorMessage", &AppState::noErrorMessage, 0),
    Unsigned("IconType", &AppState::iconType, 0),
};

const Key<AppState> menuKeys[] = {
    MenuText("Open", &AppState::menuOpen, IDS_MENU_OPEN),
    MenuText("Close", &AppState::menuClose, IDS_MENU_CLOSE),
    MenuText("Eject", &AppState::menuEject, IDS_MENU_EJECT),
    MenuText("OpenClose", &AppState::menuOpenClose, IDS_MENU_OPEN_CLOSE),
    MenuText("Lock", &AppState::menuLock, IDS_MENU_LOCK),
    MenuText("Unlock", &AppState::menuUnlock, IDS_MENU_UNLOCK),
};

// "Skip" comes first: a skipped drive has nothing else of its section read.
const Key<DriveSection> driveKeys[] = {
    Unsigned("Skip", &DriveSection::skip, 0),
    Text("Vendor", &DriveSection::vendor),
    Text("Product", &DriveSection::product),
    Text("Version", &DriveSection::version),
    Unsigned("Speed", &DriveSection::speed, NO_SPEED, false, true),
    Unsigned("SpinDown", &DriveSection::spinDown, 0, true),
};

template <typename R>
const char* DefaultText(const Key<R>& key) {
    return key.defaultTextId ? UiTextIn(UiLanguage::Japanese, key.defaultTextId) : key.defaultText;
}

template <typename R>
void ReadKey(INIFILE& file, const char* section, const Key<R>& key, R& record) {
    if (key.asSigned) {
        int value = 0;
        file.Read(section, key.name, static_cast<int>(key.defaultNumber), &value);
        record.*key.asSigned = value;
    } else if (key.asUnsigned) {
        unsigned int value = 0;
        file.Read(section, key.name, static_cast<unsigned int>(key.defaultNumber), &value);
        record.*key.asUnsigned = value;
    } else if (key.asString) {
        char buffer[LIBRARY_NAME_SIZE] = {};
        const unsigned int size = key.textSize < sizeof buffer ? key.textSize : sizeof buffer;
        file.Read(section, key.name, DefaultText(key), buffer, size);
        record.*key.asString = buffer;
    } else if (key.asText) {
        file.Read(section, key.name, key.defaultText, record.*key.asText, DRIVE_TEXT_SIZE);
    }
}

// False when the file did not take the write.
template <typename R>
bool WriteKey(INIFILE& file, const char* section, const Key<R>& key, R& record) {
    if (key.asSigned) {
        return file.Write(section, key.name, static_cast<int>(record.*key.asSigned));
    } else if (key.asUnsigned) {
        const std::uint32_t value = record.*key.asUnsigned;
        if (key.omitDefault && value == key.defaultNumber) return true;
        if (key.hex) return file.Write(section, key.name, static_cast<unsigned char>(value & 0xFF));
        return file.Write(section, key.name, static_cast<unsigned int>(value));
    } else if (key.asString) {
        // An empty string has no text: its key goes.
        return file.Write(section, key.name, (record.*key.asString).String(0));
    } else if (key.asText) {
        return file.Write(section, key.name, static_cast<const char*>(record.*key.asText));
    }
    return true;
}

void DriveSectionName(std::uint32_t index, char (&name)[16]) {
    FormatText(name, sizeof name, SECTION_DRIVE_FORMAT, static_cast<int>(index));
}

// A text as the file gives it back: the profile functions drop blanks around
// a value when writing and a pair of quotes around it when reading, so both
// sides are compared in that form.
void StoredForm(const char* text, char (&out)[DRIVE_TEXT_SIZE]) {
    std::size_t begin = 0, end = strnlen(text, DRIVE_TEXT_SIZE - 1);
    for (bool changed = true; changed;) {
        changed = false;
        while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin, changed = true;
        while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            --end, changed = true;
        if (end - begin >= 2 && (text[begin] == '"' || text[begin] == '\'') &&
            text[end - 1] == text[begin]) {
            ++begin, --end;
            changed = true;
        }
    }
    std::memset(out, 0, sizeof out);
    std::memcpy(out, text + begin, end - begin);
}

bool SameText(const char* stored, const char* drive) {
    char a[DRIVE_TEXT_SIZE], b[DRIVE_TEXT_SIZE];
    StoredForm(stored, a);
    StoredForm(drive, b);
    return std::memcmp(a, b, sizeof a) == 0;
}

// False when the settings file is there but cannot be read, after a few
// tries. A missing file reads as all defaults and is fine.
bool SettingsFileReadable(const char* path) {
    if (!path[0]) return true;
    for (int attempt = 1;; ++attempt) {
        HANDLE file =
            CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        if (attempt == READ_ATTEMPTS) return false;
        Sleep(READ_RETRY_MS);
    }
}

void ReadLibraryName(INIFILE& file, AppState& state) {
    char name[LIBRARY_NAME_SIZE] = "";
    file.Read(SECTION_COMMON, ASPIDLL_KEY, "", name, sizeof name);
    if (name[0] != '\0') {
        state.aspiDll = name;
    } else {
        // A first start (or an emptied key) gets the usual library, and the
        // file shows the user where to change it.
        state.aspiDll = DEFAULT_ASPI_DLL;
        file.Write(SECTION_COMMON, ASPIDLL_KEY, DEFAULT_ASPI_DLL);
    }
}

template <typename R>
void SetDefault(const Key<R>& key, R& record) {
    if (key.asSigned)
        record.*key.asSigned = static_cast<std::int32_t>(key.defaultNumber);
    else if (key.asUnsigned)
        record.*key.asUnsigned = key.defaultNumber;
    else if (key.asString)
        record.*key.asString = DefaultText(key);
}

StoredDrive ReadDrive(INIFILE& file, AppState& state, std::uint32_t i) {
    StoredDrive stored = {false, NO_SPEED, NO_SPEED};
    char name[16];
    DriveSectionName(i, name);
    DriveSection section{};
    ReadKey(file, name, driveKeys[0], section);
    state.skip[i] = section.skip;
    if (section.skip != SKIP_NONE) return stored;
    for (std::size_t k = 1; k < sizeof driveKeys / sizeof driveKeys[0]; ++k)
        ReadKey(file, name, driveKeys[k], section);

    const DriveEntry& drive = state.drives[i];
    if (!SameText(section.vendor, drive.vendor) || !SameText(section.product, drive.product) ||
        !SameText(section.version, drive.version))
        return stored;
    stored.held = true;
    stored.speed = section.speed;
    stored.spinDown = section.spinDown;
    return stored;
}

// The last position of the speed in force; NO_SPEED when it is none of them.
std::uint32_t SpeedPosition(const DriveEntry& drive) {
    std::uint32_t position = NO_SPEED;
    const std::uint32_t count = drive.speedCount <= MAX_SPEEDS ? drive.speedCount : MAX_SPEEDS;
    for (std::uint32_t k = 0; k < count; ++k)
        if (drive.speeds[k] == drive.currentSpeed) position = k;
    return position;
}

bool SaveDrive(INIFILE& file, AppState& state, std::uint32_t i) {
    char name[16];
    DriveSectionName(i, name);
    const DriveEntry& drive = state.drives[i];
    DriveSection section{};
    section.skip = state.skip[i];
    std::memcpy(section.vendor, drive.vendor, DRIVE_TEXT_SIZE);
    std::memcpy(section.product, drive.product, DRIVE_TEXT_SIZE);
    std::memcpy(section.version, drive.version, DRIVE_TEXT_SIZE);
    section.vendor[DRIVE_TEXT_SIZE - 1] = section.product[DRIVE_TEXT_SIZE - 1] =
        section.version[DRIVE_TEXT_SIZE - 1] = '\0';
    // No position of the speed in force leaves the file's value.
    section.speed = SpeedPosition(drive);
    section.spinDown = drive.spinDown;

    for (const Key<DriveSection>& key : driveKeys)
        if (!WriteKey(file, name, key, section)) return false;
    return true;
}

std::uint32_t TableCount(const AppState& state) {
    return state.driveCount <= MAX_DRIVES ? state.driveCount : MAX_DRIVES;
}

// The Language key into state.language: its two names in any case, else
// Windows' own language.
void ReadLanguage(INIFILE& file, AppState& state) {
    char name[16] = "";
    file.Read(SECTION_COMMON, LANGUAGE_KEY, "", name, sizeof name);
    state.language = LANGUAGE_WINDOWS;
    for (std::int32_t setting : {LANGUAGE_JAPANESE, LANGUAGE_ENGLISH})
        if (lstrcmpiA(name, LANGUAGE_NAMES[setting]) == 0) state.language = setting;
}

bool WriteLanguage(INIFILE& file, const AppState& state) {
    const bool named = state.language == LANGUAGE_JAPANESE || state.language == LANGUAGE_ENGLISH;
    // No text removes the key: Windows' language is what a missing key gives.
    return file.Write(SECTION_COMMON, LANGUAGE_KEY,
                      named ? LANGUAGE_NAMES[state.language] : static_cast<const char*>(nullptr));
}

// Every key of the record, in the file's order; false at the first one the
// file did not take.
bool WriteEveryKey(INIFILE& file, void* context) {
    AppState& state = *static_cast<AppState*>(context);
    for (const Key<AppState>& key : commonKeys)
        if (!WriteKey(file, SECTION_COMMON, key, state)) return false;
    if (!WriteLanguage(file, state)) return false;
    for (const Key<AppState>& key : menuKeys)
        if (!WriteKey(file, SECTION_MENU, key, state)) return false;
    const std::uint32_t count = TableCount(state);
    for (std::uint32_t i = 0; i < count; ++i)
        if (state.drives[i].speedCount != 0 && !SaveDrive(file, state, i)) return false;
    return true;
}

StoredChoices NothingStored() {
    StoredChoices none;
    for (StoredDrive& drive : none.drives) drive = {false, NO_SPEED, NO_SPEED};
    return none;
}

}  // namespace

void LoadLibraryName() {
    if (!appState) return;
    AppState& state = *appState;
    char path[MAX_PATH];
    SettingsReadPath(path);
    if (!SettingsFileReadable(path)) {
        // Bind the usual library for now, but write nothing over the file.
        state.aspiDll = DEFAULT_ASPI_DLL;
        state.settingsUnreadable = 1;
        state.aspiDllUnread = 1;
        return;
    }
    INIFILE file;
    if (!file.Open(path)) return;
    ReadLibraryName(file, state);
    file.Close();
}

void LoadErrorMessageSetting() {
    // No wait for a held file here: it reads as the default 0, which is what
    // is in force before the first load, and LoadSettings waits right after.
    if (!appState) return;
    char path[MAX_PATH];
    SettingsReadPath(path);
    INIFILE file;
    if (!file.Open(path)) return;
    for (const Key<AppState>& key : commonKeys)
        if (key.asSigned == &AppState::noErrorMessage)
            ReadKey(file, SECTION_COMMON, key, *appState);
    file.Close();
}

void LoadLanguageSetting() {
    if (!appState) return;
    char path[MAX_PATH];
    SettingsReadPath(path);
    INIFILE file;
    appState->language = LANGUAGE_WINDOWS;
    if (file.Open(path)) {
        ReadLanguage(file, *appState);
        file.Close();
    }
    ApplyLanguageSetting();
}

void ApplyLanguageSetting() {
    if (appState) UseUiLanguage(LanguageOfSetting(appState->language));
}

StoredChoices ReadSettings() {
    StoredChoices stored = NothingStored();
    if (!appState) return stored;
    AppState& state = *appState;
    char path[MAX_PATH];
    SettingsReadPath(path);
    if (!SettingsFileReadable(path)) {
        // What is in force stays; before the first load that is the defaults.
        if (!state.settingsLoaded) {
            for (const Key<AppState>& key : commonKeys)
                if (key.loaded) SetDefault(key, state);
            for (const Key<AppState>& key : menuKeys) SetDefault(key, state);
            state.language = LANGUAGE_WINDOWS;
            ApplyLanguageSetting();
        }
        state.settingsUnreadable = 1;
        state.settingsLoaded = 1;
        return stored;
    }
    INIFILE file;
    if (file.Open(path)) {
        if (state.aspiDllUnread) ReadLibraryName(file, state);
        for (const Key<AppState>& key : commonKeys)
            if (key.loaded) ReadKey(file, SECTION_COMMON, key, state);
        if (state.iconType > ICON_TYPE_MAX) state.iconType = 0;
        ReadLanguage(file, state);
        ApplyLanguageSetting();

        for (const Key<AppState>& key : menuKeys) ReadKey(file, SECTION_MENU, key, state);

        const std::uint32_t count = TableCount(state);
        for (std::uint32_t i = 0; i < count; ++i)
            if (state.drives[i].speedCount != 0) stored.drives[i] = ReadDrive(file, state, i);
        file.Close();
        state.settingsUnreadable = 0;
        state.aspiDllUnread = 0;
    }
    state.settingsLoaded = 1;
    if (state.openCloseTimer > OPEN_CLOSE_TIMER_MAX) state.openCloseTimer = OPEN_CLOSE_TIMER_MAX;
    if (state.openCloseTimer < OPEN_CLOSE_TIMER_MIN) state.openCloseTimer = OPEN_CLOSE_TIMER_MIN;
    if (state.iconType > ICON_TYPE_MAX) state.iconType = ICON_TYPE_MAX;
    return stored;
}

StoredChoices ChoicesInForce() {
    StoredChoices chosen = NothingStored();
    if (!appState) return chosen;
    const AppState& state = *appState;
    const std::uint32_t count = TableCount(state);
    for (std::uint32_t i = 0; i < count; ++i) {
        const DriveEntry& drive = state.drives[i];
        if (drive.speedCount == 0 || state.skip[i] != SKIP_NONE) continue;
        chosen.drives[i] = {true, SpeedPosition(drive), drive.spinDown};
    }
    return chosen;
}

SaveOutcome SaveSettingsFile() {
    if (!appState) return SaveOutcome::Saved;
    AppState& state = *appState;
    // A file that could not be read would be replaced by what the program
    // holds instead of it.
    if (state.settingsUnreadable) return SaveOutcome::NotSaved;
    return StoreSettings(WriteEveryKey, &state) ? SaveOutcome::Saved : SaveOutcome::NotWritten;
}

const char* SaveOutcomeText(SaveOutcome outcome) {
    switch (outcome) {
    case SaveOutcome::NotSaved: return UiText(IDS_SETTINGS_NOT_SAVED);
    case SaveOutcome::NotWritten: return UiText(IDS_SETTINGS_NOT_WRITTEN);
    default: return nullptr;
    }
}

const char* MediaItemText(CSTR& text, unsigned textId) {
    const char* own = text.String(0);
    if (!own) own = "";
    for (UiLanguage language : {UiLanguage::Japanese, UiLanguage::English})
        if (std::strcmp(own, UiTextIn(language, textId)) == 0) return UiText(textId);
    return own;
}
