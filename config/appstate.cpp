#include "appstate.h"

#include <new>

#include "resource_ids.h"
#include "inifile.h"
#include "window_services.h"

AppState* appState = nullptr;

static_assert(ICON_RESOURCE_IDS[0] == IDI_MEDIA_STANDARD && ICON_RESOURCE_IDS[1] == IDI_MEDIA_COLOURFUL &&
                  ICON_RESOURCE_IDS[2] == IDI_MEDIA_SIMPLE && ICON_RESOURCE_IDS[3] == IDI_MEDIA_MONO &&
                  ICON_RESOURCE_IDS[4] == IDI_DRIVE_STANDARD &&
                  ICON_RESOURCE_IDS[5] == IDI_DRIVE_COLOURFUL &&
                  ICON_RESOURCE_IDS[6] == IDI_DRIVE_SIMPLE && ICON_RESOURCE_IDS[7] == IDI_DRIVE_MONO,
              "the icon slots follow the style list: four media looks, then four drive looks");

namespace {

constexpr const char* COMMON_SECTION = "COMMON";
constexpr const char* ASPIDLL_KEY = "ASPIDLL";
constexpr const char* DEFAULT_ASPI_DLL = "WNASPI32.DLL";
constexpr unsigned int ASPI_DLL_BUFFER_SIZE = 260;  // a full path, MAX_PATH

// The library name is the one setting needed before the main window exists:
// the binding happens during the window's creation.
void ReadAspiDll(AppState& state) {
    INIFILE file;
    if (!file.Open(SETTINGS_FILE)) return;
    char name[ASPI_DLL_BUFFER_SIZE] = "";
    file.Read(COMMON_SECTION, ASPIDLL_KEY, "", name, sizeof name);
    if (name[0] != '\0') {
        state.aspiDll = name;
    } else {
        // A first start (or an emptied key) gets the usual library, and the
        // file shows the user where to change it.
        state.aspiDll = DEFAULT_ASPI_DLL;
        file.Write(COMMON_SECTION, ASPIDLL_KEY, DEFAULT_ASPI_DLL);
    }
    file.Close();
}

}  // namespace

bool CreateAppState(HINSTANCE instance) {
    // Value-initialised: every plain field zero, the seven strings empty.
    appState = new (std::nothrow) AppState();
    if (!appState) return false;
    AppState& state = *appState;

    state.instance = instance;
    for (std::uint32_t i = 0; i < ICON_COUNT; ++i) {
        state.icons[i] = LoadIconA(instance, MAKEINTRESOURCEA(ICON_RESOURCE_IDS[i]));
    }

    CSTR* strings[] = {&state.aspiDll,       &state.menuOpen, &state.menuClose,
                       &state.menuEject,     &state.menuOpenClose,
                       &state.menuLock,      &state.menuUnlock};
    for (CSTR* text : strings) text->RegisterErrorTrap(CstrErrorTrap);

    ReadAspiDll(state);
    return true;
}

// The members are destroyed in reverse order of declaration: the six menu
// texts from menuUnlock back to menuOpen, then aspiDll. The icons are shared
// resource icons and need no release.
void DestroyAppState() {
    delete appState;
    appState = nullptr;
}

HICON IconOfType(const AppState& state, std::uint32_t iconType) {
    return iconType < ICON_COUNT ? state.icons[iconType] : nullptr;
}
