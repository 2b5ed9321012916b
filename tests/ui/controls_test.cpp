// The custom controls, rendered offscreen and checked pixel by pixel where a wrong angle, inset
// or condition would show.
#include "kavrel/ui/controls.h"

#include "kavrel/skin/builder.h"
#include "kavrel/skin/testing.h"
#include "kavrel/skin/window.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

namespace kavrel::ui {
namespace {

using skin::Argb;

constexpr Argb kBlue = 0xFF0000FF;
constexpr Argb kRed = 0xFFFF0000;

QImage render(skin::Control& c, int w, int h) {
    QWidget* widget = c.widget();
    widget->resize(w, h);
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// Colour close to the expected one (antialiasing aside, samples sit away from edges).
bool near(QRgb pixel, Argb expected) {
    const QColor a = QColor::fromRgba(pixel), b = QColor::fromRgba(expected);
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

// A point at `radius` from the centre of a 100 x 100 ring, at `degrees` clockwise from 3 o'clock.
QPoint onRing(double degrees, double radius) {
    const double t = degrees * M_PI / 180.0;
    return QPoint(static_cast<int>(std::lround(50 + radius * std::cos(t))),
                  static_cast<int>(std::lround(50 + radius * std::sin(t))));
}

void writeSvg(const QString& path, const QString& fill) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"40\">"
                           "<rect width=\"40\" height=\"40\" fill=\"%1\"/></svg>")
                .arg(fill)
                .toUtf8());
}

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        skin::testing::ensureApp();
        registerCustomControls();
    }
};

TEST_F(ControlsTest, RingFillsClockwiseFromTheBottomOnAWhiteCentre) {
    struct Case {
        int min, max, value;
        int sweep;   // expected filled arc in degrees, starting at the bottom
    } cases[] = {
        {0, 100, 25, 90},      // bottom to the left
        {0, 100, 50, 180},
        {0, 100, 100, 360},    // value = max: the full ring
        {20, 100, 40, 180},    // value / (max - min), not (value - min) / (max - min)
        {20, 100, 100, 360},   // 450 degrees: still the full ring
        {0, 100, 0, 0},        // no foreground at all
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.min << "/" << k.max << "/" << k.value);
        CCircleProgressUI ring;
        ring.setBkColor(kBlue);
        ring.setForeColor(kRed);
        ring.setMinValue(k.min);
        ring.setMaxValue(k.max);
        ring.setValue(k.value);
        const QImage img = render(ring, 100, 100);
        for (int a = 0; a < 360; a += 15) {
            const double from90 = std::fmod(a - 90 + 360, 360.0);   // clockwise from the bottom
            if (std::abs(from90) < 4 || std::abs(from90 - k.sweep) < 4 || from90 > 356) continue;
            const bool filled = from90 < k.sweep;
            EXPECT_TRUE(near(img.pixel(onRing(a, 45)), filled ? kRed : kBlue)) << "angle " << a;
            // The ring is 10 px wide: just outside the inset it is coloured, just inside white.
            EXPECT_TRUE(near(img.pixel(onRing(a, 42.5)), filled ? kRed : kBlue)) << "angle " << a;
            EXPECT_TRUE(near(img.pixel(onRing(a, 37.5)), 0xFFFFFFFF)) << "angle " << a;
        }
        EXPECT_TRUE(near(img.pixel(50, 50), 0xFFFFFFFF));
    }
}

TEST_F(ControlsTest, RingWithoutRangeDrawsNoForeground) {
    CCircleProgressUI ring;
    ring.setMinValue(50);
    ring.setMaxValue(50);
    ring.setValue(50);
    EXPECT_EQ(ring.sweepDegrees(), 0);
    ring.setBkColor(kBlue);
    ring.setForeColor(kRed);
    const QImage img = render(ring, 100, 100);
    EXPECT_TRUE(near(img.pixel(onRing(135, 45)), kBlue));
}

class KeyButtonTest : public ControlsTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        writeSvg(dir.filePath("status.svg"), "#ff0000");
        writeSvg(dir.filePath("light.svg"), "#ffffff");
        writeSvg(dir.filePath("marker.svg"), "#0000ff");
        key.setNormalImage(dir.filePath("status.svg"));
        ASSERT_TRUE(key.setAttribute("lightimage", dir.filePath("light.svg")));
        ASSERT_TRUE(key.setAttribute("keysetimage",
                                     QStringLiteral("file='%1' dest='28,0,12,12'").arg(dir.filePath("marker.svg"))));
    }
    QTemporaryDir dir;
    CDeviceKeyButtonUI key;
};

TEST_F(KeyButtonTest, ShowsOnlyItsStatusImageUntilTheLightIsShown) {
    QImage img = render(key, 40, 40);
    EXPECT_TRUE(near(img.pixel(10, 30), kRed));
    EXPECT_TRUE(near(img.pixel(34, 5), kRed));   // marker hidden by default

    // Light state set but not shown: still only the status image.
    key.SetLightState(65536u * 255u, 255, 0);     // green, preview packing
    img = render(key, 40, 40);
    EXPECT_TRUE(near(img.pixel(10, 30), kRed));

    key.SetLightState(65536u * 255u, 255, 1);
    EXPECT_TRUE(key.isLightShown());
    img = render(key, 40, 40);
    EXPECT_TRUE(near(img.pixel(10, 30), 0xFF00FF00));
}

TEST_F(KeyButtonTest, MarkerIsDrawnOnlyWhenNotHidden) {
    EXPECT_TRUE(key.isKeySetHidden());
    key.SetKeySetHidden(false);
    QImage img = render(key, 40, 40);
    EXPECT_TRUE(near(img.pixel(34, 5), kBlue));
    EXPECT_TRUE(near(img.pixel(10, 30), kRed));
    key.SetKeySetHidden(true);
    img = render(key, 40, 40);
    EXPECT_TRUE(near(img.pixel(34, 5), kRed));
}

TEST_F(ControlsTest, LayoutsCreateTheRegisteredClassesWithTheirAttributes) {
    std::unique_ptr<skin::Control> root(skin::buildLayoutFromString(
        QStringLiteral("<Window><VerticalLayout>"
                       "<CCircleProgressUI name=\"ring\" min=\"0\" max=\"10\" value=\"5\"/>"
                       "<CDeviceKeyButtonUI name=\"key\" lightimage=\"a.png\" keysetimage=\"b.png\""
                       " gmnametextcolor=\"#FF00FF\"/>"
                       "<CChartViewUI name=\"chart\" view=\"histpgram\" pillarimagewidth=\"12\""
                       " showtext=\"false\" showhtml=\"true\" font=\"1\"/>"
                       "<cwndui name=\"wnd\"/>"
                       "</VerticalLayout></Window>"),
        QStringLiteral("inline.xml")));
    ASSERT_NE(root, nullptr) << skin::lastBuildError().toStdString();
    auto* ring = skin::as<CCircleProgressUI>(root->findChild("ring"));
    auto* key = skin::as<CDeviceKeyButtonUI>(root->findChild("key"));
    auto* chart = skin::as<CChartViewUI>(root->findChild("chart"));
    ASSERT_TRUE(ring && key && chart);
    EXPECT_EQ(ring->className(), "CircleProgress");
    EXPECT_EQ(ring->value(), 5);
    EXPECT_EQ(key->className(), "DeviceKeyButton");
    EXPECT_EQ(key->lightImage(), "a.png");
    EXPECT_EQ(key->keySetImage(), "b.png");
    EXPECT_EQ(key->lightColor(), 255u);
    EXPECT_EQ(key->lightLevel(), 200);
    EXPECT_EQ(chart->view(), CChartViewUI::Histogram);
    EXPECT_EQ(chart->pillarImageWidth(), 12);
    EXPECT_FALSE(chart->showText());
    EXPECT_TRUE(chart->showHtml());
    EXPECT_EQ(chart->font(), 1);   // a base attribute too
    EXPECT_EQ(skin::as<CWndUI>(root->findChild("wnd"))->className(), "Wnd");

    std::unique_ptr<skin::Control> made(createCustomControl("circleprogress"));
    EXPECT_NE(skin::as<CCircleProgressUI>(made.get()), nullptr);
    made.reset(createCustomControl("DeviceKeyButton"));
    EXPECT_NE(skin::as<CDeviceKeyButtonUI>(made.get()), nullptr);
    EXPECT_EQ(createCustomControl("MS_Key_UI"), nullptr);
}

TEST_F(ControlsTest, ChartViewAttributeSelectsPieForAnythingButHistpgram) {
    const struct {
        const char* value;
        CChartViewUI::View view;
    } cases[] = {
        {"histpgram", CChartViewUI::Histogram}, {"pie", CChartViewUI::Pie},
        {"histpgram", CChartViewUI::Histogram}, {"histogram", CChartViewUI::Pie},
        {"histpgram", CChartViewUI::Histogram}, {"", CChartViewUI::Pie},
    };
    CChartViewUI chart;
    for (const auto& k : cases) {
        EXPECT_TRUE(chart.setAttribute("view", k.value));
        EXPECT_EQ(chart.view(), k.view) << k.value;
    }
    chart.setAttribute("showtext", "yes");
    EXPECT_FALSE(chart.showText());
}

TEST_F(ControlsTest, PieSlicesRunClockwiseFromThreeOClock) {
    CChartViewUI chart;
    chart.setAttribute("showtext", "false");
    chart.AddItem("a", 3);   // three quarters: from 3 o'clock clockwise to 12 o'clock
    chart.AddItem("b", 1);
    const QImage img = render(chart, 110, 110);
    // d = 100 at (5, 5): centre (55, 55).
    EXPECT_TRUE(near(img.pixel(55, 85), CChartViewUI::chartColor(0)));   // bottom
    EXPECT_TRUE(near(img.pixel(25, 55), CChartViewUI::chartColor(0)));   // left
    EXPECT_TRUE(near(img.pixel(75, 35), CChartViewUI::chartColor(1)));   // upper right
    EXPECT_TRUE(near(img.pixel(35, 35), CChartViewUI::chartColor(0)));   // upper left
}

TEST_F(ControlsTest, HistogramPillarsAndBadImagesAndZeroWidth) {
    QTemporaryDir dir;
    writeSvg(dir.filePath("pillar.svg"), "#00ff00");
    CChartViewUI chart;
    chart.setAttribute("view", "histpgram");
    chart.setAttribute("showtext", "false");
    chart.setAttribute("pillarimage", dir.filePath("pillar.svg"));
    chart.setAttribute("pillarimagewidth", "10");
    chart.AddItem("a", 2);
    chart.AddItem("b", 1);
    // width 200 / 10 x 2 = 40: pillars at x 40..49 (full height) and 90..99 (half height).
    QImage img = render(chart, 200, 100);
    EXPECT_TRUE(near(img.pixel(45, 10), 0xFF00FF00));
    EXPECT_TRUE(near(img.pixel(95, 80), 0xFF00FF00));
    EXPECT_FALSE(near(img.pixel(95, 20), 0xFF00FF00));
    EXPECT_FALSE(near(img.pixel(70, 80), 0xFF00FF00));

    // Pillar width 0 has no spacing rule: it draws without failing, labels included.
    chart.setAttribute("pillarimagewidth", "0");
    chart.setAttribute("showtext", "true");
    img = render(chart, 200, 100);
    EXPECT_FALSE(img.isNull());

    // An image that cannot be drawn is forgotten.
    chart.setAttribute("pillarimagewidth", "10");
    chart.setAttribute("pillarimage", dir.filePath("missing.png"));
    chart.setAttribute("shadowimage", dir.filePath("missing-too.png"));
    chart.setAttribute("shadowimageheight", "8");
    render(chart, 200, 100);
    EXPECT_TRUE(chart.pillarImage().isEmpty());
    EXPECT_TRUE(chart.shadowImage().isEmpty());
}

TEST_F(ControlsTest, WndHostFollowsTheControlsRectangleAndVisibility) {
    QTemporaryDir dir;
    QFile f(dir.filePath("host.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<Window size=\"300,200\"><Container><CWndUI name=\"wnd\" pos=\"20,30,100,50\"/></Container></Window>");
    f.close();
    skin::Window w;
    ASSERT_TRUE(w.create(dir.filePath("host.xml")));
    ASSERT_TRUE(skin::testing::showAndWait(w));
    auto* wnd = w.find<CWndUI>("wnd");
    ASSERT_NE(wnd, nullptr);
    auto* hosted = new QWidget(w.widget());
    wnd->setHostedWindow(hosted);
    EXPECT_EQ(hosted->geometry(), QRect(20, 30, 100, 50));
    EXPECT_TRUE(hosted->isVisible());
    wnd->setVisible(false);
    EXPECT_FALSE(hosted->isVisible());
    wnd->setVisible(true);
    EXPECT_TRUE(hosted->isVisible());
}

} // namespace
} // namespace kavrel::ui
