#include "kavrel/lighting/records.h"

#include <algorithm>

namespace kavrel::lighting {

LightingSettings LightingRecord::settings() const {
    LightingSettings s;
    std::copy_n(bytes.begin(), LightingSettings::kSize, s.bytes.begin());
    return s;
}

void LightingRecord::setSettings(const LightingSettings& s) {
    std::copy(s.bytes.begin(), s.bytes.end(), bytes.begin());
}

} // namespace kavrel::lighting
