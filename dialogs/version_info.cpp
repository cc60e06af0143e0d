#include "version_info.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>

const char* const VERSION_STRING_ABSENT = "(error)";
const char* const VERSION_STRING_EMPTY = "(null)";

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
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName, &ignored);
    if (size == 0) return false;
    data = new (std::nothrow) char[size];
    void* value = nullptr;
    UINT length = 0;
    if (!data || !GetFileVersionInfoA(fileName, 0, size, data) ||
        !VerQueryValueA(data, TRANSLATION_PATH, &value, &length) ||
        length != ONE_TRANSLATION_SIZE) {
        // Nothing half-read stays behind for GetString to answer from.
        delete[] data;
        data = nullptr;
        return false;
    }
    std::memcpy(&translation, value, sizeof translation);
    return true;
}

const char* VersionInfo::GetString(const char* key) const {
    if (!data || !key) return VERSION_STRING_ABSENT;
    char path[STRING_PATH_SIZE];
    const int written = std::snprintf(path, sizeof path, STRING_PATH_FORMAT,
                                      static_cast<unsigned>(LOWORD(translation)),
                                      static_cast<unsigned>(HIWORD(translation)), key);
    if (written < 0 || static_cast<std::size_t>(written) >= sizeof path) return VERSION_STRING_ABSENT;
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
