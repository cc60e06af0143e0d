// Keystroke flags of a key message, and the key-state tracking of the hook.
// Needs no Windows header, so it can be tested on its own.
#ifndef KORVEX_TAPKEY_KEYSTROKE_H
#define KORVEX_TAPKEY_KEYSTROKE_H

#include <cstdint>

namespace tapkey {

// Bits of the lParam of WM_KEYDOWN / WM_SYSKEYDOWN.
constexpr std::uint32_t kRepeatCountMask = 0x0000FFFFu;
constexpr int kScanCodeShift = 16;
constexpr std::uint32_t kScanCodeMask = 0x00FF0000u;
constexpr std::uint32_t kExtendedBit = 1u << 24;
constexpr std::uint32_t kAltContextBit = 1u << 29;
constexpr std::uint32_t kPreviousStateBit = 1u << 30;
constexpr std::uint32_t kTransitionBit = 1u << 31;

// Virtual-key codes the tracking needs (same values as in winuser.h).
constexpr unsigned kVkShift = 0x10, kVkControl = 0x11, kVkMenu = 0x12;
constexpr unsigned kVkLShift = 0xA0, kVkRShift = 0xA1;
constexpr unsigned kVkLControl = 0xA2, kVkRControl = 0xA3;
constexpr unsigned kVkLMenu = 0xA4, kVkRMenu = 0xA5;

// Flags of a key-down message: repeat count 1, the low 8 bits of the scan
// code, the extended bit, the Alt context bit, the previous-state bit; the
// transition bit stays 0 (key pressed). `vk` does not enter the flags; it is
// taken so that every call names the key it composes for.
constexpr std::uint32_t ComposeKeyFlags(unsigned vk, unsigned scanCode, bool extended, bool altDown,
                                        bool wasDown) {
    (void)vk;
    return 1u | ((scanCode & 0xFFu) << kScanCodeShift) | (extended ? kExtendedBit : 0u) |
           (altDown ? kAltContextBit : 0u) | (wasDown ? kPreviousStateBit : 0u);
}

// The key a key message names: the left and right variants of Shift, Ctrl and
// Alt become the generic code, as in WM_KEYDOWN.
constexpr unsigned MessageKey(unsigned vk) {
    switch (vk) {
    case kVkLShift:
    case kVkRShift: return kVkShift;
    case kVkLControl:
    case kVkRControl: return kVkControl;
    case kVkLMenu:
    case kVkRMenu: return kVkMenu;
    default: return vk;
    }
}

// One low-level key event as the hook sees it.
struct KeyEvent {
    unsigned vk;        // virtual-key code of the event
    unsigned scanCode;  // hardware scan code
    bool extended;      // extended key (right Ctrl/Alt, arrows, ...)
    bool up;            // key released
    bool altFlag;       // the system's own "Alt is down" flag for this event
};

// What a key-down turns into: the message's wParam and lParam.
struct KeyReport {
    unsigned key;
    std::uint32_t flags;
};

// Follows which keys are down from the events it is shown. The system's Alt
// flag is honoured but not trusted alone: some systems leave it clear for a
// key pressed with Alt held, so Alt is also followed from its own down and up
// events.
class KeyTracker {
public:
    // Records the event; returns true and fills `report` for a key-down, false
    // for a key-up.
    bool Feed(const KeyEvent& e, KeyReport& report) {
        const unsigned vk = e.vk & 0xFFu;
        const bool wasDown = down_[vk];
        down_[vk] = !e.up;
        if (e.up) return false;
        report.key = MessageKey(vk);
        report.flags = ComposeKeyFlags(vk, e.scanCode, e.extended, e.altFlag || AltDown(), wasDown);
        return true;
    }

    bool AltDown() const { return down_[kVkMenu] || down_[kVkLMenu] || down_[kVkRMenu]; }
    bool IsDown(unsigned vk) const { return down_[vk & 0xFFu]; }
    void Reset() {
        for (bool& d : down_) d = false;
    }

private:
    bool down_[256] = {};
};

}  // namespace tapkey

#endif
