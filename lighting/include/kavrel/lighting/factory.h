// The lighting a device of the family ships with; the factory default files are built from it.
#pragma once

#include "kavrel/device/device_kind.h"
#include "kavrel/lighting/records.h"

namespace kavrel::lighting {

// Keyboard (per variant) and mouse pad; the mouse's lighting lives in its MouseSettings.
LightingSettings factoryLightingSettings(DeviceKind device, KeyboardVariant variant = KeyboardVariant::Rgb);
CustomHeader factoryCustomHeader();
CustomColorTable factoryCustomColorTable(KeyboardVariant variant);

} // namespace kavrel::lighting
