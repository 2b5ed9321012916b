// The mouse's settings record and the 64-byte record slot that holds it, as byte images at
// fixed offsets with named accessors (DPI codes are little-endian u16 at odd offsets).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kavrel/lighting/lighting_fields.h"

namespace kavrel::mouse {

inline constexpr int kDpiLevels = 7;

struct RgbColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const RgbColor&, const RgbColor&) = default;
};

// The 54-byte settings record of the mouse; bytes 0-9 mirror LightingSettings bytes 0-9.
struct MouseSettings : lighting::LightingFields<MouseSettings> {
    static constexpr std::size_t kSize = 54;
    static constexpr std::size_t kReportRateOffset = 14;
    static constexpr std::size_t kDpiLevelOffset = 23;
    static constexpr std::size_t kDpiColorsOffset = 30;
    static constexpr std::size_t kLiftOffOffset = 51;
    static constexpr std::size_t kLineAdjustOffset = 52;
    static constexpr std::size_t kExtraOffset = 53;
    // Byte offset of the DPI code of level 1..7; level 5 onwards sits after the dpiLevel byte.
    static constexpr std::array<std::size_t, kDpiLevels> kDpiOffsets{15, 17, 19, 21, 24, 26, 28};

    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t reportRate() const { return bytes[kReportRateOffset]; }
    std::uint8_t dpiLevel() const { return bytes[kDpiLevelOffset]; }
    std::uint8_t liftOff() const { return bytes[kLiftOffOffset]; }
    std::uint8_t lineAdjust() const { return bytes[kLineAdjustOffset]; }
    std::uint8_t extra() const { return bytes[kExtraOffset]; }

    void setReportRate(std::uint8_t v) { bytes[kReportRateOffset] = v; }
    void setDpiLevel(std::uint8_t v) { bytes[kDpiLevelOffset] = v; }
    void setLiftOff(std::uint8_t v) { bytes[kLiftOffOffset] = v; }
    void setLineAdjust(std::uint8_t v) { bytes[kLineAdjustOffset] = v; }
    void setExtra(std::uint8_t v) { bytes[kExtraOffset] = v; }

    // level is 1..7; out-of-range levels read 0 and are not written.
    std::uint16_t dpi(int level) const;
    void setDpi(int level, std::uint16_t code);
    RgbColor dpiColor(int level) const;
    void setDpiColor(int level, RgbColor c);

    friend bool operator==(const MouseSettings&, const MouseSettings&) = default;
};

// One 64-byte mouse record slot: MouseSettings, then two bytes for the system pointer speed
// and wheel lines (their use differs between lighting and device-settings files), 8 carried.
struct MouseRecord {
    static constexpr std::size_t kSize = 64;
    static constexpr std::size_t kByte54 = 54;
    static constexpr std::size_t kByte55 = 55;
    std::array<std::uint8_t, kSize> bytes{};

    MouseSettings settings() const;
    void setSettings(const MouseSettings& s);

    friend bool operator==(const MouseRecord&, const MouseRecord&) = default;
};

static_assert(sizeof(MouseSettings) == MouseSettings::kSize);
static_assert(sizeof(MouseRecord) == MouseRecord::kSize);

} // namespace kavrel::mouse
