#include "kavrel/ui/controls.h"

#include "kavrel/os/diag.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/render.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/window.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <new>

namespace kavrel::ui {

namespace {

// Theme accent, used when a skin gives a ring no foreground colour.
constexpr skin::Argb kAccent = 0xFF00B4FF;
// Theme text colour for labels of a chart without a text colour.
constexpr skin::Argb kDefaultText = 0xFFE3E6EC;

bool isName(const QString& name, const char* what) {
    return name.compare(QLatin1String(what), Qt::CaseInsensitive) == 0;
}

} // namespace

// ---------------------------------------------------------------- CCircleProgressUI

CCircleProgressUI::CCircleProgressUI() = default;
CCircleProgressUI::~CCircleProgressUI() = default;
QString CCircleProgressUI::className() const { return QStringLiteral("CircleProgress"); }

int CCircleProgressUI::sweepDegrees() const {
    const int range = maxValue() - minValue();
    if (range <= 0) return 0;
    const double sweep = std::trunc(double(value()) / double(range) * 360.0);
    return static_cast<int>(std::clamp(sweep, 0.0, 360.0));
}

void CCircleProgressUI::paintBkColor(QPainter& p) {
    if (!(bkColor() >> 24)) return;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(skin::toQColor(bkColor()));
    p.drawEllipse(QRectF(localRect()));
    p.restore();
}

void CCircleProgressUI::paintForeColor(QPainter& p) {
    const QRectF r(localRect());
    p.save();
    p.setPen(Qt::NoPen);
    if (const int sweep = sweepDegrees(); sweep > 0) {
        p.setBrush(skin::toQColor(foreColor() ? foreColor() : kAccent));
        // Qt counts angles counter-clockwise from 3 o'clock: the bottom is -90 degrees and a
        // clockwise sweep is negative.
        p.drawPie(r, -90 * 16, -sweep * 16);
    }
    const double inset = scaled(10);
    const QRectF centre = r.adjusted(inset, inset, -inset, -inset);
    if (centre.width() > 0 && centre.height() > 0) {
        p.setBrush(QColor(255, 255, 255, 255));
        p.drawEllipse(centre);
    }
    p.restore();
}

// ---------------------------------------------------------------- CDeviceKeyButtonUI

CDeviceKeyButtonUI::CDeviceKeyButtonUI() = default;
CDeviceKeyButtonUI::~CDeviceKeyButtonUI() = default;
QString CDeviceKeyButtonUI::className() const { return QStringLiteral("DeviceKeyButton"); }

bool CDeviceKeyButtonUI::setAttribute(const QString& name, const QString& value) {
    if (isName(name, "lightimage")) {
        setLightImage(value);
        return true;
    }
    if (isName(name, "keysetimage")) {
        setKeySetImage(value);
        return true;
    }
    if (isName(name, "gmnametextcolor")) return true;   // accepted for old skins, no effect
    return skin::Button::setAttribute(name, value);
}

void CDeviceKeyButtonUI::setLightImage(const QString& image) {
    lightImage_ = image;
    invalidate();
}

void CDeviceKeyButtonUI::setKeySetImage(const QString& image) {
    keySetImage_ = image;
    invalidate();
}

void CDeviceKeyButtonUI::SetLightState(std::uint32_t colour, int level, int show) {
    lightColor_.store(colour, std::memory_order_relaxed);
    lightLevel_.store(level, std::memory_order_relaxed);
    lightShown_.store(show != 0, std::memory_order_relaxed);
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
    if (keySetHidden_ == hidden) return;
    keySetHidden_ = hidden;
    invalidate();
}

void CDeviceKeyButtonUI::paintStatusImage(QPainter& p) {
    skin::Button::paintStatusImage(p);
    const QRect r = localRect();
    if (isLightShown() && !lightImage_.isEmpty()) {
        const int level = std::clamp(lightLevel(), 0, 255);
        skin::drawImageString(p, r, lightImage_, lightColor(), level, true, scale());
    }
    // The toolkit multiplies an untinted image's fade by alpha, so the marker is drawn at full
    // alpha to appear as the skin drew it.
    if (!keySetHidden_ && !keySetImage_.isEmpty())
        skin::drawImageString(p, r, keySetImage_, 0, 255, false, scale());
}

// ---------------------------------------------------------------- CChartViewUI

CChartViewUI::CChartViewUI() = default;
CChartViewUI::~CChartViewUI() = default;
QString CChartViewUI::className() const { return QStringLiteral("ChartView"); }

std::uint32_t CChartViewUI::chartColor(int index) {
    static constexpr std::uint32_t kColors[18] = {
        0xF5963F, 0x015AFF, 0xC0F46A, 0x6AEAF5, 0x977BFC, 0x3FF5A2, 0xFC909D, 0xFC90D2, 0xCBB07F,
        0x71C4F4, 0x85C2A2, 0x1717BD, 0xB317BD, 0xBD1761, 0xBD2B17, 0x4C8812, 0x127988, 0x122688,
    };
    const int i = ((index % 18) + 18) % 18;
    return 0xFF000000u | kColors[i];
}

bool CChartViewUI::setAttribute(const QString& name, const QString& value) {
    // The chart's own names are unknown to the base; everything else (font included) is the
    // base's, so the base attributes apply as usual.
    int n = 0;
    if (isName(name, "view")) {
        setView(value.compare(QLatin1String("histpgram"), Qt::CaseInsensitive) == 0 ? Histogram : Pie);
        return true;
    }
    if (isName(name, "shadowimage")) {
        shadowImage_ = value;
        invalidate();
        return true;
    }
    if (isName(name, "pillarimage")) {
        pillarImage_ = value;
        invalidate();
        return true;
    }
    if (isName(name, "shadowimageheight")) {
        if (!skin::parseInt(value, n)) return false;
        shadowImageHeight_ = n;
        invalidate();
        return true;
    }
    if (isName(name, "pillarimagewidth")) {
        if (!skin::parseInt(value, n)) return false;
        pillarImageWidth_ = n;
        invalidate();
        return true;
    }
    if (isName(name, "showhtml")) {
        showHtml_ = value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        invalidate();
        return true;
    }
    if (isName(name, "showtext")) {
        showText_ = value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        invalidate();
        return true;
    }
    return skin::Control::setAttribute(name, value);
}

void CChartViewUI::AddItem(const QString& label, double value) {
    items_.push_back({label, value});
    invalidate();
}

void CChartViewUI::RemoveAllItems() {
    items_.clear();
    invalidate();
}

void CChartViewUI::setView(View v) {
    view_ = v;
    invalidate();
}

void CChartViewUI::paint(QPainter& p) {
    skin::Control::paint(p);
    if (items_.empty()) return;
    if (view_ == Histogram)
        DoPaintHistogram(p);
    else
        DoPaintPie(p);
}

void CChartViewUI::drawLabel(QPainter& p, const QRect& rect, const QString& label, bool centred) {
    skin::Argb colour = isEnabled() ? textColor() : disabledTextColor();
    if (!colour) colour = kDefaultText;
    if (showHtml_) {
        QTextDocument doc;
        doc.setDefaultFont(skin::fontFor(font(), scale()));
        doc.setDocumentMargin(0);
        doc.setHtml(label);
        const QSizeF size = doc.size();
        const double x = centred ? rect.left() + (rect.width() - size.width()) / 2 : rect.left();
        const double y = rect.top() + (rect.height() - size.height()) / 2;
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
        p.translate(x, y);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.palette.setColor(QPalette::Text, skin::toQColor(colour));
        doc.documentLayout()->draw(&p, ctx);
        p.restore();
        return;
    }
    p.save();
    p.setFont(skin::fontFor(font(), scale()));
    p.setPen(skin::toQColor(colour));
    const int flags = Qt::TextSingleLine | Qt::AlignVCenter | (centred ? Qt::AlignHCenter : Qt::AlignLeft);
    p.drawText(rect, flags, label);
    p.restore();
}

void CChartViewUI::DoPaintPie(QPainter& p) {
    const QRect rc = localRect();
    const int legend = showText_ ? scaled(100) : 0;
    const int square = scaled(18), step = scaled(22), gap5 = scaled(5), gap10 = scaled(10);
    const int n = static_cast<int>(items_.size());
    const int b = rc.width() - (legend + gap10);
    const int c = rc.height() - gap10;
    const int d = std::min(b, c);
    if (d <= 0) return;
    const int x0 = rc.left() + (b - d) / 2 + gap5;
    const int y0 = rc.top() + (c - d) / 2 + gap5;
    int ly = std::max(rc.top() + (c - step * n) / 2, rc.top() + gap5);

    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30, 30));
    p.drawEllipse(QRectF(x0 - 4, y0 - 4, d + 8, d + 8));
    p.setBrush(QColor(100, 100, 100, 100));
    p.drawEllipse(QRectF(x0 - 1, y0 - 1, d + 2, d + 2));

    double total = 0;
    for (const Item& item : items_) total += item.value;
    double start = 0;
    for (int i = 0; i < n && total > 0; ++i) {
        const double sweep = items_[i].value / total * 360.0;
        p.setBrush(skin::toQColor(chartColor(i)));
        // Clockwise from 3 o'clock, as the slices run.
        p.drawPie(QRectF(x0, y0, d, d), static_cast<int>(std::lround(-start * 16)),
                  static_cast<int>(std::lround(-sweep * 16)));
        start += sweep;
    }
    p.restore();

    if (!showText_) return;
    for (int i = 0; i < n; ++i, ly += step) {
        const QRect box(x0 + d + gap10, ly, square, square);
        if (!rc.intersects(box)) continue;
        p.fillRect(box, skin::toQColor(chartColor(i)));
        const QRect text(box.right() + 1 + gap5, ly, std::max(0, rc.right() - box.right() - gap5), square);
        drawLabel(p, text, items_[i].label, false);
    }
}

void CChartViewUI::DoPaintHistogram(QPainter& p) {
    const QRect rc = localRect();
    const int t = showText_ ? scaled(25) : 0;
    const int bottom = rc.top() + rc.height();
    if (!shadowImage_.isEmpty()) {
        const int h = scaled(shadowImageHeight_);
        if (!skin::drawImageString(p, QRect(rc.left(), bottom - t - h, rc.width(), h), shadowImage_,
                                   0, 255, false, scale()))
            shadowImage_.clear();   // not tried again
    }
    double max = 0;
    for (const Item& item : items_) max = std::max(max, item.value);
    const int n = static_cast<int>(items_.size());
    const int pw = scaled(pillarImageWidth_);
    // Spacing g = (width / pillar width) x 2; a pillar width of 0 has no such spacing, so the
    // columns are then spread evenly over the width.
    const int g = pw > 0 ? (rc.width() / pw) * 2 : rc.width() / (n + 1);
    int x = g;
    for (const Item& item : items_) {
        if (!pillarImage_.isEmpty() && pw > 0 && max > 0) {
            const int h = static_cast<int>(std::trunc((rc.height() - t) * (item.value / max)));
            const QRect column(rc.left() + x, bottom - t - h, pw, h);
            if (h > 0 && !skin::drawImageString(p, column, pillarImage_, 0, 255, false, scale()))
                pillarImage_.clear();
        }
        if (showText_) {
            const QRect text(QPoint(rc.left() + x - g, bottom - t), QPoint(rc.left() + x + pw + g - 1, bottom - 1));
            drawLabel(p, text, item.label, true);
        }
        x += g + pw;
    }
}

// ---------------------------------------------------------------- CWndUI

CWndUI::CWndUI() = default;
CWndUI::~CWndUI() = default;
QString CWndUI::className() const { return QStringLiteral("Wnd"); }

void CWndUI::setHostedWindow(QWidget* window) {
    hosted_ = window;
    placeHosted();
}

void CWndUI::setVisible(bool visible) {
    skin::Control::setVisible(visible);
    placeHosted();
}

void CWndUI::geometryChanged(const QRect& windowRect) {
    skin::Control::geometryChanged(windowRect);
    placeHosted();
}

void CWndUI::visibilityChanged(bool visibleOnScreen) {
    skin::Control::visibilityChanged(visibleOnScreen);
    placeHosted();
}

void CWndUI::placeHosted() {
    if (!hosted_) return;
    if (skin::Window* w = window(); w && w->widget()) {
        QWidget* host = w->widget();
        QRect r = rect();
        if (!host->isAncestorOf(hosted_)) {
            r.translate(host->mapToGlobal(QPoint(0, 0)));
        } else if (QWidget* parent = hosted_->parentWidget(); parent && parent != host) {
            r.moveTopLeft(parent->mapFrom(host, r.topLeft()));
        }
        hosted_->setGeometry(r);
    }
    hosted_->setVisible(isVisibleOnScreen());
}

// ---------------------------------------------------------------- registration

namespace {

template <class T>
skin::Control* make() {
    return new (std::nothrow) T();
}

} // namespace

void registerCustomControls() {
    skin::registerControl(QStringLiteral("CCircleProgressUI"), &make<CCircleProgressUI>);
    skin::registerControl(QStringLiteral("CChartViewUI"), &make<CChartViewUI>);
    skin::registerControl(QStringLiteral("CWndUI"), &make<CWndUI>);
    skin::registerControl(QStringLiteral("CDeviceKeyButtonUI"), &make<CDeviceKeyButtonUI>);
}

skin::Control* createCustomControl(const QString& tag) {
    if (isName(tag, "CircleProgress")) return make<CCircleProgressUI>();
    if (isName(tag, "DeviceKeyButton")) return make<CDeviceKeyButtonUI>();
    return nullptr;
}

} // namespace kavrel::ui
