#include "kavrel/profiles/factory.h"

#include "kavrel/lighting/factory.h"
#include "kavrel/mouse/factory.h"
#include "layout.h"

namespace kavrel::profiles {

std::vector<std::uint8_t> factoryProfileBody(DeviceKind d, ProfileKind k, lighting::KeyboardVariant variant) {
    std::vector<std::uint8_t> body(bodySize(d, k));
    if (body.empty()) return body;
    const std::span<std::uint8_t> out(body);
    std::size_t at = 0;
    if (k != ProfileKind::Lighting) {
        putKeyBlock(out, keys::initialDefaultKeyBlock(d));
        at = keys::kKeyBlockSize;
    }
    if (k == ProfileKind::Key) return body;

    if (d == DeviceKind::Mouse) {
        mouse::MouseRecord record;
        record.setSettings(mouse::factoryMouseSettings());
        if (k == ProfileKind::Lighting) {
            record.bytes[mouse::MouseRecord::kByte54] = mouse::kFactoryPointerSpeed;
            record.bytes[mouse::MouseRecord::kByte55] = mouse::kFactoryWheelLines;
        } else {
            record.bytes[mouse::MouseRecord::kByte54] = mouse::kFactoryWheelLines;
        }
        putMouseRecord(out, at, record);
        return body;
    }

    lighting::LightingRecord record;
    record.setSettings(lighting::factoryLightingSettings(d, variant));
    if (d == DeviceKind::Pad) {
        putLightingRecord(out, 0, record);
        return body;
    }
    putKeyboardLighting(out.subspan(at), record, lighting::factoryCustomHeader(),
                        lighting::factoryCustomColorTable(variant));
    return body;
}

} // namespace kavrel::profiles
