// The ASPI32 driver library: loading it, its entry points, and request submission.
#pragma once

#include <cstdint>
#include <vector>

#include "aspi32.h"

struct HINSTANCE__;

// One row of the program-wide entry table: the entry's name and whether the
// last load found it.
struct AspiEntry {
    const char* name;
    int found;
};

enum AspiEntryIndex : std::uint32_t {
    ENTRY_GET_SUPPORT_INFO = 0,
    ENTRY_SEND_COMMAND,
    ENTRY_GET_BUFFER,
    ENTRY_FREE_BUFFER,
    ENTRY_TRANSLATE_ADDRESS,
    ENTRY_GET_DLL_VERSION,
    ENTRY_SCSI_RESCAN,
    ENTRY_REGISTER_CLIENT,
    ENTRY_RESCAN_ADAPTERS,
    ENTRY_COUNT
};

// Shared by the whole program, rewritten by every load.
extern AspiEntry entryTable[ENTRY_COUNT];

class AspiBinding {
public:
    AspiBinding();
    virtual ~AspiBinding();

    AspiBinding(const AspiBinding&) = delete;
    AspiBinding& operator=(const AspiBinding&) = delete;

    // The file name in the system's ANSI code page (buslook's environment).
    int Load(std::uint32_t userValue, const char* fileName);
    int Load(const char* fileName);
    // The file name in UTF-16: the tray program converts its Shift-JIS
    // setting, so a path with Japanese folder names loads on any Windows.
    int Load(std::uint32_t userValue, const wchar_t* fileName);
    int Unload();

    std::uint32_t GetEntryCount() const;
    const char* GetEntryInfo(std::uint32_t index, int& found) const;
    std::uint32_t GetDllVersion() const;
    std::uint8_t GetAdapterCount() const;
    void Rescan() const;

    // Hands a library-internal request (adapter inquiry, device type) to the
    // library, which completes it inside the call.
    int SendCommand(void* srb) const;
    // Sends a SCSI command and waits for its completion event, up to the
    // wait limit. The library works on a copy of the block and its buffer
    // that the binding owns; the results are copied back when the command
    // completes in time. Past the limit the library is asked to abort the
    // request, the command fails (SS_ABORTED, host status 0Bh), and the copy
    // stays alive for a late completion; until that comes, every command to
    // the same device fails at once (SS_ABORTED, host status 09h) without
    // reaching the library.
    int ExecuteCommand(aspi::SRB_ExecSCSICmd& srb) const;

    // How long a request the library accepted as pending is waited for:
    // longer than our own WNASPI32.DLL takes to end a request itself (its
    // 30 s pass-through time-out and 1 s of grace), so that a library which
    // ends its requests always ends them first.
    static constexpr std::uint32_t WAIT_LIMIT_MS = 35000;
    // The tests shorten the limit; the programs keep WAIT_LIMIT_MS.
    void SetWaitLimit(std::uint32_t ms) { waitLimitMs = ms; }

    // Requests given up on that the library has not completed yet, oldest
    // first. A block stays where it is until the library completes it.
    std::size_t AbandonedCount() const;
    const aspi::SRB_ExecSCSICmd* Abandoned(std::size_t index) const;

private:
    struct Request;

    int Bind(std::uint32_t userValue, HINSTANCE__* library);
    template <typename Fn>
    Fn Entry(AspiEntryIndex index) const {
        return reinterpret_cast<Fn>(entryPoints[index]);
    }

    std::uint32_t userValue;
    void* entryPoints[ENTRY_COUNT];
    int loaded;
    HINSTANCE__* module;
    std::uint32_t lookedUpCount;
    std::uint32_t waitLimitMs;
    // Requests given up on; each is freed once the library has completed it.
    mutable std::vector<Request*> abandoned;
    // Frees the abandoned requests the library has completed since.
    void Reap() const;
    bool Quarantined(const aspi::SRB_ExecSCSICmd& srb) const;
};
