// DialogFont: owns at most one GDI font made from a LOGFONTA description, so
// a dialog can give some of its controls a font of their own and be sure the
// font goes when the dialog does.
#pragma once

#include <windows.h>

class DialogFont {
public:
    // No font yet; the description is all zero but weight FW_NORMAL and the
    // face "System".
    DialogFont();
    // Deletes the font it still holds.
    virtual ~DialogFont();

    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    // Replaces the font it holds by one made from logFont.
    bool Create();
    // Takes the whole description, then Create().
    bool Create(const LOGFONTA& description);
    // A face name of LF_FACESIZE characters or more does not fit the
    // description: false, and nothing changes.
    bool Create(LONG height, LONG width, BYTE charSet, const char* faceName);
    // The weight is taken even when the face name is refused.
    bool Create(LONG height, LONG width, BYTE charSet, const char* faceName, LONG weight);
    // Italic, underline and strike-out are taken first, then as above.
    bool Create(LONG height, LONG width, BYTE charSet, const char* faceName, LONG weight,
                BYTE italic, BYTE underline, BYTE strikeOut);

    void Delete();
    // Sets the font on one control of the dialog, without redrawing it; does
    // nothing when there is no font.
    void ApplyToItem(HWND dialog, int itemId) const;
    void GetLogFont(LOGFONTA& description) const;

    HFONT handle;
    LOGFONTA logFont;
};
