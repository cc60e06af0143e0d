#include "profile_text.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>

#include "format_text.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads up to count numbers of the form "%d,%d,...", as the formatted scan
// does: blanks before each number are skipped, a sign is optional, at least
// one digit is needed, and each comma must follow its number directly. Stops
// at the first number that does not parse. Numbers beyond 32 bits wrap, as
// with the Windows runtime's scan. Returns how many numbers were read.
int ScanNumbers(const char* text, std::int32_t* values, int count) {
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (*p != ',') return i;
            ++p;
        }
        while (IsBlank(*p)) ++p;
        bool negative = false;
        if (*p == '+' || *p == '-') negative = *p++ == '-';
        if (*p < '0' || *p > '9') return i;
        std::uint32_t value = 0;
        for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + std::uint32_t(*p - '0');
        if (negative) value = 0u - value;
        values[i] = static_cast<std::int32_t>(value);
    }
    return count;
}

}  // namespace

void FormatFontText(const FontFields& font, char* out) {
    FormatText(out, kFontTextSize, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%.*s",
               static_cast<int>(font.height), static_cast<int>(font.width),
               static_cast<int>(font.escapement), static_cast<int>(font.orientation),
               static_cast<int>(font.weight), font.italic, font.underline, font.strikeOut,
               font.charSet, font.outPrecision, font.clipPrecision, font.quality,
               font.pitchAndFamily, static_cast<int>(FontFields::kFaceNameSize), font.faceName);
}

int ParseFontText(const char* text, FontFields* font) {
    if (!text || !*text) return 0;
    std::int32_t numbers[13];
    int read = ScanNumbers(text, numbers, 13);
    std::int32_t* wide[] = {&font->height, &font->width, &font->escapement, &font->orientation,
                            &font->weight};
    std::uint8_t* narrow[] = {&font->italic,  &font->underline,     &font->strikeOut,
                              &font->charSet, &font->outPrecision,  &font->clipPrecision,
                              &font->quality, &font->pitchAndFamily};
    for (int i = 0; i < read; ++i) {
        if (i < 5) {
            *wide[i] = numbers[i];
        } else {
            *narrow[i - 5] = static_cast<std::uint8_t>(numbers[i] & 0xFF);
        }
    }

    const char* comma = std::strrchr(text, ',');
    if (comma && comma[1] != '\0') {
        const char* face = comma + 1;
        std::size_t length = std::strlen(face);
        if (length > FontFields::kFaceNameSize - 1) length = FontFields::kFaceNameSize - 1;
        std::memset(font->faceName, 0, sizeof font->faceName);
        std::memcpy(font->faceName, face, length);
    }
    return 1;
}

void FormatColourText(std::uint32_t colour, char* out) {
    FormatText(out, kColourTextSize, "%d,%d,%d", static_cast<int>(colour & 0xFF),
               static_cast<int>((colour >> 8) & 0xFF), static_cast<int>((colour >> 16) & 0xFF));
}

int ParseColourText(const char* text, std::uint32_t* colour) {
    if (!text || !*text) return 0;
    std::int32_t rgb[3] = {static_cast<std::int32_t>(*colour & 0xFF),
                           static_cast<std::int32_t>((*colour >> 8) & 0xFF),
                           static_cast<std::int32_t>((*colour >> 16) & 0xFF)};
    ScanNumbers(text, rgb, 3);
    *colour = (std::uint32_t(rgb[0]) & 0xFF) | (std::uint32_t(rgb[1]) & 0xFF) << 8 |
              (std::uint32_t(rgb[2]) & 0xFF) << 16;
    return 1;
}

float ParseDecimalText(const char* text) {
    if (!text) return 0.0f;
    const char* p = text;
    while (IsBlank(*p)) ++p;
    const char* start = p;
    auto digits = [&p] {
        const char* from = p;
        while (*p >= '0' && *p <= '9') ++p;
        return p != from;
    };
    if (*p == '+' || *p == '-') ++p;
    bool any = digits();
    if (*p == '.') {
        ++p;
        any = digits() || any;
    }
    if (!any) return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const char* mark = p++;
        if (*p == '+' || *p == '-') ++p;
        if (!digits()) p = mark;  // "1e" is 1 followed by text
    }
    // Only the checked prefix reaches the runtime, which would also take hex
    // floats, infinities and NaNs.
    const std::size_t length = static_cast<std::size_t>(p - start);
    char* number = static_cast<char*>(std::malloc(length + 1));
    if (!number) return 0.0f;
    std::memcpy(number, start, length);
    number[length] = '\0';
    // atof: the C runtime's own conversion, for this checked text the same
    // as strtod, without MinGW's C99 strtod linked in beside it.
    const double value = std::atof(number);
    std::free(number);
    if (!(value >= -FLT_MAX && value <= FLT_MAX)) return 0.0f;
    return static_cast<float>(value);
}
