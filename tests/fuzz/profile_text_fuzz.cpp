// Feeds arbitrary text to the font and colour text readers: no crash, no
// access past the record or its face name, and what they read writes back
// and reads again to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "profile_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::unique_ptr<FontFields> SeedFont() {
    auto font = std::make_unique<FontFields>();  // heap-held: a write past it is caught
    std::memset(font.get(), 0x5A, sizeof *font);
    std::strcpy(font->faceName, "Seed");
    return font;
}

bool SameNumbers(const FontFields& a, const FontFields& b) {
    return a.height == b.height && a.width == b.width && a.escapement == b.escapement &&
           a.orientation == b.orientation && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.strikeOut == b.strikeOut && a.charSet == b.charSet &&
           a.outPrecision == b.outPrecision && a.clipPrecision == b.clipPrecision &&
           a.quality == b.quality && a.pitchAndFamily == b.pitchAndFamily;
}

void FuzzFont(const char* text) {
    auto font = SeedFont();
    FontFields before = *font;
    int result = ParseFontText(text, font.get());
    Check(result == (text[0] != '\0' ? 1 : 0));
    if (!result) Check(std::memcmp(font.get(), &before, sizeof before) == 0);
    Check(std::memchr(font->faceName, '\0', sizeof font->faceName) != nullptr);

    auto out = std::make_unique<char[]>(kFontTextSize);
    FormatFontText(*font, out.get());
    Check(std::strlen(out.get()) < kFontTextSize - 1);  // never cut
    auto again = SeedFont();
    Check(ParseFontText(out.get(), again.get()) == 1);
    Check(SameNumbers(*font, *again));
    Check(std::strcmp(font->faceName, again->faceName) == 0);
}

void FuzzColour(const char* text, std::uint32_t start) {
    auto colour = std::make_unique<std::uint32_t>(start);
    int result = ParseColourText(text, colour.get());
    Check(result == (text[0] != '\0' ? 1 : 0));
    if (!result) {
        Check(*colour == start);
        return;
    }
    Check((*colour >> 24) == 0);

    auto out = std::make_unique<char[]>(kColourTextSize);
    FormatColourText(*colour, out.get());
    auto again = std::make_unique<std::uint32_t>(0xFFFFFFFFu);
    Check(ParseColourText(out.get(), again.get()) == 1);
    Check(*again == *colour);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size zero-terminated copy, so a read past the text is caught.
    auto text = std::make_unique<char[]>(size + 1);
    if (size) std::memcpy(text.get(), data, size);
    text[size] = '\0';
    FuzzFont(text.get());
    std::uint32_t start = 0xA5C3E1F0u;
    if (size >= 4) std::memcpy(&start, data, 4);
    FuzzColour(text.get(), start);

    // What the settings reader sees: the text cut to its read buffers.
    if (size >= kColourTextSize) {
        text[kColourTextSize - 1] = '\0';
        FuzzColour(text.get(), start);
    }
    return 0;
}
