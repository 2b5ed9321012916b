#include "kavrel/mouse/factory.h"

namespace kavrel::mouse {

MouseSettings factoryMouseSettings() {
    MouseSettings s;
    s.setMode(0); // strip rainbow wave
    s.setBrightness(4);
    s.setSpeed(2);
    s.setDirection(1);
    s.setColorful(1);
    s.setColor(255, 0, 0);
    s.setReportRate(2); // third of the four report-rate items
    constexpr std::uint16_t kDpi[kDpiLevels] = {800, 1600, 2400, 3200, 4000, 4800, 6400};
    constexpr RgbColor kColors[kDpiLevels] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
                                              {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (int level = 1; level <= kDpiLevels; ++level) {
        s.setDpi(level, static_cast<std::uint16_t>(kDpi[level - 1] / 50)); // the code is DPI / 50
        s.setDpiColor(level, kColors[level - 1]);
    }
    s.setDpiLevel(1);
    s.setLiftOff(0);
    s.setLineAdjust(0);
    return s;
}

} // namespace kavrel::mouse
