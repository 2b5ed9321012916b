// The message box, palette, skin chooser and about window, driven through their real widgets.
#include "kavrel/ui/copyright.h"
#include "kavrel/ui/msg_wnd.h"
#include "kavrel/ui/pallet_dialog.h"
#include "kavrel/ui/skin_frame.h"

#include "kavrel/os/ini.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/testing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cstdlib>
#include <functional>
#include <vector>

namespace kavrel::ui {
namespace {

namespace st = skin::testing;

// Runs `step` once the event loop runs again (inside the modal loop that follows).
void later(std::function<void()> step) { QTimer::singleShot(0, qApp, std::move(step)); }

class DialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The data folder ("main.ini") lives under a home of our own.
        static QTemporaryDir home;
        ::setenv("HOME", home.path().toLocal8Bit().constData(), 1);
        ::setenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit().constData(), 1);
        ::unsetenv("XDG_DOCUMENTS_DIR");
        ASSERT_TRUE(st::ensureSkin(KAVREL_SOURCE_DIR "/skin"));
        ASSERT_TRUE(skin::switchLanguage("en", "lan_en.xml"));
    }

    // A main window of our own with the skin button in its caption.
    void makeOwner() {
        QFile f(tmp.filePath("owner.xml"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<Window size=\"600,400\"><Container name=\"root\">"
                "<Button name=\"skinbtn\" pos=\"500,4,32,32\"/></Container></Window>");
        f.close();
        ASSERT_TRUE(owner.create(tmp.filePath("owner.xml")));
        owner.move(100, 300);
        ASSERT_TRUE(st::showAndWait(owner));
    }

    QTemporaryDir tmp;
    skin::Window owner;
};

TEST_F(DialogsTest, MessageBoxResultOfEachWayOut) {
    const struct {
        const char* button;   // nullptr: closed by the window manager
        int result;
    } cases[] = {{"confirm_btn", 1}, {"cancel_btn", 0}, {"closebtn", 0}, {nullptr, 0}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.button ? k.button : "window manager");
        bool clicked = false;
        later([&] {
            CMsgWnd* box = CMsgWnd::activeWindow();
            if (!box) return;
            if (k.button)
                clicked = st::click(*box, k.button);
            else
                clicked = box->widget()->close() || true;
        });
        EXPECT_EQ(ShowMessage(nullptr, "", "message_text_8", true), k.result);
        EXPECT_TRUE(clicked);
        EXPECT_EQ(CMsgWnd::activeWindow(), nullptr);
    }
}

TEST_F(DialogsTest, MessageBoxShowsTitleAndTheTextOfItsKey) {
    QString title, text, plain;
    later([&] {
        CMsgWnd* box = CMsgWnd::activeWindow();
        title = box->find("MessageTitle")->displayText();
        text = box->find("MessageText")->displayText();
        st::click(*box, "confirm_btn");
    });
    ShowMessage(nullptr, "Title", "message_text_8", true);
    EXPECT_EQ(title, "Title");
    EXPECT_EQ(text, skin::text("message_text_8"));
    EXPECT_NE(text, "message_text_8");

    // Plain text is shown as it stands; an empty title keeps the layout's.
    later([&] {
        CMsgWnd* box = CMsgWnd::activeWindow();
        title = box->find("MessageTitle")->displayText();
        plain = box->find("MessageText")->displayText();
        st::click(*box, "cancel_btn");
    });
    ShowMessage(&owner, "", "message_text_8", false);
    EXPECT_EQ(title, skin::text("ui_msg_title"));
    EXPECT_EQ(plain, "message_text_8");
}

TEST_F(DialogsTest, TimedMessageClosesItselfWithZero) {
    // A guard answers the box if it never closes by itself, so a fault fails instead of hanging.
    bool guardFired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (CMsgWnd* box = CMsgWnd::activeWindow()) {
            guardFired = true;
            box->close(1);
        }
    });

    CMsgWnd box;
    ASSERT_TRUE(box.Create(nullptr));
    box.SetText("message_text_9", true);
    box.StartAutoClose();
    guard.start(10000);
    EXPECT_EQ(box.showModalTracked(), 0);
    EXPECT_FALSE(guardFired);
    EXPECT_FALSE(box.hasTimer(CMsgWnd::kAutoCloseTimer));

    guard.start(10000);
    ShowTimedMessage(true, nullptr, "", "message_text_9", true);
    EXPECT_FALSE(guardFired);
}

TEST_F(DialogsTest, PaletteStartsWithItsColourAndPresetsShowTheirs) {
    CPalletDialog dlg("GmPalletDialog.xml", 0xFF123456);
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(dlg.find("color_show_btn")->bkColor(), 0xFF123456u);
    EXPECT_EQ(dlg.find<skin::ColorPalette>("Pallet")->selectColor(), 0xFF123456u);
    EXPECT_EQ(dlg.title(), QString::fromUtf8("Tolvan调色板"));

    later([&] {
        st::click(dlg, "ms_dpi_color_png_4");
        st::click(dlg, "okbtn");
    });
    EXPECT_EQ(dlg.DoModal(), CPalletDialog::kResultOk);
    EXPECT_EQ(dlg.GetCurrentColor(), kPresetColors[4]);
    EXPECT_EQ(dlg.find("color_show_btn")->bkColor(), kPresetColors[4]);
    EXPECT_EQ(dlg.find<skin::ColorPalette>("Pallet")->selectColor(), kPresetColors[4]);
}

TEST_F(DialogsTest, PaletteCloseKeepsTheColourAndPickedColourIsTaken) {
    {
        CPalletDialog dlg("GmPalletDialog.xml", 0xFF123456);
        ASSERT_TRUE(dlg.Create(nullptr));
        later([&] {
            st::click(dlg, "ms_dpi_color_png_0");
            st::click(dlg, "closebtn");
        });
        EXPECT_EQ(dlg.DoModal(), CPalletDialog::kResultClose);
        EXPECT_EQ(dlg.GetCurrentColor(), 0xFF123456u);
    }
    {
        CPalletDialog dlg("GmPalletDialog.xml", 0xFF123456);
        ASSERT_TRUE(dlg.Create(nullptr));
        skin::Argb picked = 0;
        later([&] {
            auto* pal = dlg.find<skin::ColorPalette>("Pallet");
            const QRect r = pal->localRect();
            st::pressPalette(dlg, "Pallet", QPoint(r.width() / 3, r.height() / 4));
            picked = pal->selectColor();
            st::click(dlg, "okbtn");
        });
        EXPECT_EQ(dlg.DoModal(), CPalletDialog::kResultOk);
        EXPECT_NE(picked, 0xFF123456u);
        EXPECT_EQ(dlg.GetCurrentColor(), picked);
    }
}

TEST_F(DialogsTest, PaletteWithoutPaletteControlAnswersOkWithTwo) {
    QFile f(tmp.filePath("nopal.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<Window size=\"200,100\"><HorizontalLayout><Button name=\"color_show_btn\"/>"
            "<Button name=\"okbtn\"/></HorizontalLayout></Window>");
    f.close();
    CPalletDialog dlg(tmp.filePath("nopal.xml"), 0xFF010203);
    ASSERT_TRUE(dlg.Create(nullptr));
    later([&] { st::click(dlg, "okbtn"); });
    EXPECT_EQ(dlg.DoModal(), CPalletDialog::kResultClose);
    EXPECT_EQ(dlg.GetCurrentColor(), 0xFF010203u);

    CPalletDialog broken(tmp.filePath("does-not-exist.xml"), 0xFF010203);
    EXPECT_FALSE(broken.Create(nullptr));
    EXPECT_EQ(broken.DoModal(), CPalletDialog::kResultClose);
}

struct Received : SkinChangedReceiver {
    std::vector<SkinChangedParam> params;
    bool Receive(const SkinChangedParam& p) override {
        params.push_back(p);
        return true;
    }
};

TEST_F(DialogsTest, SkinChooserNotifiesAndRemembersOnlyImagesAndReset) {
    makeOwner();
    Received got;
    SkinChangedObserver::instance().AddReceiver(&got);
    const auto ini = CSkinFrame::settingsFile();
    const auto flags = [&] { return os::readProfileString(ini, "SKINIMAGE", "FLAGS", "none"); };
    const auto image = [&] { return os::readProfileString(ini, "SKINIMAGE", "IMAGE", "none"); };

    CSkinFrame* frame = ShowSkinFrame(&owner, owner.find("skinbtn"));
    ASSERT_NE(frame, nullptr);
    // Right edge on the button's right edge, top on its bottom.
    const QRect anchor(owner.widget()->mapToGlobal(QPoint(500, 4)), QSize(32, 32));
    EXPECT_EQ(frame->geometry().x() + frame->geometry().width(), anchor.x() + anchor.width());
    EXPECT_EQ(frame->geometry().y(), anchor.y() + anchor.height());

    const QString firstImage = frame->find("skin_image_btn")->userData();
    ASSERT_FALSE(firstImage.isEmpty());
    ASSERT_TRUE(st::click(*frame, "skin_image_btn"));
    ASSERT_EQ(got.params.size(), 1u);
    EXPECT_EQ(got.params.back(), (SkinChangedParam{false, 0, firstImage}));
    EXPECT_EQ(flags(), "1");
    EXPECT_EQ(image(), firstImage.toStdString());

    // Colours live on page 1; they change the background but are not stored.
    EXPECT_FALSE(st::click(*frame, "skin_color_btn"));
    ASSERT_TRUE(st::click(*frame, "skin_color"));
    EXPECT_EQ(frame->find<skin::TabLayout>("skin_tab")->currentSel(), 1);
    const skin::Argb colour = frame->find("skin_color_btn")->bkColor();
    ASSERT_TRUE(st::click(*frame, "skin_color_btn"));
    ASSERT_EQ(got.params.size(), 2u);
    EXPECT_EQ(got.params.back(), (SkinChangedParam{true, colour, {}}));
    EXPECT_EQ(flags(), "1");
    EXPECT_EQ(image(), firstImage.toStdString());
    ASSERT_TRUE(st::click(*frame, "skin_image"));
    EXPECT_EQ(frame->find<skin::TabLayout>("skin_tab")->currentSel(), 0);

    ASSERT_TRUE(st::click(*frame, "skin_reset"));
    ASSERT_EQ(got.params.size(), 3u);
    EXPECT_EQ(got.params.back(), (SkinChangedParam{false, 0, "common/background.png"}));
    EXPECT_EQ(flags(), "0");
    EXPECT_EQ(image(), "common/background.png");

    // A custom file is shown but not stored; a cancelled dialog changes nothing.
    const QString custom = tmp.filePath("mine.png");
    QFile(custom).open(QIODevice::WriteOnly);
    st::answerNextFileDialog(custom);
    ASSERT_TRUE(st::click(*frame, "skin_Custom"));
    ASSERT_EQ(got.params.size(), 4u);
    EXPECT_EQ(got.params.back(), (SkinChangedParam{false, 0, custom}));
    EXPECT_EQ(image(), "common/background.png");
    st::answerNextFileDialog(std::nullopt);
    ASSERT_TRUE(st::click(*frame, "skin_Custom"));
    EXPECT_EQ(got.params.size(), 4u);
    EXPECT_TRUE(frame->isVisible());

    // Losing the focus closes the chooser, which then deletes itself.
    QPointer<QWidget> frameWidget = frame->widget();
    owner.activate();
    EXPECT_TRUE(st::waitUntil([&] { return frameWidget.isNull(); }));
}

TEST_F(DialogsTest, ObserverReachesEveryReceiverUntilItIsGone) {
    auto& observer = SkinChangedObserver::instance();
    Received a;
    observer.AddReceiver(&a);
    {
        Received b;
        EXPECT_EQ(observer.AddReceiver(&b), observer.AddReceiver(&b));
        observer.Broadcast({true, 0xFF102030, {}});
        EXPECT_EQ(b.params.size(), 1u);
    }
    observer.Broadcast({false, 0, "x.png"});   // b is gone: no call into it
    ASSERT_EQ(a.params.size(), 2u);
    EXPECT_EQ(a.params[1].bgimage, "x.png");

    skin::Container root;
    root.setBkImage("old.png");
    applySkinToRoot(&root, {true, 0xFF102030, {}});
    EXPECT_EQ(root.bkColor(), 0xFF102030u);
    EXPECT_TRUE(root.bkImage().isEmpty());
    applySkinToRoot(&root, {false, 0xFF102030, "skinbg/aurora.svg"});
    EXPECT_EQ(root.bkColor(), 0u);
    EXPECT_EQ(root.bkImage(), "skinbg/aurora.svg");
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

TEST_F(DialogsTest, AboutWindowPlacementLinkAndClose) {
    makeOwner();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");

    Ccopyright* about = ShowAboutWindow(&owner);
    ASSERT_NE(about, nullptr);
    const QRect o = owner.geometry();
    EXPECT_EQ(about->geometry().topLeft(), QPoint(2 * o.x(), (o.y() + o.height()) / 2 - 80));
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->title(), QString::fromUtf8("关于"));

    ASSERT_TRUE(st::click(*about, "NetText"));
    ASSERT_EQ(catcher.urls.size(), 1u);
    EXPECT_EQ(catcher.urls[0], QUrl("https://kavrel.example.org/"));

    QPointer<QWidget> w = about->widget();
    ASSERT_TRUE(st::click(*about, "closebtn"));
    EXPECT_TRUE(st::waitUntil([&] { return w.isNull(); }));
    QDesktopServices::unsetUrlHandler("https");
}

} // namespace
} // namespace kavrel::ui

#include "dialogs_test.moc"
