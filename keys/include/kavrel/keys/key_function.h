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

// Values of KeyFunction::type. The editor produces only the named ones; Fn, 0x21 and the
// firmware-only codes can arrive from the device or a profile file and are kept as they are.
namespace KeyType {
inline constexpr std::uint8_t Default = 0x00;         // editor category only, never stored
inline constexpr std::uint8_t MouseButton = 0x10;     // param1: button mask
inline constexpr std::uint8_t HorizontalSwing = 0x11; // param1: two nibbles; param2: bit 7 right, bits 0-6 magnitude
inline constexpr std::uint8_t VerticalSwing = 0x12;   // as horizontal; bit 7 of param2 set = down
inline constexpr std::uint8_t Dpi = 0x13;             // param1: 1 DPI loop, 2 second DPI loop
inline constexpr std::uint8_t FireKey = 0x14;         // param1 1-255, param2 0-255
inline constexpr std::uint8_t Keyboard = 0x20;        // param1: modifier mask; param2: HID usage (0 = modifiers alone)
inline constexpr std::uint8_t MultimediaAlt = 0x21;   // named like Multimedia
inline constexpr std::uint8_t Multimedia = 0x30;      // consumer usage = param1 + 256 * param2
inline constexpr std::uint8_t System = 0x40;          // param1: 0x01 power, 0x02 sleep, 0x04 wake
inline constexpr std::uint8_t Macro = 0x70;           // param1: macro index; param2: play mode 0-3
inline constexpr std::uint8_t MacroRepeat = 0x71;     // param1: macro index; param2: repeat count 1-255
inline constexpr std::uint8_t RecoilPattern = 0x72;   // param1: pattern 0-3 (mouse only)
inline constexpr std::uint8_t Shift = 0xA0;           // keyboard Fn (0xA0,2,2); mouse DPI shift (0xA0,2,0)
} // namespace KeyType

// Modifier bits of a keyboard record's param1, in HID keyboard-report order.
namespace Modifier {
inline constexpr std::uint8_t LeftCtrl = 0x01;
inline constexpr std::uint8_t LeftShift = 0x02;
inline constexpr std::uint8_t LeftAlt = 0x04;
inline constexpr std::uint8_t LeftGui = 0x08;
inline constexpr std::uint8_t RightCtrl = 0x10;
inline constexpr std::uint8_t RightShift = 0x20;
inline constexpr std::uint8_t RightAlt = 0x40;
inline constexpr std::uint8_t RightGui = 0x80;
} // namespace Modifier

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
