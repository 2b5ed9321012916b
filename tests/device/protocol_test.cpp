// Frames, checksums and chunk layout of the command protocol, and the channel rules that need no
// device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavrel/device/protocol.h"

using namespace kavrel;

namespace {

std::vector<std::uint8_t> bytesOf(const DeviceReport& r) { return {r.bytes.begin(), r.bytes.end()}; }

} // namespace

TEST(Frame, BeginFrameExactBytes) {
    std::vector<std::uint8_t> expected(64, 0);
    expected[0] = 0x04;
    expected[1] = 0x01; // checksum 0x0001, little-endian
    expected[3] = 0x01;
    EXPECT_EQ(bytesOf(makeFrame(command::Begin, 0, 0)), expected);
}

TEST(Frame, ChecksumCoversHeaderAndWholePayload) {
    const DeviceReport info = makeFrame(command::ReadInformation, kInfoBlockSize, 0);
    EXPECT_EQ(info.length(), 0x21);
    EXPECT_EQ(info.checksum(), 0x24);
    EXPECT_EQ(info.bytes[1], 0x24);
    EXPECT_EQ(info.bytes[2], 0x00);

    // Address bytes and every payload byte count; the high byte is used once the sum passes 255.
    std::vector<std::uint8_t> payload(56, 0xFF);
    const DeviceReport w = makeFrame(command::WriteMemory, 56, 0x0140, payload);
    const unsigned sum = 0x06 + 56 + 0x40 + 0x01 + 56 * 0xFF;
    EXPECT_EQ(w.checksum(), sum);
    EXPECT_EQ(w.bytes[5], 0x40);
    EXPECT_EQ(w.bytes[6], 0x01);
    EXPECT_EQ(frameChecksum(w.bytes), sum);

    // One payload byte at address 0: the on-board record switch.
    const std::uint8_t index = 3;
    const DeviceReport sel = makeFrame(command::WriteMemory, 1, 0, std::span(&index, 1));
    EXPECT_EQ(sel.bytes[8], 3);
    EXPECT_EQ(sel.bytes[9], 0);
    EXPECT_EQ(sel.checksum(), 0x06 + 1 + 3);
}

struct PlanCase {
    const char* name;
    std::size_t total;
    std::uint16_t base;
    std::vector<std::pair<int, int>> lengthAndAddress;
};

TEST(Chunking, LengthsAndAddresses) {
    const std::vector<PlanCase> cases = {
        {"keyboard key table of 42 slots", 126, 0, {{56, 0}, {56, 56}, {14, 112}}},
        {"key block 1 read of 512 bytes", 512, 126,
         {{56, 126}, {56, 182}, {56, 238}, {56, 294}, {56, 350}, {56, 406}, {56, 462}, {56, 518}, {56, 574}, {8, 630}}},
        {"multiple of 56 ends with a full chunk", 112, 0, {{56, 0}, {56, 56}}},
        {"lighting frame of 378 bytes", 378, 0, {{56, 0}, {56, 56}, {56, 112}, {56, 168}, {56, 224}, {56, 280}, {42, 336}}},
        {"shorter than one chunk", 1, 4 * 126, {{1, 504}}},
        {"nothing to send", 0, 0, {}},
    };
    for (const PlanCase& c : cases) {
        std::vector<std::pair<int, int>> got;
        std::size_t expectedOffset = 0;
        for (const Chunk& k : chunkPlan(c.total, c.base)) {
            got.emplace_back(k.length, k.address);
            EXPECT_EQ(k.offset, expectedOffset) << c.name;
            expectedOffset += k.length;
        }
        EXPECT_EQ(got, c.lengthAndAddress) << c.name;
    }
}

TEST(PathIds, VendorAndProductFromPath) {
    struct Case {
        std::string path;
        std::uint16_t vid, pid;
    };
    const std::vector<Case> cases = {
        {"/dev/hidraw3?vid_0c45&pid_7643&col02", 0x0C45, 0x7643},
        {R"(\\?\HID#VID_0C45&PID_7643&MI_01&Col02#8&1)", 0x0C45, 0x7643},
        {"vhid:/run/k/mouse.sock?vid_0C45&pid_5004&col01", 0x0C45, 0x5004},
        {"/dev/hidraw0", 0, 0},
        {"vid_&pid_zz", 0, 0},
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VendorIdFromPath(c.path), c.vid) << c.path;
        EXPECT_EQ(ProductIdFromPath(c.path), c.pid) << c.path;
    }
}

TEST(Channel, NewChannelAndBlockSize) {
    DeviceChannel ch;
    EXPECT_EQ(ch.BlockSize(), 512);
    EXPECT_FALSE(ch.IsConnected());
    EXPECT_FALSE(ch.sync);
    EXPECT_EQ(ch.VendorId() | ch.ProductId() | ch.Usage() | ch.UsagePage(), 0);

    EXPECT_TRUE(ch.SetBlockSize(318));
    EXPECT_FALSE(ch.SetBlockSize(513));
    EXPECT_EQ(ch.BlockSize(), 318);
    EXPECT_TRUE(ch.SetBlockSize(512));
    EXPECT_EQ(ch.BlockSize(), 512);

    ch.connected = true;
    ch.SetIdentity(0x0C45, 0x7643, 0x92, 0xFF1C);
    EXPECT_FALSE(ch.IsConnected());
    EXPECT_EQ(ch.ProductId(), 0x7643);
    EXPECT_EQ(ch.UsagePage(), 0xFF1C);
}

TEST(Commands, RefusedArgumentsSendNothing) {
    DeviceChannel ch; // even a connected channel would see no frame: the checks come first
    std::uint8_t buf[512] = {};
    EXPECT_EQ(cmd::ReadKeyBlock(ch, buf, 5), result::BadBlockIndex);
    EXPECT_EQ(cmd::WriteKeyBlock(ch, buf, 7, 126), result::BadBlockIndex);
    EXPECT_EQ(cmd::ReadMemory(ch, buf, 57, 0), result::BadLength);
    EXPECT_EQ(cmd::WriteMemory(ch, buf, 200, 0), result::BadLength);
    EXPECT_EQ(cmd::ReadMemory(ch, buf, 56, 0), result::NoAnswer); // not connected
}
