// korvexprobe.exe: what the end-to-end tests and the demo need to see of, or
// say to, a running tray program from another process on the same desktop.
//
//   korvexprobe find            the main window's handle; exit 1 when none
//   korvexprobe count           how many top-level windows of class and title
//                               "ROTAVA" exist
//   korvexprobe post ID         WM_COMMAND ID to the main window; exit 1 when none
//   korvexprobe icons-shown     how many icons the notification area has shown
//   korvexprobe taskbar         exit 0 when the desktop shows its taskbar
//   korvexprobe hold [CLASS TITLE]
//                               keeps a hidden window until ended, so the
//                               desktop stays up between two copies of the
//                               program; with CLASS and TITLE, a window of that
//                               class and title (a look-alike of the program's)
//   korvexprobe balloon         the text of each balloon shown; exit 1 when none
//   korvexprobe boxes           "caption|text" of each message box; exit 1 when none
//   korvexprobe windows         every top-level window, for looking around
//   korvexprobe resources EXE   the version resource's translation and texts,
//                               what the manifest asks for, the icon groups
//
// Texts are printed as UTF-8, line feeds inside a text as "\n".
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* MAIN_NAME = "ROTAVA";
constexpr UINT TIMEOUT_MS = 2000;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return "";
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    std::string escaped;
    for (char c : out) {
        if (c == '\n') escaped += "\\n";
        else if (c != '\r') escaped += c;
    }
    return escaped;
}

// WM_GETTEXT works across processes; a hung window does not stop the probe.
std::string TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, TIMEOUT_MS, &copied))
        return "";
    return Utf8(buffer);
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return Utf8(name);
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void Print(const std::string& line) {
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

void Describe(HWND window, int depth) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    RECT r = {};
    GetWindowRect(window, &r);
    char line[256];
    std::snprintf(line, sizeof line, "%*s%p pid=%lu owner=%p style=%08lx vis=%d %ldx%ld+%ld+%ld ",
                  depth * 2, "", static_cast<void*>(window), pid,
                  static_cast<void*>(GetWindow(window, GW_OWNER)),
                  static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                  IsWindowVisible(window) ? 1 : 0, r.right - r.left, r.bottom - r.top, r.left,
                  r.top);
    std::string extra;
    if (ClassOf(window) == "tooltips_class32") {
        DWORD_PTR tools = 0;
        SendMessageTimeoutW(window, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, TIMEOUT_MS, &tools);
        extra = " tools=" + std::to_string(tools);
    }
    Print(line + ClassOf(window) + " \"" + TextOf(window) + "\"" + extra);
}

// The taskbar of the desktop, which holds the notification area.
HWND Taskbar() { return FindWindowW(L"Shell_TrayWnd", nullptr); }

bool IsTooltip(HWND window) { return ClassOf(window) == "tooltips_class32"; }

int Windows() {
    for (HWND window : TopLevelWindows()) {
        Describe(window, 0);
        std::vector<HWND> children;
        EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children) Describe(child, 1);
    }
    return 0;
}

int Find() {
    HWND window = FindWindowA(MAIN_NAME, MAIN_NAME);
    if (!window) return 1;
    char line[64];
    std::snprintf(line, sizeof line, "%p", static_cast<void*>(window));
    Print(line);
    return 0;
}

int Count() {
    int count = 0;
    for (HWND window : TopLevelWindows())
        if (ClassOf(window) == MAIN_NAME && TextOf(window) == MAIN_NAME) ++count;
    Print(std::to_string(count));
    return 0;
}

int Post(const char* id) {
    HWND window = FindWindowA(MAIN_NAME, MAIN_NAME);
    if (!window) return 1;
    return PostMessageA(window, WM_COMMAND, std::strtoul(id, nullptr, 0), 0) ? 0 : 1;
}

// Wine's taskbar gives each icon it shows a tool tip window of its own and
// keeps it after the icon has gone: the count is of the icons shown since the
// desktop started. The balloon is one more tool tip, marked TTS_BALLOON.
int IconsShown() {
    HWND taskbar = Taskbar();
    int count = 0;
    for (HWND window : TopLevelWindows()) {
        if (!IsTooltip(window) || GetWindow(window, GW_OWNER) != taskbar) continue;
        if (GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON) continue;
        ++count;
    }
    Print(std::to_string(count));
    return taskbar ? 0 : 1;
}

int TaskbarShown() { return Taskbar() && IsWindowVisible(Taskbar()) ? 0 : 1; }

int Hold(const char* className, const char* title) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    if (!CreateWindowExA(0, windowClass.lpszClassName, title, 0, 0, 0, 0, 0, nullptr, nullptr,
                         windowClass.hInstance, nullptr))
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

int Balloon() {
    int shown = 0;
    for (HWND window : TopLevelWindows()) {
        if (!IsTooltip(window) || !IsWindowVisible(window)) continue;
        if (!(GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON)) continue;
        Print(TextOf(window));
        ++shown;
    }
    return shown ? 0 : 1;
}

int Boxes() {
    int shown = 0;
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) != "#32770" || !IsWindowVisible(window)) continue;
        HWND text = GetDlgItem(window, 0xFFFF);
        Print(TextOf(window) + "|" + (text ? TextOf(text) : std::string()));
        ++shown;
    }
    return shown ? 0 : 1;
}

std::string VersionText(const std::vector<char>& data, const char* block, const char* name) {
    char path[128];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%s\\%s", block, name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), path, &value, &length)) return "(absent)";
    return std::string(static_cast<const char*>(value));
}

int Resources(const char* file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    if (!size) return 1;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(file, 0, size, data.data())) return 1;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length)) return 1;
    char line[128];
    const WORD* pair = static_cast<const WORD*>(value);
    std::snprintf(line, sizeof line, "translation %04X%04X (%u bytes)", pair[0], pair[1], length);
    Print(line);
    std::snprintf(line, sizeof line, "%04X%04X", pair[0], pair[1]);
    for (const char* name : {"FileDescription", "FileVersion", "LegalCopyright", "ProductName"})
        Print(std::string(name) + "=" + VersionText(data, line, name));

    HMODULE module = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 1;
    std::string manifest;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        const char* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
        manifest.assign(text, SizeofResource(module, found));
    }
    Print("manifest common-controls-6=" +
          std::to_string(manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
                         manifest.find("version=\"6.0.0.0\"") != std::string::npos));
    Print("manifest execution-level=" +
          std::to_string(manifest.find("requestedExecutionLevel") != std::string::npos));
    std::string icons = "icons";
    for (int id : {110, 111, 112, 113, 137, 121, 122, 123})
        if (FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14)))
            icons += " " + std::to_string(id);
    Print(icons);
    FreeLibrary(module);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "windows") return Windows();
    if (command == "find") return Find();
    if (command == "count") return Count();
    if (command == "post" && argc > 2) return Post(argv[2]);
    if (command == "icons-shown") return IconsShown();
    if (command == "taskbar") return TaskbarShown();
    if (command == "hold" && argc > 3) return Hold(argv[2], argv[3]);
    if (command == "hold") return Hold("KorvexProbeHold", "");
    if (command == "balloon") return Balloon();
    if (command == "boxes") return Boxes();
    if (command == "resources" && argc > 2) return Resources(argv[2]);
    std::fprintf(stderr, "usage: korvexprobe find|count|post ID|icons-shown|taskbar|hold|balloon|"
                         "boxes|windows|resources EXE\n");
    return 2;
}
