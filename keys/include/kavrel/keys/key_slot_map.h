// Which device key slot each keyboard button "kb_key_" + position drives, found by matching the
// keyboard's own factory records against the layout table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "kavrel/keys/key_function.h"
#include "kavrel/keys/key_tables.h"

namespace kavrel::keys {

// A keyboard may report up to 170 slots, so "no key" must lie outside the slot range rather
// than be position count 126, which is a real slot on such a keyboard.
inline constexpr std::uint16_t kNoKeySlot = 0xFFFF;

struct KeySlotMap {
    std::array<std::uint16_t, kKeyboardPositions> slots;
    KeySlotMap() { slots.fill(kNoKeySlot); }
    friend bool operator==(const KeySlotMap&, const KeySlotMap&) = default;
};

// For each position, the first of the first `slotCount` slots whose factory record equals the
// position's layout record. Positions without a match keep their previous entry. A count beyond
// the block's whole records is cut to them.
void buildKeySlotMap(const KeyBlock& defaults, std::size_t slotCount, KeySlotMap& map);

// Nothing for a position out of range or one that drives no slot (the button is inert).
std::optional<std::uint16_t> slotOfPosition(const KeySlotMap& map, std::size_t position);

} // namespace kavrel::keys
