// The process-wide live mouse state: the five on-board record slots, the live MouseSettings,
// and the two operating-system values the mouse page manages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kavrel/mouse/records.h"

namespace kavrel::mouse {

inline constexpr std::size_t kRecordSlots = 5;

// Slot p holds on-board profile p; the profile files use slot 0.
std::array<MouseRecord, kRecordSlots>& mouseRecords();
MouseRecord& mouseRecord(std::size_t slot);

MouseSettings& liveMouseSettings();

// System pointer speed (1-20) and wheel scroll lines, as the page and the profile files keep them.
std::uint8_t& pointerSpeed();
std::uint8_t& wheelLines();

// Zeroes the records and settings and sets both system values to 0 (tests, factory reset).
void resetMouseState();

} // namespace kavrel::mouse
