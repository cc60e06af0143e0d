#include "settings_store.h"

#include <shlobj.h>

#include <cstdlib>
#include <cstring>

#include "appstate.h"
#include "format_text.h"
#include "inifile.h"

namespace {

// A file held open by another program (an editor, a virus scanner, a sync
// tool) is usually let go within moments.
constexpr int OPEN_ATTEMPTS = 5;
constexpr DWORD OPEN_RETRY_MS = 100;
// Far beyond any settings file the program writes; a larger one is not
// taken in whole, and so not written over.
constexpr DWORD LARGEST_FILE = 16u * 1024 * 1024;

bool IsFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A file's bytes as they were before a save, to put back or to copy.
class Contents {
public:
    Contents() = default;
    Contents(const Contents&) = delete;
    Contents& operator=(const Contents&) = delete;
    ~Contents() { std::free(bytes_); }

    bool Read(HANDLE file) {
        const DWORD size = GetFileSize(file, nullptr);
        if (size == INVALID_FILE_SIZE || size > LARGEST_FILE) return false;
        bytes_ = static_cast<char*>(std::malloc(size ? size : 1));
        if (!bytes_) return false;
        DWORD done = 0;
        while (done < size) {
            DWORD got = 0;
            if (!ReadFile(file, bytes_ + done, size - done, &got, nullptr) || got == 0)
                return false;
            done += got;
        }
        size_ = size;
        return true;
    }

    bool Write(HANDLE file) const {
        DWORD done = 0;
        while (done < size_) {
            DWORD put = 0;
            if (!WriteFile(file, bytes_ + done, size_ - done, &put, nullptr) || put == 0)
                return false;
            done += put;
        }
        return SetEndOfFile(file) != FALSE;
    }

private:
    char* bytes_ = nullptr;
    DWORD size_ = 0;
};

// Ok: written (or, from Prepare, ready to be); Refused: the system denies
// this user the file; Failed: anything else.
enum class Outcome { Ok, Refused, Failed };

// The profile functions keep a parsed copy of the last files they used;
// after the file changed behind them they must read it again.
void ForgetCachedCopy(const char* path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
}

// Opens path for writing, creating it when missing, to learn before the
// first key whether it may be written at all, and keeps what it holds.
Outcome Prepare(const char* path, Contents& before, bool& existed) {
    for (int attempt = 1;; ++attempt) {
        HANDLE file =
            CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            existed = GetLastError() == ERROR_ALREADY_EXISTS;
            const bool kept = !existed || before.Read(file);
            CloseHandle(file);
            return kept ? Outcome::Ok : Outcome::Failed;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) return Outcome::Refused;
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            attempt == OPEN_ATTEMPTS)
            return Outcome::Failed;
        Sleep(OPEN_RETRY_MS);
    }
}

// Puts the file back as it was before a save that failed part of the way.
void PutBack(const char* path, const Contents& before, bool existed) {
    if (!existed) {
        DeleteFileA(path);
    } else {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            before.Write(file);
            CloseHandle(file);
        }
    }
    ForgetCachedCopy(path);
}

Outcome WriteInto(const char* path, bool (*write)(INIFILE&, void*), void* context) {
    Contents before;
    bool existed = false;
    const Outcome prepared = Prepare(path, before, existed);
    if (prepared != Outcome::Ok) return prepared;
    INIFILE file;
    const bool written = file.Open(path) && write(file, context);
    file.Close();
    if (written) return Outcome::Ok;
    PutBack(path, before, existed);
    return Outcome::Failed;
}

// Makes the folders of path that are missing.
bool MakeFolders(const char* path) {
    char folder[MAX_PATH];
    std::strncpy(folder, path, MAX_PATH - 1);
    folder[MAX_PATH - 1] = '\0';
    // From the first separator after the drive's root on.
    for (char* p = std::strchr(folder + 3, '\\'); p; p = std::strchr(p + 1, '\\')) {
        *p = '\0';
        if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        *p = '\\';
    }
    return true;
}

// Starts the per-user copy as the Windows folder's file is, as Windows does
// for a 32-bit program, so that the keys a save does not write stay.
bool StartCopy(const char* original, const char* copy) {
    if (!MakeFolders(copy)) return false;
    Contents contents;
    if (IsFile(original)) {
        HANDLE from = CreateFileA(original, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (from == INVALID_HANDLE_VALUE) return false;
        const bool read = contents.Read(from);
        CloseHandle(from);
        if (!read) return false;
    }
    HANDLE to =
        CreateFileA(copy, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (to == INVALID_HANDLE_VALUE) return false;
    const bool written = contents.Write(to);
    CloseHandle(to);
    if (!written) DeleteFileA(copy);
    return written;
}

}  // namespace

bool WindowsSettingsPath(char (&path)[MAX_PATH]) {
    path[0] = '\0';
    const UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const char* separator = path[n - 1] == '\\' ? "" : "\\";
    const int written = FormatText(path + n, MAX_PATH - n, "%s%s", separator, SETTINGS_FILE);
    if (written < 0 || static_cast<UINT>(written) >= MAX_PATH - n) {
        path[0] = '\0';
        return false;
    }
    return true;
}

bool VirtualStoreSettingsPath(char (&path)[MAX_PATH]) {
    path[0] = '\0';
    char local[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
        return false;
    char windows[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    // The Windows folder without its drive: "C:\Windows" gives "\Windows".
    const char* below = windows[0] && windows[1] == ':' ? windows + 2 : windows;
    if (below[0] && below[std::strlen(below) - 1] == '\\') windows[n - 1] = '\0';
    const int written =
        FormatText(path, MAX_PATH, "%s\\VirtualStore%s\\%s", local, below, SETTINGS_FILE);
    if (written < 0 || written >= MAX_PATH) {
        path[0] = '\0';
        return false;
    }
    return true;
}

bool SettingsReadPath(char (&path)[MAX_PATH]) {
    if constexpr (OWN_VIRTUAL_STORE) {
        if (VirtualStoreSettingsPath(path) && IsFile(path)) return true;
    }
    return WindowsSettingsPath(path);
}

bool StoreSettings(bool (*write)(INIFILE& file, void* context), void* context) {
    char original[MAX_PATH];
    if (!WindowsSettingsPath(original)) return false;
    if constexpr (OWN_VIRTUAL_STORE) {
        char copy[MAX_PATH];
        if (VirtualStoreSettingsPath(copy)) {
            if (IsFile(copy)) return WriteInto(copy, write, context) == Outcome::Ok;
            const Outcome outcome = WriteInto(original, write, context);
            if (outcome != Outcome::Refused) return outcome == Outcome::Ok;
            if (!StartCopy(original, copy)) return false;
            if (WriteInto(copy, write, context) == Outcome::Ok) return true;
            // A copy that took no save would still be read from then on.
            DeleteFileA(copy);
            ForgetCachedCopy(copy);
            return false;
        }
    }
    return WriteInto(original, write, context) == Outcome::Ok;
}
