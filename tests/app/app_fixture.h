// A main window on the offscreen platform with a private HOME, runtime folder and machine store,
// the source tree's skin and the build's factory files.
#pragma once

#include <gtest/gtest.h>

#include "kavrel/app/main_window.h"
#include "kavrel/app/settings.h"
#include "kavrel/os/folders.h"
#include "kavrel/os/ini.h"
#include "kavrel/os/machine_store.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/testing.h"
#include "kavrel/ui/controls.h"
#include "kavrel/ui/msg_wnd.h"

#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace kavrel::app::test {

namespace fs = std::filesystem;
namespace st = kavrel::skin::testing;

inline void prepareSkinOnce() {
    static bool done = [] {
        st::ensureSkin(fs::path(KAVREL_SOURCE_DIR) / "skin");
        ui::registerCustomControls();
        return true;
    }();
    (void)done;
}

// Answers message boxes while the code under test sits in their modal loop: records the text of
// every distinct box and closes each after it has been open for a few ticks.
class BoxWatcher {
public:
    explicit BoxWatcher(int closeAfterTicks = 5) : closeAfter_(closeAfterTicks) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start();
    }
    // Runs once, inside the first box's modal loop.
    std::function<void()> whileFirstOpen;
    std::vector<QString> texts;          // shown text of each distinct box, in order
    int boxes() const { return static_cast<int>(texts.size()); }

private:
    void tick() {
        ui::CMsgWnd* box = ui::CMsgWnd::activeWindow();
        if (!box || !box->isVisible())
            return;
        if (!open_) {
            // A new box (its address may be the one of the box closed before).
            open_ = true;
            ticks_ = 0;
            skin::Control* text = box->find(QStringLiteral("MessageText"));
            texts.push_back(text ? text->displayText() : QString());
        }
        if (++ticks_ == 1 && whileFirstOpen) {
            auto f = std::move(whileFirstOpen);
            whileFirstOpen = nullptr;
            f();
        }
        if (ticks_ >= closeAfter_) {
            open_ = false;
            box->close(0);
        }
    }
    QTimer timer_;
    bool open_ = false;
    int ticks_ = 0;
    int closeAfter_;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "kavrel-app-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
        fs::create_directories(root_ / "home");
        fs::create_directories(root_ / "xdg");
        fs::create_directories(root_ / "run");
        fs::permissions(root_ / "run", fs::perms::owner_all);
        ::setenv("HOME", (root_ / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (root_ / "xdg").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
        ::unsetenv("XDG_DOCUMENTS_DIR");
        os::setProgramFolder(fs::path(KAVREL_BINARY_DIR) / "bin");
        prepareSkinOnce();
    }
    void TearDown() override {
        window.reset();
        st::processEvents();
        os::setProgramFolder({});
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // Builds and shows the main window; "windowinit" has run on return.
    void start(bool trayAvailable = true) {
        window = std::make_unique<CMainWnd>();
        window->setTrayAvailable(trayAvailable);
        window->onQuit = [this] { ++quits; };
        ASSERT_TRUE(window->Create());
        // "windowinit" hides the window again, so wait for its end rather than for the exposure.
        window->show();
        ASSERT_TRUE(st::waitUntil([this] { return window->initDone(); }));
    }

    // Brings the hidden window back for tests that click on it.
    void showNow() {
        window->show();
        window->restore();
        ASSERT_TRUE(st::waitUntil([this] { return window->isVisible() && !window->isMinimized(); }));
        st::processEvents(20);
    }

    fs::path mainIni() const { return root_ / "home" / "Documents" / "Drovik Morv TZ814" / "main.ini"; }
    void writeMainIni(const char* key, const std::string& value) {
        fs::create_directories(mainIni().parent_path());
        ASSERT_TRUE(os::writeProfileString(mainIni(), kSkinSection, key, value));
    }
    std::string readMainIni(const char* key, const char* def = "absent") {
        return os::readProfileString(mainIni(), kSkinSection, key, def);
    }
    static std::string machineValue() {
        std::string v;
        return os::machineStoreRead("LANGUAGE", v) ? v : std::string("absent");
    }

    fs::path root_;
    std::unique_ptr<CMainWnd> window;
    int quits = 0;
};

} // namespace kavrel::app::test
