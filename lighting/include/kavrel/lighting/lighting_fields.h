// The ten lighting bytes that open both the keyboard/mouse-pad LightingSettings and the mouse's
// MouseSettings (record index, mode, brightness, speed, direction, colourful flag, red, green,
// blue, effect step), as accessors over the derived record's byte array.
#pragma once

#include <cstdint>

namespace kavrel::lighting {

template <class Record>
struct LightingFields {
    std::uint8_t recordIndex() const { return at(0); }
    std::uint8_t mode() const { return at(1); }
    std::uint8_t brightness() const { return at(2); }
    std::uint8_t speed() const { return at(3); }
    std::uint8_t direction() const { return at(4); }
    std::uint8_t colorful() const { return at(5); }
    std::uint8_t red() const { return at(6); }
    std::uint8_t green() const { return at(7); }
    std::uint8_t blue() const { return at(8); }
    std::uint8_t effectStep() const { return at(9); }

    void setRecordIndex(std::uint8_t v) { at(0) = v; }
    void setMode(std::uint8_t v) { at(1) = v; }
    void setBrightness(std::uint8_t v) { at(2) = v; }
    void setSpeed(std::uint8_t v) { at(3) = v; }
    void setDirection(std::uint8_t v) { at(4) = v; }
    void setColorful(std::uint8_t v) { at(5) = v; }
    void setRed(std::uint8_t v) { at(6) = v; }
    void setGreen(std::uint8_t v) { at(7) = v; }
    void setBlue(std::uint8_t v) { at(8) = v; }
    void setColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        at(6) = r;
        at(7) = g;
        at(8) = b;
    }
    void setEffectStep(std::uint8_t v) { at(9) = v; }

    friend bool operator==(const LightingFields&, const LightingFields&) = default;

private:
    std::uint8_t at(int i) const { return static_cast<const Record&>(*this).bytes[i]; }
    std::uint8_t& at(int i) { return static_cast<Record&>(*this).bytes[i]; }
};

} // namespace kavrel::lighting
