// Windows as a whole: languages and text reload, modal loops, chrome, menus, tray, file dialogs.
#include "skin_fixture.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace kavrel::skin::test {
namespace {

class WindowTest : public SkinTest {
protected:
    void TearDown() override {
        setTextQuery({});
        initialize(builtSkin());
    }
};

TEST_F(WindowTest, LanguageSwitchReloadsEveryResourceText) {
    write("lan_a.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Language lang="en"><Text key="hello">Hello</Text><Text key="tip">Tip</Text><Text key="item">Item</Text></Language>)");
    write("lan_b.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Language lang="cn_zh"><Text key="hello">你好</Text><Text key="item">项目</Text></Language>)");
    write("lan_broken.xml", "<Language><Text key=\"hello\">x</Language>");
    setResourceFolder(dir_.path().toStdString());
    RecordingWindow w;
    ASSERT_TRUE(w.create(write("lan.xml", R"(<Window><VerticalLayout>
      <Label name="l" text="hello" resourcetext="true"/>
      <Label name="plain" text="hello"/>
      <Button name="b" text="missing_key" tooltip="tip" resourcetext="true"/>
      <Combo name="c"><ListLabelElement text="item" resourcetext="true"/></Combo>
    </VerticalLayout></Window>)")));
    auto* combo = qobject_cast<QComboBox*>(w.find("c")->existingWidget());

    ASSERT_TRUE(switchLanguage("en", "lan_a.xml"));
    EXPECT_EQ(language(), "en");
    EXPECT_EQ(w.find("l")->displayText(), "Hello");
    EXPECT_EQ(w.find("plain")->displayText(), "hello");
    EXPECT_EQ(w.find("b")->displayText(), "missing_key") << "a key without text shows itself";
    EXPECT_EQ(w.find("b")->existingWidget()->toolTip(), "Tip");
    EXPECT_EQ(combo->itemText(0), "Item");

    ASSERT_TRUE(switchLanguage("cn_zh", "lan_b.xml"));
    EXPECT_EQ(w.find("l")->displayText(), "你好");
    EXPECT_EQ(combo->itemText(0), "项目");
    EXPECT_EQ(w.find("b")->existingWidget()->toolTip(), "tip");

    // A broken file keeps the texts that were loaded.
    EXPECT_FALSE(loadLanguage("lan_broken.xml"));
    EXPECT_EQ(text("hello"), "你好");

    // The text query answers first.
    setTextQuery([](const QString& id) -> std::optional<QString> {
        if (id.compare("hello", Qt::CaseInsensitive) == 0) return QString("from query");
        return std::nullopt;
    });
    w.reloadText();
    EXPECT_EQ(w.find("l")->displayText(), "from query");
    EXPECT_EQ(text("item"), "项目");
}

TEST_F(WindowTest, TheShippedLanguageFilesLoad) {
    for (const char* f : {"lan_en.xml", "lan_cn.xml", "lan_sn.xml"}) EXPECT_TRUE(loadLanguage(f)) << f;
}

class Dialog : public RecordingWindow {
public:
    int closed = -1;
    void notify(const Notification& n) override {
        RecordingWindow::notify(n);
        if (n.is(notify::kClick) && n.senderName() == "confirm_btn") close(1);
        if (n.is(notify::kClick) && n.senderName() == "cancel_btn") close(0);
    }
    void onClosed(int result) override { closed = result; }
};

const char* kDialog = R"(<Window size="300,160" caption="0,0,0,40" roundcorner="12,12">
  <VerticalLayout name="root">
    <HorizontalLayout height="40"><Label name="caption_label" text="Title"/><Button name="x" width="40"/></HorizontalLayout>
    <Text name="body" text="body"/>
    <HorizontalLayout height="40"><Button name="confirm_btn" text="OK"/><Button name="cancel_btn" text="Cancel"/></HorizontalLayout>
  </VerticalLayout>
</Window>)";

TEST_F(WindowTest, ModalLoopReturnsTheCloseResult) {
    for (const char* button : {"confirm_btn", "cancel_btn"}) {
        Dialog d;
        ASSERT_TRUE(d.create(write("dlg.xml", kDialog)));
        QTimer::singleShot(50, [&] {
            testing::waitUntil([&] { return d.isInitDelivered(); });
            testing::click(d, button);
        });
        const int result = d.showModal();
        EXPECT_EQ(result, QString(button) == "confirm_btn" ? 1 : 0) << button;
        EXPECT_EQ(d.closed, result);
        EXPECT_FALSE(d.isVisible());
    }
    // A window that deletes itself once closed (the message box does).
    auto* self = new Dialog;
    ASSERT_TRUE(self->create(write("dlg.xml", kDialog)));
    self->setDeleteOnClose(true);
    QPointer<QWidget> host = self->widget();
    QTimer::singleShot(20, [self] { self->close(7); });
    EXPECT_EQ(self->showModal(), 7);
    EXPECT_TRUE(testing::waitUntil([&] { return host.isNull(); }));
}

TEST_F(WindowTest, ChromeCaptionRoundCornersAndMaximise) {
    Dialog d;
    ASSERT_TRUE(d.create(write("dlg.xml", kDialog)));
    ASSERT_TRUE(testing::showAndWait(d));
    const QPoint overLabel = d.find("caption_label")->rect().center();
    const QPoint overButton = d.find("x")->rect().center();
    const QPoint overBody = d.find("body")->rect().center();
    EXPECT_TRUE(d.isCaptionPoint(overLabel));
    EXPECT_FALSE(d.isCaptionPoint(overButton));
    EXPECT_FALSE(d.isCaptionPoint(overBody));
    EXPECT_FALSE(d.widget()->mask().isEmpty());
    EXPECT_FALSE(d.widget()->mask().contains(QPoint(0, 0))) << "the corner is cut";
    EXPECT_TRUE(d.widget()->mask().contains(QPoint(150, 80)));

    const QRect normal = d.geometry();
    d.maximize();
    testing::processEvents();
    EXPECT_EQ(d.geometry(), d.widget()->screen()->availableGeometry());
    EXPECT_TRUE(d.find("confirm_btn")->rect().bottom() > 160) << "the layout follows the size";
    d.restore();
    testing::processEvents();
    EXPECT_EQ(d.geometry(), normal);
}

TEST_F(WindowTest, MenuFromLayoutWithInsertedItemReachesTheOwner) {
    class Owner : public RecordingWindow {
    public:
        std::vector<MenuCommand> commands;
        void onMenuCommand(const MenuCommand& c) override { commands.push_back(c); }
    } owner;
    ASSERT_TRUE(owner.create(write("dlg.xml", kDialog)));
    const QString file = write("menu1.xml", R"(<Menu>
  <MenuItem name="lan_en" text="English" userdata="en" checkable="true"/>
  <Separator/>
  <MenuItem name="more" text="More"><MenuItem name="About_setting" text="About" userdata="about"/></MenuItem>
</Menu>)");
    Menu menu(&owner);
    ASSERT_TRUE(menu.load(file));
    MenuItemSpec exitItem;
    exitItem.name = "exit";
    exitItem.text = "Close";
    menu.insertItem(0, exitItem);
    menu.resizeToContents();
    const auto items = menu.items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].name, "exit");
    EXPECT_EQ(items[0].text, "Close");
    EXPECT_TRUE(menu.hasItem("ABOUT_SETTING"));
    menu.popup(QPoint(200, 200), MenuAlign::Left | MenuAlign::Top);
    EXPECT_TRUE(menu.isOpen());

    ASSERT_TRUE(testing::chooseMenuItem(menu, "lan_en"));
    ASSERT_TRUE(testing::chooseMenuItem(menu, "about_setting"));
    EXPECT_FALSE(testing::chooseMenuItem(menu, "nothing"));
    ASSERT_EQ(owner.commands.size(), 2u);
    EXPECT_EQ(owner.commands[0].name, "lan_en");
    EXPECT_EQ(owner.commands[0].userData, "en");
    EXPECT_EQ(owner.commands[0].text, "English");
    EXPECT_TRUE(owner.commands[0].checked);
    EXPECT_EQ(owner.commands[1].name, "About_setting");
    EXPECT_FALSE(menu.isOpen());

    Menu broken(&owner);
    EXPECT_FALSE(broken.load(write("bad_menu.xml", "<Menu><MenuItem name=\"a\" checked=\"maybe\"/></Menu>")));
    EXPECT_EQ(broken.count(), 0);
}

TEST_F(WindowTest, TrayReportsLeftAndRightButtonUp) {
    TrayIcon tray;
    tray.create("common/logo.svg", "Drovik Morv TZ814");
    EXPECT_TRUE(tray.isCreated());
    EXPECT_EQ(tray.toolTip(), "Drovik Morv TZ814");
    std::vector<int> messages;
    tray.onMouse = [&](int m) { messages.push_back(m); };
    testing::clickTray(tray, TrayIcon::kLeftButtonUp);
    testing::clickTray(tray, TrayIcon::kRightButtonUp);
    EXPECT_EQ(messages, (std::vector<int>{514, 517}));
    tray.remove();
    EXPECT_FALSE(tray.isCreated());
}

TEST_F(WindowTest, FileDialogsReturnTheChosenPathOrNone) {
    const QString existing = write("profile1.pro", "x");
    FileDialogOptions open;
    open.title = "Import";
    open.filter = "Profiles (*.pro);;All files (*)";
    open.defaultSuffix = "pro";
    open.folder = dir_.path();
    testing::answerNextFileDialog(existing);
    EXPECT_EQ(openFileDialog(nullptr, open), existing);
    testing::answerNextFileDialog(std::nullopt);
    EXPECT_EQ(openFileDialog(nullptr, open), std::nullopt);

    FileDialogOptions save = open;
    save.title = "Export";
    testing::answerNextFileDialog(dir_.filePath("exported"));
    EXPECT_EQ(saveFileDialog(nullptr, save), dir_.filePath("exported.pro")) << "default extension added";

    struct C {
        const char* in;
        const char* out;
    };
    for (const C& c : {C{"(*.png) | *.png |(*.*)|*.*||", "(*.png);;(*.*)"},
                       C{"Macro (*.mac)|*.mac||", "Macro (*.mac)"}, C{"Text|*.txt;*.log||", "Text (*.txt *.log)"}})
        EXPECT_EQ(convertWindowsFilter(c.in), c.out) << c.in;
}

} // namespace
} // namespace kavrel::skin::test
