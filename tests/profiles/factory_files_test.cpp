#include <set>

#include "kavrel/keys/key_function.h"
#include "kavrel/profiles/factory.h"
#include "kavrel/profiles/profile_file.h"
#include "kavrel/profiles/profile_store.h"
#include "temp_home.h"

namespace kavrel::profiles {
namespace {

using test::TempHome;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class FactoryFilesTest : public TempHome {
protected:
    // Loads a generated default file into the live state, as first-run creation copies it.
    void loadDefault(DeviceKind d, ProfileKind k, lighting::KeyboardVariant v) {
        const fs::path p = os::programFolder() / std::string(defaultProfileFileName(d, k, v));
        Bytes body(bodySize(d, k), 0);
        ASSERT_EQ(ReadProfileFile(p, body), kProfileRead) << p;
        applyProfileBody(d, k, body);
    }
};

TEST_F(FactoryFilesTest, AllTenFilesAreBesideTheProgramWithTheirFullBody) {
    ASSERT_EQ(defaultProfileFiles().size(), 10u);
    for (const auto& f : defaultProfileFiles()) {
        SCOPED_TRACE(std::string(f.name));
        const Bytes all = readAll(os::programFolder() / std::string(f.name));
        ASSERT_EQ(all.size(), kProfileHeaderSize + bodySize(f.device, f.kind));
        Bytes head(kProfileHeaderSize, 0);
        head[0] = 0xAA;
        head[1] = 0x55;
        head[4] = static_cast<std::uint8_t>(deviceCode(f.device));
        EXPECT_EQ(Bytes(all.begin(), all.begin() + kProfileHeaderSize), head);
        const Bytes body(all.begin() + kProfileHeaderSize, all.end());
        EXPECT_EQ(body, factoryProfileBody(f.device, f.kind, f.variant));
    }
}

TEST_F(FactoryFilesTest, KeyTablesAreTheInitialDefaultKeyBlocks) {
    for (DeviceKind d : {DeviceKind::Keyboard, DeviceKind::Mouse}) {
        for (ProfileKind k : {ProfileKind::Key, ProfileKind::Device}) {
            keys::resetKeyState();
            loadDefault(d, k, lighting::KeyboardVariant::Rgb);
            EXPECT_EQ(keys::keyBlock(d), keys::initialDefaultKeyBlock(d));
        }
    }
    keys::resetKeyState();
    loadDefault(DeviceKind::Keyboard, ProfileKind::Key, lighting::KeyboardVariant::SingleColour);
    EXPECT_EQ(keys::keyBlock(DeviceKind::Keyboard), keys::initialDefaultKeyBlock(DeviceKind::Keyboard));
}

TEST_F(FactoryFilesTest, MouseShipsUsableDpiLevelsAndLighting) {
    for (ProfileKind k : {ProfileKind::Lighting, ProfileKind::Device}) {
        SCOPED_TRACE(kindWord(k));
        mouse::resetMouseState();
        loadDefault(DeviceKind::Mouse, k, lighting::KeyboardVariant::Rgb);
        const auto& s = mouse::liveMouseSettings();
        std::set<std::tuple<int, int, int>> colours;
        int previous = 0;
        for (int level = 1; level <= mouse::kDpiLevels; ++level) {
            const int dpi = 50 * s.dpi(level);
            EXPECT_GT(dpi, previous) << level;
            EXPECT_LE(dpi, 16000);
            previous = dpi;
            const auto c = s.dpiColor(level);
            colours.insert({c.red, c.green, c.blue});
            EXPECT_NE(c, mouse::RgbColor{}) << level; // a dark indicator shows nothing
        }
        EXPECT_EQ(50 * s.dpi(1), 800);
        EXPECT_EQ(50 * s.dpi(2), 1600);
        EXPECT_EQ(50 * s.dpi(4), 3200);
        EXPECT_EQ(colours.size(), 7u);
        EXPECT_LE(s.dpiLevel(), 6);
        EXPECT_EQ(s.reportRate(), 2);
        EXPECT_LE(s.mode(), 5); // 6 and 7 switch the strip off
        EXPECT_GT(s.brightness(), 0);
        EXPECT_EQ(s.recordIndex(), 0);
        EXPECT_EQ(mouse::wheelLines(), 3);
    }
    EXPECT_EQ(mouse::mouseRecord(0).bytes[54], 3); // device file: wheel lines at byte 54
    mouse::resetMouseState();
    loadDefault(DeviceKind::Mouse, ProfileKind::Lighting, lighting::KeyboardVariant::Rgb);
    EXPECT_EQ(mouse::pointerSpeed(), 10);
}

TEST_F(FactoryFilesTest, KeyboardAndPadShipAVisibleLightingMode) {
    using lighting::KeyboardVariant;
    const struct {
        DeviceKind device;
        ProfileKind kind;
        KeyboardVariant variant;
    } cases[] = {
        {DeviceKind::Keyboard, ProfileKind::Lighting, KeyboardVariant::Rgb},
        {DeviceKind::Keyboard, ProfileKind::Device, KeyboardVariant::Rgb},
        {DeviceKind::Keyboard, ProfileKind::Lighting, KeyboardVariant::SingleColour},
        {DeviceKind::Keyboard, ProfileKind::Device, KeyboardVariant::SingleColour},
        {DeviceKind::Pad, ProfileKind::Lighting, KeyboardVariant::Rgb},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(defaultProfileFileName(c.device, c.kind, c.variant)));
        lighting::resetLightingState();
        loadDefault(c.device, c.kind, c.variant);
        const auto& s = lighting::liveLightingSettings(c.device);
        EXPECT_GT(s.brightness(), 0);
        EXPECT_LE(s.brightness(), 4);
        EXPECT_LE(s.speed(), 4);
        EXPECT_EQ(s.recordIndex(), 0);
        // Custom-colour modes (RGB 8, single-colour 6) would start dark.
        EXPECT_NE(s.mode(), c.variant == KeyboardVariant::Rgb ? 8 : 6);
        if (!s.colorful()) {
            EXPECT_GT(s.red() + s.green() + s.blue(), 0);
        }
        if (c.device == DeviceKind::Keyboard) {
            EXPECT_LE(lighting::customHeader().customSlot(), 4);
        }
    }
}

} // namespace
} // namespace kavrel::profiles
