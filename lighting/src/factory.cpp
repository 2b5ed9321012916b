#include "kavrel/lighting/factory.h"

namespace kavrel::lighting {

LightingSettings factoryLightingSettings(DeviceKind device, KeyboardVariant variant) {
    LightingSettings s;
    s.setBrightness(4); // full brightness
    s.setSpeed(2);      // middle of 0 (fastest) .. 4
    s.setDirection(1);
    if (device == DeviceKind::Keyboard && variant == KeyboardVariant::SingleColour) {
        s.setMode(1); // breathing: the single-colour keyboard shows levels only
        s.setColor(255, 255, 255);
    } else {
        s.setMode(0); // keyboard column wave, mouse-pad wave along the LEDs
        s.setColorful(1);
        s.setColor(255, 0, 0);
    }
    return s;
}

CustomHeader factoryCustomHeader() {
    CustomHeader h;
    h.setCustomSlot(0);
    h.setCustomColor(255, 255, 255);
    return h;
}

CustomColorTable factoryCustomColorTable(KeyboardVariant) {
    // Every custom slot starts dark; the user paints keys from there.
    return {};
}

} // namespace kavrel::lighting
