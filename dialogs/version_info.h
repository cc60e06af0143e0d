// VersionInfo: the version resource of one file, read once and then asked for
// its strings in the file's own (single) translation.
#pragma once

#include <cstdint>

class VersionInfo {
public:
    VersionInfo();
    virtual ~VersionInfo();

    VersionInfo(const VersionInfo&) = delete;
    VersionInfo& operator=(const VersionInfo&) = delete;

    // Reads the file's version resource. A resource with more than one
    // translation (or none) is refused: which language to show would be a
    // guess.
    // The name is Shift-JIS on every system (a setting of the program), so
    // a path with Japanese folder names is found on any Windows.
    bool Load(const char* fileName);
    // The name in UTF-16 (the program's own path).
    bool Load(const wchar_t* fileName);
    // The string of key in the loaded translation: "(error)" when it is
    // absent, "(null)" when it is empty. Valid until the next Load or Clear.
    // In the system's ANSI code page.
    const char* GetString(const char* key) const;
    // The same in UTF-16, as the resource holds it: what the dialogs show.
    const wchar_t* GetStringW(const char* key) const;
    void Clear();

private:
    bool LoadResource(const wchar_t* name);
    // The query path of key's string; false when it does not fit.
    bool StringPath(const char* key, char (&path)[256]) const;

public:
    char* data;                 // the whole version resource
    std::uint32_t translation;  // language in the low half, code page in the high half
    char* fileName;
};

// What GetString gives for an absent and for an empty string.
extern const char* const VERSION_STRING_ABSENT;  // "(error)"
extern const char* const VERSION_STRING_EMPTY;   // "(null)"
