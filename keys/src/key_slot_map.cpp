#include "kavrel/keys/key_slot_map.h"

#include <algorithm>

namespace kavrel::keys {

void buildKeySlotMap(const KeyBlock& defaults, std::size_t slotCount, KeySlotMap& map) {
    const std::size_t n = std::min(slotCount, KeyBlock::kSlots);
    const auto layout = keyboardLayoutTable();
    for (std::size_t i = 0; i < kKeyboardPositions; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            if (defaults.slot(j) == layout[i]) {
                map.slots[i] = static_cast<std::uint16_t>(j);
                break;
            }
        }
    }
}

std::optional<std::uint16_t> slotOfPosition(const KeySlotMap& map, std::size_t position) {
    if (position >= map.slots.size() || map.slots[position] == kNoKeySlot) return std::nullopt;
    return map.slots[position];
}

} // namespace kavrel::keys
