#include "dialog_face.h"

#include <cwchar>

#include "ui_text.h"

const wchar_t* const JAPANESE_FACES[] = {L"MS Gothic", L"MS UI Gothic", L"Meiryo UI",
                                         L"Yu Gothic UI", nullptr};

namespace {

// One font for every dialog: they all ask for the same face and size.
class FallbackFont {
public:
    ~FallbackFont() {
        if (handle) DeleteObject(handle);
    }
    HFONT handle = nullptr;
} fallback;

int CALLBACK Found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

int CALLBACK FirstHorizontal(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM face) {
    if (font->lfFaceName[0] == L'@') return 1;
    wcsncpy(reinterpret_cast<wchar_t*>(face), font->lfFaceName, LF_FACESIZE - 1);
    return 0;
}

bool SystemHas(HDC dc, const wchar_t* face) {
    LOGFONTW wanted = {};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(dc, &wanted, Found, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

BOOL CALLBACK SetFontOf(HWND control, LPARAM font) {
    SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

}  // namespace

bool FontShowsJapanese(HFONT font) {
    if (!font) return false;
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, font);
    FONTSIGNATURE signature = {};
    const int charSet = GetTextCharsetInfo(dc, &signature, 0);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return charSet == SHIFTJIS_CHARSET || (signature.fsCsb[0] & FS_JISJAPAN) != 0;
}

bool JapaneseFace(wchar_t (&face)[LF_FACESIZE]) {
    face[0] = L'\0';
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    for (int i = 0; JAPANESE_FACES[i] && !face[0]; ++i)
        if (SystemHas(dc, JAPANESE_FACES[i])) wcsncpy(face, JAPANESE_FACES[i], LF_FACESIZE - 1);
    if (!face[0]) {
        LOGFONTW any = {};
        any.lfCharSet = SHIFTJIS_CHARSET;
        EnumFontFamiliesExW(dc, &any, FirstHorizontal, reinterpret_cast<LPARAM>(face), 0);
    }
    ReleaseDC(nullptr, dc);
    face[LF_FACESIZE - 1] = L'\0';
    return face[0] != L'\0';
}

void KeepJapaneseReadable(HWND dialog) {
    // The English templates ask for the system's own dialog face, which
    // shows their texts on any Windows.
    if (CurrentUiLanguage() != UiLanguage::Japanese) return;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    if (font && !FontShowsJapanese(font)) GiveJapaneseFont(dialog, font);
}

bool GiveJapaneseFont(HWND dialog, HFONT like) {
    if (!fallback.handle) {
        LOGFONTW description = {};
        wchar_t face[LF_FACESIZE] = {};
        if (!like || !GetObjectW(like, sizeof description, &description) || !JapaneseFace(face))
            return false;
        wcsncpy(description.lfFaceName, face, LF_FACESIZE - 1);
        description.lfCharSet = SHIFTJIS_CHARSET;
        fallback.handle = CreateFontIndirectW(&description);
        if (!fallback.handle) return false;
    }
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(fallback.handle), FALSE);
    EnumChildWindows(dialog, SetFontOf, reinterpret_cast<LPARAM>(fallback.handle));
    return true;
}
