// INIFILE: typed access to one private-profile (INI) file. The object holds
// only the file's name; every read and write goes to the platform's profile
// functions at once, so another object on the same file sees it at once.
//
// Text forms written: unsigned char "0x%02x", unsigned short "0x%04x",
// unsigned long "0x%08x", short and int "%d", unsigned int "%u", long "%ld",
// float "%lf", font and colour as in profile_text.h.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "korvex_api.h"

class KORVEX_API INIFILE {
public:
    INIFILE();
    INIFILE(const INIFILE& other);
    INIFILE& operator=(INIFILE& other);
    virtual ~INIFILE();

    // Remembers name; the file is not touched. 0 for a null or empty name,
    // which leaves the object closed.
    int Open(const char* name);
    void Close();
    // Removes every key of section. 1 when open and the platform agrees.
    int Create(const char* section);

    // Each Read gives 0 and leaves its output alone when closed; otherwise the
    // value, or def when the file, section or key is missing, and 1.
    int Read(const char* section, const char* key, unsigned char def, unsigned char* out);
    int Read(const char* section, const char* key, short def, short* out);
    int Read(const char* section, const char* key, unsigned short def, unsigned short* out);
    int Read(const char* section, const char* key, int def, int* out);
    int Read(const char* section, const char* key, unsigned int def, unsigned int* out);
    int Read(const char* section, const char* key, long def, long* out);
    int Read(const char* section, const char* key, unsigned long def, unsigned long* out);
    int Read(const char* section, const char* key, float def, float* out);
    // The value or def, cut to size - 1 bytes, always zero-terminated.
    int Read(const char* section, const char* key, const char* def, char* buffer,
             unsigned int size);
    // These two also give 0 for a missing or empty value.
    int Read(const char* section, const char* key, LOGFONTA* font);
    int Read(const char* section, const char* key, unsigned long* colour);

    // Each Write gives 0 and writes nothing when closed, 0 when the platform
    // did not take the write (a file this user may not write), else 1.
    // A null text removes the key.
    int Write(const char* section, const char* key, const char* text);
    int Write(const char* section, const char* key, const char* format, unsigned long value);
    int Write(const char* section, const char* key, unsigned char value);
    int Write(const char* section, const char* key, short value);
    int Write(const char* section, const char* key, unsigned short value);
    int Write(const char* section, const char* key, int value);
    int Write(const char* section, const char* key, unsigned int value);
    int Write(const char* section, const char* key, long value);
    int Write(const char* section, const char* key, unsigned long value);
    int Write(const char* section, const char* key, float value);
    int Write(const char* section, const char* key, LOGFONTA* font);
    int Write(const char* section, const char* key, unsigned long* colour);

private:
    bool IsOpen();
    // The profile integer read, as the platform's 32 bits.
    UINT ReadInt(const char* section, const char* key, INT def);

    CSTR fileName;
};
