// The machine-wide store: the registry key of the Windows program becomes an INI section.
#include "kavrel/os/machine_store.h"

#include "kavrel/os/folders.h"
#include "kavrel/os/ini.h"

#include <cstdlib>

namespace kavrel::os {
namespace {

namespace fs = std::filesystem;

std::string storeSection() { return "SOFTWARE\\" + std::string(kProductName); }

// The first absolute entry of XDG_CONFIG_DIRS; relative entries are invalid there and skipped.
fs::path configDir() {
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
        std::string_view rest(dirs);
        while (!rest.empty()) {
            std::size_t colon = rest.find(':');
            std::string_view entry = rest.substr(0, colon);
            if (!entry.empty() && entry.front() == '/') return fs::path(entry);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    return "/etc/xdg";
}

} // namespace

fs::path machineStoreFile() { return configDir() / kProductName / "machine.ini"; }

bool machineStoreRead(std::string_view value, std::string& out) {
    return findProfileString(machineStoreFile(), storeSection(), value, out);
}

bool machineStoreWrite(std::string_view value, std::string_view text) {
    fs::path file = machineStoreFile();
    fs::path folder = file.parent_path();
    std::error_code ec;
    bool created = fs::create_directories(folder, ec);
    if (ec) return false;
    if (writeProfileString(file, storeSection(), value, text)) return true;
    if (created) fs::remove(folder, ec); // leave nothing behind when the write failed
    return false;
}

} // namespace kavrel::os
