// "main.ini", the machine-store language preset, the language switch, the stored background
// and the skin-changed receiver.
#include "app_fixture.h"

#include "kavrel/ui/skin_changed.h"

namespace kavrel::app::test {
namespace {

// The preset runs at every start and wins over "main.ini"; without a readable store value
// "main.ini" decides.
TEST_F(AppTest, LanguagePresetAtStart) {
    struct Case {
        const char* store;      // nullptr: no value
        const char* before;     // nullptr: no main.ini
        const char* after;      // LANGUAGE after start ("absent": not written)
        const char* language;
    };
    const Case cases[] = {
        {nullptr, nullptr, "absent", "en"},
        {"2020", "0", "1", "cn_zh"},
        {"1010", "1", "0", "en"},
        {"garbage", "2", "0", "en"},
        {nullptr, "2", "2", "cn_tw"},
        {nullptr, "1", "1", "cn_zh"},
    };
    for (const Case& c : cases) {
        std::error_code ec;
        fs::remove(mainIni(), ec);
        fs::remove(os::machineStoreFile(), ec);
        if (c.store) {
            ASSERT_TRUE(os::machineStoreWrite("LANGUAGE", c.store));
        }
        if (c.before) {
            writeMainIni("LANGUAGE", c.before);
        }
        start();
        EXPECT_EQ(readMainIni("LANGUAGE"), c.after) << (c.store ? c.store : "-") << "/" << (c.before ? c.before : "-");
        EXPECT_EQ(skin::language(), c.language) << (c.store ? c.store : "-") << "/" << (c.before ? c.before : "-");
        window.reset();
    }
}

TEST_F(AppTest, LanguageFilesFollowTheStoredValue) {
    writeMainIni("LANGUAGE", "2");
    start();
    EXPECT_EQ(window->find("ms_tab")->displayText(), skin::text("app_tab_mouse"));
    EXPECT_EQ(skin::text("app_tab_mouse"), "滑鼠");
}

TEST_F(AppTest, LanguageSwitchWritesBothStores) {
    start();
    window->SwitchLanguage(false);
    EXPECT_EQ(skin::language(), "cn_zh");
    EXPECT_EQ(readMainIni("LANGUAGE"), "1");
    EXPECT_EQ(machineValue(), "2020");
    EXPECT_EQ(window->find("ms_tab")->displayText(), "鼠标");
    window->SwitchLanguage(true);
    EXPECT_EQ(skin::language(), "en");
    EXPECT_EQ(readMainIni("LANGUAGE"), "0");
    EXPECT_EQ(machineValue(), "1010");
    EXPECT_EQ(window->find("ms_tab")->displayText(), "Mouse");
}

TEST_F(AppTest, LanguageSwitchStillWorksWhenTheStoreIsNotWritable) {
    // A file where the store's folder should be: the store cannot be written.
    std::error_code ec;
    fs::create_directories(os::machineStoreFile().parent_path().parent_path(), ec);
    fs::remove_all(os::machineStoreFile().parent_path(), ec);
    { std::ofstream(os::machineStoreFile().parent_path()) << "x"; }
    start();
    window->SwitchLanguage(false);
    EXPECT_EQ(skin::language(), "cn_zh");
    EXPECT_EQ(readMainIni("LANGUAGE"), "1");
    EXPECT_EQ(machineValue(), "absent");
}

TEST_F(AppTest, StoredBackgroundIsAppliedAtStart) {
    struct Case {
        const char* flags;
        const char* image;
        bool applied;
    };
    const Case cases[] = {{"1", "skinbg/ember.svg", true}, {"0", "skinbg/ember.svg", false}, {"7", "skinbg/ember.svg", false}};
    for (const Case& c : cases) {
        writeMainIni("FLAGS", c.flags);
        writeMainIni("IMAGE", c.image);
        start();
        skin::Control* root = window->find("root");
        ASSERT_NE(root, nullptr);
        if (c.applied) {
            EXPECT_EQ(root->bkImage(), c.image) << c.flags;
            EXPECT_EQ(root->bkColor(), 0u) << c.flags;
        } else {
            EXPECT_EQ(root->bkImage(), "common/background.png") << c.flags;
            EXPECT_NE(root->bkColor(), 0u) << c.flags;
        }
        window.reset();
    }
}

TEST_F(AppTest, SkinChangeReachesRoot) {
    start();
    skin::Control* root = window->find("root");
    ui::SkinChangedParam colour{true, 0xFF223344, {}};
    ui::SkinChangedObserver::instance().Broadcast(colour);
    EXPECT_EQ(root->bkColor(), 0xFF223344u);
    EXPECT_TRUE(root->bkImage().isEmpty());
    ui::SkinChangedParam image{false, 0xFF223344, "skinbg/glacier.svg"};
    ui::SkinChangedObserver::instance().Broadcast(image);
    EXPECT_EQ(root->bkColor(), 0u);
    EXPECT_EQ(root->bkImage(), "skinbg/glacier.svg");
    // A destroyed window leaves the observer.
    const int receivers = ui::SkinChangedObserver::instance().count();
    window.reset();
    EXPECT_EQ(ui::SkinChangedObserver::instance().count(), receivers - 1);
}

TEST_F(AppTest, TextQueryAnswersItsTwoIds) {
    start();
    skin::setLanguage("en");
    EXPECT_EQ(window->QueryControlText("TitleText"), QString("Duilib Demo v1.1"));
    EXPECT_EQ(window->QueryControlText("hometext"), QString("{a}Home Page{/a}"));
    skin::setLanguage("cn_tw");
    EXPECT_EQ(window->QueryControlText("titletext"), QString("mouse"));
    EXPECT_EQ(window->QueryControlText("HOMETEXT"), QString("{a}演示官网{/a}"));
    EXPECT_FALSE(window->QueryControlText("app_tab_mouse").has_value());
}

} // namespace
} // namespace kavrel::app::test
