#include "kavrel/lighting/live.h"

#include <atomic>

namespace kavrel::lighting {
namespace {

std::array<LightingRecord, kRecordSlots> g_keyboardRecords;
std::array<LightingRecord, kRecordSlots> g_padRecords;
LightingSettings g_keyboardSettings;
LightingSettings g_padSettings;
CustomHeader g_customHeader;
CustomColorTable g_customColors;
std::atomic<KeyboardVariant> g_variant{KeyboardVariant::Rgb};

} // namespace

std::array<LightingRecord, kRecordSlots>& lightingRecords(DeviceKind device) {
    return device == DeviceKind::Pad ? g_padRecords : g_keyboardRecords;
}

LightingRecord& profileLightingRecord(DeviceKind device) {
    if (device != DeviceKind::Pad) return g_keyboardRecords[0];
    const std::size_t index = g_padSettings.recordIndex();
    return g_padRecords[index < kRecordSlots ? index : 0];
}

LightingSettings& liveLightingSettings(DeviceKind device) {
    return device == DeviceKind::Pad ? g_padSettings : g_keyboardSettings;
}

CustomHeader& customHeader() { return g_customHeader; }
CustomColorTable& customColorTable() { return g_customColors; }

KeyboardVariant keyboardVariant() { return g_variant.load(std::memory_order_relaxed); }
void setKeyboardVariant(KeyboardVariant v) { g_variant.store(v, std::memory_order_relaxed); }

void resetLightingState() {
    g_keyboardRecords = {};
    g_padRecords = {};
    g_keyboardSettings = {};
    g_padSettings = {};
    g_customHeader = {};
    g_customColors = {};
    setKeyboardVariant(KeyboardVariant::Rgb);
}

} // namespace kavrel::lighting
