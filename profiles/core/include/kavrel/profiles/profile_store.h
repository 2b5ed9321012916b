// Profiles in a device folder: catalogue and profile file paths, the names that may name a file,
// and the copies between profile files and the live records (keys, lighting, mouse).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "kavrel/device/device_kind.h"
#include "kavrel/profiles/profile_kind.h"

namespace kavrel::profiles {

// deviceFolder + "kbProfile.ini" etc.; the device folder is created when missing.
std::filesystem::path cataloguePath(DeviceKind d);

// The factory file of a device and kind in the program folder, the keyboard's chosen by the
// current KeyboardVariant; empty when the device has no such kind.
std::filesystem::path defaultProfilePath(DeviceKind d, ProfileKind k);

// Whether a catalogue name can name a file in the device folder: not empty, not "." or "..",
// no '/' or '\\', no control character, valid UTF-8, and name + extension within the 255 bytes
// of a file name. Anything else would read or write outside the profile's own file.
bool isSafeProfileName(std::string_view name, std::string_view extension);

// deviceFolder + name + the kind's extension (upper case when asked, as the key-profile load
// builds it; files match without regard to case); nullopt, with a diagnostic, for an unsafe name.
std::optional<std::filesystem::path> profileFilePath(DeviceKind d, ProfileKind k, std::string_view name,
                                                     bool upperCaseExtension = false);

// The body of a device's kind built from the live state; the in-memory records are refreshed
// from the live settings first, as a save does. Empty when the device has no such kind.
std::vector<std::uint8_t> liveProfileBody(DeviceKind d, ProfileKind k);

// Copies a body (of bodySize(d, k) bytes) into the live state, as a load does.
void applyProfileBody(DeviceKind d, ProfileKind k, std::span<const std::uint8_t> body);

// Loads the profile at a catalogue position into the live state: 0 read, 1 missing (also for a
// name that cannot name a file), -1 format error. On 1 and -1 the live state is unchanged.
int LoadProfile(DeviceKind d, ProfileKind k, int position);

// Writes the live state to the file of the stored selection. False when nothing was written
// (no such kind, unsafe name, write failure).
bool SaveSelectedProfile(DeviceKind d, ProfileKind k);

} // namespace kavrel::profiles
