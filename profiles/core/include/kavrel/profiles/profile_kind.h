// The kinds of profile each device keeps, and every name derived from a device and a kind:
// catalogue sections and keys, file extensions, combo names, body sizes, factory file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kavrel/device/device_kind.h"
#include "kavrel/lighting/records.h"

namespace kavrel::profiles {

enum class ProfileKind : std::uint8_t { Key, Lighting, Device };

inline constexpr ProfileKind kAllKinds[] = {ProfileKind::Key, ProfileKind::Lighting, ProfileKind::Device};

// The word in control names: "key", "deng", "device".
constexpr std::string_view kindWord(ProfileKind k) {
    switch (k) {
    case ProfileKind::Key: return "key";
    case ProfileKind::Lighting: return "deng";
    case ProfileKind::Device: return "device";
    }
    return "";
}

// ".pro", ".led", ".config".
constexpr std::string_view kindExtension(ProfileKind k) {
    switch (k) {
    case ProfileKind::Key: return ".pro";
    case ProfileKind::Lighting: return ".led";
    case ProfileKind::Device: return ".config";
    }
    return "";
}

// The mouse pad keeps lighting profiles only.
constexpr bool deviceHasKind(DeviceKind d, ProfileKind k) { return d != DeviceKind::Pad || k == ProfileKind::Lighting; }

// The five catalogue sections of a kind.
struct CatalogueSections {
    std::string_view count;   // key "count"
    std::string_view name;    // keys "0", "1", ...: profile names
    std::string_view select;  // key "select"
    std::string_view link;    // keys "0", "1", ...: "1" when a program is linked
    std::string_view process; // keys "0", "1", ...: the linked program's path
};

constexpr CatalogueSections catalogueSections(ProfileKind k) {
    switch (k) {
    case ProfileKind::Key:
        return {"PROFILECOUNT", "PROFILENAME", "PROFILESELECT", "PROFILELIKEEXE", "PROCESS"};
    case ProfileKind::Lighting:
        return {"PROFILEDENGCOUNT", "PROFILEDENGNAME", "PROFILEDENGSELECT", "PROFILELIKEDENGEXE", "DENGPROCESS"};
    case ProfileKind::Device:
        return {"PROFILEDEVICECOUNT", "PROFILEDEVICENAME", "PROFILEDEVICESELECT", "PROFILELIKEDEVICEEXE",
                "DEVICEPROCESS"};
    }
    return {};
}

inline constexpr std::string_view kCountKey = "count";
inline constexpr std::string_view kSelectKey = "select";

// "kbProfile.ini", "msProfile.ini", "mpProfile.ini".
constexpr std::string_view catalogueFileName(DeviceKind d) {
    switch (d) {
    case DeviceKind::Keyboard: return "kbProfile.ini";
    case DeviceKind::Mouse: return "msProfile.ini";
    case DeviceKind::Pad: return "mpProfile.ini";
    }
    return "";
}

// "kb_key_profile_combo", "ms_deng_profile_combo", ...
std::string profileComboName(DeviceKind d, ProfileKind k);

inline constexpr std::size_t kKeyboardLightingBodySize = 1958; // record 64 + header 4 + colours 1890
inline constexpr std::size_t kKeyboardDeviceBodySize = 2470;   // key block 512 + lighting body
inline constexpr std::size_t kMouseDeviceBodySize = 576;       // key block 512 + mouse record 64
inline constexpr std::size_t kRecordBodySize = 64;             // mouse and mouse-pad ".led"

// Body size of a device's file of a kind; 0 when the device has no such kind.
constexpr std::size_t bodySize(DeviceKind d, ProfileKind k) {
    if (!deviceHasKind(d, k)) return 0;
    switch (k) {
    case ProfileKind::Key: return 512;
    case ProfileKind::Lighting: return d == DeviceKind::Keyboard ? kKeyboardLightingBodySize : kRecordBodySize;
    case ProfileKind::Device: return d == DeviceKind::Keyboard ? kKeyboardDeviceBodySize : kMouseDeviceBodySize;
    }
    return 0;
}

// The factory file of a device and kind, found in the program folder; "" when there is none.
// The keyboard's depends on the variant, the others ignore it.
std::string_view defaultProfileFileName(DeviceKind d, ProfileKind k, lighting::KeyboardVariant variant);

struct DefaultProfileFile {
    DeviceKind device;
    ProfileKind kind;
    lighting::KeyboardVariant variant;
    std::string_view name;
};

// All ten factory files, keyboard variants included.
std::span<const DefaultProfileFile> defaultProfileFiles();

} // namespace kavrel::profiles
