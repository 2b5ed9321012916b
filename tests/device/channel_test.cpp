// The device channel and the command functions against the emulator, run as its own process.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <numeric>
#include <thread>

#include "devsim.h"
#include "kavrel/device/protocol.h"

using namespace kavrel;
using kavrel::testing::Devsim;
using kavrel::testing::Frame;

namespace {

constexpr std::uint16_t kVendor = 0x0C45;
constexpr std::uint16_t kMouse = 0x7643;
constexpr std::uint16_t kKeyboard = 0x6556;

class DeviceTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> args) {
        sim = std::make_unique<Devsim>(std::move(args));
        ASSERT_TRUE(sim->ready()) << "kavrel-devsim did not start";
        hid::Roots r;
        r.virtualDir = sim->dir().string();
        r.hidraw = false;
        hid::setRoots(r);
    }
    void TearDown() override { hid::setRoots({}); }

    // What the presence watcher does: first path of the vendor that opens and matches.
    static bool connect(DeviceChannel& ch, std::uint16_t pid) {
        ch.SetIdentity(kVendor, pid, 0x92, 0xFF1C);
        HidDevice& d = ch.Device();
        if (!d.EnumerateInterfaces()) return false;
        while (auto p = d.NextInterfacePath()) {
            if (VendorIdFromPath(*p) != kVendor) continue;
            if (!d.Open(*p, true, true, true, false)) continue;
            const HidAttributes a = d.Attributes();
            const HidCaps c = d.Capabilities();
            if (a.vendorId == kVendor && a.productId == pid && c.usagePage == 0xFF1C && c.usage == 0x92) {
                ch.connected = true;
                d.FreeInterfacePaths();
                return true;
            }
            d.Close();
        }
        d.FreeInterfacePaths();
        return false;
    }

    // Path of a device's collection with the given top-level usage page.
    static std::string collectionPath(std::uint16_t pid, std::uint16_t usagePage) {
        HidDevice d;
        d.EnumerateInterfaces();
        while (auto p = d.NextInterfacePath()) {
            if (ProductIdFromPath(*p) != pid || !d.Open(*p, true, false, true, false)) continue;
            if (d.Capabilities().usagePage == usagePage) return *p;
        }
        return {};
    }

    std::unique_ptr<Devsim> sim;
};

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return v;
}

std::vector<std::pair<int, int>> lengthsAndAddresses(const std::vector<Frame>& frames, std::uint8_t command) {
    std::vector<std::pair<int, int>> out;
    for (const Frame& f : frames)
        if (f.out.size() >= 8 && f.out[3] == command) out.emplace_back(f.out[4], f.out[5] | f.out[6] << 8);
    return out;
}

} // namespace

TEST_F(DeviceTest, CommandsReachTheDeviceMemory) {
    start({"--device", "mouse"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));

    EXPECT_EQ(cmd::Begin(ch), 1);
    DeviceInfoBlock info;
    ASSERT_EQ(cmd::ReadInformation(ch, info), 1);
    EXPECT_EQ(info.keySlots(), 8);
    EXPECT_EQ(info.sensorId(), 0x3389);

    const auto record = pattern(54, 0x11);
    ASSERT_EQ(cmd::WriteMemory(ch, record.data(), record.size(), 2 * 64), 1);
    std::vector<std::uint8_t> back(56);
    ASSERT_EQ(cmd::ReadMemory(ch, back.data(), back.size(), 2 * 64), 1);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), back.begin()));
    const std::uint8_t active = 2;
    ASSERT_EQ(cmd::WriteMemory(ch, &active, 1, 0), 1);

    const auto block = pattern(126, 0x40);
    ASSERT_EQ(cmd::WriteKeyBlock(ch, block.data(), 2, block.size()), 1);
    std::vector<std::uint8_t> table(512);
    ASSERT_EQ(cmd::ReadKeyBlock(ch, table.data(), 2), 1); // 512 bytes from block 2 on
    EXPECT_TRUE(std::equal(block.begin(), block.end(), table.begin()));

    const auto light = pattern(378, 0x03);
    const auto macro = pattern(300, 0x55);
    const auto recoil = pattern(100, 0x77);
    EXPECT_EQ(cmd::WriteLightingFrame(ch, light.data(), light.size()), 1);
    EXPECT_EQ(cmd::WriteMacroImage(ch, macro.data(), macro.size()), 1);
    EXPECT_EQ(cmd::WriteRecoilData(ch, recoil.data(), recoil.size()), 1);
    EXPECT_EQ(cmd::End(ch), 1);

    const std::string dump = sim->dump();
    auto area = [&](const char* name) {
        const std::string s = Devsim::section(dump, "mouse");
        const std::string key = std::string("\"") + name + "\": \"";
        const auto a = s.find(key) + key.size();
        return Devsim::unhex(std::string_view(s).substr(a, s.find('"', a) - a));
    };
    const auto records = area("records");
    ASSERT_GE(records.size(), 3u * 64);
    EXPECT_EQ(records[0], 2);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), records.begin() + 128));
    const auto keyBlocks = area("keyBlocks");
    ASSERT_GE(keyBlocks.size(), 378u);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), keyBlocks.begin() + 252));
    const auto lighting = area("lighting");
    ASSERT_GE(lighting.size(), light.size());
    EXPECT_TRUE(std::equal(light.begin(), light.end(), lighting.begin()));
    const auto macroArea = area("macro");
    ASSERT_GE(macroArea.size(), macro.size());
    EXPECT_TRUE(std::equal(macro.begin(), macro.end(), macroArea.begin()));
    const auto recoilArea = area("recoil");
    ASSERT_GE(recoilArea.size(), recoil.size());
    EXPECT_TRUE(std::equal(recoil.begin(), recoil.end(), recoilArea.begin()));

    // What reached the device: whole 64-byte frames with a valid checksum, chunked as planned.
    const auto frames = sim->frames("mouse");
    for (const Frame& f : frames) {
        ASSERT_EQ(f.out.size(), 64u);
        EXPECT_EQ(f.out[0], 0x04);
        EXPECT_EQ(frameChecksum(std::span<const std::uint8_t, 64>(f.out.data(), 64)), f.out[1] | f.out[2] << 8);
    }
    using P = std::vector<std::pair<int, int>>;
    EXPECT_EQ(lengthsAndAddresses(frames, command::WriteKeyBlock), (P{{56, 252}, {56, 308}, {14, 364}}));
    EXPECT_EQ(lengthsAndAddresses(frames, command::ReadKeyBlock).size(), 10u);
    EXPECT_EQ(lengthsAndAddresses(frames, command::WriteLightingFrame).back(), (std::pair<int, int>{42, 336}));
    EXPECT_EQ(lengthsAndAddresses(frames, command::WriteMemory), (P{{54, 128}, {1, 0}}));
    EXPECT_EQ(frames.back().out[3], command::End);

    // Restore defaults: one exchange, the device's records are factory ones again.
    EXPECT_EQ(cmd::RestoreDefaults(ch), 1);
    const auto restored = sim->memory("mouse", "records");
    ASSERT_GE(restored.size(), 3u * 64);
    EXPECT_FALSE(std::equal(record.begin(), record.end(), restored.begin() + 128));
    EXPECT_EQ(sim->frames("mouse").size(), frames.size() + 1);
}

TEST_F(DeviceTest, KeyboardKeyTableReadUsesTheBlockSize) {
    start({"--device", "keyboard", "--key-slots", "42"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kKeyboard));
    DeviceInfoBlock info;
    ASSERT_EQ(cmd::ReadInformation(ch, info), 1);
    ASSERT_TRUE(ch.SetBlockSize(static_cast<std::uint16_t>(3 * info.keySlots())));
    std::vector<std::uint8_t> table(126);
    ASSERT_EQ(cmd::ReadKeyTable(ch, table.data()), 1);
    const auto frames = sim->frames("keyboard");
    EXPECT_EQ(lengthsAndAddresses(frames, command::ReadKeyTable),
              (std::vector<std::pair<int, int>>{{56, 0}, {56, 56}, {14, 112}}));
    const auto defaults = sim->memory("keyboard", "defaultKeys");
    ASSERT_GE(defaults.size(), table.size());
    EXPECT_TRUE(std::equal(table.begin(), table.end(), defaults.begin()));
}

TEST_F(DeviceTest, AnswerOnTheThirdWrite) {
    start({"--device", "mouse", "--no-answer-first", "2"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    // A header-only request: the channel pads it to a whole frame.
    const DeviceReport info = makeFrame(command::ReadInformation, kInfoBlockSize, 0);
    std::uint8_t answer[64] = {};
    std::size_t got = 0;
    EXPECT_EQ(ch.Transact(info.bytes.data(), 8, answer, sizeof answer, &got), 1);
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(answer[3], command::ReadInformation);
    const auto frames = sim->frames("mouse");
    ASSERT_EQ(frames.size(), 3u);
    for (const Frame& f : frames) EXPECT_EQ(f.out, std::vector<std::uint8_t>(info.bytes.begin(), info.bytes.end()));
    EXPECT_TRUE(frames[0].in.empty());
    EXPECT_TRUE(frames[1].in.empty());
    EXPECT_FALSE(frames[2].in.empty());
}

TEST_F(DeviceTest, NoAnswerAfterFourAttemptsKeepsTheConnection) {
    start({"--device", "mouse", "--no-answer"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    EXPECT_EQ(cmd::Begin(ch), 0);
    EXPECT_EQ(sim->frames("mouse").size(), 4u);
    EXPECT_EQ(cmd::RestoreDefaults(ch), 0); // a single exchange, no retry
    EXPECT_EQ(sim->frames("mouse").size(), 5u);
    EXPECT_TRUE(ch.IsConnected());
    EXPECT_NE(ch.Device().DevicePath(), " ");
}

TEST_F(DeviceTest, FailedWriteDisconnectsExceptForLightingFrames) {
    start({"--device", "mouse", "--fail-write", "1", "--fail-write", "2"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    const std::string path = ch.Device().DevicePath();

    const auto light = pattern(378, 1);
    EXPECT_EQ(cmd::WriteLightingFrame(ch, light.data(), light.size()), -1);
    EXPECT_TRUE(ch.IsConnected());
    EXPECT_EQ(ch.Device().DevicePath(), path);

    EXPECT_EQ(cmd::Begin(ch), -1);
    EXPECT_FALSE(ch.IsConnected());
    EXPECT_EQ(ch.Device().DevicePath(), " ");
    EXPECT_FALSE(hid::probeInterface(ch.Device().DevicePath())); // the watcher's next probe fails
    EXPECT_EQ(sim->frames("mouse").size(), 2u);                  // no retry after a failed send
}

TEST_F(DeviceTest, DeviceStatusStopsAChunkedWrite) {
    struct Case {
        const char* option;
        int expected;
    };
    for (const Case c : {Case{"--status-fe", result::StatusFE}, Case{"--status-ff", result::StatusFF}}) {
        start({"--device", "keyboard", c.option, "3"});
        DeviceChannel ch;
        ASSERT_TRUE(connect(ch, kKeyboard));
        const auto block = pattern(318, 9); // 106 key slots: six chunks
        EXPECT_EQ(cmd::WriteKeyBlock(ch, block.data(), 0, block.size()), c.expected) << c.option;
        EXPECT_EQ(sim->frames("keyboard").size(), 3u) << c.option;
        sim.reset();
    }
}

TEST_F(DeviceTest, RefusedOrDisconnectedCommandsSendNothing) {
    start({"--device", "mouse"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    std::vector<std::uint8_t> buf(512);
    EXPECT_EQ(cmd::ReadKeyBlock(ch, buf.data(), 5), result::BadBlockIndex);
    EXPECT_EQ(cmd::WriteKeyBlock(ch, buf.data(), 5, 126), result::BadBlockIndex);

    ch.connected = false; // open, but not (or no longer) verified
    DeviceInfoBlock info;
    const std::vector<std::pair<const char*, int>> results = {
        {"begin", cmd::Begin(ch)},
        {"end", cmd::End(ch)},
        {"information", cmd::ReadInformation(ch, info)},
        {"read memory", cmd::ReadMemory(ch, buf.data(), 56, 0)},
        {"write memory", cmd::WriteMemory(ch, buf.data(), 56, 0)},
        {"key table", cmd::ReadKeyTable(ch, buf.data())},
        {"read key block", cmd::ReadKeyBlock(ch, buf.data(), 0)},
        {"write key block", cmd::WriteKeyBlock(ch, buf.data(), 0, 126)},
        {"restore", cmd::RestoreDefaults(ch)},
        {"lighting", cmd::WriteLightingFrame(ch, buf.data(), 378)},
        {"macro", cmd::WriteMacroImage(ch, buf.data(), 512)},
        {"recoil", cmd::WriteRecoilData(ch, buf.data(), 100)},
    };
    for (const auto& [name, r] : results) EXPECT_EQ(r, 0) << name;
    EXPECT_TRUE(sim->frames("mouse").empty());
}

TEST_F(DeviceTest, LateAnswerIsNeverTakenForTheNextRequest) {
    start({"--device", "mouse", "--late-answer", "2"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    const auto record = pattern(56, 0xA0);
    ASSERT_EQ(cmd::WriteMemory(ch, record.data(), record.size(), 64), 1); // frame 1
    std::vector<std::uint8_t> first(56);
    ASSERT_EQ(cmd::ReadMemory(ch, first.data(), first.size(), 0), 1); // frames 2 (late) and 3
    std::this_thread::sleep_for(std::chrono::milliseconds(400));     // the late answer is in by now
    std::vector<std::uint8_t> second(56);
    ASSERT_EQ(cmd::ReadMemory(ch, second.data(), second.size(), 64), 1);
    EXPECT_EQ(second, record);
}

TEST_F(DeviceTest, UnplugDisconnectsAndPlugReconnects) {
    start({"--device", "mouse", "--disconnect-after", "1"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    const std::string path = ch.Device().DevicePath();
    EXPECT_TRUE(hid::probeInterface(path));
    EXPECT_EQ(cmd::Begin(ch), 1);
    for (int i = 0; i < 200 && hid::probeInterface(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(hid::probeInterface(path));
    EXPECT_EQ(cmd::Begin(ch), -1);
    EXPECT_FALSE(ch.IsConnected());

    ASSERT_TRUE(sim->command("plug mouse"));
    ASSERT_TRUE(connect(ch, kMouse));
    EXPECT_EQ(cmd::Begin(ch), 1);
}

TEST_F(DeviceTest, EnumerationListsEveryCollectionAndMatchesTheIdentity) {
    start({"--device", "mouse", "--device", "keyboard", "--device", "pad", "--device", "foreign"});
    HidDevice d;
    ASSERT_TRUE(d.EnumerateInterfaces());
    EXPECT_GT(d.PathCount(), 8u); // more than the first list holds
    EXPECT_EQ(d.PathCapacity(), d.PathCount() <= 16 ? 16u : 32u);
    std::vector<std::string> paths;
    while (auto p = d.NextInterfacePath()) paths.push_back(*p);
    ASSERT_EQ(paths.size(), d.PathCount());
    EXPECT_FALSE(d.NextInterfacePath());
    std::map<std::uint16_t, int> perProduct;
    for (const std::string& p : paths) {
        EXPECT_EQ(VendorIdFromPath(p), kVendor) << p;
        const int col = hid::parseInterfacePath(p).collection;
        EXPECT_EQ(col, ++perProduct[ProductIdFromPath(p)]) << "collections of a node in order: " << p;
    }
    EXPECT_EQ(perProduct.size(), 4u);
    ASSERT_TRUE(d.EnumerateInterfaces()); // the iteration starts again
    EXPECT_EQ(d.NextInterfacePath(), paths.front());

    // Right vendor, wrong product: opened, not accepted.
    sim = std::make_unique<Devsim>(std::vector<std::string>{"--device", "foreign"});
    ASSERT_TRUE(sim->ready());
    hid::Roots r;
    r.virtualDir = sim->dir().string();
    r.hidraw = false;
    hid::setRoots(r);
    DeviceChannel ch;
    EXPECT_FALSE(connect(ch, kMouse));
    EXPECT_FALSE(ch.Device().IsOpen());
    EXPECT_FALSE(ch.IsConnected());
}

TEST_F(DeviceTest, CollectionsOfOneDeviceAreDemultiplexed) {
    start({"--device", "mouse"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    HidDevice consumer, pointer;
    ASSERT_TRUE(consumer.Open(collectionPath(kMouse, 0x0C), true, false, true, false));
    ASSERT_TRUE(pointer.Open(collectionPath(kMouse, 0x01), true, false, true, false));
    const HidCaps caps = consumer.Capabilities();
    EXPECT_EQ(caps.usage, 1);

    ASSERT_TRUE(sim->command("announce mouse 0x401"));
    DeviceInfoBlock info; // the vendor collection skips the consumer reports
    ASSERT_EQ(cmd::ReadInformation(ch, info), 1);
    EXPECT_EQ(info.sensorId(), 0x3389);

    std::vector<std::uint8_t> report(caps.inputReportByteLength);
    std::size_t got = 0;
    ASSERT_TRUE(consumer.ReadReport(report.size(), report.data(), 2000, &got));
    EXPECT_EQ(got, report.size());
    ASSERT_TRUE(consumer.UnpackInputReport(report.data(), got, consumer.InputReport().items));
    ASSERT_FALSE(consumer.InputReport().items.empty());
    const HidReportItem& first = consumer.InputReport().items[0];
    EXPECT_TRUE(first.isSet);
    EXPECT_EQ(first.usageList[0], 0x401);
    // Then the release: no usage set.
    ASSERT_TRUE(consumer.ReadReport(report.size(), report.data(), 2000, &got));
    ASSERT_TRUE(consumer.UnpackInputReport(report.data(), got, consumer.InputReport().items));
    EXPECT_EQ(consumer.InputReport().items[0].usageList[0], 0);

    std::vector<std::uint8_t> other(64);
    EXPECT_FALSE(pointer.ReadReport(other.size(), other.data(), 200)); // nothing of its own came

    // Access is as opened: a read-only opening of the vendor collection sends nothing.
    HidDevice readOnly;
    ASSERT_TRUE(readOnly.Open(ch.Device().DevicePath(), true, false, true, false));
    const DeviceReport begin = makeFrame(command::Begin, 0, 0);
    EXPECT_FALSE(readOnly.WriteReport(64, begin.bytes.data(), 1000));
    EXPECT_EQ(sim->frames("mouse").size(), 1u);
}

TEST_F(DeviceTest, CloseAndOpenReleaseAWaitingRead) {
    start({"--device", "mouse"});
    const std::string path = collectionPath(kMouse, 0x0C);
    HidDevice consumer;
    ASSERT_TRUE(consumer.Open(path, true, false, true, false));
    for (int round = 0; round < 2; ++round) {
        std::atomic<int> result{-1};
        std::thread reader([&] {
            std::uint8_t buf[64];
            result = consumer.ReadReport(sizeof buf, buf, kInfiniteTimeout) ? 1 : 0;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(result.load(), -1) << "the read waits";
        bool reopened = true;
        if (round == 0) {
            consumer.Close();
        } else {
            reopened = consumer.Open(path, true, false, true, false); // Open also releases it
        }
        reader.join();
        EXPECT_EQ(result.load(), 0);
        ASSERT_TRUE(reopened);
        if (round == 0) {
            ASSERT_TRUE(consumer.Open(path, true, false, true, false));
        }
    }
    // The reopened collection reads normally.
    ASSERT_TRUE(sim->command("announce mouse 0x402"));
    std::uint8_t buf[64];
    EXPECT_TRUE(consumer.ReadReport(sizeof buf, buf, 2000));
}

TEST_F(DeviceTest, ConcurrentExchangesKeepTheirOwnAnswers) {
    start({"--device", "mouse"});
    DeviceChannel ch;
    ASSERT_TRUE(connect(ch, kMouse));
    std::vector<std::vector<std::uint8_t>> records;
    for (int p = 0; p < 5; ++p) {
        records.push_back(pattern(56, static_cast<std::uint8_t>(0x20 * p + 1)));
        ASSERT_EQ(cmd::WriteMemory(ch, records[p].data(), 56, static_cast<std::uint16_t>(64 * p)), 1);
    }
    const std::string path = ch.Device().DevicePath();
    std::atomic<int> lightingFailures{0}, readFailures{0}, mismatches{0};
    std::thread lighting([&] {
        const auto frame = pattern(378, 5);
        for (int i = 0; i < 20; ++i)
            if (cmd::WriteLightingFrame(ch, frame.data(), frame.size()) != 1) ++lightingFailures;
    });
    std::thread watcher([&] {
        for (int i = 0; i < 10; ++i) {
            {
                std::lock_guard lock(ch.TransactionLock());
                if (!hid::probeInterface(path)) ++readFailures;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    for (int i = 0; i < 40; ++i) {
        const int p = i % 5;
        std::vector<std::uint8_t> got(56);
        if (cmd::ReadMemory(ch, got.data(), 56, static_cast<std::uint16_t>(64 * p)) != 1) {
            ++readFailures;
        } else if (got != records[p]) {
            ++mismatches;
        }
    }
    lighting.join();
    watcher.join();
    EXPECT_EQ(lightingFailures.load(), 0);
    EXPECT_EQ(readFailures.load(), 0);
    EXPECT_EQ(mismatches.load(), 0);
}
