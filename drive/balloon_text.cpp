#include "balloon_text.h"

#include <cstring>

#include "device.h"
#include "drive_table.h"
#include "format_text.h"

void ComposeBalloonText(AppState& state) {
    char* text = state.balloonText;
    std::memset(text, 0, BALLOON_TEXT_SIZE);
    std::size_t length = 0;
    const std::uint32_t count = state.driveCount < MAX_DRIVES ? state.driveCount : MAX_DRIVES;
    for (std::uint32_t d = 0; d < count; ++d) {
        if (!state.balloonAll && state.skip[d] != SKIP_NONE) continue;
        const DriveEntry& drive = state.drives[d];
        char product[DRIVE_TEXT_SIZE + 1] = {};
        std::memcpy(product, drive.product, DRIVE_TEXT_SIZE);
        char spinDown[SPIN_DOWN_TEXT_SIZE];
        char line[BALLOON_TEXT_SIZE];
        const int n = FormatText(line, sizeof line, BALLOON_LINE_FORMAT, product,
                                 static_cast<int>(CdromDevice::SpeedToFactor(drive.currentSpeed)),
                                 DriveSpinDownText(d, spinDown));
        if (n < 0) break;
        const std::size_t lineLength = static_cast<std::size_t>(n);
        // The first line that does not fit ends the list, even if a later,
        // shorter one would.
        if (lineLength >= BALLOON_TEXT_LIMIT || length >= BALLOON_TEXT_LIMIT - lineLength) break;
        std::memcpy(text + length, line, lineLength);
        length += lineLength;
        text[length] = '\0';
    }
    if (length) text[length - 1] = '\0';
}
