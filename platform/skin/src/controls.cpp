#include "kavrel/skin/controls.h"

#include "internal.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/render.h"
#include "kavrel/skin/window.h"

#include <QAbstractButton>
#include <QPainterPath>

namespace kavrel::skin {

using namespace detail;

namespace {

class ButtonWidget : public Hosted<QAbstractButton> {
public:
    ButtonWidget(Control* c, QWidget* parent) : Hosted<QAbstractButton>(c, parent, true) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_Hover);
    }
};

bool imageAttr(const QString& v, QString& out) {
    if (!v.isEmpty() && !parseImageString(v)) return badValue();
    out = v;
    return true;
}

bool colourAttr(const QString& v, Argb& out) {
    if (!parseColor(v, out)) return badValue();
    return true;
}

} // namespace

// ---------------------------------------------------------------- Label, Text

Label::Label() = default;
QString Label::className() const { return QStringLiteral("Label"); }

void Label::setWordBreak(bool on) {
    wordBreak_ = on;
    invalidate();
}

bool Label::setAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("wordbreak"), Qt::CaseInsensitive) == 0) {
        bool b;
        if (!parseBool(value, b)) return badValue();
        setWordBreak(b);
        return true;
    }
    return Control::setAttribute(name, value);
}

void Label::paintText(QPainter& p) { drawText(p, localRect(), displayText(), textColor()); }

Text::Text() {
    setWordBreak(true);
    setTextAlign(AlignLeft | AlignTop);
}
QString Text::className() const { return QStringLiteral("Text"); }

// ---------------------------------------------------------------- Button

Button::Button() { setTextAlign(AlignHCenter | AlignVCenter); }
QString Button::className() const { return QStringLiteral("Button"); }

#define KV_IMG(fn, member)                                                                         \
    void Button::fn(const QString& image) {                                                        \
        member = image;                                                                            \
        invalidate();                                                                              \
    }
KV_IMG(setNormalImage, normalImage_)
KV_IMG(setHotImage, hotImage_)
KV_IMG(setPushedImage, pushedImage_)
KV_IMG(setFocusedImage, focusedImage_)
KV_IMG(setDisabledImage, disabledImage_)
KV_IMG(setForeImage, foreImage_)
#undef KV_IMG
#define KV_COL(fn, member)                                                                         \
    void Button::fn(Argb c) {                                                                      \
        member = c;                                                                                \
        invalidate();                                                                              \
    }
KV_COL(setHotBkColor, hotBkColor_)
KV_COL(setPushedBkColor, pushedBkColor_)
KV_COL(setDisabledBkColor, disabledBkColor_)
KV_COL(setHotTextColor, hotTextColor_)
KV_COL(setPushedTextColor, pushedTextColor_)
KV_COL(setHotBorderColor, hotBorderColor_)
#undef KV_COL

bool Button::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    QString img;
    Argb c;
    if (n == QLatin1String("normalimage")) return imageAttr(value, img) && (setNormalImage(img), true);
    if (n == QLatin1String("hotimage")) return imageAttr(value, img) && (setHotImage(img), true);
    if (n == QLatin1String("pushedimage")) return imageAttr(value, img) && (setPushedImage(img), true);
    if (n == QLatin1String("focusedimage")) return imageAttr(value, img) && (setFocusedImage(img), true);
    if (n == QLatin1String("disabledimage"))
        return imageAttr(value, img) && (setDisabledImage(img), true);
    if (n == QLatin1String("foreimage")) return imageAttr(value, img) && (setForeImage(img), true);
    if (n == QLatin1String("hotbkcolor")) return colourAttr(value, c) && (setHotBkColor(c), true);
    if (n == QLatin1String("pushedbkcolor")) return colourAttr(value, c) && (setPushedBkColor(c), true);
    if (n == QLatin1String("disabledbkcolor"))
        return colourAttr(value, c) && (setDisabledBkColor(c), true);
    if (n == QLatin1String("hottextcolor")) return colourAttr(value, c) && (setHotTextColor(c), true);
    if (n == QLatin1String("pushedtextcolor"))
        return colourAttr(value, c) && (setPushedTextColor(c), true);
    if (n == QLatin1String("hotbordercolor"))
        return colourAttr(value, c) && (setHotBorderColor(c), true);
    return Label::setAttribute(name, value);
}

QWidget* Button::createWidget(QWidget* parent) {
    auto* w = new ButtonWidget(this, parent);
    QObject::connect(w, &QAbstractButton::clicked, w, [this] { clicked(); });
    return w;
}

bool Button::isHot() const {
    const QWidget* w = existingWidget();
    return w && w->isEnabled() && w->underMouse();
}

bool Button::isPushed() const {
    const auto* w = dynamic_cast<const QAbstractButton*>(existingWidget());
    return w && w->isDown();
}

bool Button::handleEvent(QEvent* e) {
    if (e->type() == QEvent::Enter) {
        raise(notify::kMouseEnter);
        invalidate();
    } else if (e->type() == QEvent::Leave) {
        raise(notify::kMouseLeave);
        invalidate();
    }
    return Label::handleEvent(e);
}

void Button::clicked() { raise(notify::kClick); }

Argb Button::currentBkColor() const {
    const QWidget* w = existingWidget();
    if (w && !w->isEnabled()) return disabledBkColor_ ? disabledBkColor_ : bkColor();
    if (isPushed() && pushedBkColor_) return pushedBkColor_;
    if ((isHot() || isPushed()) && hotBkColor_) return hotBkColor_;
    return bkColor();
}

Argb Button::currentTextColor() const {
    if (isPushed() && pushedTextColor_) return pushedTextColor_;
    if (isHot() && hotTextColor_) return hotTextColor_;
    return textColor();
}

void Button::paintBkColor(QPainter& p) {
    const Argb c = currentBkColor();
    if (!(c >> 24)) return;
    const QRectF r = localRect();
    if (borderRound() > 0) {
        QPainterPath path;
        const double rr = borderRound() * scale();
        path.addRoundedRect(r, rr, rr);
        p.fillPath(path, toQColor(c));
    } else {
        p.fillRect(r, toQColor(c));
    }
}

void Button::paintStatusImage(QPainter& p) {
    const QWidget* w = existingWidget();
    const QString* img = &normalImage_;
    if (w && !w->isEnabled() && !disabledImage_.isEmpty()) img = &disabledImage_;
    else if (isPushed() && !pushedImage_.isEmpty()) img = &pushedImage_;
    else if (isHot() && !hotImage_.isEmpty()) img = &hotImage_;
    else if (hasFocus() && !focusedImage_.isEmpty()) img = &focusedImage_;
    if (!img->isEmpty()) drawImage(p, *img);
    if (!foreImage_.isEmpty()) drawImage(p, foreImage_);
}

void Button::paintText(QPainter& p) { drawText(p, localRect(), displayText(), currentTextColor()); }

void Button::paintBorder(QPainter& p) {
    if (isHot() && hotBorderColor_ && borderSize() > 0) {
        const double pw = borderSize() * scale();
        p.setPen(QPen(toQColor(hotBorderColor_), pw));
        p.setBrush(Qt::NoBrush);
        const QRectF r = QRectF(localRect()).adjusted(pw / 2, pw / 2, -pw / 2, -pw / 2);
        const double rr = borderRound() * scale();
        p.drawRoundedRect(r, rr, rr);
        return;
    }
    Control::paintBorder(p);
}

// ---------------------------------------------------------------- Option

Option::Option() = default;
QString Option::className() const { return QStringLiteral("Option"); }

void Option::setGroup(const QString& group) { group_ = group; }

void Option::setSelected(bool selected, bool notify) {
    if (selected == selected_) return;
    selected_ = selected;
    invalidate();
    if (!group_.isEmpty()) {
        if (!selected) return;   // leaving the group raises nothing
        if (Window* w = window())
            for (Option* other : w->optionGroup(group_))
                if (other != this && other->selected_) {
                    other->selected_ = false;
                    other->invalidate();
                }
        if (notify) raise(notify::kSelectChanged, 1);
        return;
    }
    if (notify) raise(notify::kSelectChanged, selected ? 1 : 0);
}

void Option::clicked() {
    raise(notify::kClick);
    if (!group_.isEmpty()) setSelected(true, true);
    else setSelected(!selected_, true);
}

#define KV_IMG(fn, member)                                                                         \
    void Option::fn(const QString& image) {                                                        \
        member = image;                                                                            \
        invalidate();                                                                              \
    }
KV_IMG(setSelectedImage, selectedImage_)
KV_IMG(setSelectedHotImage, selectedHotImage_)
KV_IMG(setSelectedForeImage, selectedForeImage_)
#undef KV_IMG

void Option::setSelectedBkColor(Argb c) {
    selectedBkColor_ = c;
    invalidate();
}
void Option::setSelectedTextColor(Argb c) {
    selectedTextColor_ = c;
    invalidate();
}

bool Option::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    QString img;
    Argb c;
    if (n == QLatin1String("group")) { setGroup(value); return true; }
    if (n == QLatin1String("selected")) {
        bool b;
        if (!parseBool(value, b)) return badValue();
        setSelected(b, false);
        return true;
    }
    if (n == QLatin1String("selectedimage"))
        return imageAttr(value, img) && (setSelectedImage(img), true);
    if (n == QLatin1String("selectedhotimage"))
        return imageAttr(value, img) && (setSelectedHotImage(img), true);
    if (n == QLatin1String("selectedforeimage"))
        return imageAttr(value, img) && (setSelectedForeImage(img), true);
    if (n == QLatin1String("selectedbkcolor"))
        return colourAttr(value, c) && (setSelectedBkColor(c), true);
    if (n == QLatin1String("selectedtextcolor"))
        return colourAttr(value, c) && (setSelectedTextColor(c), true);
    return Button::setAttribute(name, value);
}

Argb Option::currentBkColor() const {
    if (selected_ && selectedBkColor_) return selectedBkColor_;
    return Button::currentBkColor();
}

Argb Option::currentTextColor() const {
    if (selected_ && selectedTextColor_) return selectedTextColor_;
    return Button::currentTextColor();
}

void Option::paintStatusImage(QPainter& p) {
    if (!selected_) {
        Button::paintStatusImage(p);
        return;
    }
    const QString& img = (isHot() && !selectedHotImage_.isEmpty()) ? selectedHotImage_ : selectedImage_;
    if (!img.isEmpty()) drawImage(p, img);
    else Button::paintStatusImage(p);
    if (!selectedForeImage_.isEmpty()) drawImage(p, selectedForeImage_);
    if (img.isEmpty() && !selectedBkColor_) {
        // No selected look in the skin: mark the selection with an accent bar.
        const QRect r = localRect();
        const int h = std::max(2, scaled(2));
        p.fillRect(QRect(r.left() + r.width() / 6, r.bottom() - h + 1, r.width() * 2 / 3, h),
                   toQColor(kAccent));
    }
}

// ---------------------------------------------------------------- CheckBox

CheckBox::CheckBox() { setTextAlign(AlignLeft | AlignVCenter); }
QString CheckBox::className() const { return QStringLiteral("CheckBox"); }

void CheckBox::paintStatusImage(QPainter& p) {
    if (!normalImage().isEmpty() || !selectedImage().isEmpty()) {
        Option::paintStatusImage(p);
        return;
    }
    const QRect r = localRect();
    const int box = std::min(scaled(16), r.height());
    const QRectF b(r.left() + 0.5, r.top() + (r.height() - box) / 2.0 + 0.5, box - 1, box - 1);
    const bool on = isSelected();
    const bool enabled = existingWidget() && existingWidget()->isEnabled();
    p.setPen(QPen(toQColor(on ? kAccent : (isHot() ? kAccent : kBorder)), std::max(1.0, scale())));
    p.setBrush(toQColor(on ? kAccent : kControl));
    if (!enabled) p.setOpacity(0.45);
    p.drawRoundedRect(b, 3 * scale(), 3 * scale());
    if (on) {
        QPainterPath tick;
        tick.moveTo(b.left() + b.width() * 0.22, b.top() + b.height() * 0.52);
        tick.lineTo(b.left() + b.width() * 0.42, b.top() + b.height() * 0.72);
        tick.lineTo(b.left() + b.width() * 0.78, b.top() + b.height() * 0.30);
        p.setPen(QPen(QColor(0x10, 0x14, 0x1A), std::max(1.5, 2.0 * scale()), Qt::SolidLine,
                      Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    p.setOpacity(1.0);
}

void CheckBox::paintText(QPainter& p) {
    QRect r = localRect();
    if (normalImage().isEmpty() && selectedImage().isEmpty()) r.setLeft(r.left() + scaled(22));
    drawText(p, r, displayText(), currentTextColor());
}

// ---------------------------------------------------------------- Progress

Progress::Progress() { setTextAlign(AlignHCenter | AlignVCenter); }
QString Progress::className() const { return QStringLiteral("Progress"); }

void Progress::setMinValue(int v) { min_ = v; invalidate(); }
void Progress::setMaxValue(int v) { max_ = v; invalidate(); }
void Progress::setValue(int v) { value_ = v; invalidate(); }
void Progress::setHorizontal(bool on) { horizontal_ = on; invalidate(); }
void Progress::setForeColor(Argb c) { foreColor_ = c; invalidate(); }
void Progress::setForeImage(const QString& image) { foreImage_ = image; invalidate(); }

bool Progress::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    int v;
    bool b;
    Argb c;
    QString img;
    if (n == QLatin1String("min")) return parseInt(value, v) ? (setMinValue(v), true) : badValue();
    if (n == QLatin1String("max")) return parseInt(value, v) ? (setMaxValue(v), true) : badValue();
    if (n == QLatin1String("value")) return parseInt(value, v) ? (setValue(v), true) : badValue();
    if (n == QLatin1String("hor")) return parseBool(value, b) ? (setHorizontal(b), true) : badValue();
    if (n == QLatin1String("forecolor")) return colourAttr(value, c) && (setForeColor(c), true);
    if (n == QLatin1String("foreimage")) return imageAttr(value, img) && (setForeImage(img), true);
    return Label::setAttribute(name, value);
}

void Progress::paintStatusImage(QPainter& p) {
    paintForeColor(p);
    paintForeImage(p);
}

namespace {
QRect filledPart(const QRect& r, int min, int max, int value, bool horizontal) {
    if (max <= min) return {};
    const double f = std::clamp(double(value - min) / double(max - min), 0.0, 1.0);
    if (horizontal) return QRect(r.left(), r.top(), static_cast<int>(r.width() * f), r.height());
    const int h = static_cast<int>(r.height() * f);
    return QRect(r.left(), r.bottom() - h + 1, r.width(), h);
}
} // namespace

void Progress::paintForeColor(QPainter& p) {
    const QRect part = filledPart(localRect(), min_, max_, value_, horizontal_);
    if (part.isEmpty()) return;
    const Argb c = foreColor_ ? foreColor_ : (foreImage_.isEmpty() ? kAccent : 0);
    if (!(c >> 24)) return;
    if (borderRound() > 0) {
        QPainterPath path;
        path.addRoundedRect(part, borderRound() * scale(), borderRound() * scale());
        p.fillPath(path, toQColor(c));
    } else {
        p.fillRect(part, toQColor(c));
    }
}

void Progress::paintForeImage(QPainter& p) {
    if (foreImage_.isEmpty()) return;
    const QRect part = filledPart(localRect(), min_, max_, value_, horizontal_);
    if (part.isEmpty()) return;
    p.save();
    p.setClipRect(part);
    drawImage(p, foreImage_);
    p.restore();
}

} // namespace kavrel::skin
