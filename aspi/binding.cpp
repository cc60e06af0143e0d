#include "binding.h"

#include <windows.h>

#include <cstring>

// A request as the library sees it: the caller's block and data buffer,
// copied into memory the binding owns, so that a library which completes the
// request after the binding gave up on it writes into live memory.
struct AspiBinding::Request {
    aspi::SRB_ExecSCSICmd srb;
    HANDLE done;
    std::vector<std::uint8_t> data;
};

AspiEntry entryTable[ENTRY_COUNT] = {
    {"GetASPI32SupportInfo", 0}, {"SendASPI32Command", 0},      {"GetASPI32Buffer", 0},
    {"FreeASPI32Buffer", 0},     {"TranslateASPI32Address", 0}, {"GetASPI32DLLVersion", 0},
    {"ScsiRescan", 0},           {"RegisterASPI32Client", 0},   {"ReScanAdapters", 0},
};

AspiBinding::AspiBinding()
    : userValue(0),
      entryPoints{},
      loaded(0),
      module(nullptr),
      lookedUpCount(0),
      waitLimitMs(WAIT_LIMIT_MS) {}

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
    // A library that may still complete a request keeps its code loaded
    // until the program ends.
    Reap();
    if (abandoned.empty() && !FreeLibrary(module)) return 0;
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

namespace {

// Marks a block the library never completed.
int Failed(aspi::SRB_ExecSCSICmd& srb, std::uint8_t hostStatus) {
    srb.SRB_Status = aspi::SS_ABORTED;
    srb.SRB_HaStat = hostStatus;
    return 0;
}

}  // namespace

void AspiBinding::Reap() const {
    for (auto it = abandoned.begin(); it != abandoned.end();) {
        Request* r = *it;
        if (WaitForSingleObject(r->done, 0) != WAIT_OBJECT_0) {
            ++it;
            continue;
        }
        CloseHandle(r->done);
        delete r;
        it = abandoned.erase(it);
    }
}

bool AspiBinding::Quarantined(const aspi::SRB_ExecSCSICmd& srb) const {
    for (const Request* r : abandoned)
        if (r->srb.SRB_HaId == srb.SRB_HaId && r->srb.SRB_Target == srb.SRB_Target &&
            r->srb.SRB_Lun == srb.SRB_Lun)
            return true;
    return false;
}

std::size_t AspiBinding::AbandonedCount() const { return abandoned.size(); }

const aspi::SRB_ExecSCSICmd* AspiBinding::Abandoned(std::size_t index) const {
    return index < abandoned.size() ? &abandoned[index]->srb : nullptr;
}

int AspiBinding::ExecuteCommand(aspi::SRB_ExecSCSICmd& srb) const {
    if (!loaded) return 0;
    Reap();
    // A device still working on a request given up on is left alone.
    if (Quarantined(srb)) return Failed(srb, aspi::HASTAT_TIMEOUT);

    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!done) return 0;
    Request* r = new Request;
    r->done = done;
    std::memcpy(&r->srb, &srb, sizeof srb);
    // The pointer goes as the caller gave it when there is nothing to carry.
    if (srb.SRB_BufPointer && srb.SRB_BufLen) {
        r->data.assign(srb.SRB_BufPointer, srb.SRB_BufPointer + srb.SRB_BufLen);
        r->srb.SRB_BufPointer = r->data.data();
    }
    r->srb.SRB_PostProc = done;
    ResetEvent(done);

    const std::uint32_t immediate = Entry<aspi::SendASPI32CommandFn>(ENTRY_SEND_COMMAND)(&r->srb);
    if (immediate == aspi::SS_PENDING && WaitForSingleObject(done, waitLimitMs) != WAIT_OBJECT_0) {
        aspi::SRB_Abort abort;
        std::memset(&abort, 0, sizeof abort);
        abort.SRB_Cmd = aspi::SC_ABORT_SRB;
        abort.SRB_HaId = r->srb.SRB_HaId;
        abort.SRB_ToAbort = &r->srb;
        Entry<aspi::SendASPI32CommandFn>(ENTRY_SEND_COMMAND)(&abort);
        // An abort that worked has completed the block; otherwise the block
        // is the library's until it does.
        if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0) {
            CloseHandle(done);
            delete r;
        } else {
            abandoned.push_back(r);
        }
        srb.SRB_PostProc = done;
        return Failed(srb, aspi::HASTAT_COMMAND_TIMEOUT);
    }
    CloseHandle(done);

    // The library wrote the block (from its own thread before it signalled):
    // the caller gets it back with its own buffer pointer.
    std::uint8_t* const callerBuffer = srb.SRB_BufPointer;
    std::memcpy(&srb, &r->srb, sizeof srb);
    srb.SRB_BufPointer = callerBuffer;
    if (!r->data.empty()) std::memcpy(callerBuffer, r->data.data(), r->data.size());
    delete r;
    return srb.SRB_Status == aspi::SS_COMP;
}
