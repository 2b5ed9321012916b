// The process-wide live key tables: five KeyBlocks per device (the keyboard reads only block 0
// from the device, the mouse all five on-board slots) and the DefaultKeyBlock of each device.
#pragma once

#include <array>
#include <cstddef>

#include "kavrel/device/device_kind.h"
#include "kavrel/keys/key_function.h"

namespace kavrel::keys {

inline constexpr std::size_t kKeyBlockSlots = 5;

// The key blocks of a device; the mouse pad has none and shares the keyboard's.
std::array<KeyBlock, kKeyBlockSlots>& keyBlocks(DeviceKind device);

// Block `slot` (0-4) of a device; an out-of-range slot gives block 0.
KeyBlock& keyBlock(DeviceKind device, std::size_t slot = 0);

// The factory record of every key slot, starting as initialDefaultKeyBlock(device) and
// replaced by what the device reports at connection.
KeyBlock& defaultKeyBlock(DeviceKind device);

// Zeroes the key blocks and restores both DefaultKeyBlocks to their initial contents (tests).
void resetKeyState();

} // namespace kavrel::keys
