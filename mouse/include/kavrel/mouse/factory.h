// The settings the mouse ships with, and the system values stored beside them in its files.
#pragma once

#include <cstdint>

#include "kavrel/mouse/records.h"

namespace kavrel::mouse {

// DPI 800/1600/2400/3200/4000/4800/6400, level 2 in use, red/green/blue/yellow/magenta/cyan/
// white indicators, report-rate item 2, low lift-off, rainbow-wave lighting.
MouseSettings factoryMouseSettings();

inline constexpr std::uint8_t kFactoryPointerSpeed = 10; // the system's middle speed
inline constexpr std::uint8_t kFactoryWheelLines = 3;

} // namespace kavrel::mouse
