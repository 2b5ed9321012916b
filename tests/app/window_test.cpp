// The main window: start-up, custom messages from other threads, timers, the wake procedure,
// tray clicks, menus and commands, caption buttons and tab switching.
#include "app_fixture.h"

#include "kavrel/app/messages.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/menu.h"
#include "kavrel/skin/thread.h"

#include <atomic>
#include <thread>

namespace kavrel::app::test {
namespace {

TEST_F(AppTest, WindowInitHidesTheWindowAndArmsTheTimers) {
    start();
    EXPECT_EQ(window->title(), "Drovik Morv TZ814");
    EXPECT_EQ(window->layoutSize(), QSize(800, 572));
    EXPECT_FALSE(window->isVisible());
    for (int id : {timer::kWriteBack, timer::kPreviewRepaint, timer::kKeyboardReadAll, timer::kPadReadAll})
        EXPECT_TRUE(window->HasTimer(id)) << id;
    EXPECT_EQ(window->mouseChannel().ProductId(), 0x7643);
    EXPECT_EQ(window->padChannel().ProductId(), 0x5004);
    EXPECT_EQ(window->keyboardChannel().ProductId(), 0x6556);
    EXPECT_EQ(window->keyboardChannel().UsagePage(), 0xFF1C);
    EXPECT_EQ(CMainWnd::instance(), window.get());
    // The one-shot reads stop after their tick. With the window hidden and nothing to write,
    // the repaint and the write-back sleep instead of waking the program ten times a second.
    ASSERT_TRUE(st::waitUntil([this] { return !window->HasTimer(timer::kKeyboardReadAll); }));
    EXPECT_FALSE(window->HasTimer(timer::kPadReadAll));
    EXPECT_FALSE(window->HasTimer(timer::kPreviewRepaint));
    EXPECT_FALSE(window->HasTimer(timer::kWriteBack));
    showNow();
    EXPECT_TRUE(window->HasTimer(timer::kPreviewRepaint));
    st::processEvents(250);
    EXPECT_TRUE(window->HasTimer(timer::kPreviewRepaint));   // re-armed on each tick while shown
    std::thread([this] { window->markPendingWrite(DeviceKind::Pad); }).join();
    ASSERT_TRUE(st::waitUntil([this] { return window->HasTimer(timer::kWriteBack); }));
    ASSERT_TRUE(st::waitUntil([this] { return window->pendingWrite(DeviceKind::Pad).load() == 0; }));
    ASSERT_TRUE(st::waitUntil([this] { return !window->HasTimer(timer::kWriteBack); }));
    // The device profile combos were filled from the factory files on this first run.
    auto* combo = window->find<skin::Combo>("ms_device_profile_combo");
    ASSERT_NE(combo, nullptr);
    EXPECT_GE(combo->count(), 1);
}

TEST_F(AppTest, MessagesFromAnotherThreadRunOnTheUiThreadInOrder) {
    start();
    std::vector<std::uintptr_t> order;
    bool allOnUi = true;
    window->setMessageBody(msg::kMouseReadAll, [&](CMainWnd&, std::uintptr_t w, std::intptr_t) -> std::intptr_t {
        allOnUi = allOnUi && skin::isUiThread();
        order.push_back(w);
        return static_cast<std::intptr_t>(w * 10);
    });
    std::intptr_t sent = 0;
    std::thread worker([&] {
        for (std::uintptr_t i = 1; i <= 3; ++i)
            window->PostMessage(msg::kMouseReadAll, i);
        sent = window->SendMessage(msg::kMouseReadAll, 4);   // blocks until handled
    });
    while (!st::waitUntil([&] { return order.size() == 4; }, 50)) {
    }
    worker.join();
    EXPECT_EQ(order, (std::vector<std::uintptr_t>{1, 2, 3, 4}));
    EXPECT_EQ(sent, 40);
    EXPECT_TRUE(allOnUi);
}

TEST_F(AppTest, ASendDuringShutdownReturnsWithoutBeingHandled) {
    start();
    bool handled = false;
    window->setMessageBody(msg::kKeyboardReadAll, [&](CMainWnd&, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        handled = true;
        return 1;
    });
    window->StopWorkers();
    std::intptr_t r = -1;
    std::thread worker([&] { r = window->SendMessage(msg::kKeyboardReadAll); });
    worker.join();   // would hang if the send waited for the UI thread
    st::processEvents(20);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(handled);
}

TEST_F(AppTest, ProgressIsShownAndHiddenASecondAfterTheDownloadEnds) {
    start();
    skin::Control* progress = window->find("setting_progress");
    ASSERT_NE(progress, nullptr);
    std::thread([this] { window->PostMessage(msg::kShowProgress); }).join();
    ASSERT_TRUE(st::waitUntil([&] { return progress->isVisible(); }));
    window->PostMessage(msg::kProgressDone);
    ASSERT_TRUE(st::waitUntil([&] { return window->HasTimer(timer::kHideProgress); }));
    EXPECT_TRUE(progress->isVisible());
    ASSERT_TRUE(st::waitUntil([&] { return !progress->isVisible(); }, 5000));
    EXPECT_FALSE(window->HasTimer(timer::kHideProgress));
}

TEST_F(AppTest, SuspendAndResumeSetKeyboardFrames) {
    start();
    bool handled = false;
    window->HandleCustomMessage(wm::kPowerBroadcast, wm::kSuspend, 0, handled);
    EXPECT_EQ(window->keyboardFramesEnabled.load(), 0u);
    window->HandleCustomMessage(wm::kPowerBroadcast, 7, 0, handled);   // other notices change nothing
    EXPECT_EQ(window->keyboardFramesEnabled.load(), 0u);
    window->HandleCustomMessage(wm::kPowerBroadcast, wm::kResume, 0, handled);
    EXPECT_EQ(window->keyboardFramesEnabled.load(), 1u);
}

TEST_F(AppTest, TimersStartAndStopFromAnyThread) {
    start();
    int ticks = 0;
    window->setTimerBody(timer::kMouseReadSettings, [&](CMainWnd&) { ++ticks; });
    std::thread([this] { window->SetTimer(timer::kMouseReadSettings, 10); }).join();
    ASSERT_TRUE(st::waitUntil([&] { return ticks > 0; }));
    st::processEvents(60);
    EXPECT_EQ(ticks, 1);   // a one-shot timer
    std::thread([this] { window->SetTimer(timer::kKeyboardReadAll, 100000); }).join();
    ASSERT_TRUE(st::waitUntil([this] { return window->HasTimer(timer::kKeyboardReadAll); }));
    std::thread([this] { window->KillTimer(timer::kKeyboardReadAll); }).join();
    ASSERT_TRUE(st::waitUntil([this] { return !window->HasTimer(timer::kKeyboardReadAll); }));
}

TEST_F(AppTest, WakeWithoutDeviceHidesAndShowsOneBoxForTwoWakes) {
    start();
    showNow();
    BoxWatcher boxes(8);
    boxes.whileFirstOpen = [this] {
        window->PostMessage(wakeMessage(), 0, 0);   // arrives while the first box is open
    };
    window->PostMessage(wakeMessage(), 0, 0);
    ASSERT_TRUE(st::waitUntil([&] { return boxes.boxes() >= 1 && !CMainWnd::isWakeBoxOpen(); }));
    st::processEvents(100);
    EXPECT_EQ(boxes.boxes(), 1);
    EXPECT_EQ(boxes.texts.at(0), skin::text("message_text_1"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(AppTest, WakeWithADeviceBringsTheWindowForward) {
    start();
    window->mouseChannel().connected = true;
    window->PostMessage(wakeMessage(), 0, 0);
    ASSERT_TRUE(st::waitUntil([this] { return window->isVisible() && !window->isMinimized(); }));
    window->mouseChannel().connected = false;
}

// Left clicks on the tray icon with a device connected: the window counts as shown when it is
// visible and not minimised, or hidden and minimised; a shown window is hidden, any other shown.
TEST_F(AppTest, TrayLeftClickTogglesTheWindow) {
    start();
    window->padChannel().connected = true;
    struct Case {
        const char* what;
        bool visible, minimised;
        bool shownAfter;
    };
    const Case cases[] = {
        {"visible", true, false, false},
        {"hidden", false, false, true},
        {"minimised", true, true, true},
    };
    for (const Case& c : cases) {
        if (c.visible) {
            showNow();
            if (c.minimised) {
                window->minimize();
                ASSERT_TRUE(st::waitUntil([this] { return window->isMinimized(); })) << c.what;
            }
        } else {
            window->hide();
            st::processEvents(20);
        }
        st::clickTray(window->trayIcon(), skin::TrayIcon::kLeftButtonUp);
        st::processEvents(30);
        EXPECT_EQ(window->isVisible() && !window->isMinimized(), c.shownAfter) << c.what;
        if (c.shownAfter) {
            EXPECT_TRUE(st::waitUntil([this] { return !window->HasTimer(timer::kShowRepaint); })) << c.what;
        }
    }
    window->padChannel().connected = false;
}

TEST_F(AppTest, TrayLeftClickWithoutDeviceHidesAndShowsTheBox) {
    start();
    showNow();
    BoxWatcher boxes;
    st::clickTray(window->trayIcon(), skin::TrayIcon::kLeftButtonUp);
    ASSERT_TRUE(st::waitUntil([&] { return boxes.boxes() == 1 && !CMainWnd::isTrayBoxOpen(); }));
    EXPECT_EQ(boxes.texts.at(0), skin::text("message_text_1"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(AppTest, WithoutATrayTheWindowIsMinimisedInsteadOfHidden) {
    start(false);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
}

TEST_F(AppTest, TrayMenuPutsExitOnTopWithTheTextOfTheLanguage) {
    start();
    struct Case {
        const char* language;
        QString text;
    };
    const Case cases[] = {{"0", "Close"}, {"1", "ZATVORI"}, {"2", ""}};
    for (const Case& c : cases) {
        writeMainIni("LANGUAGE", c.language);
        st::clickTray(window->trayIcon(), skin::TrayIcon::kRightButtonUp);
        skin::Menu* menu = window->heldMenu();
        ASSERT_NE(menu, nullptr);
        const auto items = menu->items();
        ASSERT_FALSE(items.empty());
        EXPECT_EQ(items.front().name, "exit") << c.language;
        EXPECT_EQ(items.front().text, c.text) << c.language;
        EXPECT_TRUE(menu->hasItem("lan_en"));
        menu->close();
    }
}

TEST_F(AppTest, TrayExitStopsTheWorkersAndQuits) {
    std::atomic<int> ran{0};
    setWorkerBody(Worker::MouseKeyLinkWatcher, [&ran](WorkerStart s) {
        s.exitEvent->reset();
        while (!s.exitEvent->wait(std::chrono::milliseconds(1)))
            ran = 1;
        ran = 2;
    });
    start();
    setWorkerBody(Worker::MouseKeyLinkWatcher, {});
    ASSERT_TRUE(st::waitUntil([&] { return ran.load() == 1; }));
    st::clickTray(window->trayIcon(), skin::TrayIcon::kRightButtonUp);
    ASSERT_TRUE(st::chooseMenuItem(*window->heldMenu(), "exit"));
    ASSERT_TRUE(st::waitUntil([this] { return quits == 1; }));
    EXPECT_EQ(ran.load(), 2);
    EXPECT_TRUE(window->exitEvent(Worker::MousePresenceWatcher).isSet());
    EXPECT_FALSE(window->workersLeftRunning());
}

TEST_F(AppTest, MenuCommands) {
    start();
    showNow();
    auto command = [this](const char* name, const char* text = "") {
        skin::MenuCommand c;
        c.name = name;
        c.text = text;
        bool handled = false;
        window->HandleCustomMessage(msg::kMenuCommand, reinterpret_cast<std::uintptr_t>(new skin::MenuCommand(c)), 0,
                                    handled);
        EXPECT_TRUE(handled) << name;
    };
    {
        // Names with no action, and "exit" spelled in another case, do nothing at all.
        BoxWatcher boxes;
        for (const char* name : {"qianting", "Menu_Import", "Menu_Export"})
            command(name, "message_text_5");
        st::processEvents(50);
        EXPECT_EQ(boxes.boxes(), 0);
        EXPECT_EQ(quits, 0);
    }
    {
        // Any other name shows its own text as the message key.
        BoxWatcher boxes;
        command("EXIT", "message_text_5");
        command("QIANTING", "message_text_14");
        EXPECT_EQ(boxes.texts, (std::vector<QString>{skin::text("message_text_5"), skin::text("message_text_14")}));
        EXPECT_EQ(quits, 0);
    }
    command("exit");
    st::processEvents(20);
    EXPECT_EQ(quits, 1);
}

TEST_F(AppTest, MainMenuOpensFromTheMenuButtonAndSwitchesLanguage) {
    start();
    showNow();
    ASSERT_TRUE(st::click(*window, "menubtn"));
    ASSERT_NE(window->heldMenu(), nullptr);
    EXPECT_TRUE(window->heldMenu()->hasItem("About_setting"));
    ASSERT_TRUE(st::chooseMenuItem(*window->heldMenu(), "lan_en"));
    st::processEvents(20);
    EXPECT_EQ(skin::language(), "en");
    EXPECT_EQ(readMainIni("LANGUAGE"), "0");
    EXPECT_EQ(machineValue(), "1010");
    EXPECT_EQ(window->find("ms_tab")->displayText(), "Mouse");
}

TEST_F(AppTest, CaptionCloseOnlyMinimises) {
    start();
    showNow();
    ASSERT_TRUE(st::click(*window, "closebtn"));
    ASSERT_TRUE(st::waitUntil([this] { return window->isMinimized(); }));
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(window->exitEvent(Worker::MousePresenceWatcher).isSet());
}

TEST_F(AppTest, WindowManagerCloseEndsLikeDestruction) {
    start();
    window->onCloseRequest();
    st::processEvents(20);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(window->trayIcon().isCreated());
    EXPECT_TRUE(window->exitEvent(Worker::SyncLightingThread).isSet());
}

TEST_F(AppTest, TabsSelectTheirPages) {
    start();
    showNow();
    auto* tabs = window->find<skin::TabLayout>("tab_switch");
    auto* msTabs = window->find<skin::TabLayout>("ms_tab_switch");
    auto* kbTabs = window->find<skin::TabLayout>("kb_tab_switch");
    ASSERT_TRUE(tabs && msTabs && kbTabs);
    ASSERT_TRUE(st::click(*window, "mp_tab"));
    EXPECT_EQ(tabs->currentSel(), 2);
    ASSERT_TRUE(st::click(*window, "ms_tab"));
    EXPECT_EQ(tabs->currentSel(), 1);
    ASSERT_TRUE(st::click(*window, "ms_rich_Op_tab"));
    EXPECT_EQ(msTabs->currentSel(), 4);
    ASSERT_TRUE(st::click(*window, "ms_deng_Op_tab"));
    EXPECT_EQ(msTabs->currentSel(), 0);
    ASSERT_TRUE(st::click(*window, "kb_tab"));
    ASSERT_TRUE(st::click(*window, "kb_key_Op_tab"));
    EXPECT_EQ(kbTabs->currentSel(), 2);
    // Every page container was built from its own layout file.
    for (const char* page : {"ms_key_page", "ms_dpi_page", "ms_deng_page", "ms_macro_page", "ms_cursor_page",
                             "kb_key_page", "kb_deng_page", "kb_macro_page", "mp_deng_page"})
        EXPECT_NE(window->find(page), nullptr) << page;
}

TEST_F(AppTest, UnsavedMacroKeepsItsTab) {
    start();
    showNow();
    ASSERT_TRUE(st::click(*window, "ms_macro_Op_tab"));
    // The macro editor's save-or-cancel bar, shown while a macro has unsaved changes.
    skin::Control* bar = skin::createControl("Control");
    bar->setName("ms_macro_tab_saveorcancel");
    ASSERT_TRUE(window->find<skin::Container>("ms_macro_page")->add(bar));
    int hookRemovals = 0;
    window->setMessageBody(wm::kActivate, [&](CMainWnd&, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        ++hookRemovals;
        return 0;
    });
    BoxWatcher boxes;
    ASSERT_TRUE(st::click(*window, "kb_tab"));
    ASSERT_TRUE(st::waitUntil([&] { return boxes.boxes() == 1 && !ui::CMsgWnd::activeWindow(); }));
    EXPECT_EQ(boxes.texts.at(0), skin::text("message_text_3"));
    EXPECT_TRUE(window->find<skin::Option>("ms_tab")->isSelected());
    EXPECT_TRUE(window->find<skin::Option>("ms_macro_Op_tab")->isSelected());
    EXPECT_EQ(window->find<skin::TabLayout>("tab_switch")->currentSel(), 1);
    // Without unsaved changes the switch goes through and stops any key capture.
    bar->setVisible(false);
    hookRemovals = 0;
    ASSERT_TRUE(st::click(*window, "kb_tab"));
    EXPECT_EQ(window->find<skin::TabLayout>("tab_switch")->currentSel(), 0);
    EXPECT_GE(hookRemovals, 1);
}

} // namespace
} // namespace kavrel::app::test
