// korvexprobe.exe: what the end-to-end tests and the demo need to see of, or
// say to, a running tray program from another process on the same desktop.
//
//   korvexprobe find            the main window's handle; exit 1 when none
//   korvexprobe menus           each pop-up menu on screen, topmost first:
//                               "left top right bottom"; exit 1 when none
//   korvexprobe foreground      class and title of the foreground window
//   korvexprobe count           how many top-level windows of class and title
//                               "ROTAVA" exist
//   korvexprobe post ID         WM_COMMAND ID to the main window; exit 1 when none
//   korvexprobe send ID         the same, sent: returns once the program has carried
//                               the command out (boxes it shows meanwhile must be
//                               answered by someone else); exit 1 when none or
//                               when it has not answered within two minutes
//   korvexprobe device-change EVENT
//                               WM_DEVICECHANGE EVENT to the main window, as
//                               Windows sends it for a new disc in D: (a
//                               volume, DBTF_MEDIA), and waits until it has
//                               been handled; exit 1 when no window or no answer
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
//   korvexprobe version FILE    the version resource's fixed file and product
//                               versions and its FileVersion and ProductVersion
//   korvexprobe dialog TITLE    the dialog of that title: its owner, then each
//                               control by id: texts, and for list views their
//                               columns ("title/width"), rows (cells joined by
//                               "|") and scroll bars; exit 1 when none
//                               A child dialog (a settings page) shows as
//                               "page visible=0|1" with its own controls
//                               indented under it: check boxes as [x] or [ ],
//                               drop-down lists with the selected text and
//                               their entries, disabled controls marked
//   korvexprobe point TITLE ID  the screen point at the middle of that control
//                               of the dialog (or of its shown page), "x y",
//                               for a click
//   korvexprobe tab TITLE INDEX the screen point at the middle of that tab item
//                               of the dialog's tab control
//   korvexprobe menu-items      the items of each pop-up menu the program shows,
//                               read inside the program by korvexpeek.dll:
//                               "menu", then one indented line per item, its
//                               text with " >" for a sub-menu and the marks
//                               "checked", "grayed"; "-" for a separator
//   korvexprobe menu-points     the same, each item's line ending in " @X,Y",
//                               its middle on the screen, for a click
//   korvexprobe serve           the commands above from standard input, one
//                               a line, arguments separated by tabs; each
//                               one's output ends in a line "\x1e" STATUS
//
// Texts are printed as UTF-8, line feeds inside a text as "\n". The
// arguments are taken as Unicode, so titles match on any code page; a tab
// control lists its tabs as "tabs A|B|C".
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "utf8_text.h"

namespace {

constexpr const char* MAIN_NAME = "ROTAVA";
constexpr UINT TIMEOUT_MS = 2000;
constexpr UINT SEND_LIMIT_MS = 120000;  // a 10 MB settings file saves in seconds

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
    std::snprintf(
        line, sizeof line, "%*s%p pid=%lu owner=%p style=%08lx vis=%d %ldx%ld+%ld+%ld ", depth * 2,
        "", static_cast<void*>(window), pid, static_cast<void*>(GetWindow(window, GW_OWNER)),
        static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
        IsWindowVisible(window) ? 1 : 0, r.right - r.left, r.bottom - r.top, r.left, r.top);
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

int Foreground() {
    HWND window = GetForegroundWindow();
    if (!window) return 1;
    Print(ClassOf(window) + " \"" + TextOf(window) + "\"");
    return 0;
}

// The pop-up menus on screen, topmost first: "left top right bottom".
int Menus() {
    int shown = 0;
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) != "#32768" || !IsWindowVisible(window)) continue;
        RECT r;
        GetWindowRect(window, &r);
        char line[64];
        std::snprintf(line, sizeof line, "%ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
        Print(line);
        ++shown;
    }
    return shown ? 0 : 1;
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

int Send(const char* id) {
    HWND window = FindWindowA(MAIN_NAME, MAIN_NAME);
    if (!window) return 1;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_COMMAND, std::strtoul(id, nullptr, 0), 0, SMTO_NORMAL,
                               SEND_LIMIT_MS, &result)
               ? 0
               : 1;
}

int DeviceChange(const char* event) {
    HWND window = FindWindowA(MAIN_NAME, MAIN_NAME);
    if (!window) return 1;
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << ('D' - 'A');
    volume.dbcv_flags = DBTF_MEDIA;
    // The rescan and the settings it brings back run inside the message.
    constexpr UINT HANDLED_MS = 60000;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_DEVICECHANGE, std::strtoul(event, nullptr, 0),
                               reinterpret_cast<LPARAM>(&volume), SMTO_NORMAL, HANDLED_MS, &result)
               ? 0
               : 1;
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

// The whole version resource of a file; false when it has none.
bool ReadVersionInfo(const char* file, std::vector<char>& data) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    if (!size) return false;
    data.assign(size, 0);
    return GetFileVersionInfoA(file, 0, size, data.data()) != 0;
}

int Version(const char* file) {
    std::vector<char> data;
    if (!ReadVersionInfo(file, data)) return 1;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return 1;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    char line[128];
    std::snprintf(line, sizeof line, "fixed %lu.%lu.%lu.%lu product %lu.%lu.%lu.%lu",
                  fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                  fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
                  fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
                  fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
    Print(line);
    for (const char* name : {"FileVersion", "ProductVersion"})
        Print(std::string(name) + "=" + VersionText(data, "041104B0", name));
    return 0;
}

int Resources(const char* file) {
    std::vector<char> data;
    if (!ReadVersionInfo(file, data)) return 1;
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

// The arguments as UTF-8 (main converts them from the Unicode command line).
std::wstring Wide(const char* text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], size);
    out.resize(out.size() - 1);
    return out;
}

HWND DialogTitled(const char* title) { return FindWindowW(L"#32770", Wide(title).c_str()); }

// A list view's texts live in its own process: the request and the text
// buffer go through a block of that process's memory.
class RemoteBlock {
public:
    RemoteBlock(HWND window, std::size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            base_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    bool Ok() const { return base_ != nullptr; }
    char* At(std::size_t offset) const { return base_ + offset; }
    void Write(std::size_t offset, const void* data, std::size_t size) const {
        WriteProcessMemory(process_, base_ + offset, data, size, nullptr);
    }
    void Read(std::size_t offset, void* data, std::size_t size) const {
        ReadProcessMemory(process_, base_ + offset, data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    char* base_ = nullptr;
    std::size_t size_;
};

constexpr std::size_t REMOTE_TEXT_CHARS = 512;
constexpr std::size_t REMOTE_TEXT_OFFSET = 256;  // past the request structure

LRESULT SendQuick(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, TIMEOUT_MS, &result);
    return static_cast<LRESULT>(result);
}

std::wstring RemoteText(const RemoteBlock& block) {
    wchar_t text[REMOTE_TEXT_CHARS] = {};
    block.Read(REMOTE_TEXT_OFFSET, text, sizeof text - sizeof(wchar_t));
    return text;
}

void DescribeList(HWND list, int id) {
    RemoteBlock block(list, REMOTE_TEXT_OFFSET + REMOTE_TEXT_CHARS * sizeof(wchar_t));
    if (!block.Ok()) {
        Print(std::to_string(id) + " list (unreadable)");
        return;
    }
    std::string columns;
    int columnCount = 0;
    for (;; ++columnCount) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = reinterpret_cast<wchar_t*>(block.At(REMOTE_TEXT_OFFSET));
        column.cchTextMax = REMOTE_TEXT_CHARS;
        block.Write(0, &column, sizeof column);
        if (!SendQuick(list, LVM_GETCOLUMNW, columnCount, reinterpret_cast<LPARAM>(block.At(0))))
            break;
        block.Read(0, &column, sizeof column);
        columns +=
            (columnCount ? "|" : "") + Utf8(RemoteText(block)) + "/" + std::to_string(column.cx);
    }
    Print(std::to_string(id) + " columns " + columns);
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    Print(std::to_string(id) + " scroll horizontal=" + std::to_string((style & WS_HSCROLL) != 0) +
          " vertical=" + std::to_string((style & WS_VSCROLL) != 0));
    const int rows = static_cast<int>(SendQuick(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        std::string cells;
        for (int column = 0; column < columnCount; ++column) {
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(block.At(REMOTE_TEXT_OFFSET));
            item.cchTextMax = REMOTE_TEXT_CHARS;
            block.Write(0, &item, sizeof item);
            const wchar_t none = 0;
            block.Write(REMOTE_TEXT_OFFSET, &none, sizeof none);
            SendQuick(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(block.At(0)));
            cells += (column ? "|" : "") + Utf8(RemoteText(block));
        }
        Print(std::to_string(id) + " row " + cells);
    }
}

std::string ComboEntries(HWND combo) {
    std::string entries;
    const int count = static_cast<int>(SendQuick(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int length = static_cast<int>(SendQuick(combo, CB_GETLBTEXTLEN, i, 0));
        if (length < 0) break;
        // The entry texts are copied across processes by the system.
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        SendQuick(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(std::wcslen(text.c_str()));
        entries += (i ? "|" : "") + Utf8(text);
    }
    return entries;
}

void DescribeChildren(HWND parent, const std::string& indent);

void DescribeControl(HWND child, const std::string& indent) {
    const std::string id = indent + std::to_string(GetDlgCtrlID(child));
    const std::string kind = ClassOf(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    const std::string disabled = IsWindowEnabled(child) ? "" : " (disabled)";
    if (kind == "#32770") {
        Print(id + " page visible=" + std::to_string(IsWindowVisible(child) != 0));
        DescribeChildren(child, indent + "  ");
    } else if (kind == "SysListView32") {
        DescribeList(child, GetDlgCtrlID(child));
    } else if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
        Print(id + " icon " + std::to_string(SendQuick(child, STM_GETICON, 0, 0) != 0));
    } else if (kind == "Button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
        const bool checked = SendQuick(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        Print(id + (checked ? " [x] " : " [ ] ") + TextOf(child) + disabled);
    } else if (kind == "SysTabControl32") {
        RemoteBlock block(child, REMOTE_TEXT_OFFSET + REMOTE_TEXT_CHARS * sizeof(wchar_t));
        std::string tabs;
        const int count = static_cast<int>(SendQuick(child, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; block.Ok() && i < count; ++i) {
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = reinterpret_cast<wchar_t*>(block.At(REMOTE_TEXT_OFFSET));
            item.cchTextMax = REMOTE_TEXT_CHARS;
            block.Write(0, &item, sizeof item);
            SendQuick(child, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(block.At(0)));
            tabs += (i ? "|" : "") + Utf8(RemoteText(block));
        }
        Print(id + " tabs " + tabs);
    } else if (kind == "ComboBox") {
        Print(id + " list \"" + TextOf(child) + "\" of " + ComboEntries(child) + disabled);
    } else {
        Print(id + " " + TextOf(child) + disabled);
    }
}

void DescribeChildren(HWND parent, const std::string& indent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
        if (GetParent(child) == parent) DescribeControl(child, indent);  // not the headers
}

int Dialog(const char* title) {
    HWND dialog = DialogTitled(title);
    if (!dialog) return 1;
    HWND owner = GetWindow(dialog, GW_OWNER);
    Print("owner " + (owner ? ClassOf(owner) + " \"" + TextOf(owner) + "\"" : std::string("none")));
    DescribeChildren(dialog, "");
    return 0;
}

// A control of the dialog itself, else of the page it shows.
HWND ControlOf(HWND dialog, int id) {
    if (HWND control = GetDlgItem(dialog, id)) return control;
    std::vector<HWND> children;
    EnumChildWindows(dialog, Collect, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
        if (GetParent(child) == dialog && ClassOf(child) == "#32770" && IsWindowVisible(child))
            if (HWND control = GetDlgItem(child, id)) return control;
    return nullptr;
}

int TabPoint(const char* title, const char* index) {
    HWND dialog = DialogTitled(title);
    HWND tab = dialog ? FindWindowExW(dialog, nullptr, L"SysTabControl32", nullptr) : nullptr;
    if (!tab) return 1;
    RemoteBlock block(tab, sizeof(RECT));
    if (!block.Ok() ||
        !SendQuick(tab, TCM_GETITEMRECT, std::atoi(index), reinterpret_cast<LPARAM>(block.At(0))))
        return 1;
    RECT r = {};
    block.Read(0, &r, sizeof r);
    MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&r), 2);
    Print(std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2));
    return 0;
}

int Point(const char* title, const char* id) {
    HWND dialog = DialogTitled(title);
    HWND control = dialog ? ControlOf(dialog, std::atoi(id)) : nullptr;
    if (!control) return 1;
    RECT r = {};
    GetWindowRect(control, &r);
    Print(std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2));
    return 0;
}

// The menus of the program's thread, read by korvexpeek.dll inside it.
std::string peeked;

LRESULT CALLBACK Receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        peeked.assign(static_cast<const char*>(data->lpData), data->cbData);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// withPoints: each item's line ends in " @X,Y", the middle of the item on the
// screen, for a click on it.
int MenuItems(bool withPoints) {
    HWND program = FindWindowA(MAIN_NAME, MAIN_NAME);
    if (!program) return 1;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll = path;
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"korvexpeek.dll";
    HMODULE peek = LoadLibraryW(dll.c_str());
    auto hook =
        peek ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(peek, "PeekHook")))
             : nullptr;
    if (!hook) return 1;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Receive;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KorvexProbeReceiver";
    RegisterClassW(&windowClass);
    HWND receiver = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, windowClass.hInstance, nullptr);
    HHOOK installed =
        SetWindowsHookExW(WH_CALLWNDPROC, hook, peek, GetWindowThreadProcessId(program, nullptr));
    if (!receiver || !installed) return 1;
    DWORD_PTR ignored = 0;
    peeked.clear();
    SendMessageTimeoutW(program, RegisterWindowMessageW(L"KorvexProbePeekMenus"),
                        withPoints ? 1 : 0, reinterpret_cast<LPARAM>(receiver), SMTO_NORMAL, 5000,
                        &ignored);
    UnhookWindowsHookEx(installed);
    DestroyWindow(receiver);
    if (peeked.empty()) return 1;
    if (peeked.back() == '\n') peeked.pop_back();
    Print(peeked);
    return 0;
}

}  // namespace

int Run(std::vector<std::string> args);

// Commands from standard input, one a line, its arguments separated by tabs;
// after each one's output a line "\x1e" and its exit status. One process
// answers them all: where a program start costs seconds (Wine under
// emulation), a test asks many times for the price of one.
int Serve() {
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::vector<std::string> args{"korvexprobe"};
        std::size_t start = 0;
        for (std::size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
            args.push_back(text.substr(start, tab - start));
        args.push_back(text.substr(start));
        peeked.clear();
        Print("\x1e" + std::to_string(Run(args)));
    }
    return 0;
}

int main(int, char**) {
    // The arguments from the Unicode command line, as UTF-8.
    int argc = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(Utf8(wide[i]));
    if (argc == 2 && args[1] == "serve") return Serve();
    return Run(args);
}

int Run(std::vector<std::string> args) {
    const int argc = static_cast<int>(args.size());
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(&a[0]);
    char** argv = pointers.data();
    if (argc > 1 && args[1] == "menu-items") return MenuItems(false);
    if (argc > 1 && args[1] == "menu-points") return MenuItems(true);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "windows") return Windows();
    if (command == "find") return Find();
    if (command == "count") return Count();
    if (command == "menus") return Menus();
    if (command == "foreground") return Foreground();
    if (command == "post" && argc > 2) return Post(argv[2]);
    if (command == "send" && argc > 2) return Send(argv[2]);
    if (command == "device-change" && argc > 2) return DeviceChange(argv[2]);
    if (command == "icons-shown") return IconsShown();
    if (command == "taskbar") return TaskbarShown();
    if (command == "hold" && argc > 3) return Hold(argv[2], argv[3]);
    if (command == "hold") return Hold("KorvexProbeHold", "");
    if (command == "balloon") return Balloon();
    if (command == "boxes") return Boxes();
    if (command == "resources" && argc > 2) return Resources(argv[2]);
    if (command == "version" && argc > 2) return Version(argv[2]);
    if (command == "dialog" && argc > 2) return Dialog(argv[2]);
    if (command == "point" && argc > 3) return Point(argv[2], argv[3]);
    if (command == "tab" && argc > 3) return TabPoint(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: korvexprobe find|count|post ID|icons-shown|taskbar|hold|balloon|"
                 "boxes|windows|menus|foreground|resources EXE|dialog TITLE|point TITLE ID|tab "
                 "TITLE INDEX\n");
    return 2;
}
