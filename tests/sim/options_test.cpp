// The emulator's command line.
#include <gtest/gtest.h>

#include "kavrel/sim/options.h"

using namespace kavrel::sim;

namespace {

Options parse(std::vector<std::string> args) {
    Options o;
    std::string error;
    EXPECT_TRUE(parseOptions(args, o, error)) << error;
    return o;
}

} // namespace

TEST(SimOptions, DefaultsAndDeviceList) {
    const Options none = parse({"--dir", "/x"});
    ASSERT_EQ(none.devices.size(), 1u);
    EXPECT_EQ(none.devices[0].firmware.model, Model::Mouse);
    EXPECT_EQ(none.dir, "/x");
    EXPECT_EQ(none.usbIntervalMs, 0u);

    const Options three = parse({"--device", "keyboard", "--device", "pad", "--device", "foreign"});
    ASSERT_EQ(three.devices.size(), 3u);
    EXPECT_EQ(three.devices[0].firmware.keySlots, 106);
    EXPECT_EQ(three.devices[1].firmware.model, Model::Pad);
    EXPECT_EQ(three.devices[2].firmware.sensor, 0x3389);
}

TEST(SimOptions, DefaultFolderFollowsTheEnvironment) {
    setenv("KAVREL_VHID_DIR", "/run/test-vhid", 1);
    EXPECT_EQ(parse({}).dir, "/run/test-vhid");
    unsetenv("KAVREL_VHID_DIR");
    setenv("XDG_RUNTIME_DIR", "/run/user/7", 1);
    EXPECT_EQ(parse({}).dir, "/run/user/7/kavrel/virtual-hid");
}

TEST(SimOptions, SettingsApplyToEveryDeviceOrToTheNamedOne) {
    // An option before the --device it names still applies.
    const Options o = parse({"--status-fe", "3", "--key-slots", "keyboard:171", "--device", "mouse", "--device",
                             "keyboard", "--sensor", "mouse:0x3325", "--no-answer", "keyboard", "--late-answer", "2",
                             "--late-answer", "mouse:5", "--usb-interval-ms", "1", "--macro-units", "2"});
    ASSERT_EQ(o.devices.size(), 2u);
    const DeviceOptions& mouse = o.devices[0];
    const DeviceOptions& kb = o.devices[1];
    EXPECT_EQ(mouse.faults.statusFE, (std::set<std::uint64_t>{3}));
    EXPECT_EQ(kb.faults.statusFE, (std::set<std::uint64_t>{3}));
    EXPECT_EQ(mouse.firmware.keySlots, 8);
    EXPECT_EQ(kb.firmware.keySlots, 171);
    EXPECT_EQ(mouse.firmware.sensor, 0x3325);
    EXPECT_EQ(kb.firmware.sensor, 0);
    EXPECT_FALSE(mouse.faults.noAnswer);
    EXPECT_TRUE(kb.faults.noAnswer);
    EXPECT_EQ(mouse.faults.lateAnswer, (std::set<std::uint64_t>{2, 5}));
    EXPECT_EQ(kb.faults.lateAnswer, (std::set<std::uint64_t>{2}));
    EXPECT_EQ(kb.firmware.macroUnits, 2);
    EXPECT_EQ(o.usbIntervalMs, 1u);
}

TEST(SimOptions, BadArgumentsAreRefusedWithAMessage) {
    const std::vector<std::vector<std::string>> bad = {
        {"--device", "tablet"},
        {"--device", "mouse", "--device", "mouse"},
        {"--status-ff"},
        {"--status-ff", "0"},
        {"--status-ff", "x"},
        {"--fail-write", "pad:2"}, // the pad is not served
        {"--key-slots", "256"},
        {"--sensor", "10000"},
        {"--usb-interval-ms", "-1"},
        {"--frobnicate"},
        {"--dir", ""},
    };
    for (const auto& args : bad) {
        Options o;
        std::string error;
        EXPECT_FALSE(parseOptions(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}
