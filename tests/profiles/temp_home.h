// A private HOME for each test: the data folder lands in a fresh temporary folder, the program
// folder is the build's bin/ with the generated factory files, and the live records start zeroed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kavrel/keys/key_state.h"
#include "kavrel/lighting/live.h"
#include "kavrel/mouse/live.h"
#include "kavrel/mouse/pointer_settings.h"
#include "kavrel/os/folders.h"

namespace kavrel::test {

namespace fs = std::filesystem;

class TempHome : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "kavrel-profiles-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
        ::setenv("HOME", (root_ / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        ::unsetenv("XDG_DOCUMENTS_DIR");
        fs::create_directories(root_ / "home");
        os::setProgramFolder(fs::path(KAVREL_BINARY_DIR) / "bin");
        keys::resetKeyState();
        lighting::resetLightingState();
        mouse::resetMouseState();
        mouse::setPointerSettings(nullptr);
        mouse::defaultPointerSettings().setSpeed(10);
    }
    void TearDown() override {
        os::setProgramFolder({});
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    fs::path dataFolder() const { return root_ / "home" / "Documents" / "Drovik Morv TZ814"; }

    static std::vector<std::uint8_t> readAll(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeAll(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // Every regular file under the temporary root, relative to it.
    std::vector<std::string> allFiles() const {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (!e.is_directory()) out.push_back(fs::relative(e.path(), root_).string());
        std::sort(out.begin(), out.end());
        return out;
    }

    fs::path root_;
};

} // namespace kavrel::test
