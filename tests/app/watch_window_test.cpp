// The workers on the real main window (offscreen, the program's own skin) against kavrel-devsim
// run as its own process: detection, wake, loss, announcements and the shutdown wait.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "../device/devsim.h"
#include "kavrel/app/main_window.h"
#include "kavrel/app/messages.h"
#include "kavrel/app/window_workers.h"
#include "kavrel/device/workers.h"
#include "kavrel/os/folders.h"
#include "kavrel/os/ini.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/testing.h"
#include "kavrel/ui/controls.h"

using namespace kavrel;
using namespace kavrel::app;
using kavrel::testing::Devsim;
namespace fs = std::filesystem;
namespace st = kavrel::skin::testing;

namespace {

class WatchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = kavrel::testing::makeTempDir("watch-home");
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
        ::unsetenv("XDG_DOCUMENTS_DIR");
        os::setProgramFolder(fs::path(KAVREL_BINARY_DIR) / "bin");
        ASSERT_TRUE(st::ensureSkin(fs::path(KAVREL_SOURCE_DIR) / "skin"));
        ui::registerCustomControls();

        // Two device-settings profiles, the second one chosen last time.
        const fs::path ms = os::deviceFolder("ms") / "msProfile.ini";
        fs::create_directories(ms.parent_path());
        os::writeProfileString(ms, "PROFILEDEVICECOUNT", "count", "2");
        os::writeProfileString(ms, "PROFILEDEVICENAME", "0", "profile1");
        os::writeProfileString(ms, "PROFILEDEVICENAME", "1", "second");
        os::writeProfileString(ms, "PROFILEDEVICESELECT", "select", "1");

        sim = std::make_unique<Devsim>(std::vector<std::string>{"--device", "mouse", "--device", "keyboard"});
        ASSERT_TRUE(sim->ready());
        hid::Roots r;
        r.virtualDir = sim->dir().string();
        r.hidraw = false;
        hid::setRoots(r);
        installWorkerBodies();
    }
    void TearDown() override {
        if (window) window->StopWorkers();
        window.reset();
        st::processEvents();
        hid::setRoots({});
        os::setProgramFolder({});
        std::error_code ec;
        fs::remove_all(home_, ec);
    }

    bool optionSelected(const char* name) {
        auto* o = window->find<skin::Option>(QString::fromLatin1(name));
        return o && o->isSelected();
    }
    bool visible(const char* name) {
        auto* c = window->find(QString::fromLatin1(name));
        return c && c->isVisible();
    }
    bool shown() { return window->isVisible() && !window->isMinimized(); }
    // Both consumer threads hold their consumer collections open, waiting in their reads.
    static bool consumersReading() {
        for (DeviceKind d : {DeviceKind::Mouse, DeviceKind::Keyboard})
            if (!ConsumerDevice(d).IsOpen() || ConsumerDevice(d).Capabilities().usagePage != 0x000C) return false;
        return true;
    }

    fs::path home_;
    std::unique_ptr<Devsim> sim;
    std::unique_ptr<CMainWnd> window;
};

TEST_F(WatchWindowTest, ATypicalRunFromDetectionToShutdown) {
    window = std::make_unique<CMainWnd>();
    window->setTrayAvailable(true);
    std::atomic<int> readAll{0}, readSettings{0}, keyboardReadAll{0};
    window->setTimerBody(timer::kMouseReadAll, [&](CMainWnd&) { ++readAll; });
    window->setTimerBody(timer::kMouseReadSettings, [&](CMainWnd&) { ++readSettings; });
    window->setMessageBody(msg::kKeyboardReadAll, [&](CMainWnd&, std::uintptr_t, std::intptr_t) {
        ++keyboardReadAll;
        return std::intptr_t{0};
    });
    ASSERT_TRUE(window->Create());
    ASSERT_TRUE(st::showAndWait(*window));
    ASSERT_TRUE(window->workersStarted());

    // Present at start: connected in the first cycle, the stored selection restored, the mouse
    // page shown and the window brought out of the tray by the wake message.
    ASSERT_TRUE(st::waitUntil([&] { return window->mouseChannel().IsConnected() && shown(); }, 8000));
    auto* combo = window->find<skin::Combo>(QStringLiteral("ms_device_profile_combo"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentSel(), 1);
    EXPECT_TRUE(visible("ms_tab"));
    EXPECT_TRUE(optionSelected("ms_tab"));
    EXPECT_TRUE(visible("ms_tab_panel"));
    auto* pages = window->find<skin::TabLayout>(QStringLiteral("tab_switch"));
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->currentSel(), 1);
    ASSERT_TRUE(st::waitUntil([&] { return readAll.load() == 1; }));

    // Announcements reach the window through the consumer threads.
    ASSERT_TRUE(st::waitUntil(consumersReading));
    ASSERT_TRUE(sim->command("announce mouse 0x401"));
    ASSERT_TRUE(sim->command("announce keyboard 0x402"));
    EXPECT_TRUE(st::waitUntil([&] { return readSettings.load() == 1 && keyboardReadAll.load() == 1; }));

    // The only device goes: its tab is hidden and the window goes back to the tray.
    ASSERT_TRUE(sim->command("unplug mouse"));
    ASSERT_TRUE(st::waitUntil([&] { return !window->mouseChannel().IsConnected() && !visible("ms_tab"); }, 8000));
    EXPECT_TRUE(st::waitUntil([&] { return !shown(); }));

    // Back again: detected as before, but the window stays in the tray.
    ASSERT_TRUE(sim->command("plug mouse"));
    ASSERT_TRUE(st::waitUntil([&] { return window->mouseChannel().IsConnected() && visible("ms_tab"); }, 8000));
    EXPECT_TRUE(st::waitUntil([&] { return readAll.load() == 2; }));
    st::processEvents(200);
    EXPECT_FALSE(shown());

    // Shutdown with the mouse connected and both consumer threads blocked in their reads: every
    // worker ends well before the 10 s limit.
    ASSERT_TRUE(st::waitUntil(consumersReading));
    const auto t0 = std::chrono::steady_clock::now();
    window->StopWorkers();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("stop_workers_ms", static_cast<int>(ms));
    EXPECT_FALSE(window->workersLeftRunning());
    EXPECT_FALSE(ConsumerDevice(DeviceKind::Mouse).IsOpen());
    EXPECT_FALSE(ConsumerDevice(DeviceKind::Keyboard).IsOpen());
}

} // namespace
