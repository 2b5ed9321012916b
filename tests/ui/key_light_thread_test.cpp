// SetLightState comes from the lighting threads while the UI thread paints the key.
#include "kavrel/ui/controls.h"

#include "kavrel/skin/testing.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <atomic>
#include <thread>

namespace kavrel::ui {
namespace {

TEST(KeyLightThreadTest, LightStateFromAWorkerWhileTheUiPaints) {
    skin::testing::ensureApp();
    CDeviceKeyButtonUI key;
    key.setAttribute("lightimage", "missing-light.png");
    QWidget* w = key.widget();
    w->resize(40, 40);

    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) key.SetLightState(static_cast<std::uint32_t>(i), i & 0xFF, i & 1);
        key.SetLightState(0x123456, 77, 1);
        done = true;
    });
    while (!done) (void)w->grab();
    worker.join();
    EXPECT_EQ(key.lightColor(), 0x123456u);
    EXPECT_EQ(key.lightLevel(), 77);
    EXPECT_TRUE(key.isLightShown());
    EXPECT_FALSE(w->grab().toImage().isNull());
}

} // namespace
} // namespace kavrel::ui
