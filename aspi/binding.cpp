#include "binding.h"

#include <windows.h>

AspiEntry entryTable[ENTRY_COUNT] = {
    {"GetASPI32SupportInfo", 0},
    {"SendASPI32Command", 0},
    {"GetASPI32Buffer", 0},
    {"FreeASPI32Buffer", 0},
    {"TranslateASPI32Address", 0},
    {"GetASPI32DLLVersion", 0},
    {"ScsiRescan", 0},
    {"RegisterASPI32Client", 0},
    {"ReScanAdapters", 0},
};

AspiBinding::AspiBinding()
    : userValue(0), entryPoints{}, loaded(0), module(nullptr), lookedUpCount(0) {}

AspiBinding::~AspiBinding() { Unload(); }

int AspiBinding::Load(std::uint32_t user, const char* fileName) {
    if (loaded) return 1;
    return Bind(user, LoadLibraryA(fileName));
}

int AspiBinding::Load(std::uint32_t user, const wchar_t* fileName) {
    if (loaded) return 1;
    return Bind(user, LoadLibraryW(fileName));
}

int AspiBinding::Bind(std::uint32_t user, HINSTANCE__* library) {
    userValue = user;
    module = library;
    if (!module) return 0;

    lookedUpCount = 0;
    for (std::uint32_t i = 0; i < ENTRY_COUNT; ++i) {
        FARPROC address = GetProcAddress(module, entryTable[i].name);
        entryPoints[i] = reinterpret_cast<void*>(address);
        entryTable[i].found = address != nullptr;
        ++lookedUpCount;
    }

    if (entryPoints[ENTRY_GET_SUPPORT_INFO] && entryPoints[ENTRY_SEND_COMMAND]) {
        if (entryPoints[ENTRY_REGISTER_CLIENT])
            Entry<aspi::RegisterASPI32ClientFn>(ENTRY_REGISTER_CLIENT)(userValue);
        loaded = 1;
    }
    return loaded;
}

int AspiBinding::Load(const char* fileName) { return Load(0, fileName); }

int AspiBinding::Unload() {
    if (!module) return 0;
    if (!FreeLibrary(module)) return 0;
    module = nullptr;
    lookedUpCount = 0;
    loaded = 0;
    return 1;
}

std::uint32_t AspiBinding::GetEntryCount() const { return lookedUpCount; }

const char* AspiBinding::GetEntryInfo(std::uint32_t index, int& found) const {
    if (index >= lookedUpCount) return nullptr;
    found = entryTable[index].found;
    return entryTable[index].name;
}

std::uint32_t AspiBinding::GetDllVersion() const {
    if (!loaded || !entryPoints[ENTRY_GET_DLL_VERSION]) return 0;
    return Entry<aspi::GetASPI32DLLVersionFn>(ENTRY_GET_DLL_VERSION)();
}

std::uint8_t AspiBinding::GetAdapterCount() const {
    if (!loaded) return 0;
    const std::uint32_t word = Entry<aspi::GetASPI32SupportInfoFn>(ENTRY_GET_SUPPORT_INFO)();
    if (aspi::SupportStatus(word) != aspi::SS_COMP) return 0;
    return aspi::SupportAdapterCount(word);
}

void AspiBinding::Rescan() const {
    if (!loaded) return;
    if (entryPoints[ENTRY_SCSI_RESCAN])
        Entry<aspi::RescanFn>(ENTRY_SCSI_RESCAN)();
    else if (entryPoints[ENTRY_RESCAN_ADAPTERS])
        Entry<aspi::RescanFn>(ENTRY_RESCAN_ADAPTERS)();
}

int AspiBinding::SendCommand(void* srb) const {
    if (!loaded) return 0;
    Entry<aspi::SendASPI32CommandFn>(ENTRY_SEND_COMMAND)(srb);
    return static_cast<aspi::SRB_Header*>(srb)->SRB_Status == aspi::SS_COMP;
}

int AspiBinding::ExecuteCommand(aspi::SRB_ExecSCSICmd& srb) const {
    if (!loaded) return 0;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!done) return 0;
    srb.SRB_PostProc = done;
    ResetEvent(done);
    const std::uint32_t immediate = Entry<aspi::SendASPI32CommandFn>(ENTRY_SEND_COMMAND)(&srb);
    if (immediate == aspi::SS_PENDING) WaitForSingleObject(done, INFINITE);
    CloseHandle(done);
    // The library writes the status from its own thread before it signals.
    return *static_cast<volatile std::uint8_t*>(&srb.SRB_Status) == aspi::SS_COMP;
}
