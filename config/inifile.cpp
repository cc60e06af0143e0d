#include "inifile.h"

#include <cstdlib>

#include "format_text.h"
#include "profile_text.h"

namespace {

constexpr unsigned int kNumberTextSize = 64;  // write buffer of numbers, read buffer of floats

FontFields ToFields(const LOGFONTA& f) {
    FontFields out{};
    out.height = f.lfHeight;
    out.width = f.lfWidth;
    out.escapement = f.lfEscapement;
    out.orientation = f.lfOrientation;
    out.weight = f.lfWeight;
    out.italic = f.lfItalic;
    out.underline = f.lfUnderline;
    out.strikeOut = f.lfStrikeOut;
    out.charSet = f.lfCharSet;
    out.outPrecision = f.lfOutPrecision;
    out.clipPrecision = f.lfClipPrecision;
    out.quality = f.lfQuality;
    out.pitchAndFamily = f.lfPitchAndFamily;
    static_assert(sizeof out.faceName == sizeof f.lfFaceName, "face name sizes differ");
    memcpy(out.faceName, f.lfFaceName, sizeof out.faceName);
    return out;
}

void FromFields(const FontFields& in, LOGFONTA* f) {
    f->lfHeight = in.height;
    f->lfWidth = in.width;
    f->lfEscapement = in.escapement;
    f->lfOrientation = in.orientation;
    f->lfWeight = in.weight;
    f->lfItalic = in.italic;
    f->lfUnderline = in.underline;
    f->lfStrikeOut = in.strikeOut;
    f->lfCharSet = in.charSet;
    f->lfOutPrecision = in.outPrecision;
    f->lfClipPrecision = in.clipPrecision;
    f->lfQuality = in.quality;
    f->lfPitchAndFamily = in.pitchAndFamily;
    memcpy(f->lfFaceName, in.faceName, sizeof f->lfFaceName);
}

}  // namespace

INIFILE::INIFILE() = default;

INIFILE::INIFILE(const INIFILE& other) : fileName(other.fileName) {}

INIFILE& INIFILE::operator=(INIFILE& other) {
    fileName = other.fileName;
    return *this;
}

INIFILE::~INIFILE() { Close(); }

int INIFILE::Open(const char* name) {
    fileName = name;
    return IsOpen() ? 1 : 0;
}

void INIFILE::Close() { fileName.Remove(); }

int INIFILE::Create(const char* section) {
    if (!IsOpen()) return 0;
    // An empty list: two zeros.
    return WritePrivateProfileSectionA(section, "\0", fileName.String(0)) ? 1 : 0;
}

bool INIFILE::IsOpen() { return fileName.Length() != 0; }

UINT INIFILE::ReadInt(const char* section, const char* key, INT def) {
    return GetPrivateProfileIntA(section, key, def, fileName.String(0));
}

int INIFILE::Read(const char* section, const char* key, unsigned char def, unsigned char* out) {
    if (!IsOpen()) return 0;
    *out = static_cast<unsigned char>(ReadInt(section, key, def) & 0xFF);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, short def, short* out) {
    if (!IsOpen()) return 0;
    *out = static_cast<short>(ReadInt(section, key, def) & 0xFFFF);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, unsigned short def, unsigned short* out) {
    if (!IsOpen()) return 0;
    *out = static_cast<unsigned short>(ReadInt(section, key, def) & 0xFFFF);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, int def, int* out) {
    if (!IsOpen()) return 0;
    *out = static_cast<int>(ReadInt(section, key, def));
    return 1;
}

int INIFILE::Read(const char* section, const char* key, unsigned int def, unsigned int* out) {
    if (!IsOpen()) return 0;
    *out = ReadInt(section, key, static_cast<INT>(def));
    return 1;
}

int INIFILE::Read(const char* section, const char* key, long def, long* out) {
    if (!IsOpen()) return 0;
    *out = static_cast<long>(static_cast<INT>(ReadInt(section, key, static_cast<INT>(def))));
    return 1;
}

int INIFILE::Read(const char* section, const char* key, unsigned long def, unsigned long* out) {
    if (!IsOpen()) return 0;
    *out = ReadInt(section, key, static_cast<INT>(def));
    return 1;
}

int INIFILE::Read(const char* section, const char* key, float def, float* out) {
    if (!IsOpen()) return 0;
    char text[kNumberTextSize];
    GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName.String(0));
    *out = text[0] ? ParseDecimalText(text) : def;
    return 1;
}

int INIFILE::Read(const char* section, const char* key, const char* def, char* buffer,
                  unsigned int size) {
    if (!IsOpen()) return 0;
    GetPrivateProfileStringA(section, key, def, buffer, size, fileName.String(0));
    return 1;
}

int INIFILE::Read(const char* section, const char* key, LOGFONTA* font) {
    if (!IsOpen()) return 0;
    char text[kFontTextSize];
    GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName.String(0));
    FontFields fields = ToFields(*font);
    if (!ParseFontText(text, &fields)) return 0;
    FromFields(fields, font);
    return 1;
}

int INIFILE::Read(const char* section, const char* key, unsigned long* colour) {
    if (!IsOpen()) return 0;
    char text[kColourTextSize];
    GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName.String(0));
    std::uint32_t value = static_cast<std::uint32_t>(*colour);
    if (!ParseColourText(text, &value)) return 0;
    *colour = value;
    return 1;
}

int INIFILE::Write(const char* section, const char* key, const char* text) {
    if (!IsOpen()) return 0;
    return WritePrivateProfileStringA(section, key, text, fileName.String(0)) ? 1 : 0;
}

int INIFILE::Write(const char* section, const char* key, const char* format, unsigned long value) {
    if (!IsOpen()) return 0;
    char text[kNumberTextSize];
    // The caller's format takes the one value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    FormatText(text, sizeof text, format, value);
#pragma GCC diagnostic pop
    return Write(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, unsigned char value) {
    return Write(section, key, "0x%02x", static_cast<unsigned long>(value));
}

int INIFILE::Write(const char* section, const char* key, short value) {
    if (!IsOpen()) return 0;
    char text[kNumberTextSize];
    FormatText(text, sizeof text, "%d", static_cast<int>(value));
    return Write(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, unsigned short value) {
    return Write(section, key, "0x%04x", static_cast<unsigned long>(value));
}

int INIFILE::Write(const char* section, const char* key, int value) {
    if (!IsOpen()) return 0;
    char text[kNumberTextSize];
    FormatText(text, sizeof text, "%d", value);
    return Write(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, unsigned int value) {
    if (!IsOpen()) return 0;
    char text[kNumberTextSize];
    FormatText(text, sizeof text, "%u", value);
    return Write(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, long value) {
    if (!IsOpen()) return 0;
    char text[kNumberTextSize];
    FormatText(text, sizeof text, "%ld", value);
    return Write(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, unsigned long value) {
    return Write(section, key, "0x%08x", value);
}

int INIFILE::Write(const char* section, const char* key, float value) {
    if (!IsOpen()) return 0;
    char text[kNumberTextSize];
    FormatText(text, sizeof text, "%lf", static_cast<double>(value));
    return Write(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, LOGFONTA* font) {
    if (!IsOpen()) return 0;
    char text[kFontTextSize];
    FormatFontText(ToFields(*font), text);
    return Write(section, key, text);
}

int INIFILE::Write(const char* section, const char* key, unsigned long* colour) {
    if (!IsOpen()) return 0;
    char text[kColourTextSize];
    FormatColourText(static_cast<std::uint32_t>(*colour), text);
    return Write(section, key, text);
}
