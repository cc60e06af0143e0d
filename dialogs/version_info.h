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
    bool Load(const char* fileName);
    // The string of key in the loaded translation: "(error)" when it is
    // absent, "(null)" when it is empty. Valid until the next Load or Clear.
    const char* GetString(const char* key) const;
    void Clear();

    char* data;                // the whole version resource
    std::uint32_t translation; // language in the low half, code page in the high half
    char* fileName;
};

// What GetString gives for an absent and for an empty string.
extern const char* const VERSION_STRING_ABSENT;  // "(error)"
extern const char* const VERSION_STRING_EMPTY;   // "(null)"
