// The text of the status balloon: one line per drive.
#pragma once

#include <cstdint>

#include "appstate.h"

constexpr std::uint32_t BALLOON_TEXT_LIMIT = 255;  // the text stays below this
// One line of the status balloon per drive: product, x-factor, spin-down name.
constexpr const char* BALLOON_LINE_FORMAT = "%-16s x%-2d (%s)\n";

// Writes state.balloonText: the lines of the drives (all, or the controlled
// ones unless balloonAll) while they fit, without the last line feed.
void ComposeBalloonText(AppState& state);
