// The dialog templates ask for "ＭＳ ゴシック", which a Japanese Windows has.
// Elsewhere the system may give the dialogs a face without Japanese
// characters, and every text would show as boxes: the dialog and its
// controls then get a face that shows Japanese, in the template's size.
#pragma once

#include <windows.h>

// The faces tried first, in this order: the templates' face under its English
// name (Windows 10 and later have it), then the Japanese interface faces of
// earlier Windows with the East Asian fonts. Ended by a null.
extern const wchar_t* const JAPANESE_FACES[];

// True when the font, as the system realises it, covers the Japanese code page.
bool FontShowsJapanese(HFONT font);
// The first of JAPANESE_FACES the system has, else the first face it has
// with the Japanese character set (never a vertical "@" face); false when
// there is none.
bool JapaneseFace(wchar_t (&face)[LF_FACESIZE]);
// When Japanese is the language in use and the dialog's font cannot show it,
// GiveJapaneseFont.
void KeepJapaneseReadable(HWND dialog);
// Gives the dialog and every control in it a font of a face that shows
// Japanese, in the size of like; made once and kept for the program's
// lifetime. False when the system has no such face.
bool GiveJapaneseFont(HWND dialog, HFONT like);
