// One CD-ROM class device of the system on the ASPI bus: its handle, its queue
// of accepted request blocks, and the two threads that carry them out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>

#include "aspi32.h"
#include "layout.h"
#include "passthrough.h"

namespace ptaspi {

// Time-outs are kept in half seconds, as SC_GETSET_TIMEOUTS gives them.
constexpr std::uint32_t DEFAULT_TIMEOUT_HALF_SECONDS = 60;  // long enough for a tray to load
constexpr std::uint32_t MAX_TIMEOUT_HALF_SECONDS = 108000;
// The port driver has the command's time-out to end it; the library waits
// this much longer before it gives the device up.
constexpr DWORD WATCHDOG_GRACE_MS = 1000;

// Serialises the library's lists and queues.
class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~Lock() { LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

// Threads of the library still running: the library waits for them before
// it is unloaded.
extern volatile LONG liveThreads;
extern HMODULE libraryModule;
// Keeps the library in memory for good: a call the system never returned from
// must not return into unloaded code.
void PinLibrary();

// Ends a block: every field but the status first, then the status, then the
// caller is told. The block is not touched after that.
void Complete(aspi::SRB_ExecSCSICmd* srb, std::uint8_t status);

class Device {
public:
    Device(char letter, HANDLE handle, CRITICAL_SECTION& queueLock);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool Opened() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Starts the two threads; false when they cannot be made.
    bool Start();
    // Queues a checked block; the caller holds the queue lock.
    void Accept(aspi::SRB_ExecSCSICmd* srb);
    // Takes a block out of the queue if it has not started; the caller holds the lock.
    bool Withdraw(void* srb);
    // Ends every queued block with SS_ABORTED.
    void AbortQueued();
    // Carries one block out on the calling thread and returns its final
    // status, without completing it.
    std::uint8_t Carry(aspi::SRB_ExecSCSICmd& srb);
    // Tells the threads to end, without waiting (the unloading library spins
    // on liveThreads instead: it may not wait for a thread).
    void RequestStop();
    // Ends the threads; false when the device stays stuck in a call and the
    // object must be left alive for it.
    bool Stop();

    const char letter;
    Slot slot;
    std::uint8_t type = 0;
    std::uint32_t timeout = DEFAULT_TIMEOUT_HALF_SECONDS;

private:
    static DWORD WINAPI WorkerMain(void* self);
    static DWORD WINAPI RunnerMain(void* self);
    void Work();
    void Run();

    HANDLE handle_;
    CRITICAL_SECTION& queueLock_;
    std::deque<aspi::SRB_ExecSCSICmd*> queue_;
    volatile LONG quit_ = 0;
    HANDLE worker_ = nullptr, runner_ = nullptr;
    HANDLE work_ = nullptr;              // auto-reset: the queue has something
    HANDLE start_ = nullptr;             // auto-reset: the runner has a call to make
    HANDLE idle_ = nullptr;              // manual-reset: the runner has no call in hand
    PassThroughBlock* block_ = nullptr;  // the runner's while it is not idle
    DWORD length_ = 0;                   // of the request in block_
    BOOL sent_ = FALSE;
};

}  // namespace ptaspi
