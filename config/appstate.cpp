#include "appstate.h"

#include <new>

#include "resource_ids.h"
#include "settings.h"

AppState* appState = nullptr;

static_assert(
    ICON_RESOURCE_IDS[0] == IDI_MEDIA_STANDARD && ICON_RESOURCE_IDS[1] == IDI_MEDIA_COLOURFUL &&
        ICON_RESOURCE_IDS[2] == IDI_MEDIA_SIMPLE && ICON_RESOURCE_IDS[3] == IDI_MEDIA_MONO &&
        ICON_RESOURCE_IDS[4] == IDI_DRIVE_STANDARD && ICON_RESOURCE_IDS[5] == IDI_DRIVE_COLOURFUL &&
        ICON_RESOURCE_IDS[6] == IDI_DRIVE_SIMPLE && ICON_RESOURCE_IDS[7] == IDI_DRIVE_MONO,
    "the icon slots follow the style list: four media looks, then four drive looks");

bool CreateAppState(HINSTANCE instance, void (*stringErrorTrap)()) {
    // Value-initialised: every plain field zero, the seven strings empty.
    appState = new (std::nothrow) AppState();
    if (!appState) return false;
    AppState& state = *appState;

    state.instance = instance;
    for (std::uint32_t i = 0; i < ICON_COUNT; ++i) {
        state.icons[i] = LoadIconA(instance, MAKEINTRESOURCEA(ICON_RESOURCE_IDS[i]));
    }

    CSTR* strings[] = {&state.aspiDll,       &state.menuOpen, &state.menuClose, &state.menuEject,
                       &state.menuOpenClose, &state.menuLock, &state.menuUnlock};
    for (CSTR* text : strings) text->RegisterErrorTrap(stringErrorTrap);

    LoadLibraryName();
    LoadLanguageSetting();
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
