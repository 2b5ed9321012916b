// Work handed to the UI thread from workers, notifications raised off the UI thread, and timers
// started and stopped from workers.
#include "skin_fixture.h"

#include <QThread>

#include <atomic>
#include <map>
#include <thread>

namespace kavrel::skin::test {
namespace {

class ThreadTest : public SkinTest {};

TEST_F(ThreadTest, PostedWorkRunsOnTheUiThreadInOrderPerSender) {
    constexpr int kThreads = 4, kEach = 500;
    std::map<int, std::vector<int>> seen;   // touched on the UI thread only
    std::atomic<int> wrongThread{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                postToUi([&, t, i] {
                    if (!isUiThread()) ++wrongThread;
                    seen[t].push_back(i);
                });
        });
    for (auto& w : workers) w.join();
    ASSERT_TRUE(testing::waitUntil([&] {
        size_t n = 0;
        for (auto& [t, v] : seen) n += v.size();
        return n == size_t(kThreads * kEach);
    }));
    EXPECT_EQ(wrongThread, 0);
    for (auto& [t, v] : seen)
        for (int i = 0; i < kEach; ++i) ASSERT_EQ(v[size_t(i)], i) << "thread " << t;
}

TEST_F(ThreadTest, SendBlocksUntilDoneAndKeepsOrderWithPosts) {
    std::vector<int> order;   // UI thread only
    int sentValue = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        postToUi([&] { order.push_back(1); });
        postToUi([&] { order.push_back(2); });
        const bool ran = sendToUi([&] {
            order.push_back(3);
            sentValue = 42;
        });
        // The send has run when it returns: its write is visible here.
        EXPECT_TRUE(ran);
        EXPECT_EQ(sentValue, 42);
        done = true;
    });
    ASSERT_TRUE(testing::waitUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    // On the UI thread itself a send runs inline.
    bool inlineRan = false;
    EXPECT_TRUE(sendToUi([&] { inlineRan = true; }));
    EXPECT_TRUE(inlineRan);
}

TEST_F(ThreadTest, NotificationsFromAWorkerArriveOnTheUiThread) {
    RecordingWindow w;
    ASSERT_TRUE(w.create(write("t.xml", R"(<Window><VerticalLayout name="root"><Button name="b"/></VerticalLayout></Window>)")));
    std::vector<bool> onUi;
    w.onNotify = [&](const Notification& n) {
        if (n.is(notify::kClick)) onUi.push_back(isUiThread());
    };
    Control* b = w.find("b");
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) w.postNotify(b, notify::kClick);
    });
    worker.join();
    ASSERT_TRUE(testing::waitUntil([&] { return onUi.size() == 3; }));
    EXPECT_EQ(onUi, (std::vector<bool>{true, true, true}));
}

TEST_F(ThreadTest, TimersStartAndStopFromAnyThread) {
    RecordingWindow w;
    ASSERT_TRUE(w.create(write("t.xml", R"(<Window><VerticalLayout name="root"/></Window>)")));
    std::thread([&] {
        w.setTimer(8, 10);
        w.setTimer(9, 15);
    }).join();
    ASSERT_TRUE(testing::waitUntil([&] {
        return std::count(w.ticks.begin(), w.ticks.end(), 8) >= 3 && std::count(w.ticks.begin(), w.ticks.end(), 9) >= 2;
    }));
    std::thread([&] { w.killTimer(8); }).join();
    ASSERT_TRUE(testing::waitUntil([&] { return !w.hasTimer(8); }));
    const auto eights = std::count(w.ticks.begin(), w.ticks.end(), 8);
    testing::processEvents(60);
    EXPECT_EQ(std::count(w.ticks.begin(), w.ticks.end(), 8), eights) << "no tick after the kill";
    EXPECT_TRUE(w.hasTimer(9));

    // Restarting an id replaces its period; a one-shot stops itself from onTimer.
    class OneShot : public RecordingWindow {
    public:
        void onTimer(int id) override {
            RecordingWindow::onTimer(id);
            killTimer(id);
        }
    } once;
    once.setTimer(1, 5);
    testing::processEvents(60);
    EXPECT_EQ(once.ticks, (std::vector<int>{1}));
}

TEST_F(ThreadTest, WorkForAWindowThatIsGoneIsDropped) {
    auto* w = new RecordingWindow;
    ASSERT_TRUE(w->create(write("t.xml", R"(<Window><VerticalLayout name="root"><Button name="b"/></VerticalLayout></Window>)")));
    Control* b = w->find("b");
    std::thread([&] {
        w->setTimer(3, 1);
        w->postNotify(b, notify::kClick);
    }).join();
    delete w;
    testing::processEvents(20);   // the posted timer start and notification find no window
    SUCCEED();
}

} // namespace
} // namespace kavrel::skin::test
