// The layout loader on good and broken files, the resource index, styles, custom classes, value
// and image-string parsing, name lookup and scaling.
#include "skin_fixture.h"

#include "kavrel/os/diag.h"

#include <QImage>
#include <QPainter>

namespace kavrel::skin::test {
namespace {

// A custom class as the program adds them: a progress with an attribute and painting of its own.
class Ring : public Progress {
public:
    int thickness = 0;
    QString className() const override { return "Ring"; }
    bool setAttribute(const QString& name, const QString& value) override {
        if (name.compare("thickness", Qt::CaseInsensitive) == 0) {
            thickness = value.toInt();
            return true;
        }
        return Progress::setAttribute(name, value);
    }
};

class LayoutTest : public SkinTest {
protected:
    void TearDown() override {
        unregisterControl("CRingUI");
        unregisterControl("CNullUI");
        initialize(builtSkin());
    }
};

TEST_F(LayoutTest, GoodLayoutBuildsTheTreeWithItsAttributes) {
    RecordingWindow w;
    ASSERT_TRUE(w.create(write("good.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="400,300" caption="0,0,0,40" roundcorner="10,10">
  <VerticalLayout name="root" inset="10,10,10,10">
    <HorizontalLayout name="bar" height="40">
      <Label name="title" text="Title" textcolor="#FF112233" font="2"/>
      <Button name="closebtn" width="32" normalimage="file='common/close.svg' dest='4,4,24,24'"
              tooltip="tip" userdata="u1"/>
    </HorizontalLayout>
    <Container name="body">
      <Button name="abs" pos="20,30,100,24" style="close_button_style" visible="false" enabled="false"/>
      <Text name="msg" text="message_text_1" resourcetext="true" bkimage="common/background.png"/>
    </Container>
  </VerticalLayout>
</Window>)")));
    ASSERT_TRUE(testing::showAndWait(w));
    EXPECT_EQ(w.layoutSize(), QSize(400, 300));
    EXPECT_EQ(w.geometry().size(), QSize(400, 300));
    EXPECT_EQ(w.captionArea(), QMargins(0, 0, 0, 40));
    EXPECT_EQ(w.roundCorner(), QSize(10, 10));

    auto* title = w.find<Label>("title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->textColor(), 0xFF112233u);
    EXPECT_EQ(title->font(), 2);
    auto* close = w.find<Button>("closebtn");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->userData(), "u1");
    EXPECT_EQ(close->toolTip(), "tip");
    EXPECT_EQ(close->borderRound(), 6) << "class default of res.xml";
    // Stacking: the bar is 40 high inside the 10-unit inset; the button keeps its width at the right.
    EXPECT_EQ(w.find("bar")->rect(), QRect(10, 10, 380, 40));
    EXPECT_EQ(close->rect(), QRect(358, 10, 32, 40));
    EXPECT_EQ(title->rect(), QRect(10, 10, 348, 40));
    EXPECT_EQ(w.find("body")->rect(), QRect(10, 50, 380, 240));

    auto* abs = w.find<Button>("abs");
    EXPECT_TRUE(abs->isFloat());
    EXPECT_EQ(abs->floatPos(), QRect(20, 30, 100, 24));
    EXPECT_FALSE(abs->isVisible());
    EXPECT_FALSE(abs->isEnabled());
    EXPECT_EQ(abs->hotBkColor(), 0xFFD8344Au) << "style of res.xml";
    abs->setVisible(true);
    EXPECT_EQ(abs->rect(), QRect(30, 80, 100, 24));

    auto* msg = w.find<Text>("msg");
    EXPECT_TRUE(msg->isResourceText());
    EXPECT_EQ(msg->text(), "message_text_1");
}

TEST_F(LayoutTest, SubLayoutsComeFromTheCallbackAndCustomClassesFromTheRegistry) {
    write("sub.xml", R"(<Window><VerticalLayout name="sub_root"><CRingUI name="ring" thickness="7" max="80" value="20"/></VerticalLayout></Window>)");
    registerControl("CRingUI", [] { return new Ring; });
    RecordingWindow w;
    std::vector<QString> asked;
    w.builder = [&](const QString& cls) -> Control* {
        asked.push_back(cls);
        if (cls.compare("MS_Key_UI", Qt::CaseInsensitive) == 0) return buildLayout(dir_.filePath("sub.xml"));
        return nullptr;
    };
    ASSERT_TRUE(w.create(write("main.xml", R"(<Window size="300,200"><TabLayout name="tab"><ms_key_ui visible="true"/><CRingUI name="ring2"/></TabLayout></Window>)")));
    EXPECT_EQ(asked, (std::vector<QString>{"ms_key_ui", "CRingUI"}));
    auto* ring = dynamic_cast<Ring*>(w.find("RING"));
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->thickness, 7);
    EXPECT_EQ(ring->maxValue(), 80);
    EXPECT_EQ(ring->value(), 20);
    EXPECT_EQ(ring->className(), "Ring");
    EXPECT_NE(w.find("sub_root"), nullptr);
    EXPECT_NE(dynamic_cast<Ring*>(w.find("ring2")), nullptr);
}

struct Broken {
    const char* name;
    const char* xml;
    int line;
    const char* problem;
};

class BrokenLayoutTest : public LayoutTest, public ::testing::WithParamInterface<Broken> {};

TEST_P(BrokenLayoutTest, NamesFileAndLineAndYieldsNoControl) {
    registerControl("CNullUI", [] { return nullptr; });
    const Broken& b = GetParam();
    Control* c = buildLayoutFromString(QString::fromUtf8(b.xml), "broken.xml");
    EXPECT_EQ(c, nullptr);
    delete c;
    const QString err = lastBuildError();
    EXPECT_TRUE(err.startsWith(QStringLiteral("broken.xml:%1:").arg(b.line))) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(b.problem), Qt::CaseInsensitive)) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenLayoutTest,
    ::testing::Values(
        Broken{"unclosed", "<Window>\n<VerticalLayout>\n<Label/>\n</Window>", 4, "mismatch"},
        Broken{"unknown_class", "<Window>\n<VerticalLayout>\n  <Buton name=\"x\"/>\n</VerticalLayout>\n</Window>", 3,
               "unknown control class \"Buton\""},
        Broken{"bad_colour", "<Window>\n<Label bkcolor=\"#GG000000\"/>\n</Window>", 2, "bad value \"#GG000000\""},
        Broken{"short_colour", "<Window><Label textcolor=\"#FFF\"/></Window>", 1, "textcolor"},
        Broken{"bad_pos", "<Window>\n\n<Button pos=\"1,2,3\"/></Window>", 3, "attribute \"pos\""},
        Broken{"bad_number", "<Window><Slider max=\"ten\"/></Window>", 1, "attribute \"max\""},
        Broken{"bad_bool", "<Window><Label visible=\"yes\"/></Window>", 1, "attribute \"visible\""},
        Broken{"bad_image", "<Window><Button normalimage=\"file='a.png' sorce='0,0,1,1'\"/></Window>", 1, "normalimage"},
        Broken{"unknown_style", "<Window>\n<Label style=\"no_such_style\"/></Window>", 2, "unknown style"},
        Broken{"two_roots", "<Window>\n<Label/>\n<Label/>\n</Window>", 3, "more than one root"},
        Broken{"no_root", "<Window>\n</Window>", 2, "no root control"},
        Broken{"child_of_leaf", "<Window><Label>\n<Button/></Label></Window>", 2, "Label cannot hold"},
        Broken{"null_factory", "<Window><Container>\n<CNullUI/></Container></Window>", 2, "made no control"},
        Broken{"empty", "", 1, "premature end"},
        Broken{"trailing", "<Label/>\n<Label/>", 2, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LayoutTest, ErrorsGoToTheDiagnosticsAndCreateFailsCleanly) {
    const QString path = write("bad.xml", "<Window size=\"200,100\">\n  <VerticalLayout>\n    <Lable name=\"x\"/>\n  </VerticalLayout>\n</Window>\n");
    os::setDebugEnabled(true);
    ::testing::internal::CaptureStderr();
    RecordingWindow w;
    const bool ok = w.create(path);
    const std::string err = ::testing::internal::GetCapturedStderr();
    os::setDebugEnabled(false);
    EXPECT_FALSE(ok);
    EXPECT_NE(err.find(path.toStdString() + ":3: unknown control class \"Lable\""), std::string::npos) << err;
    ASSERT_NE(w.root(), nullptr);
    EXPECT_EQ(w.find("x"), nullptr);
    EXPECT_TRUE(testing::showAndWait(w)) << "an empty window still shows";

    EXPECT_FALSE(w.create(dir_.filePath("missing.xml")) ) ;
    EXPECT_TRUE(lastBuildError().contains("cannot open layout")) << lastBuildError().toStdString();
}

TEST_F(LayoutTest, ResourceIndexNamesLayoutsAndReportsItsOwnErrors) {
    const QString layout = write("msg.xml", R"(<Window size="100,50"><Label name="MessageText"/></Window>)");
    write("res.xml", QStringLiteral(R"(<Resources>
  <Layout name="XML_MSG" file="%1"/>
  <Style name="s1" textcolor="#FF010203"/>
</Resources>)").arg(layout).toUtf8());
    ASSERT_TRUE(loadResourceIndex(dir_.filePath("res.xml")));
    EXPECT_EQ(resolveLayout("xml_msg"), std::filesystem::path(layout.toStdString()));
    RecordingWindow w;
    ASSERT_TRUE(w.create("XML_MSG"));
    EXPECT_NE(w.find("messagetext"), nullptr);
    ASSERT_NE(findStyle("S1"), nullptr);
    EXPECT_EQ(findStyle("listex_item_style"), nullptr) << "a new index replaces the old one";

    write("bad_res.xml", "<Resources>\n<Layout name=\"X\"/>\n</Resources>");
    os::setDebugEnabled(true);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(loadResourceIndex(dir_.filePath("bad_res.xml")));
    const std::string err = ::testing::internal::GetCapturedStderr();
    os::setDebugEnabled(false);
    EXPECT_NE(err.find("bad_res.xml:2:"), std::string::npos) << err;
}

TEST_F(LayoutTest, TheShippedResourceIndexLoads) {
    ASSERT_TRUE(initialize(builtSkin()));
    for (const char* style : {"listex_item_style", "macro_label_mouse_style", "macro_label_keyboard_style",
                              "macro_label_down_style", "macro_label_up_style", "macro_label_text_style"})
        EXPECT_NE(findStyle(style), nullptr) << style;
    EXPECT_FALSE(loadImage("common/background.png").isNull());
    EXPECT_EQ(loadImage("common/close.svg", QSize(64, 64)).size(), QSize(64, 64));
}

TEST(ValueParsers, Table) {
    struct C {
        const char* text;
        bool ok;
        Argb value;
    };
    for (const C& c : {C{"#FF0199CB", true, 0xFF0199CB}, C{"#0199CB", true, 0xFF0199CB}, C{"0x80FF0000", true, 0x80FF0000},
                       C{" #00000000 ", true, 0}, C{"#FFF", false, 0}, C{"FF0199CB", false, 0}, C{"#1234567890", false, 0},
                       C{"#GG0000", false, 0}}) {
        Argb v = 0;
        EXPECT_EQ(parseColor(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    QRect r;
    EXPECT_TRUE(parseRect("1, 2, 30, 40", r));
    EXPECT_EQ(r, QRect(1, 2, 30, 40));
    EXPECT_FALSE(parseRect("1,2,-3,4", r));
    EXPECT_FALSE(parseRect("1,2,3", r));
    int n;
    EXPECT_TRUE(parseInt("-12", n));
    EXPECT_EQ(n, -12);
    EXPECT_FALSE(parseInt("12abc", n));
    bool b;
    EXPECT_TRUE(parseBool("TRUE", b) && b);
    EXPECT_FALSE(parseBool("yes", b));
}

TEST(ImageStrings, ParseAndTint) {
    auto spec = parseImageString("file='ms/key_left_down.png' source='0,0,40,40' corner='4,4,4,4' fade='200' dest='2,2,36,36'");
    ASSERT_TRUE(spec);
    EXPECT_EQ(spec->file, "ms/key_left_down.png");
    EXPECT_EQ(spec->source, QRect(0, 0, 40, 40));
    EXPECT_EQ(spec->corner, QMargins(4, 4, 4, 4));
    EXPECT_EQ(spec->fade, 200);
    EXPECT_EQ(spec->dest, QRect(2, 2, 36, 36));
    EXPECT_EQ(parseImageString("common/unuse.png")->file, "common/unuse.png");
    EXPECT_FALSE(parseImageString("file='a.png' fade='300'"));
    EXPECT_FALSE(parseImageString("source='0,0,1,1'"));
    EXPECT_FALSE(parseImageString("file='a.png' junk"));

    testing::ensureApp();
    initialize(builtSkin());
    // A tint fills the image's shape with the preview colour (red + 256 blue + 65536 green).
    QImage out(32, 32, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::black);
    {
        QPainter p(&out);
        const std::uint32_t green = 65536u * 200u;
        EXPECT_TRUE(drawImageString(p, out.rect(), "common/background.png", green, 255, true));
        EXPECT_FALSE(drawImageString(p, out.rect(), "common/no_such.png", 0, 255, true));
    }
    const QColor c = out.pixelColor(16, 16);
    EXPECT_EQ(c.red(), 0);
    EXPECT_EQ(c.green(), 200);
    EXPECT_EQ(c.blue(), 0);
}

TEST_F(LayoutTest, NamesAreFoundWithoutRegardToCaseFirstOneWins) {
    RecordingWindow w;
    ASSERT_TRUE(w.create(write("names.xml", R"(<Window><VerticalLayout name="Root">
        <Label name="Dup" text="first"/><Label name="dup" text="second"/><Label name="other"/></VerticalLayout></Window>)")));
    EXPECT_EQ(w.find("DUP")->text(), "first");
    EXPECT_EQ(w.find("root"), w.root());
    auto* root = as<Container>(w.root());
    root->remove(w.find("dup"));
    EXPECT_EQ(w.find("dup")->text(), "second") << "the next control of that name takes over";
    w.find("other")->setName("renamed");
    EXPECT_EQ(w.find("other"), nullptr);
    EXPECT_NE(w.find("RENAMED"), nullptr);
    auto* added = new Label;
    added->setName("late");
    root->add(added);
    EXPECT_EQ(w.find("Late"), added);
    EXPECT_EQ(w.find(""), nullptr);
}

TEST_F(LayoutTest, DpiScalesGeometry) {
    RecordingWindow w;
    ASSERT_TRUE(w.create(write("dpi.xml", R"(<Window size="200,100"><HorizontalLayout><Button name="b" width="50"/><Label name="l" pos="10,10,20,20"/></HorizontalLayout></Window>)")));
    testing::showAndWait(w);
    EXPECT_EQ(w.find("b")->rect().width(), 50);
    w.setDpi(192);
    testing::processEvents();
    EXPECT_EQ(w.scale(), 2.0);
    EXPECT_EQ(w.geometry().size(), QSize(400, 200));
    EXPECT_EQ(w.find("b")->rect(), QRect(0, 0, 100, 200));
    EXPECT_EQ(w.find("l")->rect(), QRect(20, 20, 40, 40));
}

} // namespace
} // namespace kavrel::skin::test
