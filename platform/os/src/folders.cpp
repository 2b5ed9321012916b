// The data, device and program folders.
#include "kavrel/os/folders.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef KAVREL_INSTALL_DATADIR
#error "KAVREL_INSTALL_DATADIR must name the installed data folder"
#endif

namespace kavrel::os {
namespace {

namespace fs = std::filesystem;

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs: a shell-quoted "$HOME/..." or absolute path.
// Empty when the file, the line or a usable value is missing.
fs::path documentsFromUserDirs(const fs::path& home) {
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') config = xdg;
    else config = home / ".config";
    std::ifstream in(config / "user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        std::size_t i = line.find_first_not_of(" \t");
        if (i == std::string::npos || line.compare(i, 18, "XDG_DOCUMENTS_DIR=") != 0) continue;
        i += 18;
        std::string value;
        bool quoted = i < line.size() && line[i] == '"';
        if (quoted) ++i;
        for (; i < line.size(); ++i) {
            char c = line[i];
            if (quoted && c == '"') break;
            if (!quoted && (c == ' ' || c == '\t' || c == '#')) break;
            if (c == '\\' && i + 1 < line.size()) c = line[++i];
            value.push_back(c);
        }
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
            std::string rest = value.substr(5);
            while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
            return rest.empty() ? home : home / rest;
        }
        if (!value.empty() && value.front() == '/') return value;
        return {}; // a relative path is not valid there
    }
    return {};
}

fs::path withSeparator(fs::path p) { return p.has_filename() ? p / "" : p; }

std::mutex g_programMutex;
fs::path g_programOverride;

} // namespace

fs::path dataFolder() {
    fs::path home = homeFolder();
    fs::path docs = documentsFromUserDirs(home);
    if (docs.empty()) docs = home / "Documents";
    fs::path data = docs / kProductName;
    std::error_code ec;
    fs::create_directories(data, ec); // failures surface in the file operations that follow
    return data / "";
}

fs::path deviceFolder(std::string_view prefix) {
    fs::path folder = dataFolder() / prefix;
    std::error_code ec;
    fs::create_directory(folder, ec);
    return folder / "";
}

fs::path programFolder() {
    {
        std::lock_guard lock(g_programMutex);
        if (!g_programOverride.empty()) return withSeparator(g_programOverride);
    }
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path dir = exe.parent_path();
        if (fs::is_directory(dir / "skin", ec)) return withSeparator(dir);
    }
    return withSeparator(KAVREL_INSTALL_DATADIR);
}

void setProgramFolder(const fs::path& folder) {
    std::lock_guard lock(g_programMutex);
    g_programOverride = folder;
}

} // namespace kavrel::os
