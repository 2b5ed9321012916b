// The bodies of the factory default files, built from the program's own factory records.
#pragma once

#include <cstdint>
#include <vector>

#include "kavrel/profiles/profile_kind.h"

namespace kavrel::profiles {

// Empty when the device has no such kind.
std::vector<std::uint8_t> factoryProfileBody(DeviceKind d, ProfileKind k, lighting::KeyboardVariant variant);

} // namespace kavrel::profiles
