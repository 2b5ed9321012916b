#include "kavrel/mouse/records.h"

#include <algorithm>

namespace kavrel::mouse {
namespace {

bool validLevel(int level) { return level >= 1 && level <= kDpiLevels; }

} // namespace

std::uint16_t MouseSettings::dpi(int level) const {
    if (!validLevel(level)) return 0;
    const std::size_t at = kDpiOffsets[level - 1];
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

void MouseSettings::setDpi(int level, std::uint16_t code) {
    if (!validLevel(level)) return;
    const std::size_t at = kDpiOffsets[level - 1];
    bytes[at] = static_cast<std::uint8_t>(code & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(code >> 8);
}

RgbColor MouseSettings::dpiColor(int level) const {
    if (!validLevel(level)) return {};
    const std::size_t at = kDpiColorsOffset + 3 * (level - 1);
    return {bytes[at], bytes[at + 1], bytes[at + 2]};
}

void MouseSettings::setDpiColor(int level, RgbColor c) {
    if (!validLevel(level)) return;
    const std::size_t at = kDpiColorsOffset + 3 * (level - 1);
    bytes[at] = c.red;
    bytes[at + 1] = c.green;
    bytes[at + 2] = c.blue;
}

MouseSettings MouseRecord::settings() const {
    MouseSettings s;
    std::copy_n(bytes.begin(), MouseSettings::kSize, s.bytes.begin());
    return s;
}

void MouseRecord::setSettings(const MouseSettings& s) {
    std::copy(s.bytes.begin(), s.bytes.end(), bytes.begin());
}

} // namespace kavrel::mouse
