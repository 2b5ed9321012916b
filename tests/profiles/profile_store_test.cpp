#include <numeric>

#include "kavrel/os/ini.h"
#include "kavrel/profiles/profile_file.h"
#include "kavrel/profiles/profile_store.h"
#include "temp_home.h"

namespace kavrel::profiles {
namespace {

using test::TempHome;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using keys::keyBlock;

// Fills a record with a byte pattern that differs at every offset.
template <std::size_t N>
void pattern(std::array<std::uint8_t, N>& bytes, std::uint8_t seed) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
}

Bytes slice(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}
template <std::size_t N>
Bytes bytesOf(const std::array<std::uint8_t, N>& a, std::size_t from = 0, std::size_t n = N) {
    return Bytes(a.begin() + static_cast<std::ptrdiff_t>(from), a.begin() + static_cast<std::ptrdiff_t>(from + n));
}

class ProfileStoreTest : public TempHome {
protected:
    // A catalogue whose stored selection of the kind names `name`.
    void select(DeviceKind d, ProfileKind k, const std::string& name, int position = 0) {
        const auto s = catalogueSections(k);
        ASSERT_TRUE(os::writeProfileString(cataloguePath(d), s.name, std::to_string(position), name));
        ASSERT_TRUE(os::writeProfileString(cataloguePath(d), s.select, kSelectKey, std::to_string(position)));
    }
    fs::path file(DeviceKind d, const std::string& name) const {
        return dataFolder() / std::string(devicePrefix(d)) / name;
    }
    // The body of a saved file, after checking its header.
    Bytes savedBody(DeviceKind d, ProfileKind k, const std::string& name) {
        const Bytes all = readAll(file(d, name));
        EXPECT_EQ(all.size(), kProfileHeaderSize + bodySize(d, k));
        if (all.size() < kProfileHeaderSize) return {};
        const Bytes head(all.begin(), all.begin() + kProfileHeaderSize);
        Bytes expected(kProfileHeaderSize, 0);
        expected[0] = 0xAA;
        expected[1] = 0x55;
        expected[4] = static_cast<std::uint8_t>(deviceCode(d));
        EXPECT_EQ(head, expected);
        return Bytes(all.begin() + kProfileHeaderSize, all.end());
    }
};

TEST_F(ProfileStoreTest, KeyboardBodiesAndRoundTrip) {
    pattern(keyBlock(DeviceKind::Keyboard).bytes, 1);
    pattern(lighting::profileLightingRecord(DeviceKind::Keyboard).bytes, 2);
    pattern(lighting::liveLightingSettings(DeviceKind::Keyboard).bytes, 3);
    pattern(lighting::customHeader().bytes, 4);
    pattern(lighting::customColorTable().bytes, 5);
    const auto keys = keyBlock(DeviceKind::Keyboard);
    const auto live = lighting::liveLightingSettings(DeviceKind::Keyboard);
    const auto carried = lighting::profileLightingRecord(DeviceKind::Keyboard);
    const auto head = lighting::customHeader();
    const auto colors = lighting::customColorTable();

    select(DeviceKind::Keyboard, ProfileKind::Key, "k");
    select(DeviceKind::Keyboard, ProfileKind::Lighting, "l");
    select(DeviceKind::Keyboard, ProfileKind::Device, "d");
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Keyboard, ProfileKind::Key));
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Keyboard, ProfileKind::Lighting));
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Keyboard, ProfileKind::Device));

    EXPECT_EQ(savedBody(DeviceKind::Keyboard, ProfileKind::Key, "k.pro"), bytesOf(keys.bytes));
    const Bytes led = savedBody(DeviceKind::Keyboard, ProfileKind::Lighting, "l.led");
    const Bytes config = savedBody(DeviceKind::Keyboard, ProfileKind::Device, "d.config");
    ASSERT_EQ(led.size(), 1958u);
    ASSERT_EQ(config.size(), 2470u);
    EXPECT_EQ(slice(config, 0, 512), bytesOf(keys.bytes));
    EXPECT_EQ(slice(config, 512, 1958), led);
    EXPECT_EQ(slice(led, 0, 21), bytesOf(live.bytes));           // refreshed from the live settings
    EXPECT_EQ(slice(led, 21, 43), bytesOf(carried.bytes, 21, 43)); // rest of the record carried
    EXPECT_EQ(slice(led, 64, 4), bytesOf(head.bytes));
    EXPECT_EQ(slice(led, 68, 1890), bytesOf(colors.bytes));

    for (ProfileKind k : kAllKinds) {
        SCOPED_TRACE(kindWord(k));
        keys::resetKeyState();
        lighting::resetLightingState();
        ASSERT_EQ(LoadProfile(DeviceKind::Keyboard, k, 0), kProfileRead);
        if (k != ProfileKind::Lighting) {
            EXPECT_EQ(keyBlock(DeviceKind::Keyboard), keys);
        }
        if (k != ProfileKind::Key) {
            EXPECT_EQ(lighting::liveLightingSettings(DeviceKind::Keyboard), live);
            EXPECT_EQ(lighting::profileLightingRecord(DeviceKind::Keyboard).settings(), live);
            EXPECT_EQ(bytesOf(lighting::profileLightingRecord(DeviceKind::Keyboard).bytes, 21, 43),
                      bytesOf(carried.bytes, 21, 43));
            EXPECT_EQ(lighting::customHeader(), head);
            EXPECT_EQ(lighting::customColorTable(), colors);
        }
    }
}

TEST_F(ProfileStoreTest, MouseLightingFileKeepsPointerSpeedAndWheelLines) {
    pattern(mouse::liveMouseSettings().bytes, 10);
    pattern(mouse::mouseRecord(0).bytes, 20);
    const auto live = mouse::liveMouseSettings();
    const auto carried = mouse::mouseRecord(0);
    mouse::pointerSpeed() = 7;
    mouse::wheelLines() = 3;
    select(DeviceKind::Mouse, ProfileKind::Lighting, "m");
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Lighting));

    const Bytes led = savedBody(DeviceKind::Mouse, ProfileKind::Lighting, "m.led");
    ASSERT_EQ(led.size(), 64u);
    EXPECT_EQ(slice(led, 0, 54), bytesOf(live.bytes));
    EXPECT_EQ(led[54], 7);
    EXPECT_EQ(led[55], 3);
    EXPECT_EQ(slice(led, 56, 8), bytesOf(carried.bytes, 56, 8));

    mouse::resetMouseState();
    ASSERT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Lighting, 0), kProfileRead);
    EXPECT_EQ(mouse::liveMouseSettings(), live);
    EXPECT_EQ(mouse::pointerSpeed(), 7);
    EXPECT_EQ(mouse::wheelLines(), 3);
}

TEST_F(ProfileStoreTest, MouseDeviceFileKeepsWheelLinesOnlyAndTakesTheSystemSpeed) {
    pattern(keyBlock(DeviceKind::Mouse).bytes, 30);
    pattern(mouse::liveMouseSettings().bytes, 40);
    mouse::mouseRecord(0).bytes[55] = 0x99; // as last loaded
    const auto keys = keyBlock(DeviceKind::Mouse);
    const auto live = mouse::liveMouseSettings();
    mouse::pointerSpeed() = 7;
    mouse::wheelLines() = 5;
    select(DeviceKind::Mouse, ProfileKind::Device, "d");
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Device));

    const Bytes config = savedBody(DeviceKind::Mouse, ProfileKind::Device, "d.config");
    ASSERT_EQ(config.size(), 576u);
    EXPECT_EQ(slice(config, 0, 512), bytesOf(keys.bytes));
    EXPECT_EQ(slice(config, 512, 54), bytesOf(live.bytes));
    EXPECT_EQ(config[512 + 54], 5);    // wheel lines, not the pointer speed
    EXPECT_EQ(config[512 + 55], 0x99); // not refreshed

    mouse::resetMouseState();
    keys::resetKeyState();
    mouse::defaultPointerSettings().setSpeed(12);
    ASSERT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Device, 0), kProfileRead);
    EXPECT_EQ(keyBlock(DeviceKind::Mouse), keys);
    EXPECT_EQ(mouse::liveMouseSettings(), live);
    EXPECT_EQ(mouse::pointerSpeed(), 12);
    EXPECT_EQ(mouse::wheelLines(), 5);
    EXPECT_EQ(mouse::mouseRecord(0).bytes[55], 0x99);

    // An installed pointer-settings layer is the one asked; 0 becomes 1.
    struct Zero final : mouse::PointerSettings {
        int currentSpeed() const override { return 0; }
    } zero;
    mouse::setPointerSettings(&zero);
    ASSERT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Device, 0), kProfileRead);
    mouse::setPointerSettings(nullptr);
    EXPECT_EQ(mouse::pointerSpeed(), 1);
}

TEST_F(ProfileStoreTest, PadBodyAndKeyFilesOfTheMouse) {
    pattern(lighting::liveLightingSettings(DeviceKind::Pad).bytes, 50);
    lighting::liveLightingSettings(DeviceKind::Pad).setRecordIndex(0);
    pattern(keyBlock(DeviceKind::Mouse).bytes, 60);
    const auto pad = lighting::liveLightingSettings(DeviceKind::Pad);
    const auto keys = keyBlock(DeviceKind::Mouse);
    select(DeviceKind::Pad, ProfileKind::Lighting, "p");
    select(DeviceKind::Mouse, ProfileKind::Key, "k");
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Pad, ProfileKind::Lighting));
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Key));
    EXPECT_FALSE(SaveSelectedProfile(DeviceKind::Pad, ProfileKind::Key));

    const Bytes led = savedBody(DeviceKind::Pad, ProfileKind::Lighting, "p.led");
    EXPECT_EQ(slice(led, 0, 21), bytesOf(pad.bytes));
    EXPECT_EQ(slice(led, 21, 43), Bytes(43, 0));
    EXPECT_EQ(savedBody(DeviceKind::Mouse, ProfileKind::Key, "k.pro"), bytesOf(keys.bytes));

    lighting::resetLightingState();
    keys::resetKeyState();
    ASSERT_EQ(LoadProfile(DeviceKind::Pad, ProfileKind::Lighting, 0), kProfileRead);
    ASSERT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Key, 0), kProfileRead);
    EXPECT_EQ(lighting::liveLightingSettings(DeviceKind::Pad), pad);
    EXPECT_EQ(keyBlock(DeviceKind::Mouse), keys);
    EXPECT_EQ(keyBlock(DeviceKind::Keyboard), keys::KeyBlock{});
}

TEST_F(ProfileStoreTest, HeaderOnlyMouseLightingFileLoadsZeroesWithSpeedsOne) {
    pattern(mouse::liveMouseSettings().bytes, 1);
    select(DeviceKind::Mouse, ProfileKind::Lighting, "h");
    writeAll(file(DeviceKind::Mouse, "h.led"), {0xAA, 0x55, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Lighting, 0), kProfileRead);
    EXPECT_EQ(mouse::liveMouseSettings(), mouse::MouseSettings{});
    EXPECT_EQ(mouse::pointerSpeed(), 1);
    EXPECT_EQ(mouse::wheelLines(), 1);
}

TEST_F(ProfileStoreTest, FailedLoadLeavesTheLiveStateAlone) {
    pattern(mouse::liveMouseSettings().bytes, 1);
    mouse::pointerSpeed() = 9;
    const auto live = mouse::liveMouseSettings();
    select(DeviceKind::Mouse, ProfileKind::Lighting, "bad");
    EXPECT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Lighting, 0), kProfileMissing);
    writeAll(file(DeviceKind::Mouse, "bad.led"), Bytes(80, 0x55));
    EXPECT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Lighting, 0), kProfileFormatError);
    EXPECT_EQ(mouse::liveMouseSettings(), live);
    EXPECT_EQ(mouse::pointerSpeed(), 9);
}

TEST_F(ProfileStoreTest, KeyLoadFindsTheFileWhateverTheCaseOfItsExtension) {
    pattern(keyBlock(DeviceKind::Mouse).bytes, 3);
    const auto keys = keyBlock(DeviceKind::Mouse);
    select(DeviceKind::Mouse, ProfileKind::Key, "Game");
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Key)); // "Game.pro"
    keys::resetKeyState();
    ASSERT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Key, 0), kProfileRead); // opens "Game.PRO"
    EXPECT_EQ(keyBlock(DeviceKind::Mouse), keys);
}

TEST_F(ProfileStoreTest, SelectionWithoutNameSavesUnderZero) {
    ASSERT_TRUE(os::writeProfileString(cataloguePath(DeviceKind::Mouse), "PROFILEDENGSELECT", "select", "4"));
    ASSERT_TRUE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Lighting));
    EXPECT_TRUE(fs::exists(file(DeviceKind::Mouse, "0.led")));
}

TEST_F(ProfileStoreTest, NamesThatAreNotFileNamesNameNoFile) {
    const std::string hostile[] = {"../../x", "../kb/y", "/tmp/kavrel-abs", "a/b", "a\\b", "..", ".", "",
                                   "tab\there", "del\x7f", "\xff\xfe", "\xc0\xaf", std::string(300, 'n')};
    // A valid file waiting where an escaping name would lead.
    writeAll(dataFolder() / "x.led", {0xAA, 0x55, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x42});
    const auto before = allFiles();
    for (const auto& name : hostile) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(isSafeProfileName(name, ".led"));
        select(DeviceKind::Mouse, ProfileKind::Lighting, name);
        const auto withCatalogue = allFiles();
        EXPECT_FALSE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Lighting));
        EXPECT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Lighting, 0), kProfileMissing);
        EXPECT_EQ(allFiles(), withCatalogue);
    }
    EXPECT_EQ(mouse::liveMouseSettings(), mouse::MouseSettings{});
    EXPECT_FALSE(fs::exists("/tmp/kavrel-abs.led"));
    // Only the catalogue was added.
    auto after = allFiles();
    after.erase(std::remove(after.begin(), after.end(),
                            fs::relative(cataloguePath(DeviceKind::Mouse), root_).string()),
                after.end());
    EXPECT_EQ(after, before);

    for (const std::string& name : {std::string("profile1"), std::string("a..b"), std::string("名前 with spaces"),
                                    std::string(251, 'n')})
        EXPECT_TRUE(isSafeProfileName(name, ".led")) << name;
}

} // namespace
} // namespace kavrel::profiles
