// Lighting records as the devices and the profile files hold them: plain byte images at fixed
// offsets, read and written through named accessors so no struct padding or endianness leaks in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "kavrel/lighting/lighting_fields.h"

namespace kavrel::lighting {

// Which keyboard is attached: it picks the mode set, frame format and default files.
enum class KeyboardVariant : std::uint8_t { Rgb = 0, SingleColour = 1 };

// The 21-byte lighting settings of the keyboard and of the mouse pad.
struct LightingSettings : LightingFields<LightingSettings> {
    static constexpr std::size_t kSize = 21;
    static constexpr std::size_t kReservedOffset = 10;
    static constexpr std::size_t kReservedSize = 10;
    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t extra() const { return bytes[20]; }
    std::span<const std::uint8_t, kReservedSize> reserved() const {
        return std::span<const std::uint8_t, kReservedSize>(bytes.data() + kReservedOffset, kReservedSize);
    }

    void setExtra(std::uint8_t v) { bytes[20] = v; }

    friend bool operator==(const LightingSettings&, const LightingSettings&) = default;
};

// One 64-byte on-board lighting record: a LightingSettings, then 43 bytes carried as read.
struct LightingRecord {
    static constexpr std::size_t kSize = 64;
    std::array<std::uint8_t, kSize> bytes{};

    LightingSettings settings() const;
    void setSettings(const LightingSettings& s);

    friend bool operator==(const LightingRecord&, const LightingRecord&) = default;
};

// Keyboard: the custom colour slot in use and the paint colour used on keys.
struct CustomHeader {
    static constexpr std::size_t kSize = 4;
    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t customSlot() const { return bytes[0]; }
    std::uint8_t customRed() const { return bytes[1]; }
    std::uint8_t customGreen() const { return bytes[2]; }
    std::uint8_t customBlue() const { return bytes[3]; }
    void setCustomSlot(std::uint8_t v) { bytes[0] = v; }
    void setCustomColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        bytes[1] = r;
        bytes[2] = g;
        bytes[3] = b;
    }

    friend bool operator==(const CustomHeader&, const CustomHeader&) = default;
};

// Keyboard per-LED colours, five slots. RGB keyboard: 3 bytes (r, g, b) per LED;
// single-colour keyboard: one byte per LED, 255 lit or 0 dark.
struct CustomColorTable {
    static constexpr std::size_t kSlots = 5;
    static constexpr std::size_t kSlotSize = 378;
    static constexpr std::size_t kSize = kSlots * kSlotSize;
    std::array<std::uint8_t, kSize> bytes{};

    std::span<std::uint8_t, kSlotSize> slot(std::size_t s) {
        return std::span<std::uint8_t, kSlotSize>(bytes.data() + s * kSlotSize, kSlotSize);
    }
    std::span<const std::uint8_t, kSlotSize> slot(std::size_t s) const {
        return std::span<const std::uint8_t, kSlotSize>(bytes.data() + s * kSlotSize, kSlotSize);
    }

    friend bool operator==(const CustomColorTable&, const CustomColorTable&) = default;
};

static_assert(sizeof(LightingSettings) == LightingSettings::kSize);
static_assert(sizeof(LightingRecord) == LightingRecord::kSize);
static_assert(sizeof(CustomHeader) == CustomHeader::kSize);
static_assert(sizeof(CustomColorTable) == 1890);

} // namespace kavrel::lighting
