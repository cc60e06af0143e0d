#include "dialog_font.h"

#include <cstring>

namespace {

constexpr const char* DEFAULT_FACE = "System";

}  // namespace

DialogFont::DialogFont() : handle(nullptr), logFont() {
    logFont.lfWeight = FW_NORMAL;
    std::strcpy(logFont.lfFaceName, DEFAULT_FACE);
}

DialogFont::~DialogFont() { Delete(); }

bool DialogFont::Create() {
    Delete();
    handle = CreateFontIndirectA(&logFont);
    return handle != nullptr;
}

bool DialogFont::Create(const LOGFONTA& description) {
    logFont = description;
    return Create();
}

bool DialogFont::Create(LONG height, LONG width, BYTE charSet, const char* faceName) {
    if (!faceName || strnlen(faceName, LF_FACESIZE) >= LF_FACESIZE) return false;
    logFont.lfHeight = height;
    logFont.lfWidth = width;
    logFont.lfCharSet = charSet;
    // Padded with zeros: no byte of an earlier, longer name stays behind.
    std::memset(logFont.lfFaceName, 0, LF_FACESIZE);
    std::memcpy(logFont.lfFaceName, faceName, std::strlen(faceName));
    return Create();
}

bool DialogFont::Create(LONG height, LONG width, BYTE charSet, const char* faceName, LONG weight) {
    logFont.lfWeight = weight;
    return Create(height, width, charSet, faceName);
}

bool DialogFont::Create(LONG height, LONG width, BYTE charSet, const char* faceName, LONG weight,
                        BYTE italic, BYTE underline, BYTE strikeOut) {
    logFont.lfItalic = italic;
    logFont.lfUnderline = underline;
    logFont.lfStrikeOut = strikeOut;
    return Create(height, width, charSet, faceName, weight);
}

void DialogFont::Delete() {
    if (!handle) return;
    DeleteObject(handle);
    handle = nullptr;
}

void DialogFont::ApplyToItem(HWND dialog, int itemId) const {
    if (!handle) return;
    SendDlgItemMessageA(dialog, itemId, WM_SETFONT, reinterpret_cast<WPARAM>(handle), FALSE);
}

void DialogFont::GetLogFont(LOGFONTA& description) const { description = logFont; }
