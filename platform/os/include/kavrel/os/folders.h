// Where the program's files live.
#pragma once

#include <filesystem>
#include <string_view>

namespace kavrel::os {

// The product name used for the data folder, the machine store and window titles.
inline constexpr std::string_view kProductName = "Drovik Morv TZ814";

// The user's documents folder (XDG_DOCUMENTS_DIR from user-dirs.dirs, else ~/Documents),
// then "Drovik Morv TZ814" and a trailing separator. Created when missing, every call.
std::filesystem::path dataFolder();

// dataFolder() + prefix ("kb", "ms" or "mp") + separator; created when missing, every call.
std::filesystem::path deviceFolder(std::string_view prefix);

// The folder that holds skin/, the factory default files and the factory pattern files, with a
// trailing separator: the executable's own folder when it holds skin/, else <prefix>/share/kavrel/.
std::filesystem::path programFolder();

// Overrides programFolder() (tests); an empty path restores the default rule.
void setProgramFolder(const std::filesystem::path& folder);

} // namespace kavrel::os
