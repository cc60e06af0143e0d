#include "settings.h"

#include <cstdio>
#include <cstring>

#include "appstate.h"
#include "drive_table.h"
#include "inifile.h"

namespace {

constexpr unsigned int LIBRARY_NAME_SIZE = 260;
constexpr unsigned int MENU_TEXT_SIZE = 30;  // 29 bytes of text
constexpr std::uint32_t SPIN_DOWN_MAX = 15;

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
    unsigned int textSize;    // read buffer of a text, terminator included
    bool hex;
    bool loaded;              // false: saved here, read elsewhere
    bool omitDefault;         // the default value is not written
};

template <typename R>
constexpr Key<R> Signed(const char* name, std::int32_t R::*field, std::int32_t def) {
    return {name, field, nullptr, nullptr, nullptr, static_cast<std::uint32_t>(def), nullptr, 0,
            false, true, false};
}

template <typename R>
constexpr Key<R> Unsigned(const char* name, std::uint32_t R::*field, std::uint32_t def,
                          bool hex = false, bool omitDefault = false) {
    return {name, nullptr, field, nullptr, nullptr, def, nullptr, 0, hex, true, omitDefault};
}

template <typename R>
constexpr Key<R> String(const char* name, CSTR R::*field, const char* def, unsigned int size,
                        bool loaded = true) {
    return {name, nullptr, nullptr, field, nullptr, 0, def, size, false, loaded, false};
}

template <typename R>
constexpr Key<R> Text(const char* name, char (R::*field)[DRIVE_TEXT_SIZE]) {
    return {name,  nullptr, nullptr, nullptr, field, 0, "", DRIVE_TEXT_SIZE,
            false, true,    false};
}

const Key<AppState> commonKeys[] = {
    String("ASPIDLL", &AppState::aspiDll, "", LIBRARY_NAME_SIZE, false),
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
    String("Open", &AppState::menuOpen, "開ける", MENU_TEXT_SIZE),
    String("Close", &AppState::menuClose, "閉じる", MENU_TEXT_SIZE),
    String("Eject", &AppState::menuEject, "取り出し", MENU_TEXT_SIZE),
    String("OpenClose", &AppState::menuOpenClose, "自動開閉", MENU_TEXT_SIZE),
    String("Lock", &AppState::menuLock, "ロック", MENU_TEXT_SIZE),
    String("Unlock", &AppState::menuUnlock, "アンロック", MENU_TEXT_SIZE),
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
        file.Read(section, key.name, key.defaultText, buffer, size);
        record.*key.asString = buffer;
    } else if (key.asText) {
        file.Read(section, key.name, key.defaultText, record.*key.asText, DRIVE_TEXT_SIZE);
    }
}

template <typename R>
void WriteKey(INIFILE& file, const char* section, const Key<R>& key, R& record) {
    if (key.asSigned) {
        file.Write(section, key.name, static_cast<int>(record.*key.asSigned));
    } else if (key.asUnsigned) {
        const std::uint32_t value = record.*key.asUnsigned;
        if (key.omitDefault && value == key.defaultNumber) return;
        if (key.hex)
            file.Write(section, key.name, static_cast<unsigned char>(value & 0xFF));
        else
            file.Write(section, key.name, static_cast<unsigned int>(value));
    } else if (key.asString) {
        // An empty string has no text: its key goes.
        file.Write(section, key.name, (record.*key.asString).String(0));
    } else if (key.asText) {
        file.Write(section, key.name, static_cast<const char*>(record.*key.asText));
    }
}

void DriveSectionName(std::uint32_t index, char (&name)[16]) {
    std::snprintf(name, sizeof name, SECTION_DRIVE_FORMAT, static_cast<int>(index));
}

bool SameText(const char* a, const char* b) { return std::strncmp(a, b, DRIVE_TEXT_SIZE) == 0; }

void LoadDrive(INIFILE& file, AppState& state, std::uint32_t i) {
    char name[16];
    DriveSectionName(i, name);
    DriveSection section{};
    ReadKey(file, name, driveKeys[0], section);
    state.skip[i] = section.skip;
    if (section.skip != SKIP_NONE) return;
    for (std::size_t k = 1; k < sizeof driveKeys / sizeof driveKeys[0]; ++k)
        ReadKey(file, name, driveKeys[k], section);

    DriveEntry& drive = state.drives[i];
    if (!SameText(section.vendor, drive.vendor) || !SameText(section.product, drive.product) ||
        !SameText(section.version, drive.version))
        return;
    if (section.speed < drive.speedCount) ApplySpeed(i, section.speed);
    if (section.spinDown <= SPIN_DOWN_MAX) {
        drive.spinDown = static_cast<std::uint8_t>(section.spinDown);
        ApplySpinDown(i);
    }
}

void SaveDrive(INIFILE& file, AppState& state, std::uint32_t i) {
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
    // The last position holding the current speed; none leaves the file's value.
    section.speed = NO_SPEED;
    const std::uint32_t count = drive.speedCount <= MAX_SPEEDS ? drive.speedCount : MAX_SPEEDS;
    for (std::uint32_t k = 0; k < count; ++k)
        if (drive.speeds[k] == drive.currentSpeed) section.speed = k;
    section.spinDown = drive.spinDown;

    for (const Key<DriveSection>& key : driveKeys) WriteKey(file, name, key, section);
}

std::uint32_t TableCount(const AppState& state) {
    return state.driveCount <= MAX_DRIVES ? state.driveCount : MAX_DRIVES;
}

}  // namespace

void LoadSettings() {
    if (!appState) return;
    AppState& state = *appState;
    INIFILE file;
    if (file.Open(SETTINGS_FILE)) {
        for (const Key<AppState>& key : commonKeys)
            if (key.loaded) ReadKey(file, SECTION_COMMON, key, state);
        if (state.iconType > ICON_TYPE_MAX) state.iconType = 0;

        for (const Key<AppState>& key : menuKeys) ReadKey(file, SECTION_MENU, key, state);

        const std::uint32_t count = TableCount(state);
        for (std::uint32_t i = 0; i < count; ++i)
            if (state.drives[i].speedCount != 0) LoadDrive(file, state, i);
        file.Close();
    }
    if (state.openCloseTimer > OPEN_CLOSE_TIMER_MAX) state.openCloseTimer = OPEN_CLOSE_TIMER_MAX;
    if (state.openCloseTimer < OPEN_CLOSE_TIMER_MIN) state.openCloseTimer = OPEN_CLOSE_TIMER_MIN;
    if (state.iconType > ICON_TYPE_MAX) state.iconType = ICON_TYPE_MAX;
}

void SaveSettings() {
    if (!appState) return;
    AppState& state = *appState;
    INIFILE file;
    if (!file.Open(SETTINGS_FILE)) return;
    for (const Key<AppState>& key : commonKeys) WriteKey(file, SECTION_COMMON, key, state);
    for (const Key<AppState>& key : menuKeys) WriteKey(file, SECTION_MENU, key, state);

    const std::uint32_t count = TableCount(state);
    for (std::uint32_t i = 0; i < count; ++i)
        if (state.drives[i].speedCount != 0) SaveDrive(file, state, i);
    file.Close();
}
