// The machine-wide settings store: an INI file "Drovik Morv TZ814/machine.ini" under the first
// entry of XDG_CONFIG_DIRS (default /etc/xdg), section "SOFTWARE\Drovik Morv TZ814".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kavrel::os {

std::filesystem::path machineStoreFile();

// False when the value does not exist (or the store cannot be read); out is then untouched.
bool machineStoreRead(std::string_view value, std::string& out);

// False, changing nothing, when the store cannot be written (for example without the rights).
bool machineStoreWrite(std::string_view value, std::string_view text);

} // namespace kavrel::os
