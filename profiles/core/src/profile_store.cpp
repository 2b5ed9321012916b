#include "kavrel/profiles/profile_store.h"

#include <algorithm>
#include <string>

#include "kavrel/keys/key_state.h"
#include "kavrel/lighting/live.h"
#include "kavrel/mouse/live.h"
#include "kavrel/mouse/pointer_settings.h"
#include "kavrel/os/diag.h"
#include "kavrel/os/folders.h"
#include "kavrel/os/ini.h"
#include "kavrel/profiles/profile_file.h"
#include "layout.h"

namespace kavrel::profiles {
namespace {

namespace fs = std::filesystem;
using keys::kKeyBlockSize;

// Decodes one UTF-8 sequence at s[i]; false for a malformed, overlong or surrogate sequence.
bool nextUtf8(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t len;
    char32_t cp;
    if (c < 0x80) {
        ++i;
        return true;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
    } else {
        return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
    return true;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::uint8_t clampToByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

} // namespace

fs::path cataloguePath(DeviceKind d) {
    return os::deviceFolder(devicePrefix(d)) / std::string(catalogueFileName(d));
}

fs::path defaultProfilePath(DeviceKind d, ProfileKind k) {
    const std::string_view name = defaultProfileFileName(d, k, lighting::keyboardVariant());
    return name.empty() ? fs::path() : os::programFolder() / std::string(name);
}

bool isSafeProfileName(std::string_view name, std::string_view extension) {
    constexpr std::size_t kNameMax = 255;
    if (name.empty() || name == "." || name == "..") return false;
    if (name.size() + extension.size() > kNameMax) return false;
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
        if (!nextUtf8(name, i)) return false;
    }
    return true;
}

std::optional<fs::path> profileFilePath(DeviceKind d, ProfileKind k, std::string_view name, bool upperCaseExtension) {
    const std::string ext = upperCaseExtension ? upperAscii(kindExtension(k)) : std::string(kindExtension(k));
    if (!isSafeProfileName(name, ext)) {
        os::debugf("profile name \"%.*s\" cannot name a file in the %.*s folder; ignored",
                   static_cast<int>(std::min<std::size_t>(name.size(), 300)), name.data(),
                   static_cast<int>(devicePrefix(d).size()), devicePrefix(d).data());
        return std::nullopt;
    }
    return os::deviceFolder(devicePrefix(d)) / (std::string(name) + ext);
}

std::vector<std::uint8_t> liveProfileBody(DeviceKind d, ProfileKind k) {
    std::vector<std::uint8_t> body(bodySize(d, k));
    if (body.empty()) return body;
    const std::span<std::uint8_t> out(body);

    if (d == DeviceKind::Mouse) {
        if (k != ProfileKind::Lighting) putKeyBlock(out, keys::keyBlock(d, 0));
        if (k == ProfileKind::Key) return body;
        auto& record = mouse::mouseRecord(0);
        record.setSettings(mouse::liveMouseSettings());
        if (k == ProfileKind::Lighting) {
            record.bytes[mouse::MouseRecord::kByte54] = mouse::pointerSpeed();
            record.bytes[mouse::MouseRecord::kByte55] = mouse::wheelLines();
            putMouseRecord(out, 0, record);
        } else {
            // The device-settings file keeps wheel lines at byte 54; the system pointer speed is
            // not stored there, and byte 55 keeps whatever it held.
            record.bytes[mouse::MouseRecord::kByte54] = mouse::wheelLines();
            putMouseRecord(out, kKeyBlockSize, record);
        }
        return body;
    }

    if (k == ProfileKind::Key) {
        putKeyBlock(out, keys::keyBlock(d, 0));
        return body;
    }
    auto& record = lighting::profileLightingRecord(d);
    record.setSettings(lighting::liveLightingSettings(d));
    if (d == DeviceKind::Pad) {
        putLightingRecord(out, 0, record);
        return body;
    }
    std::size_t at = 0;
    if (k == ProfileKind::Device) {
        putKeyBlock(out, keys::keyBlock(d, 0));
        at = kKeyBlockSize;
    }
    putKeyboardLighting(out.subspan(at), record, lighting::customHeader(), lighting::customColorTable());
    return body;
}

void applyProfileBody(DeviceKind d, ProfileKind k, std::span<const std::uint8_t> body) {
    if (body.size() < bodySize(d, k) || bodySize(d, k) == 0) return;

    if (d == DeviceKind::Mouse) {
        if (k != ProfileKind::Lighting) getKeyBlock(body, keys::keyBlock(d, 0));
        if (k == ProfileKind::Key) return;
        auto& record = mouse::mouseRecord(0);
        getMouseRecord(body, k == ProfileKind::Lighting ? 0 : kKeyBlockSize, record);
        mouse::liveMouseSettings() = record.settings();
        if (k == ProfileKind::Lighting) {
            mouse::pointerSpeed() = record.bytes[mouse::MouseRecord::kByte54];
            mouse::wheelLines() = record.bytes[mouse::MouseRecord::kByte55];
        } else {
            mouse::pointerSpeed() = clampToByte(mouse::pointerSettings().currentSpeed());
            mouse::wheelLines() = record.bytes[mouse::MouseRecord::kByte54];
        }
        if (mouse::pointerSpeed() == 0) mouse::pointerSpeed() = 1;
        if (mouse::wheelLines() == 0) mouse::wheelLines() = 1;
        return;
    }

    if (k == ProfileKind::Key) {
        getKeyBlock(body, keys::keyBlock(d, 0));
        return;
    }
    auto& record = lighting::profileLightingRecord(d);
    if (d == DeviceKind::Pad) {
        getLightingRecord(body, 0, record);
        lighting::liveLightingSettings(d) = record.settings();
        return;
    }
    std::size_t at = 0;
    if (k == ProfileKind::Device) {
        getKeyBlock(body, keys::keyBlock(d, 0));
        at = kKeyBlockSize;
    }
    getKeyboardLighting(body.subspan(at), record, lighting::customHeader(), lighting::customColorTable());
    lighting::liveLightingSettings(d) = record.settings();
}

int LoadProfile(DeviceKind d, ProfileKind k, int position) {
    if (!deviceHasKind(d, k)) return kProfileMissing;
    const std::string name =
        os::readProfileString(cataloguePath(d), catalogueSections(k).name, std::to_string(position), "0");
    const auto path = profileFilePath(d, k, name, k == ProfileKind::Key);
    std::vector<std::uint8_t> body(bodySize(d, k), 0);
    const int result = path ? ReadProfileFile(*path, body) : kProfileMissing;
    if (result == kProfileMissing) {
        os::debugLine("配置文件丢失");
    } else if (result == kProfileFormatError) {
        os::debugLine("配置文件格式错误");
    } else {
        applyProfileBody(d, k, body);
    }
    return result;
}

bool SaveSelectedProfile(DeviceKind d, ProfileKind k) {
    if (!deviceHasKind(d, k)) return false;
    const fs::path catalogue = cataloguePath(d);
    const CatalogueSections sections = catalogueSections(k);
    const int selected = os::readProfileInt(catalogue, sections.select, kSelectKey);
    const std::string name = os::readProfileString(catalogue, sections.name, std::to_string(selected), "0");
    // Build first: the refreshed records stay in memory even when the name names no file.
    const std::vector<std::uint8_t> body = liveProfileBody(d, k);
    const auto path = profileFilePath(d, k, name);
    return path && WriteProfileFile(*path, body, deviceCode(d));
}

} // namespace kavrel::profiles
