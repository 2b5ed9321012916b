// The process-wide live lighting state: one global each, reached through these accessors.
// Written on the UI thread and read by the lighting threads without locks.
#pragma once

#include <array>
#include <cstddef>

#include "kavrel/device/device_kind.h"
#include "kavrel/lighting/records.h"

namespace kavrel::lighting {

inline constexpr std::size_t kRecordSlots = 5;

// The five on-board lighting record slots of the keyboard or the mouse pad. The mouse keeps
// its lighting inside its MouseRecord; asking for the mouse gives the keyboard's slots.
std::array<LightingRecord, kRecordSlots>& lightingRecords(DeviceKind device);

// The record the lighting profile files use: slot 0 for the keyboard, the slot named by the
// live recordIndex for the mouse pad (slot 0 when that index is out of range).
LightingRecord& profileLightingRecord(DeviceKind device);

// The live LightingSettings of the keyboard or the mouse pad.
LightingSettings& liveLightingSettings(DeviceKind device);

CustomHeader& customHeader();
CustomColorTable& customColorTable();

KeyboardVariant keyboardVariant();
void setKeyboardVariant(KeyboardVariant v);

// Zeroes every record above and sets the keyboard variant back to RGB (tests, factory reset).
void resetLightingState();

} // namespace kavrel::lighting
