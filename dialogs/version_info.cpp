#include "version_info.h"

#include <windows.h>

#include <cstring>
#include <new>

const char* const VERSION_STRING_ABSENT = "(error)";
const char* const VERSION_STRING_EMPTY = "(null)";

#include "format_text.h"
#include "wide_text.h"

namespace {

constexpr const char* TRANSLATION_PATH = "\\VarFileInfo\\Translation";
constexpr const char* STRING_PATH_FORMAT = "\\StringFileInfo\\%04x%04x\\%s";
// One translation: a language word and a code page word.
constexpr UINT ONE_TRANSLATION_SIZE = 4;
// The longest query path asked for; a longer key cannot name a string.
constexpr std::size_t STRING_PATH_SIZE = 256;

char* CopyOf(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[size];
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

}  // namespace

VersionInfo::VersionInfo() : data(nullptr), translation(0), fileName(nullptr) {}

VersionInfo::~VersionInfo() { Clear(); }

bool VersionInfo::Load(const char* name) {
    Clear();
    if (!name) return false;
    fileName = CopyOf(name);
    if (!fileName) return false;
    return LoadResource(WideText(name));
}

bool VersionInfo::Load(const wchar_t* name) {
    Clear();
    if (!name) return false;
    // Only kept for the record: a name without a Shift-JIS form is kept empty.
    char shiftJis[MAX_PATH * 2] = {};
    ShiftJisText(name, shiftJis, sizeof shiftJis);
    fileName = CopyOf(shiftJis);
    if (!fileName) return false;
    return LoadResource(name);
}

bool VersionInfo::LoadResource(const wchar_t* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(name, &ignored);
    if (size == 0) return false;
    data = new (std::nothrow) char[size];
    void* value = nullptr;
    UINT length = 0;
    if (!data || !GetFileVersionInfoW(name, 0, size, data) ||
        !VerQueryValueW(data, WideText(TRANSLATION_PATH), &value, &length) ||
        length != ONE_TRANSLATION_SIZE) {
        // Nothing half-read stays behind for GetString to answer from.
        delete[] data;
        data = nullptr;
        return false;
    }
    std::memcpy(&translation, value, sizeof translation);
    return true;
}

bool VersionInfo::StringPath(const char* key, char (&path)[256]) const {
    static_assert(sizeof path == STRING_PATH_SIZE, "one path size");
    if (!data || !key) return false;
    const int written = FormatText(path, sizeof path, STRING_PATH_FORMAT,
                                   static_cast<unsigned>(LOWORD(translation)),
                                   static_cast<unsigned>(HIWORD(translation)), key);
    return written >= 0 && static_cast<std::size_t>(written) < sizeof path;
}

// The two texts above for the Unicode reader. They are ASCII, so the same in
// every code page; plain arrays, because a converted copy kept in a local
// static would bring the runtime's guard and with it the exception machinery.
const wchar_t VERSION_STRING_ABSENT_W[] = L"(error)";
const wchar_t VERSION_STRING_EMPTY_W[] = L"(null)";

const wchar_t* VersionInfo::GetStringW(const char* key) const {
    const wchar_t* const absent = VERSION_STRING_ABSENT_W;
    const wchar_t* const empty = VERSION_STRING_EMPTY_W;
    char path[STRING_PATH_SIZE];
    if (!StringPath(key, path)) return absent;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data, WideText(path), &value, &length)) return absent;
    if (length == 0) return empty;
    return static_cast<const wchar_t*>(value);
}

const char* VersionInfo::GetString(const char* key) const {
    char path[STRING_PATH_SIZE];
    if (!StringPath(key, path)) return VERSION_STRING_ABSENT;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data, path, &value, &length)) return VERSION_STRING_ABSENT;
    if (length == 0) return VERSION_STRING_EMPTY;
    return static_cast<const char*>(value);
}

void VersionInfo::Clear() {
    translation = 0;
    delete[] fileName;
    fileName = nullptr;
    delete[] data;
    data = nullptr;
}
