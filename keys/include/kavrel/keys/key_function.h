// The 3-byte function record of one key and the 512-byte key table of one on-board slot.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kavrel/device/device_kind.h"

namespace kavrel::keys {

struct KeyFunction {
    std::uint8_t type = 0;
    std::uint8_t param1 = 0;
    std::uint8_t param2 = 0;
    friend bool operator==(const KeyFunction&, const KeyFunction&) = default;
};
static_assert(sizeof(KeyFunction) == 3);

inline constexpr std::size_t kKeyBlockSize = 512;

// The record of device key slot j lies at bytes 3j..3j+2.
struct KeyBlock {
    std::array<std::uint8_t, kKeyBlockSize> bytes{};

    static constexpr std::size_t kSlots = kKeyBlockSize / 3; // 170 whole records
    KeyFunction slot(std::size_t j) const { return {bytes[3 * j], bytes[3 * j + 1], bytes[3 * j + 2]}; }
    void setSlot(std::size_t j, KeyFunction f) {
        bytes[3 * j] = f.type;
        bytes[3 * j + 1] = f.param1;
        bytes[3 * j + 2] = f.param2;
    }
    friend bool operator==(const KeyBlock&, const KeyBlock&) = default;
};
static_assert(sizeof(KeyBlock) == kKeyBlockSize);

// The factory key table a device holds before its first read from the device:
// mouse slots 0-5 are left, middle, right, forward, back buttons and DPI loop-3, the rest 0x05;
// keyboard every byte 0x05.
KeyBlock initialDefaultKeyBlock(DeviceKind device);

} // namespace kavrel::keys
