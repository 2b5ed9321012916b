#include "kavrel/profiles/profile_kind.h"

namespace kavrel::profiles {
namespace {

using lighting::KeyboardVariant;

constexpr DefaultProfileFile kDefaults[] = {
    {DeviceKind::Keyboard, ProfileKind::Key, KeyboardVariant::Rgb, "kbkeydefault.pro"},
    {DeviceKind::Keyboard, ProfileKind::Lighting, KeyboardVariant::Rgb, "kbdengdefault.led"},
    {DeviceKind::Keyboard, ProfileKind::Device, KeyboardVariant::Rgb, "kbdevicedefault.config"},
    {DeviceKind::Keyboard, ProfileKind::Key, KeyboardVariant::SingleColour, "kbkey15default.pro"},
    {DeviceKind::Keyboard, ProfileKind::Lighting, KeyboardVariant::SingleColour, "kb15dengdefault.led"},
    {DeviceKind::Keyboard, ProfileKind::Device, KeyboardVariant::SingleColour, "kbdevice15default.config"},
    {DeviceKind::Mouse, ProfileKind::Key, KeyboardVariant::Rgb, "mskeydefault.pro"},
    {DeviceKind::Mouse, ProfileKind::Lighting, KeyboardVariant::Rgb, "msdengdefault.led"},
    {DeviceKind::Mouse, ProfileKind::Device, KeyboardVariant::Rgb, "msdevicedefault.config"},
    {DeviceKind::Pad, ProfileKind::Lighting, KeyboardVariant::Rgb, "mpdengdefault.led"},
};

} // namespace

std::string profileComboName(DeviceKind d, ProfileKind k) {
    std::string name(devicePrefix(d));
    name += '_';
    name += kindWord(k);
    name += "_profile_combo";
    return name;
}

std::string_view defaultProfileFileName(DeviceKind d, ProfileKind k, KeyboardVariant variant) {
    if (d != DeviceKind::Keyboard) variant = KeyboardVariant::Rgb;
    for (const auto& f : kDefaults)
        if (f.device == d && f.kind == k && f.variant == variant) return f.name;
    return {};
}

std::span<const DefaultProfileFile> defaultProfileFiles() { return kDefaults; }

} // namespace kavrel::profiles
