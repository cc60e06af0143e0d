#include "device.h"

#include <algorithm>
#include <cstddef>
#include <new>

#include "system.h"

using namespace aspi;

namespace ptaspi {

namespace {

constexpr DWORD MS_PER_HALF_SECOND = 500;

DWORD TimeoutSeconds(std::uint32_t halfSeconds) {
    return std::max<DWORD>(1, (halfSeconds + 1) / 2);
}

}  // namespace

volatile LONG liveThreads = 0;
HMODULE libraryModule = nullptr;

void PinLibrary() {
    static volatile LONG pinned = 0;
    if (InterlockedExchange(&pinned, 1)) return;
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(libraryModule, path, MAX_PATH)) LoadLibraryA(path);  // never freed
}

void Complete(SRB_ExecSCSICmd* srb, std::uint8_t status) {
    // Read before the status is set: a caller that polls may reuse the block at once.
    const std::uint8_t flags = srb->SRB_Flags;
    void* const post = srb->SRB_PostProc;
    MemoryBarrier();
    *reinterpret_cast<volatile std::uint8_t*>(&srb->SRB_Status) = status;
    if (flags & SRB_POSTING) {
        if (post) reinterpret_cast<PostProcFn>(post)(srb);
    } else if ((flags & SRB_EVENT_NOTIFY) && post) {
        SetEvent(static_cast<HANDLE>(post));
    }
}

Device::Device(char driveLetter, HANDLE handle, CRITICAL_SECTION& queueLock)
    : letter(driveLetter), handle_(handle), queueLock_(queueLock) {}

Device::~Device() {
    for (HANDLE h : {worker_, runner_, work_, start_, idle_})
        if (h) CloseHandle(h);
    if (Opened()) sys::Close(handle_);
    delete block_;
}

bool Device::Start() {
    if (!Opened()) return true;
    block_ = new (std::nothrow) PassThroughBlock;
    work_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    start_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    idle_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (block_ && work_ && start_ && idle_) {
        InterlockedIncrement(&liveThreads);
        runner_ = CreateThread(nullptr, 0, RunnerMain, this, 0, nullptr);
        if (!runner_) InterlockedDecrement(&liveThreads);
    }
    if (runner_) {
        InterlockedIncrement(&liveThreads);
        worker_ = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
        if (!worker_) InterlockedDecrement(&liveThreads);
    }
    if (worker_) return true;
    // Without its threads the device is listed but answers nothing.
    Stop();
    sys::Close(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return false;
}

void Device::Accept(SRB_ExecSCSICmd* srb) {
    srb->SRB_Status = SS_PENDING;
    queue_.push_back(srb);
    SetEvent(work_);
}

bool Device::Withdraw(void* srb) {
    auto it = std::find(queue_.begin(), queue_.end(), srb);
    if (it == queue_.end()) return false;
    queue_.erase(it);
    return true;
}

void Device::AbortQueued() {
    std::deque<SRB_ExecSCSICmd*> aborted;
    {
        Lock lock(queueLock_);
        aborted.swap(queue_);
    }
    for (SRB_ExecSCSICmd* srb : aborted) Complete(srb, SS_ABORTED);
}

std::uint8_t Device::Carry(SRB_ExecSCSICmd& srb) {
    if (!Opened()) return Unanswered(srb, HASTAT_SEL_TO);
    // A call the system has not come back from still holds the buffer: the
    // device is taken as hung until it does.
    if (WaitForSingleObject(idle_, 0) != WAIT_OBJECT_0) return Unanswered(srb, HASTAT_TIMEOUT);
    const std::uint32_t halfSeconds = timeout;
    Prepare(srb, TimeoutSeconds(halfSeconds), *block_);
    length_ = DWORD(offsetof(PassThroughBlock, data) + block_->spt.DataTransferLength);
    ResetEvent(idle_);
    SetEvent(start_);
    if (WaitForSingleObject(idle_, halfSeconds * MS_PER_HALF_SECOND + WATCHDOG_GRACE_MS) !=
        WAIT_OBJECT_0) {
        PinLibrary();
        return Unanswered(srb, HASTAT_COMMAND_TIMEOUT);
    }
    return Conclude(*block_, sent_ != FALSE, srb);
}

void Device::RequestStop() {
    InterlockedExchange(&quit_, 1);
    if (work_) SetEvent(work_);
    if (start_) SetEvent(start_);
}

bool Device::Stop() {
    AbortQueued();
    RequestStop();
    if (worker_) WaitForSingleObject(worker_, INFINITE);  // bounded: its call has a time-out
    if (idle_ && WaitForSingleObject(idle_, 0) != WAIT_OBJECT_0) return false;
    if (runner_) WaitForSingleObject(runner_, INFINITE);
    return true;
}

DWORD WINAPI Device::WorkerMain(void* self) {
    static_cast<Device*>(self)->Work();
    InterlockedDecrement(&liveThreads);
    return 0;
}

DWORD WINAPI Device::RunnerMain(void* self) {
    static_cast<Device*>(self)->Run();
    InterlockedDecrement(&liveThreads);
    return 0;
}

void Device::Work() {
    while (WaitForSingleObject(work_, INFINITE) == WAIT_OBJECT_0 && !quit_) {
        for (;;) {
            SRB_ExecSCSICmd* srb;
            {
                Lock lock(queueLock_);
                if (quit_ || queue_.empty()) break;
                srb = queue_.front();
                queue_.pop_front();
            }
            Complete(srb, Carry(*srb));
        }
    }
}

void Device::Run() {
    while (WaitForSingleObject(start_, INFINITE) == WAIT_OBJECT_0 && !quit_) {
        DWORD returned = 0;
        sent_ = sys::Control(handle_, IOCTL_SCSI_PASS_THROUGH, block_, length_, block_, length_,
                             &returned);
        SetEvent(idle_);
    }
}

}  // namespace ptaspi
