#include "layout.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <tuple>
#include <utility>

namespace ptaspi {

namespace {

constexpr std::uint8_t USUAL_HOST_ID = 7;  // where SCSI host adapters have sat for ever

bool Usable(const SystemDevice& d) { return d.addressed && d.target < TARGET_LIMIT; }

// Addressed devices in address order first, so that the numbering does not
// depend on which letter a drive has; then the others by drive letter, then
// those without one by class device number.
bool Before(const SystemDevice& a, const SystemDevice& b) {
    if (Usable(a) != Usable(b)) return Usable(a);
    if (!Usable(a)) {
        const bool lettered = a.letter != NO_LETTER;
        if (lettered != (b.letter != NO_LETTER)) return lettered;
        return lettered ? a.letter < b.letter : a.number < b.number;
    }
    return std::tie(a.port, a.path, a.target, a.lun, a.letter) <
           std::tie(b.port, b.path, b.target, b.lun, b.letter);
}

bool TargetTaken(const std::vector<Slot>& slots, std::uint8_t adapter, std::uint8_t target) {
    return std::any_of(slots.begin(), slots.end(),
                       [&](const Slot& s) { return s.adapter == adapter && s.target == target; });
}

}  // namespace

std::vector<Slot> PlaceDevices(const std::vector<SystemDevice>& devices) {
    std::vector<std::size_t> order(devices.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return Before(devices[a], devices[b]); });

    std::vector<Slot> slots(devices.size());
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint8_t> portAdapters;
    std::set<std::tuple<std::uint8_t, std::uint8_t, std::uint8_t>> taken;
    std::uint8_t next = 0;
    for (std::size_t i : order) {
        const SystemDevice& d = devices[i];
        Slot slot;
        if (Usable(d)) {
            auto key = std::make_pair(d.port, d.path);
            auto it = portAdapters.find(key);
            if (it == portAdapters.end() && next < ADAPTER_LIMIT)
                it = portAdapters.emplace(key, next++).first;
            if (it != portAdapters.end() && !taken.count({it->second, d.target, d.lun})) {
                slot.adapter = it->second;
                slot.target = d.target;
                slot.lun = d.lun;
            }
        }
        if (slot.adapter == NOT_PLACED && next < ADAPTER_LIMIT) {
            slot.adapter = next++;  // an adapter of its own
        } else if (slot.adapter == NOT_PLACED) {
            for (std::uint8_t t = 0; t < TARGET_LIMIT; ++t) {
                if (!TargetTaken(slots, OVERFLOW_ADAPTER, t)) {
                    slot.adapter = OVERFLOW_ADAPTER;
                    slot.target = t;
                    break;
                }
            }
        }
        if (slot.adapter != NOT_PLACED) taken.insert({slot.adapter, slot.target, slot.lun});
        slots[i] = slot;
    }
    return slots;
}

std::uint8_t OwnScsiId(const std::vector<Slot>& slots, std::uint8_t adapter) {
    if (!TargetTaken(slots, adapter, USUAL_HOST_ID)) return USUAL_HOST_ID;
    for (std::uint8_t t = TARGET_LIMIT; t-- > 0;)
        if (!TargetTaken(slots, adapter, t)) return t;
    return TARGET_LIMIT;
}

}  // namespace ptaspi
