// Timer 2 against the emulator: changed live settings reach the device at most once per tick.
#include "app_fixture.h"

#include "../device/devsim.h"

#include "kavrel/device/hid_device.h"
#include "kavrel/hid/hid.h"
#include "kavrel/lighting/live.h"
#include "kavrel/mouse/live.h"

#include <algorithm>
#include <cstring>

namespace kavrel::app::test {
namespace {

class WriteBackTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        sim = std::make_unique<kavrel::testing::Devsim>(std::vector<std::string>{"--device", "mouse"});
        ASSERT_TRUE(sim->ready());
        hid::Roots r;
        r.virtualDir = sim->dir().string();
        r.hidraw = false;
        hid::setRoots(r);
        mouse::resetMouseState();
    }
    void TearDown() override {
        AppTest::TearDown();
        hid::setRoots({});
    }

    // What the presence watcher will do: open the mouse's vendor collection on its channel.
    bool connectMouse() {
        DeviceChannel& ch = window->mouseChannel();
        HidDevice& d = ch.Device();
        if (!d.EnumerateInterfaces())
            return false;
        while (auto p = d.NextInterfacePath()) {
            if (!d.Open(*p, true, true, true, false))
                continue;
            if (d.Attributes().productId == ch.ProductId() && d.Capabilities().usagePage == ch.UsagePage() &&
                d.Capabilities().usage == ch.Usage()) {
                ch.connected = true;
                d.FreeInterfacePaths();
                return true;
            }
            d.Close();
        }
        d.FreeInterfacePaths();
        return false;
    }

    std::vector<kavrel::testing::Frame> writes() {
        auto frames = sim->frames("mouse");
        std::erase_if(frames, [](const kavrel::testing::Frame& f) { return f.out.size() < 8 || f.out[3] != 0x06; });
        return frames;
    }

    std::unique_ptr<kavrel::testing::Devsim> sim;
};

TEST_F(WriteBackTest, ManyChangesBetweenTicksWriteOneBlock) {
    start();
    ASSERT_TRUE(connectMouse());
    auto& live = mouse::liveMouseSettings();
    auto* bytes = reinterpret_cast<std::uint8_t*>(&live);
    for (int i = 0; i < 50; ++i) {
        bytes[i % sizeof(live)] = static_cast<std::uint8_t>(i + 1);
        window->markPendingWrite(DeviceKind::Mouse);
    }
    ASSERT_TRUE(st::waitUntil([this] { return window->pendingWrite(DeviceKind::Mouse).load() == 0; }));
    st::processEvents(350);   // several more ticks, nothing new to write
    auto w = writes();
    ASSERT_EQ(w.size(), 1u);
    // Zero-filled 56-byte block at address 0, the settings record at its start.
    const auto& f = w[0].out;
    EXPECT_EQ(f[4], 56);
    EXPECT_EQ(f[5] | f[6] << 8, 0);
    EXPECT_TRUE(std::equal(bytes, bytes + sizeof(live), f.begin() + 8));
    EXPECT_TRUE(std::all_of(f.begin() + 8 + static_cast<long>(sizeof(live)), f.begin() + 64, [](auto b) { return b == 0; }));

    window->markPendingWrite(DeviceKind::Mouse);
    ASSERT_TRUE(st::waitUntil([this] { return writes().size() == 2; }));
}

TEST_F(WriteBackTest, AFailedWriteIsNotRetried) {
    start();
    // The keyboard is not connected: its write fails, and the flag is cleared all the same.
    window->markPendingWrite(DeviceKind::Keyboard);
    ASSERT_TRUE(st::waitUntil([this] { return window->pendingWrite(DeviceKind::Keyboard).load() == 0; }));
    st::processEvents(250);
    EXPECT_EQ(window->pendingWrite(DeviceKind::Keyboard).load(), 0u);
}

} // namespace
} // namespace kavrel::app::test
