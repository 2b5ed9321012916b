// The three devices of the family and the names and codes derived from them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kavrel {

enum class DeviceKind : std::uint8_t { Keyboard, Mouse, Pad };

inline constexpr DeviceKind kAllDevices[] = {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Pad};

// Control-name and folder prefix: "kb", "ms", "mp".
constexpr std::string_view devicePrefix(DeviceKind d) {
    switch (d) {
    case DeviceKind::Keyboard: return "kb";
    case DeviceKind::Mouse: return "ms";
    case DeviceKind::Pad: return "mp";
    }
    return "";
}

// Device code in profile file headers: 1 keyboard, 2 mouse, 3 mouse pad.
constexpr std::uint16_t deviceCode(DeviceKind d) {
    switch (d) {
    case DeviceKind::Keyboard: return 1;
    case DeviceKind::Mouse: return 2;
    case DeviceKind::Pad: return 3;
    }
    return 0;
}

} // namespace kavrel
