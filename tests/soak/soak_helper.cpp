// korvexsoak.exe: the Windows side of the soak test. It runs on the same
// Wine desktop as the tray program and throws at it, for a bounded time, a
// seeded storm of everything a user and the system can send; it closes every
// menu, dialog and box that comes up (recording the boxes' texts), times a
// message round trip after every event, and reads the program's handle, GDI
// and USER object counts and private bytes.
//
//   korvexsoak storm SECONDS SEED   the storm; figures on standard output
//   korvexsoak quiet SECONDS        closes whatever is open until nothing has
//                                   come up for a second; prints the figures
//                                   of one sample
//   korvexsoak hold-file PATH SECONDS
//                                   keeps PATH open, shared with nobody, until
//                                   the time is up or the process is ended
//
// No wait is unbounded: every round trip goes through SendMessageTimeout, and
// the storm ends at its time even when the program stops answering.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "messages.h"
#include "utf8_text.h"

namespace {

constexpr WORD FIRST_FIXED_ID = ID_LOAD_SETTINGS;
constexpr WORD LAST_FIXED_ID = ID_EXIT;  // exit: never part of the storm
constexpr UINT ROUND_TRIP_LIMIT_MS = 30000;
constexpr UINT SEND_LIMIT_MS = 2000;
constexpr DWORD SAMPLE_AFTER_MS = 60000;
constexpr DWORD SERVICE_EVERY_MS = 25;

// What a dialog of the program is closed with, and how long it may stay up.
constexpr DWORD DIALOG_HOLD_MAX_MS = 3000;

void Print(const std::string& line) {
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::wstring TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, SEND_LIMIT_MS, &copied))
        return L"";
    return buffer;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A seeded generator of the storm's own (the program's bus has another).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
    }
    std::uint32_t Below(std::uint32_t n) { return n ? Next() % n : 0; }
    template <typename T, std::size_t N>
    T Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    std::uint64_t state_;
};

struct Sample {
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
    bool ok = false;
};

// The system's process list: under Wine GetProcessHandleCount gives 0 for
// another process, the list has its count.
DWORD HandleCountFromProcessList(DWORD pid) {
    ULONG size = 1 << 20;
    std::vector<unsigned char> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer.assign(size, 0);
        ULONG needed = 0;
        const NTSTATUS status =
            NtQuerySystemInformation(SystemProcessInformation, buffer.data(), size, &needed);
        if (status == 0) break;
        if (attempt == 3) return 0;
        size = (needed > size ? needed : size) * 2;
    }
    for (std::size_t at = 0;;) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId)) == pid)
            return entry->HandleCount;
        if (!entry->NextEntryOffset) return 0;
        at += entry->NextEntryOffset;
    }
}

// Handle, GDI and USER object counts and private bytes of the program. Wine
// gives 0 for GetGuiResources and for PrivateUsage; its PagefileUsage (what
// Windows reports as the private bytes too) stands in for the latter.
Sample Measure(DWORD pid) {
    Sample s;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return s;
    if (!GetProcessHandleCount(process, &s.handles) || s.handles == 0)
        s.handles = HandleCountFromProcessList(pid);
    s.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    s.user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory)) {
        s.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
        s.workingSet = memory.WorkingSetSize;
        s.ok = true;
    }
    CloseHandle(process);
    return s;
}

std::string Describe(const char* name, const Sample& s) {
    return Format("%s handles=%lu gdi=%lu user=%lu private_kb=%lu working_set_kb=%lu", name,
                  static_cast<unsigned long>(s.handles), static_cast<unsigned long>(s.gdi),
                  static_cast<unsigned long>(s.user),
                  static_cast<unsigned long>(s.privateBytes / 1024),
                  static_cast<unsigned long>(s.workingSet / 1024));
}

struct Windows {
    std::vector<HWND> list;
    DWORD pid;
};

BOOL CALLBACK CollectOfProcess(HWND window, LPARAM param) {
    Windows* windows = reinterpret_cast<Windows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == windows->pid && IsWindowVisible(window)) windows->list.push_back(window);
    return TRUE;
}

class Soak {
public:
    Soak(HWND main, std::uint64_t seed) : main_(main), random_(seed) {
        GetWindowThreadProcessId(main, &pid_);
        taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    }

    DWORD Pid() const { return pid_; }

    // Closes the menus, dialogs and boxes of the program. Boxes are recorded
    // and answered at once; a dialog stays up a while first, so the storm
    // also reaches the program while it runs a dialog.
    int Service() {
        Windows windows{{}, pid_};
        EnumWindows(CollectOfProcess, reinterpret_cast<LPARAM>(&windows));
        int open = 0;
        const DWORD now = GetTickCount();
        for (HWND window : windows.list) {
            const std::wstring cls = ClassOf(window);
            if (cls == L"#32768") {
                ++open;
                if (seen_.emplace(window, now).second) ++menus_;
                PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageW(main_, WM_CANCELMODE, 0, 0);
            } else if (cls == L"#32770") {
                ++open;
                const std::wstring caption = TextOf(window);
                if (caption == L"エラー情報" || caption == L"確認情報") {
                    if (seen_.emplace(window, now).second) {
                        HWND text = GetDlgItem(window, 0xFFFF);
                        ++boxes_[Utf8(caption) + "|" + (text ? Utf8(TextOf(text)) : "")];
                    }
                    PostMessageW(window, WM_COMMAND, IDOK, 0);
                } else {
                    auto first = seen_.emplace(window, now);
                    if (first.second) {
                        ++dialogs_[Utf8(caption)];
                        holds_[window] = random_.Below(DIALOG_HOLD_MAX_MS);
                    }
                    if (now - first.first->second >= holds_[window])
                        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                }
            }
        }
        // Handles are reused: forget the windows that have gone.
        for (auto it = seen_.begin(); it != seen_.end();) {
            if (!IsWindow(it->first)) {
                holds_.erase(it->first);
                it = seen_.erase(it);
            } else {
                ++it;
            }
        }
        return open;
    }

    // A message round trip; false when the program did not answer in time.
    bool RoundTrip(UINT limitMs, DWORD* took = nullptr) {
        const DWORD start = GetTickCount();
        DWORD_PTR result = 0;
        const bool answered =
            SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &result) != 0;
        const DWORD elapsed = GetTickCount() - start;
        if (took) *took = elapsed;
        ++roundTrips_;
        if (answered && elapsed > slowest_) slowest_ = elapsed;
        if (!answered) ++unanswered_;
        return answered;
    }

    // Everything closed, nothing new for a second: the program at rest.
    bool Quiesce(DWORD limitMs) {
        const DWORD start = GetTickCount();
        DWORD calmSince = start;
        while (GetTickCount() - start < limitMs) {
            for (auto& hold : holds_) hold.second = 0;
            if (Service()) calmSince = GetTickCount();
            if (GetTickCount() - calmSince >= 1000 && RoundTrip(SEND_LIMIT_MS)) return true;
            Sleep(SERVICE_EVERY_MS);
        }
        return false;
    }

    void Storm(DWORD seconds) {
        const DWORD start = GetTickCount();
        const DWORD length = seconds * 1000;
        const DWORD sampleAt = length >= 2 * SAMPLE_AFTER_MS ? SAMPLE_AFTER_MS : length / 2;
        bool sampled = false;
        DWORD lastService = 0;
        DWORD nextMinute = 60000;
        while (GetTickCount() - start < length) {
            if (!IsWindow(main_)) break;
            const DWORD elapsed = GetTickCount() - start;
            if (!sampled && elapsed >= sampleAt) {
                Quiesce(20000);
                first_ = Measure(pid_);
                firstAtMs_ = GetTickCount() - start;
                sampled = true;
            }
            if (elapsed >= nextMinute) {
                Print(Describe(
                    Format("minute %lu", static_cast<unsigned long>(nextMinute / 60000)).c_str(),
                    Measure(pid_)));
                nextMinute += 60000;
            }
            SendOne();
            if (GetTickCount() - lastService >= SERVICE_EVERY_MS) {
                Service();
                lastService = GetTickCount();
            }
            RoundTrip(ROUND_TRIP_LIMIT_MS);
            Sleep(random_.Below(20));
        }
        stormMs_ = GetTickCount() - start;
    }

    void Report() {
        Print(Format("storm_ms %lu", static_cast<unsigned long>(stormMs_)));
        Print(Format("messages %lu", static_cast<unsigned long>(sent_)));
        for (const auto& kind : kinds_)
            Print(Format("sent %s %lu", kind.first.c_str(), kind.second));
        Print(Format("round_trips %lu", static_cast<unsigned long>(roundTrips_)));
        Print(Format("unanswered %lu", static_cast<unsigned long>(unanswered_)));
        Print(Format("slowest_round_trip_ms %lu", static_cast<unsigned long>(slowest_)));
        Print(Format("menus %lu", static_cast<unsigned long>(menus_)));
        for (const auto& d : dialogs_) Print(Format("dialog %lu %s", d.second, d.first.c_str()));
        unsigned long boxes = 0;
        for (const auto& b : boxes_) boxes += b.second;
        Print(Format("boxes %lu", boxes));
        for (const auto& b : boxes_) Print(Format("box %lu %s", b.second, b.first.c_str()));
        if (first_.ok)
            Print(Describe(
                Format("first_sample at_ms=%lu", static_cast<unsigned long>(firstAtMs_)).c_str(),
                first_));
    }

private:
    void Count(const char* kind) {
        ++sent_;
        ++kinds_[kind];
    }

    void Post(UINT message, WPARAM wParam, LPARAM lParam, const char* kind) {
        PostMessageW(main_, message, wParam, lParam);
        Count(kind);
    }

    // Sent, not posted: the device-change broadcast cannot be posted.
    void Send(UINT message, WPARAM wParam, LPARAM lParam, const char* kind) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(main_, message, wParam, lParam, SMTO_NORMAL, SEND_LIMIT_MS, &result);
        Count(kind);
    }

    void Command(std::uint32_t id, const char* kind) {
        // Half of them with a high word set: only the low 16 bits count.
        const WPARAM wParam =
            random_.Below(2) ? (id & 0xFFFF) : ((random_.Below(0x10000) << 16) | (id & 0xFFFF));
        Post(WM_COMMAND, wParam, 0, kind);
    }

    std::uint32_t MediaId(std::uint32_t base, bool valid) {
        if (valid) return base + 16 * random_.Below(8);  // adapter 0, a target 0..7, LUN 0
        return base + random_.Below(0x1000);
    }

    void SendOne() {
        static const std::uint32_t mediaBases[] = {cmd::EJECT_BASE, cmd::LOAD_BASE,
                                                   cmd::OPEN_CLOSE_BASE, cmd::LOCK_BASE,
                                                   cmd::UNLOCK_BASE};
        // The buttons' down messages open the menus (and the middle one rescans).
        static const LPARAM trayMice[] = {WM_RBUTTONUP,   WM_LBUTTONUP,     WM_MBUTTONUP,
                                          WM_MOUSEMOVE,   WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                                          WM_LBUTTONDOWN, WM_MBUTTONDOWN,   WM_CONTEXTMENU};
        static const WPARAM powerEvents[] = {0x12, 0x12, 0x07, 0x04, 0x0A, 0x8013};
        static const WPARAM deviceEvents[] = {0x0018, 0x8000, 0x8004, 0x0007, 0x8003, 0x0019};
        switch (random_.Below(16)) {
        case 0: {  // a fixed command, not exit; the two dialogs more often than the rest
            std::uint32_t id = FIRST_FIXED_ID + random_.Below(LAST_FIXED_ID - FIRST_FIXED_ID);
            if (random_.Below(3) == 0)
                id = random_.Below(2) ? ID_SETTINGS_DIALOG : ID_VERSION_DIALOG;
            Command(id, "fixed");
            break;
        }
        case 1:  // a speed of a drive that is there
            Command(cmd::SpeedId(random_.Below(3), random_.Below(8)), "speed");
            break;
        case 2:  // a speed id left over from another table: any drive, any speed
            Command(cmd::SPEED_BASE + random_.Below(cmd::RANGE_SIZE), "speed-stale");
            break;
        case 3:
        case 4: {
            const bool valid = random_.Below(2);
            std::uint32_t base = random_.Pick(mediaBases);
            // An open-close starts a timer of at least five seconds: now and then.
            if (base == cmd::OPEN_CLOSE_BASE && random_.Below(4)) base = cmd::EJECT_BASE;
            Command(MediaId(base, valid), valid ? "media" : "media-stale");
            break;
        }
        case 5: {  // ids in no range
            // Below the speeds, or above the unlock range (the fixed ids aside).
            constexpr std::uint32_t pastRanges = cmd::UNLOCK_BASE + cmd::RANGE_SIZE;
            std::uint32_t id = random_.Below(3) == 0
                                   ? random_.Below(cmd::SPEED_BASE)
                                   : pastRanges + random_.Below(0x10000 - pastRanges);
            if (id >= FIRST_FIXED_ID && id <= LAST_FIXED_ID) id = pastRanges;
            Command(id, "no-range");
            break;
        }
        case 6: {  // timers: the program's own ids, and ids it never set
            static const WPARAM ids[] = {0x1000, 0x2000, 0x2030, 0x2FFF, 1, 0x7777};
            Post(WM_TIMER, random_.Below(4) == 0 ? random_.Next() : random_.Pick(ids), 0, "timer");
            break;
        }
        case 7: Send(WM_POWERBROADCAST, random_.Pick(powerEvents), 0, "power"); break;
        case 8: Send(WM_DEVICECHANGE, random_.Pick(deviceEvents), 0, "device"); break;
        case 9:
        case 10: {  // keys from the hook: digits with and without Alt, and others
            WPARAM key = random_.Below(4) ? '0' + random_.Below(10) : random_.Below(256);
            LPARAM flags = 1;
            if (random_.Below(3)) flags |= 1 << 29;                             // Alt held
            if (random_.Below(4) == 0) flags |= 1 << 30;                        // repeat
            if (random_.Below(4) == 0) flags |= static_cast<LPARAM>(1u << 31);  // key up
            Post(WM_KORVEX_KEY, key, flags, "key");
            break;
        }
        case 11:
        case 12: Post(WM_KORVEX_TRAY, 0, random_.Pick(trayMice), "tray"); break;
        case 13:  // settings saved and loaded
            Command(random_.Below(2) ? 32785 : 32784, "settings");
            break;
        case 14: Post(taskbarCreated_, 0, 0, "taskbar-created"); break;
        default:  // the balloon a second copy asks for, and a rescan
            Command(random_.Below(2) ? 32789 : 32786, "balloon-rescan");
            break;
        }
    }

    HWND main_;
    DWORD pid_ = 0;
    UINT taskbarCreated_ = 0;
    Random random_;
    std::map<HWND, DWORD> seen_;   // window -> first seen
    std::map<HWND, DWORD> holds_;  // dialog -> how long it stays up
    std::map<std::string, unsigned long> kinds_;
    std::map<std::string, unsigned long> boxes_;
    std::map<std::string, unsigned long> dialogs_;
    unsigned long sent_ = 0, roundTrips_ = 0, unanswered_ = 0, menus_ = 0;
    DWORD slowest_ = 0, stormMs_ = 0, firstAtMs_ = 0;
    Sample first_;
};

HWND MainWindow() { return FindWindowA(MAIN_WINDOW_NAME, MAIN_WINDOW_NAME); }

int StormCommand(DWORD seconds, std::uint64_t seed) {
    HWND main = MainWindow();
    if (!main) {
        Print("no main window");
        return 1;
    }
    Soak soak(main, seed);
    soak.Quiesce(20000);
    Print(Describe("start_sample", Measure(soak.Pid())));
    soak.Storm(seconds);
    const bool calm = soak.Quiesce(60000);
    const Sample last = Measure(soak.Pid());
    DWORD took = 0;
    const bool answered = IsWindow(main) && soak.RoundTrip(10000, &took);
    soak.Report();
    Print(Describe("end_sample", last));
    Print(Format("quiet_at_end %d", calm ? 1 : 0));
    Print(Format("final_round_trip %s %lu", answered ? "answered" : "unanswered",
                 static_cast<unsigned long>(took)));
    return answered ? 0 : 1;
}

int QuietCommand(DWORD seconds) {
    HWND main = MainWindow();
    if (!main) {
        Print("no main window");
        return 1;
    }
    Soak soak(main, 1);
    const bool calm = soak.Quiesce(seconds * 1000);
    soak.Report();
    Print(Describe("sample", Measure(soak.Pid())));
    return calm ? 0 : 1;
}

int HoldFile(const char* path, DWORD seconds) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Print(Format("cannot open %s: %lu", path, static_cast<unsigned long>(GetLastError())));
        return 1;
    }
    Print("holding");
    Sleep(seconds * 1000);
    CloseHandle(file);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "storm" && argc > 3)
        return StormCommand(std::strtoul(argv[2], nullptr, 10),
                            std::strtoull(argv[3], nullptr, 10));
    if (command == "quiet" && argc > 2) return QuietCommand(std::strtoul(argv[2], nullptr, 10));
    if (command == "hold-file" && argc > 3)
        return HoldFile(argv[2], std::strtoul(argv[3], nullptr, 10));
    std::fprintf(stderr,
                 "usage: korvexsoak storm SECONDS SEED | quiet SECONDS | hold-file PATH SECONDS\n");
    return 2;
}
