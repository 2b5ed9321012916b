// Edit, slider and colour palette: the controls that take values from the user.
#include "kavrel/skin/controls.h"

#include "internal.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/resources.h"

#include <QLineEdit>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QSlider>

#include <cmath>

namespace kavrel::skin {

using namespace detail;

namespace {
QString cssColour(Argb c) {
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg((c >> 16) & 0xFF).arg((c >> 8) & 0xFF).arg(c & 0xFF).arg(c >> 24);
}
} // namespace

// ---------------------------------------------------------------- Edit

Edit::Edit() = default;
QString Edit::className() const { return QStringLiteral("Edit"); }

QWidget* Edit::createWidget(QWidget* parent) {
    auto* w = new Hosted<QLineEdit>(this, parent, false);
    QObject::connect(w, &QLineEdit::textEdited, w, [this](const QString& t) { userEdited(t); });
    QObject::connect(w, &QLineEdit::returnPressed, w, [this] { raise(notify::kReturn); });
    return w;
}

void Edit::syncWidget() {
    Control::syncWidget();
    auto* le = dynamic_cast<QLineEdit*>(existingWidget());
    if (!le) return;
    le->setMaxLength(maxChar_ > 0 ? maxChar_ : 32767);
    le->setReadOnly(readOnly_);
    le->setEchoMode(password_ ? QLineEdit::Password : QLineEdit::Normal);
    if (numberOnly_) {
        if (!le->validator())
            le->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), le));
    } else if (le->validator()) {
        delete le->validator();
        le->setValidator(nullptr);
    }
    le->setFont(fontFor(font(), scale()));
    QString css;
    if (textColor()) css += QStringLiteral("color:%1;").arg(cssColour(textColor()));
    if (bkColor()) css += QStringLiteral("background:%1;").arg(cssColour(bkColor()));
    if (!css.isEmpty()) le->setStyleSheet(QStringLiteral("QLineEdit{%1}").arg(css));
    if (le->text() != text()) {
        settingText_ = true;
        le->setText(text());
        settingText_ = false;
    }
}

void Edit::setText(const QString& t) {
    Control::setText(t);
    if (auto* le = dynamic_cast<QLineEdit*>(existingWidget()); le && le->text() != t) {
        settingText_ = true;
        le->setText(t);
        settingText_ = false;
    }
}

void Edit::userEdited(const QString& t) {
    if (settingText_) return;
    Control::setText(t);
    raise(notify::kTextChanged);
}

void Edit::setMaxChar(int n) { maxChar_ = n; syncWidget(); }
void Edit::setNumberOnly(bool on) { numberOnly_ = on; syncWidget(); }
void Edit::setReadOnly(bool on) { readOnly_ = on; syncWidget(); }
void Edit::setPassword(bool on) { password_ = on; syncWidget(); }

void Edit::selectAll() {
    if (auto* le = dynamic_cast<QLineEdit*>(existingWidget())) le->selectAll();
}

bool Edit::handleEvent(QEvent* e) { return Control::handleEvent(e); }

bool Edit::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    int v;
    bool b;
    if (n == QLatin1String("maxchar")) return parseInt(value, v) ? (setMaxChar(v), true) : badValue();
    if (n == QLatin1String("numberonly"))
        return parseBool(value, b) ? (setNumberOnly(b), true) : badValue();
    if (n == QLatin1String("readonly")) return parseBool(value, b) ? (setReadOnly(b), true) : badValue();
    if (n == QLatin1String("password")) return parseBool(value, b) ? (setPassword(b), true) : badValue();
    return Control::setAttribute(name, value);
}

// ---------------------------------------------------------------- Slider

Slider::Slider() = default;
QString Slider::className() const { return QStringLiteral("Slider"); }

QWidget* Slider::createWidget(QWidget* parent) {
    auto* w = new Hosted<QSlider>(this, parent, false);
    w->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(w, &QSlider::sliderMoved, w, [this](int v) {
        value_ = v;
        raise(notify::kMoveValueChanged, v);
    });
    QObject::connect(w, &QSlider::sliderReleased, w, [this, w] {
        value_ = w->value();
        raise(notify::kValueChanged, value_);
    });
    QObject::connect(w, &QSlider::valueChanged, w, [this, w](int v) {
        if (syncing_) return;
        value_ = v;
        if (!w->isSliderDown()) raise(notify::kValueChanged, v);
    });
    return w;
}

void Slider::syncWidget() {
    Control::syncWidget();
    auto* s = dynamic_cast<QSlider*>(existingWidget());
    if (!s) return;
    syncing_ = true;
    s->setOrientation(horizontal_ ? Qt::Horizontal : Qt::Vertical);
    s->setRange(min_, max_);
    s->setSingleStep(step_);
    s->setPageStep(std::max(step_, (max_ - min_) / 10));
    s->setValue(value_);
    if (foreColor_) {
        s->setStyleSheet(QStringLiteral("QSlider::sub-page:horizontal{background:%1;}"
                                        "QSlider::add-page:vertical{background:%1;}")
                             .arg(cssColour(foreColor_)));
    }
    syncing_ = false;
}

void Slider::setMinValue(int v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    value_ = std::clamp(value_, min_, max_);
    syncWidget();
}

void Slider::setMaxValue(int v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    value_ = std::clamp(value_, min_, max_);
    syncWidget();
}

void Slider::setValue(int v) {
    value_ = std::clamp(v, min_, max_);
    syncWidget();
}

void Slider::setStep(int step) {
    step_ = std::max(1, step);
    syncWidget();
}

void Slider::setHorizontal(bool on) {
    horizontal_ = on;
    syncWidget();
}

void Slider::setForeColor(Argb c) {
    foreColor_ = c;
    syncWidget();
}

bool Slider::handleEvent(QEvent* e) { return Control::handleEvent(e); }

bool Slider::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    int v;
    bool b;
    Argb c;
    if (n == QLatin1String("min")) return parseInt(value, v) ? (setMinValue(v), true) : badValue();
    if (n == QLatin1String("max")) return parseInt(value, v) ? (setMaxValue(v), true) : badValue();
    if (n == QLatin1String("value")) {
        if (!parseInt(value, v)) return badValue();
        // The range may follow the value in the layout: keep it unclamped until then.
        value_ = v;
        if (value_ > max_) max_ = value_;
        if (value_ < min_) min_ = value_;
        syncWidget();
        return true;
    }
    if (n == QLatin1String("step")) return parseInt(value, v) ? (setStep(v), true) : badValue();
    if (n == QLatin1String("hor")) return parseBool(value, b) ? (setHorizontal(b), true) : badValue();
    if (n == QLatin1String("forecolor"))
        return parseColor(value, c) ? (setForeColor(c), true) : badValue();
    return Control::setAttribute(name, value);
}

// ---------------------------------------------------------------- ColorPalette

ColorPalette::ColorPalette() { setSelectColor(colour_); }
QString ColorPalette::className() const { return QStringLiteral("ColorPalette"); }

void ColorPalette::setSelectColor(Argb colour) {
    colour_ = colour | 0xFF000000u;
    float h, s, v;
    toQColor(colour_).getHsvF(&h, &s, &v);
    if (h >= 0) hue_ = h;
    sat_ = s;
    val_ = v;
    invalidate();
}

void ColorPalette::setBarHeight(int h) {
    barHeight_ = std::max(0, h);
    invalidate();
}

bool ColorPalette::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == QLatin1String("barheight")) {
        int v;
        return parseInt(value, v) ? (setBarHeight(v), true) : badValue();
    }
    if (n == QLatin1String("selectcolor")) {
        Argb c;
        return parseColor(value, c) ? (setSelectColor(c), true) : badValue();
    }
    return Control::setAttribute(name, value);
}

namespace {
struct PaletteRects {
    QRect field, bar;
};
PaletteRects paletteRects(const QRect& r, int barHeight, double scale) {
    const int bar = static_cast<int>(std::lround(barHeight * scale));
    const int gap = bar > 0 ? static_cast<int>(std::lround(6 * scale)) : 0;
    PaletteRects pr;
    pr.field = QRect(r.left(), r.top(), r.width(), std::max(1, r.height() - bar - gap));
    pr.bar = QRect(r.left(), r.bottom() - bar + 1, r.width(), bar);
    return pr;
}
} // namespace

void ColorPalette::paint(QPainter& p) {
    paintBkColor(p);
    const PaletteRects pr = paletteRects(localRect(), barHeight_, scale());
    const double round = 4 * scale();
    // Hue across, saturation down, at the chosen brightness.
    QLinearGradient hue(pr.field.topLeft(), pr.field.topRight());
    for (int i = 0; i <= 6; ++i) hue.setColorAt(i / 6.0, QColor::fromHsvF(std::min(i / 6.0, 0.9999), 1, val_));
    QPainterPath clip;
    clip.addRoundedRect(pr.field, round, round);
    p.save();
    p.setClipPath(clip);
    p.fillRect(pr.field, hue);
    QLinearGradient sat(pr.field.topLeft(), pr.field.bottomLeft());
    const QColor grey = QColor::fromHsvF(0, 0, val_);
    sat.setColorAt(0, QColor(grey.red(), grey.green(), grey.blue(), 0));
    sat.setColorAt(1, grey);
    p.fillRect(pr.field, sat);
    p.restore();
    // Marker.
    const double r = 6 * scale();
    const QPointF m(std::clamp(pr.field.left() + hue_ * pr.field.width(), pr.field.left() + r, pr.field.right() - r),
                    std::clamp(pr.field.top() + (1 - sat_) * pr.field.height(), pr.field.top() + r,
                               pr.field.bottom() - r));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 3 * scale()));
    p.drawEllipse(m, r, r);
    p.setPen(QPen(Qt::white, 1.5 * scale()));
    p.drawEllipse(m, r, r);
    if (pr.bar.height() > 0) {
        QLinearGradient val(pr.bar.topLeft(), pr.bar.topRight());
        val.setColorAt(0, Qt::black);
        val.setColorAt(1, QColor::fromHsvF(hue_ >= 1 ? 0.9999 : hue_, sat_, 1));
        QPainterPath bar;
        bar.addRoundedRect(pr.bar, round, round);
        p.fillPath(bar, val);
        const double x = pr.bar.left() + val_ * pr.bar.width();
        p.setPen(QPen(Qt::white, 2 * scale()));
        p.drawLine(QPointF(x, pr.bar.top() - 2 * scale()), QPointF(x, pr.bar.bottom() + 2 * scale()));
    }
    paintBorder(p);
}

void ColorPalette::pickAt(const QPoint& pt) {
    const PaletteRects pr = paletteRects(localRect(), barHeight_, scale());
    if (dragBar_) {
        val_ = std::clamp(double(pt.x() - pr.bar.left()) / std::max(1, pr.bar.width()), 0.0, 1.0);
    } else {
        hue_ = std::clamp(double(pt.x() - pr.field.left()) / std::max(1, pr.field.width()), 0.0, 0.9999);
        sat_ = std::clamp(1.0 - double(pt.y() - pr.field.top()) / std::max(1, pr.field.height()), 0.0, 1.0);
    }
    colour_ = fromQColor(QColor::fromHsvF(hue_, sat_, val_)) | 0xFF000000u;
    invalidate();
}

bool ColorPalette::handleEvent(QEvent* e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton) break;
        const PaletteRects pr = paletteRects(localRect(), barHeight_, scale());
        const QPoint pt = me->position().toPoint();
        dragBar_ = pr.bar.height() > 0 && pt.y() >= pr.bar.top() - static_cast<int>(3 * scale());
        dragging_ = true;
        pressColour_ = colour_;
        pickAt(pt);
        return true;
    }
    case QEvent::MouseMove:
        if (dragging_) {
            pickAt(static_cast<QMouseEvent*>(e)->position().toPoint());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging_ && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            dragging_ = false;
            pickAt(static_cast<QMouseEvent*>(e)->position().toPoint());
            if (colour_ != pressColour_) raise(notify::kColorChanged, colour_);
            return true;
        }
        break;
    default:
        break;
    }
    return Control::handleEvent(e);
}

} // namespace kavrel::skin
