// Measures what a person would see cut off: every text of a window's
// controls against the room its control gives it, in the control's own font.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// One text that does not fit: the control's id, its text (Shift-JIS), the
// text's width and the room, in pixels.
struct TextOverflow {
    int id;
    std::string text;
    int width;
    int room;
};

// The texts of the direct children of window that are wider than their
// room: a static's or a button's text against its client area (a check
// box's less the box and its gap, a push button's less its edges), each
// entry of a drop-down list against the list's client area less its button.
std::vector<TextOverflow> TextsWiderThanTheirControls(HWND window);

// The width in pixels of text in the font of window.
int TextWidth(HWND window, const wchar_t* text);

}  // namespace testsupport
