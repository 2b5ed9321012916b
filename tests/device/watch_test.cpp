// The mouse presence watcher and the consumer-report threads against kavrel-devsim, run as its
// own process, with a window that records what the workers hand to it.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "devsim.h"
#include "kavrel/device/protocol.h"
#include "kavrel/device/workers.h"
#include "watch_window.h"

using namespace kavrel;
using kavrel::testing::Devsim;
using kavrel::testing::WatchWindow;
using namespace std::chrono_literals;

namespace {

// One worker on its own thread. Stopping sets its exit event and waits for the body to return;
// a body that does not return in time is a failure (and is left behind).
class RunningWorker {
public:
    using Body = void (*)(WorkerWindow&, ExitEvent&);
    RunningWorker(Body body, WorkerWindow& window) {
        exit_.reset();
        thread_ = std::thread([this, body, &window] {
            body(window, exit_);
            std::lock_guard lock(m_);
            ended_ = true;
            cv_.notify_all();
        });
    }
    ~RunningWorker() { stop(); }

    bool ended() {
        std::lock_guard lock(m_);
        return ended_;
    }
    bool stop(std::chrono::milliseconds deadline = 5s) {
        if (!thread_.joinable()) return true;
        exit_.set();
        std::unique_lock lock(m_);
        const bool ended = cv_.wait_for(lock, deadline, [&] { return ended_; });
        lock.unlock();
        if (ended) {
            thread_.join();
        } else {
            ADD_FAILURE() << "worker did not stop";
            thread_.detach();
        }
        return ended;
    }

private:
    ExitEvent exit_;
    std::mutex m_;
    std::condition_variable cv_;
    bool ended_ = false;
    std::thread thread_;
};

const std::vector<std::string> kAcceptance = {"select-profile ms", "timer 8 500", "show ms_tab",
                                              "select ms_tab", "hook", "show ms_tab_panel"};

class WatchTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> args) {
        sim = std::make_unique<Devsim>(std::move(args));
        ASSERT_TRUE(sim->ready()) << "kavrel-devsim did not start";
        hid::Roots r;
        r.virtualDir = sim->dir().string();
        r.hidraw = false;
        hid::setRoots(r);
    }
    void TearDown() override {
        workers.clear();
        window.reset();
        hid::setRoots({});
    }
    void run(RunningWorker::Body body) { workers.push_back(std::make_unique<RunningWorker>(body, *window)); }
    DeviceChannel& mouse() { return window->Channel(DeviceKind::Mouse); }

    std::unique_ptr<Devsim> sim;
    std::unique_ptr<WatchWindow> window = std::make_unique<WatchWindow>();
    std::vector<std::unique_ptr<RunningWorker>> workers;
};

TEST_F(WatchTest, MousePresentAtStartConnectsInTheFirstCycleAndWakesTheWindow) {
    start({"--device", "mouse"});
    run(MousePresenceWatcher);
    ASSERT_TRUE(window->waitFor("post wake"));
    EXPECT_TRUE(mouse().IsConnected());
    EXPECT_EQ(ProductIdFromPath(mouse().Device().DevicePath()), 0x7643);
    // The window changes run in their order, and the wake message comes after them.
    std::vector<std::string> expected = kAcceptance;
    expected.push_back("post wake");
    EXPECT_EQ(window->events(), expected);
    EXPECT_EQ(window->offThreadUiCalls(), 0);

    // A connected mouse is only probed; without another device the shared-mode switch is hidden.
    std::this_thread::sleep_for(3200ms);
    expected.push_back("hide ms_deng_same_mode");
    EXPECT_EQ(window->events(), expected);
    EXPECT_TRUE(workers[0]->stop());
}

TEST_F(WatchTest, MousePluggedInLaterConnectsWithoutWakingTheWindow) {
    start({"--device", "mouse"});
    ASSERT_TRUE(sim->command("unplug mouse"));
    run(MousePresenceWatcher);
    std::this_thread::sleep_for(700ms); // the first cycle found nothing
    EXPECT_FALSE(mouse().IsConnected());
    ASSERT_TRUE(sim->command("plug mouse"));
    ASSERT_TRUE(window->waitFor("show ms_tab_panel"));
    EXPECT_TRUE(mouse().IsConnected());
    EXPECT_EQ(window->events(), kAcceptance);
    EXPECT_EQ(window->count("post wake"), 0u);
}

TEST_F(WatchTest, InterfacesOfAnotherProductAreClosedAndSkipped) {
    start({"--device", "foreign", "--device", "mouse"});
    ASSERT_TRUE(sim->command("unplug mouse"));
    run(MousePresenceWatcher);
    std::this_thread::sleep_for(1700ms); // two enumeration cycles over the foreign device only
    EXPECT_FALSE(mouse().IsConnected());
    EXPECT_FALSE(mouse().Device().IsOpen());
    EXPECT_TRUE(window->events().empty());

    // With the mouse back, the foreign paths are passed over and the mouse is taken.
    ASSERT_TRUE(sim->command("plug mouse"));
    ASSERT_TRUE(window->waitFor("show ms_tab_panel"));
    EXPECT_EQ(ProductIdFromPath(mouse().Device().DevicePath()), 0x7643);
    EXPECT_EQ(mouse().Device().Attributes().productId, 0x7643);
}

TEST_F(WatchTest, LosingTheMouseHidesItsTabAndTellsTheWindowOncePerLoss) {
    start({"--device", "mouse"});
    run(MousePresenceWatcher);
    ASSERT_TRUE(window->waitFor("post wake"));
    mouse().sync = true;
    window->clear();

    ASSERT_TRUE(sim->command("unplug mouse"));
    ASSERT_TRUE(window->waitFor("post 3077"));
    EXPECT_FALSE(mouse().IsConnected());
    EXPECT_FALSE(mouse().sync.load());
    EXPECT_EQ(window->events(), (std::vector<std::string>{"hide ms_tab", "post 3077"}));
    std::this_thread::sleep_for(1700ms); // a further cycle without the mouse says nothing
    EXPECT_EQ(window->count("post 3077"), 1u);

    ASSERT_TRUE(sim->command("plug mouse"));
    ASSERT_TRUE(window->waitFor("show ms_tab_panel"));
    ASSERT_TRUE(sim->command("unplug mouse"));
    ASSERT_TRUE(window->waitFor("post 3077", 2));
    EXPECT_EQ(window->count("post wake"), 0u);
}

TEST_F(WatchTest, LosingTheMouseWhileAnotherDeviceIsConnectedSelectsThatDevice) {
    struct Case {
        DeviceKind other;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {DeviceKind::Keyboard, {"hide ms_tab", "select kb_tab", "focus kb_tab", "show kb_tab"}},
        {DeviceKind::Pad, {"hide ms_tab", "select mp_tab", "focus mp_tab"}},
    };
    start({"--device", "mouse"});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(devicePrefix(c.other)));
        window->Channel(c.other).connected = true; // as a watcher of that device would have set it
        run(MousePresenceWatcher);
        ASSERT_TRUE(window->waitFor("show ms_tab_panel"));
        // While the other device is there, the probe shows the shared-mode switch.
        ASSERT_TRUE(window->waitFor("show ms_deng_same_mode"));
        window->clear();
        ASSERT_TRUE(sim->command("unplug mouse"));
        ASSERT_TRUE(window->waitFor(c.steps.back()));
        EXPECT_EQ(window->events(), c.steps);
        EXPECT_EQ(window->count("post 3077"), 0u);

        workers.clear();
        window->Channel(c.other).connected = false;
        window->clear();
        ASSERT_TRUE(sim->command("plug mouse"));
    }
}

TEST_F(WatchTest, FailedSendBlanksThePathAndTheNextCycleReconnectsWithoutWaking) {
    start({"--device", "mouse", "--fail-write", "1"});
    run(MousePresenceWatcher);
    ASSERT_TRUE(window->waitFor("post wake"));
    window->clear();

    EXPECT_EQ(cmd::Begin(mouse()), -1);
    EXPECT_EQ(mouse().Device().DevicePath(), " ");
    ASSERT_TRUE(window->waitFor("show ms_tab_panel"));
    EXPECT_TRUE(mouse().IsConnected());
    EXPECT_EQ(ProductIdFromPath(mouse().Device().DevicePath()), 0x7643);
    EXPECT_EQ(window->events(), kAcceptance);
    EXPECT_EQ(cmd::Begin(mouse()), 1); // the reopened channel works
    EXPECT_EQ(window->count("post wake"), 0u);
}

// ---------------------------------------------------------------- consumer threads

class ConsumerTest : public WatchTest {
protected:
    void SetUp() override {
        start({"--device", "mouse", "--device", "keyboard"});
        run(MouseConsumerThread);
        run(KeyboardConsumerThread);
        waitOpen(DeviceKind::Mouse);
        waitOpen(DeviceKind::Keyboard);
    }
    // The thread holds its consumer collection open (not another collection it is passing over).
    static bool reading(DeviceKind d) {
        return ConsumerDevice(d).IsOpen() && ConsumerDevice(d).Capabilities().usagePage == 0x000C;
    }
    static void waitOpen(DeviceKind d) {
        for (int i = 0; i < 800 && !reading(d); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(reading(d));
    }
    // Sends the announcement, then a marker the thread certainly reports; returns what reached
    // the window up to the marker.
    std::vector<std::string> announce(const std::string& device, unsigned usage) {
        window->clear();
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", usage);
        EXPECT_TRUE(sim->command("announce " + device + " " + hex));
        EXPECT_TRUE(sim->command("announce " + device + " 0x402"));
        const std::string marker = device == "mouse" ? "send 2305" : "send 2817";
        EXPECT_TRUE(window->waitFor(marker, usage == 0x402 ? 2 : 1));
        std::vector<std::string> e = window->events();
        e.pop_back();
        return e;
    }
};

TEST_F(ConsumerTest, AnnouncementsBecomeMessagesAndTimers) {
    struct Case {
        const char* device;
        unsigned usage;
        bool mouseConnected;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"keyboard", 0x401, false, {"send 2818"}},
        {"keyboard", 0x402, false, {"send 2817"}},
        {"keyboard", 0x403, false, {}},
        {"keyboard", 0x0E9, false, {}},
        {"mouse", 0x401, true, {"timer 9 10"}},
        {"mouse", 0x401, false, {}}, // no settings read-back without a mouse channel
        {"mouse", 0x402, false, {"send 2305"}},
        {"mouse", 0x403, false, {}},
        {"mouse", 0x0CD, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " " + std::to_string(c.usage));
        mouse().connected = c.mouseConnected;
        gMouseEventFlags[0] = gMouseEventFlags[1] = 0;
        EXPECT_EQ(announce(c.device, c.usage), c.expected);
        const bool flash = std::string(c.device) == "mouse" && c.usage == 0x403;
        EXPECT_EQ(gMouseEventFlags[0].load(), flash ? 1u : 0u);
        EXPECT_EQ(gMouseEventFlags[1].load(), flash ? 1u : 0u);
    }
    mouse().connected = false;
}

TEST_F(ConsumerTest, ReadingResumesAfterTheDeviceCameBack) {
    ASSERT_TRUE(sim->command("unplug mouse"));
    for (int i = 0; i < 500 && ConsumerDevice(DeviceKind::Mouse).IsOpen(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(ConsumerDevice(DeviceKind::Mouse).IsOpen()); // the failed read saw it go
    ASSERT_TRUE(sim->command("plug mouse"));
    waitOpen(DeviceKind::Mouse);
    EXPECT_EQ(announce("mouse", 0x402), (std::vector<std::string>{"send 2305"}));
}

TEST_F(ConsumerTest, StoppingWakesThreadsBlockedInTheirRead) {
    // Both threads wait in a read without time-out on a device that stays silent.
    std::this_thread::sleep_for(100ms);
    for (auto& w : workers) EXPECT_FALSE(w->ended());
    for (auto& w : workers) EXPECT_TRUE(w->stop());
    EXPECT_FALSE(ConsumerDevice(DeviceKind::Mouse).IsOpen());
    EXPECT_FALSE(ConsumerDevice(DeviceKind::Keyboard).IsOpen());
}

TEST(ExitEventTest, SetReachesTheWakerAlsoWhenItCameFirst) {
    ExitEvent e;
    int woken = 0;
    e.setWaker([&] { ++woken; });
    e.set();
    EXPECT_EQ(woken, 1);
    e.setWaker({});
    e.set();
    EXPECT_EQ(woken, 1);
    // A stop that came before the worker installed its waker still wakes it.
    e.setWaker([&] { ++woken; });
    EXPECT_EQ(woken, 2);
    EXPECT_TRUE(e.wait(0ms));
    e.reset();
    EXPECT_FALSE(e.wait(1ms));
}

} // namespace
