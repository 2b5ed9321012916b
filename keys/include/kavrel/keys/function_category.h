// The categories of the key editor's category combo. The mouse and the keyboard list them in
// different orders, and only the mouse has recoil patterns.
#pragma once

#include <cstdint>
#include <optional>

#include "kavrel/device/device_kind.h"

namespace kavrel::keys {

enum class FunctionCategory : std::uint8_t {
    Default,         // 0x00: the slot's factory record
    MouseButton,     // 0x10, combo 11
    HorizontalSwing, // 0x11, combo 12, edits 15, 17, 20
    VerticalSwing,   // 0x12, combo 13, edits 16, 18, 19
    Dpi,             // 0x13 (0xA0 by row), combo 14
    FireKey,         // 0x14, edits 11, 12
    SingleKey,       // 0x20, edit 21 (key capture)
    Multimedia,      // 0x30, combo 21
    System,          // 0x40, combo 22
    Macro,           // 0x70 / 0x71, combos 23, 24, edit 25
    RecoilPattern,   // 0x72, combo 25 (mouse only)
    HotKey,          // 0x20, combo 26
};

// Items of the category combo: 12 on the mouse, 11 on the keyboard, none on the mouse pad.
int categoryCount(DeviceKind device);
std::optional<FunctionCategory> categoryAt(DeviceKind device, int index);
std::optional<int> categoryIndex(DeviceKind device, FunctionCategory category);
std::uint8_t typeOfCategory(FunctionCategory category);
// The type of combo item `index`; nothing for an index the device's combo does not have.
std::optional<std::uint8_t> typeForCategory(DeviceKind device, int index);

} // namespace kavrel::keys
