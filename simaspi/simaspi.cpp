// simaspi.dll: an ASPI for Win32 library over the simulated bus.
//
// The bus is read when the library is loaded (SIMASPI_BUS names the bus file;
// without it the built-in bus). Every request block goes to the command log
// named by SIMASPI_LOG, and the state of every device is written to the file
// named by SIMASPI_STATE after every change. SIMASPI_CONTROL names a file a
// test writes to change the running bus (a new disc in a drive); the library
// takes its lines at its next call.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "aspi32.h"
#include "host.h"
#include "misbehave.h"
#include "model.h"

using namespace aspi;
using simaspi::Env;
using simaspi::Format;
using simaspi::Hex;
using simaspi::WriteFileText;

namespace {

struct Library {
    CRITICAL_SECTION lock;
    simaspi::Bus bus;
    simaspi::Chaos chaos;  // off unless the bus file has [misbehave]
    bool malformed = false;
    std::string logPath;
    std::string statePath;
    std::string controlPath;
    volatile LONG workers = 0;  // asynchronous completions still running
};

Library* lib = nullptr;

class Guard {
public:
    Guard() { EnterCriticalSection(&lib->lock); }
    ~Guard() { LeaveCriticalSection(&lib->lock); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

// Callers hold the lock.
void Log(const std::string& line) { WriteFileText(lib->logPath, line + "\n", true); }

void WriteState() { WriteFileText(lib->statePath, simaspi::StateText(lib->bus), false); }

void Configure() {
    lib->logPath = Env("SIMASPI_LOG");
    lib->statePath = Env("SIMASPI_STATE");
    lib->controlPath = Env("SIMASPI_CONTROL");
    lib->malformed = !simaspi::LoadConfiguredBus(lib->bus);
    lib->chaos = simaspi::Chaos(lib->bus.misbehave);
    WriteState();
}

// One line of the control file: "medium A:T[:L]" puts a new disc into the
// closed tray of a removable device. False for anything else.
bool Control(const std::string& line) {
    std::istringstream in(line);
    std::string what, address, rest;
    in >> what >> address;
    unsigned a = 0, t = 0, l = 0;
    char end = 0;
    const int n = std::sscanf(address.c_str(), "%u:%u:%u%c", &a, &t, &l, &end);
    if (what != "medium" || (in >> rest) || (n != 2 && n != 3) || a > 255 || t > 255 || l > 255)
        return false;
    simaspi::Device* d = lib->bus.Find(std::uint8_t(a), std::uint8_t(t), std::uint8_t(l));
    if (!d || !simaspi::IsRemovableType(d->type)) return false;
    d->ChangeMedium();
    Log(Format("medium-change ha=%u tgt=%u lun=%u", a, t, l));
    return true;
}

// What the test asked for since the last call, taken once: the file is
// deleted. A writer renames a finished file into place, so no half is read.
void TakeControl() {
    if (lib->controlPath.empty()) return;
    Guard g;
    std::string text;
    if (!simaspi::ReadWholeFile(lib->controlPath, text) || text.empty()) return;
    DeleteFileA(lib->controlPath.c_str());
    std::istringstream in(text);
    bool changed = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (Control(line)) {
            changed = true;
        } else {
            Log("control-refused");
            simaspi::WriteStderr("simaspi: " + lib->controlPath + ": cannot do '" + line + "'");
        }
    }
    if (changed) WriteState();
}

// A request block as it arrived, and what the log says about it.
struct Submission {
    std::vector<std::uint8_t> raw;
    std::vector<std::uint8_t> data;  // outgoing data, as sent
    const char* post = "none";
    std::string chaos;  // what a misbehaving bus did to it
    std::string hold;   // held by hang= or late=: "never", or "Ns"
};

std::string SrbLine(const Submission& s, std::uint8_t status) {
    const std::uint8_t cmd = s.raw[0];
    unsigned tgt = 0, lun = 0, buflen = 0, senselen = 0, cdblen = 0;
    std::string cdb, handle;
    if (cmd == SC_GET_DEV_TYPE) {
        SRB_GDEVBlock g;
        std::memcpy(&g, s.raw.data(), sizeof g);
        tgt = g.SRB_Target;
        lun = g.SRB_Lun;
    } else if (cmd == SC_EXEC_SCSI_CMD) {
        SRB_ExecSCSICmd e;
        std::memcpy(&e, s.raw.data(), sizeof e);
        tgt = e.SRB_Target;
        lun = e.SRB_Lun;
        buflen = e.SRB_BufLen;
        senselen = e.SRB_SenseLen;
        cdblen = e.SRB_CDBLen;
        cdb = Hex(e.CDBByte, std::min<std::size_t>(cdblen, CDB_AREA_LEN));
        handle = Format(" handle=0x%llx", (unsigned long long)(std::uintptr_t)e.SRB_PostProc);
    } else if (cmd == SC_ABORT_SRB) {
        SRB_Abort a;
        std::memcpy(&a, s.raw.data(), sizeof a);
        handle = Format(" to=0x%llx", (unsigned long long)(std::uintptr_t)a.SRB_ToAbort);
    }
    std::string line = Format(
        "srb cmd=%02x ha=%u tgt=%u lun=%u flags=%02x buflen=%u senselen=%u cdblen=%u cdb=", cmd,
        s.raw[2], tgt, lun, s.raw[3], buflen, senselen, cdblen);
    line += cdb + " post=" + s.post + handle + Format(" status=%02x", status) +
            " raw=" + Hex(s.raw.data(), s.raw.size());
    if (!s.data.empty()) line += " data=" + Hex(s.data.data(), s.data.size());
    if (!s.chaos.empty()) line += " chaos=" + s.chaos;
    if (!s.hold.empty()) line += " hold=" + s.hold;
    return line;
}

std::uint32_t Finish(void* srb, const Submission& s, std::uint8_t status) {
    static_cast<SRB_Header*>(srb)->SRB_Status = status;
    Guard g;
    Log(SrbLine(s, status));
    return status;
}

Submission Capture(const void* srb, std::size_t len) {
    Submission s;
    const std::uint8_t* p = static_cast<const std::uint8_t*>(srb);
    s.raw.assign(p, p + len);
    return s;
}

std::uint32_t HaInquiry(SRB_HAInquiry* srb) {
    Submission s = Capture(srb, sizeof *srb);
    const auto& adapters = lib->bus.adapters;
    if (lib->malformed || !lib->bus.AdapterPresent(srb->SRB_HaId))
        return Finish(srb, s, SS_INVALID_HA);
    const simaspi::Adapter& a = adapters[srb->SRB_HaId];
    if (a.fail) return Finish(srb, s, SS_ERR);
    srb->HA_Count = std::uint8_t(lib->bus.AdapterCount());
    srb->HA_SCSI_ID = a.scsiId;
    simaspi::PutField(srb->HA_ManagerId, a.manager, simaspi::ADAPTER_TEXT_LEN);
    simaspi::PutField(srb->HA_Identifier, a.identifier, simaspi::ADAPTER_TEXT_LEN);
    srb->HA_Unique[3] = a.targets;
    std::memcpy(srb->HA_Unique + 4, &a.maxTransfer, 4);  // little-endian
    return Finish(srb, s, SS_COMP);
}

std::uint32_t GetDevType(SRB_GDEVBlock* srb) {
    Submission s = Capture(srb, sizeof *srb);
    if (lib->malformed || !lib->bus.AdapterPresent(srb->SRB_HaId))
        return Finish(srb, s, SS_INVALID_HA);
    std::uint8_t status;
    {
        Guard g;
        const simaspi::Device* d = lib->bus.Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
        if (!d) {
            status = SS_NO_DEVICE;
        } else if (d->fail & simaspi::FAIL_DEVTYPE) {
            status = SS_ERR;
        } else {
            const int other = lib->chaos.OtherType(d->type);
            srb->SRB_DeviceType = other >= 0 ? std::uint8_t(other) : d->type;
            status = SS_COMP;
        }
    }
    return Finish(srb, s, status);
}

// Runs a SCSI command on its device and completes the block; the log line
// and the state file are written before the event is signalled, so a waiter
// finds them up to date.
// A misbehaving bus answers into a buffer of its own first, so that a reply
// cut short leaves the rest of the host's buffer as the host had it.
simaspi::Outcome Misbehave(simaspi::Device& d, const SRB_ExecSCSICmd& in, Submission& s) {
    const std::size_t cdbLen = std::min<std::size_t>(in.SRB_CDBLen, CDB_AREA_LEN);
    simaspi::Outcome o;
    if (const std::uint8_t error = lib->chaos.CommandError()) {
        o.status = error;
        s.chaos = Format("status-%02x", error);
        return o;
    }
    std::uint8_t* host = in.SRB_BufLen ? in.SRB_BufPointer : nullptr;
    if (!host || !(in.SRB_Flags & SRB_DIR_IN))
        return simaspi::Execute(d, in.CDBByte, cdbLen, host, in.SRB_BufLen);
    std::vector<std::uint8_t> reply(in.SRB_BufLen, 0);
    o = simaspi::Execute(d, in.CDBByte, cdbLen, reply.data(), in.SRB_BufLen);
    if (o.status == SS_COMP)
        o.dataLen = lib->chaos.MangleReply(in.CDBByte, cdbLen, reply.data(), o.dataLen,
                                           in.SRB_BufLen, s.chaos);
    std::memcpy(host, reply.data(), o.dataLen);
    return o;
}

std::uint8_t Complete(SRB_ExecSCSICmd* srb, Submission& s, bool signal = true) {
    SRB_ExecSCSICmd in;
    std::memcpy(&in, s.raw.data(), sizeof in);
    std::uint8_t status;
    {
        Guard g;
        simaspi::Device* d = lib->bus.Find(in.SRB_HaId, in.SRB_Target, in.SRB_Lun);
        simaspi::Outcome o;
        if (d && lib->chaos.On()) {
            o = Misbehave(*d, in, s);
        } else if (d) {
            std::uint8_t* buf = in.SRB_BufLen ? in.SRB_BufPointer : nullptr;
            o = simaspi::Execute(*d, in.CDBByte, std::min<std::size_t>(in.SRB_CDBLen, CDB_AREA_LEN),
                                 buf, in.SRB_BufLen);
        } else {
            o.status = SS_NO_DEVICE;
        }
        status = o.status;
        srb->SRB_HaStat = 0;
        srb->SRB_TargStat = status == SS_ERR ? 0x02 : 0x00;  // CHECK CONDITION
        if (status == SS_ERR)
            simaspi::WriteSense(o, srb->SenseArea,
                                std::min<std::size_t>(in.SRB_SenseLen, SENSE_AREA_LEN));
        if (o.changed) WriteState();
        srb->SRB_Status = status;
        Log(SrbLine(s, status));
    }
    if (signal && (in.SRB_Flags & SRB_EVENT_NOTIFY)) SetEvent(static_cast<HANDLE>(in.SRB_PostProc));
    return status;
}

struct Job {
    SRB_ExecSCSICmd* srb;
    Submission submission;
    std::uint32_t delayMs;
};

DWORD WINAPI Worker(void* param) {
    Job* job = static_cast<Job*>(param);
    if (job->delayMs) Sleep(job->delayMs);
    Complete(job->srb, job->submission);
    delete job;
    InterlockedDecrement(&lib->workers);
    return 0;
}

std::uint32_t Exec(SRB_ExecSCSICmd* srb) {
    Submission s = Capture(srb, sizeof *srb);
    if (srb->SRB_Flags & SRB_EVENT_NOTIFY) {
        HANDLE h = static_cast<HANDLE>(srb->SRB_PostProc);
        const bool unsignalled = h && WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
        s.post = unsignalled ? "event" : "bad";
        // A caller that waits on an auto-reset event can miss the signal of
        // a block completed before it waits: such an event is logged apart.
        if (unsignalled && SetEvent(h)) {
            WaitForSingleObject(h, 0);
            if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) s.post = "autoreset";
            ResetEvent(h);
        }
    }
    if ((srb->SRB_Flags & SRB_DIR_OUT) && srb->SRB_BufPointer && srb->SRB_BufLen)
        s.data.assign(srb->SRB_BufPointer, srb->SRB_BufPointer + srb->SRB_BufLen);

    // Address faults are found at once, as a real library finds them.
    std::uint8_t early = 0;
    if (lib->malformed || !lib->bus.AdapterPresent(srb->SRB_HaId)) {
        early = SS_INVALID_HA;
    } else {
        Guard g;
        if (!lib->bus.Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun)) early = SS_NO_DEVICE;
    }
    if (early) {
        Finish(srb, s, early);
        if (srb->SRB_Flags & SRB_EVENT_NOTIFY) SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
        return early;
    }

    bool async = lib->bus.completion == simaspi::Completion::Async;
    std::uint32_t delayMs = lib->bus.latencyMs;
    if (lib->chaos.On()) {
        Guard g;
        if (lib->chaos.Async()) {
            async = true;
            delayMs += lib->chaos.DelayMs();
        }
    }
    // A device told to hold this command: never completes it (no event, no
    // callback), or completes it only after its seconds.
    long hold = 0;
    {
        Guard g;
        if (const simaspi::Device* d = lib->bus.Find(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun))
            hold = simaspi::HoldSeconds(*d, srb->CDBByte,
                                        std::min<std::size_t>(srb->SRB_CDBLen, CDB_AREA_LEN));
    }
    if (hold < 0) {
        s.hold = "never";
        srb->SRB_Status = SS_PENDING;
        Guard g;
        Log(SrbLine(s, SS_PENDING));
        return SS_PENDING;
    }
    if (hold > 0) {
        s.hold = Format("%lds", hold);
        async = true;
        delayMs = std::uint32_t(hold) * 1000;
    }
    if (async) {
        srb->SRB_Status = SS_PENDING;
        Job* job = new Job{srb, s, delayMs};
        InterlockedIncrement(&lib->workers);
        HANDLE thread = CreateThread(nullptr, 0, Worker, job, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
            return SS_PENDING;
        }
        InterlockedDecrement(&lib->workers);
        delete job;  // no thread to spare: complete here instead
    }
    if (lib->bus.latencyMs) Sleep(lib->bus.latencyMs);
    // A block that completes at once is done when the call returns; a
    // library need not signal its event as well.
    const std::uint32_t status = Complete(srb, s, lib->bus.signalSync);
    return lib->bus.returnStatus >= 0 ? std::uint32_t(lib->bus.returnStatus) : status;
}

// Nothing the library holds can be called back: a request held by hang= or
// late= is past recall, and any other has completed already.
std::uint32_t Abort(SRB_Abort* srb) {
    Submission s = Capture(srb, sizeof *srb);
    if (lib->malformed || !lib->bus.AdapterPresent(srb->SRB_HaId))
        return Finish(srb, s, SS_INVALID_HA);
    return Finish(srb, s, SS_ABORT_FAIL);
}

}  // namespace

extern "C" {

std::uint32_t __cdecl GetASPI32SupportInfo(void) {
    TakeControl();
    std::uint32_t word =
        lib->malformed ? MakeSupportWord(SS_NO_ADAPTERS, 0)
                       : MakeSupportWord(lib->bus.status, std::uint8_t(lib->bus.AdapterCount())) |
                             (std::uint32_t(lib->bus.supportHigh) << 16);
    Guard g;
    Log(Format("call=GetASPI32SupportInfo result=0x%04x", unsigned(word)));
    return word;
}

std::uint32_t __cdecl SendASPI32Command(void* srb) {
    TakeControl();
    if (!srb) {
        Guard g;
        Log("call=SendASPI32Command srb=null");
        return SS_INVALID_SRB;
    }
    switch (static_cast<SRB_Header*>(srb)->SRB_Cmd) {
    case SC_HA_INQUIRY: return HaInquiry(static_cast<SRB_HAInquiry*>(srb));
    case SC_GET_DEV_TYPE: return GetDevType(static_cast<SRB_GDEVBlock*>(srb));
    case SC_EXEC_SCSI_CMD: return Exec(static_cast<SRB_ExecSCSICmd*>(srb));
    case SC_ABORT_SRB: return Abort(static_cast<SRB_Abort*>(srb));
    default:
        return Finish(srb, Capture(srb, sizeof(SRB_Header)),
                      lib->malformed ? SS_INVALID_HA : SS_INVALID_CMD);
    }
}

// The buffer and address services are offered but refused: the programs
// only look them up.
std::uint32_t __cdecl GetASPI32Buffer(void*) {
    Guard g;
    Log("call=GetASPI32Buffer");
    return 0;
}

std::uint32_t __cdecl FreeASPI32Buffer(void*) {
    Guard g;
    Log("call=FreeASPI32Buffer");
    return 0;
}

std::uint32_t __cdecl TranslateASPI32Address(void*, void*) {
    Guard g;
    Log("call=TranslateASPI32Address");
    return 0;
}

std::uint32_t __cdecl GetASPI32DLLVersion(void) {
    std::uint32_t version = lib->bus.dllVersion;
    Guard g;
    Log(Format("call=GetASPI32DLLVersion result=0x%08x", unsigned(version)));
    return version;
}

// A misbehaving bus changes at every rescan: devices and adapters go or come back.
void Reshuffle(const char* call) {
    std::string what;
    lib->chaos.Reshuffle(lib->bus, what);
    Log(std::string("call=") + call + (what.empty() ? "" : " chaos=" + what));
    if (!what.empty()) WriteState();
}

std::uint32_t __cdecl ScsiRescan(void) {
    TakeControl();
    Guard g;
    Reshuffle("ScsiRescan");
    return SS_COMP;
}

std::uint32_t __cdecl RegisterASPI32Client(std::uint32_t value) {
    Guard g;
    Log(Format("call=RegisterASPI32Client value=0x%08x", unsigned(value)));
    return lib->bus.registerStatus;
}

std::uint32_t __cdecl ReScanAdapters(void) {
    TakeControl();
    Guard g;
    Reshuffle("ReScanAdapters");
    return SS_COMP;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        lib = new Library;
        InitializeCriticalSection(&lib->lock);
        Configure();
    } else if (reason == DLL_PROCESS_DETACH) {
        // At process exit the other threads are gone already; otherwise give
        // completions still running a moment to leave the library's code.
        if (reserved) return TRUE;
        for (int i = 0; i < 5000 && lib->workers > 0; ++i) Sleep(1);
        if (lib->workers > 0) return TRUE;  // abandoned requests: keep the state alive
        Sleep(1);
        DeleteCriticalSection(&lib->lock);
        delete lib;
        lib = nullptr;
    }
    return TRUE;
}
