// The text forms of a font description and a colour in settings files, as
// pure functions so that they build and are tested on every platform.
//
// Font:   "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%s" - height, width,
//         escapement, orientation, weight, then italic, underline, strike-out,
//         character set, output precision, clip precision, quality, pitch and
//         family as 0..255, then the face name.
// Colour: "%d,%d,%d" - red, green, blue.
#pragma once

#include <cstddef>
#include <cstdint>

// The fields of the platform's logical-font record (LOGFONTA), in its order.
struct FontFields {
    static constexpr std::size_t kFaceNameSize = 32;
    std::int32_t height;
    std::int32_t width;
    std::int32_t escapement;
    std::int32_t orientation;
    std::int32_t weight;
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeOut;
    std::uint8_t charSet;
    std::uint8_t outPrecision;
    std::uint8_t clipPrecision;
    std::uint8_t quality;
    std::uint8_t pitchAndFamily;
    char faceName[kFaceNameSize];
};

constexpr std::size_t kFontTextSize = 128;   // the read and write buffer of a font text
constexpr std::size_t kColourTextSize = 64;  // the read buffer of a colour text

// Writes the font text into out (kFontTextSize bytes). The face name is read
// no further than its 32 bytes.
void FormatFontText(const FontFields& font, char* out);

// Reads a font text into font. An empty (or null) text gives 0 and leaves font
// unchanged. Otherwise the numbers are taken in order until one does not parse
// (the fields from there keep their values; a byte field takes the low byte of
// its number); then the text after the last comma, if any, becomes the face
// name, cut to 31 bytes. Gives 1.
int ParseFontText(const char* text, FontFields* font);

// Writes the colour (red in bits 0-7, green 8-15, blue 16-23) as its text into
// out (kColourTextSize bytes).
void FormatColourText(std::uint32_t colour, char* out);

// Reads a colour text over colour: a component whose number does not parse
// keeps its value, each component is the low byte of its number, bits 24-31
// become 0. An empty (or null) text gives 0 and leaves colour unchanged.
int ParseColourText(const char* text, std::uint32_t* colour);

// Reads the decimal number at the start of text: leading blanks, then an
// optional sign, digits with an optional decimal point, and an optional
// exponent; what follows is ignored. Anything else (hex floats, "inf",
// "nan", no digits) and a value a float cannot hold give 0.0.
float ParseDecimalText(const char* text);
