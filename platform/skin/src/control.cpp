#include "kavrel/skin/control.h"

#include "internal.h"
#include "kavrel/os/diag.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/render.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/window.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainterPath>
#include <QRegularExpression>

#include <cmath>

namespace kavrel::skin {

namespace detail {

AttrStatus& attrStatus() {
    static AttrStatus status = AttrStatus::Ok;
    return status;
}

Control* controlOf(const QWidget* w) {
    auto* holder = dynamic_cast<const ControlHolder*>(w);
    return holder ? holder->control() : nullptr;
}

QString resolveText(const QString& text, bool resourceText) {
    if (!resourceText || text.isEmpty()) return text;
    return skin::text(text);
}

unsigned parseAlign(const QString& text, bool* ok) {
    unsigned h = 0, v = 0;
    *ok = true;
    // Compiled once: every aligned control of every layout comes through here.
    static const QRegularExpression separators(QStringLiteral("[\\s|,]+"));
    const auto words = text.toLower().split(separators, Qt::SkipEmptyParts);
    for (const QString& w : words) {
        if (w == QLatin1String("left")) h = AlignLeft;
        else if (w == QLatin1String("center") || w == QLatin1String("centre")) h = AlignHCenter;
        else if (w == QLatin1String("right")) h = AlignRight;
        else if (w == QLatin1String("top")) v = AlignTop;
        else if (w == QLatin1String("vcenter") || w == QLatin1String("vcentre")) v = AlignVCenter;
        else if (w == QLatin1String("bottom")) v = AlignBottom;
        else *ok = false;
    }
    if (!h) h = AlignLeft;
    if (!v) v = AlignVCenter;
    return h | v;
}

int qtAlign(unsigned a) {
    int f = 0;
    f |= (a & AlignHCenter) ? Qt::AlignHCenter : (a & AlignRight) ? Qt::AlignRight : Qt::AlignLeft;
    f |= (a & AlignTop) ? Qt::AlignTop : (a & AlignBottom) ? Qt::AlignBottom : Qt::AlignVCenter;
    return f;
}

} // namespace detail

using namespace detail;

Control::Control() = default;

Control::~Control() {
    if (window_) window_->unregisterControl(this);
    if (widget_) {
        if (auto* h = dynamic_cast<ControlHolder*>(widget_.data())) h->detach();
        delete widget_.data();
    }
}

QString Control::className() const { return QStringLiteral("Control"); }

void Control::setName(const QString& name) {
    if (name == name_) return;
    const QString old = name_;
    name_ = name;
    if (window_) window_->renameControl(this, old);
}

Control* Control::findChild(const QString& name) const {
    Control* found = nullptr;
    walk(const_cast<Control*>(this), [&](Control* c) {
        if (!found && c->name_.compare(name, Qt::CaseInsensitive) == 0) found = c;
    });
    return found;
}

void Control::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    displayTextChanged();
    invalidate();
}

void Control::setResourceText(bool on) {
    if (on == resourceText_) return;
    resourceText_ = on;
    if (widget_) widget_->setToolTip(resolveText(toolTip_, resourceText_));
    displayTextChanged();
    invalidate();
}

QString Control::displayText() const { return resolveText(text_, resourceText_); }

void Control::setToolTip(const QString& tip) {
    toolTip_ = tip;
    if (widget_) widget_->setToolTip(resolveText(toolTip_, resourceText_));
}

void Control::reloadText() {
    if (!resourceText_) return;
    if (widget_) widget_->setToolTip(resolveText(toolTip_, resourceText_));
    displayTextChanged();
    invalidate();
}

bool Control::isVisibleOnScreen() const {
    for (const Control* c = this; c; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void Control::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (widget_) {
        if (widget_->parentWidget()) widget_->setVisible(visible);
    } else if (visible && parent_ && parent_->existingWidget()) {
        widget();
    }
    relayout();
}

void Control::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (widget_) widget_->setEnabled(enabled);
    invalidate();
}

void Control::setFocus() {
    if (QWidget* w = widget()) w->setFocus(Qt::OtherFocusReason);
}

bool Control::hasFocus() const { return widget_ && widget_->hasFocus(); }

void Control::invalidate() {
    if (widget_) widget_->update();
}

#define KV_SETTER(fn, member, type)                                                                \
    void Control::fn(type v) {                                                                     \
        if (member == v) return;                                                                   \
        member = v;                                                                                \
        invalidate();                                                                              \
    }
KV_SETTER(setBkColor, bkColor_, Argb)
KV_SETTER(setTextColor, textColor_, Argb)
KV_SETTER(setDisabledTextColor, disabledTextColor_, Argb)
KV_SETTER(setBorderColor, borderColor_, Argb)
KV_SETTER(setBorderSize, borderSize_, int)
KV_SETTER(setBorderRound, borderRound_, int)
KV_SETTER(setTextAlign, align_, unsigned)
KV_SETTER(setChangeColorEnabled, changeColorOn_, bool)
KV_SETTER(setChangeColor, changeColor_, std::uint32_t)
#undef KV_SETTER

void Control::setBkImage(const QString& image) {
    if (image == bkImage_) return;
    bkImage_ = image;
    invalidate();
}

void Control::setChangeAlpha(int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == changeAlpha_) return;
    changeAlpha_ = alpha;
    invalidate();
}

void Control::setFont(int fontId) {
    if (fontId == font_) return;
    font_ = fontId;
    if (widget_) syncWidget();
    invalidate();
}

void Control::setTextPadding(const QMargins& p) {
    textPadding_ = p;
    invalidate();
}

void Control::setUserData(const QString& data) { userData_ = data; }

#define KV_GEOM(fn, member)                                                                        \
    void Control::fn(int v) {                                                                      \
        if (member == v) return;                                                                   \
        member = v;                                                                                \
        relayout();                                                                                \
    }
KV_GEOM(setFixedWidth, fixedWidth_)
KV_GEOM(setFixedHeight, fixedHeight_)
KV_GEOM(setMinWidth, minWidth_)
KV_GEOM(setMaxWidth, maxWidth_)
KV_GEOM(setMinHeight, minHeight_)
KV_GEOM(setMaxHeight, maxHeight_)
#undef KV_GEOM

void Control::setPadding(const QMargins& padding) {
    padding_ = padding;
    relayout();
}

void Control::setFloatPos(const QRect& pos) {
    float_ = true;
    floatPos_ = pos;
    relayout();
}

void Control::clearFloatPos() {
    float_ = false;
    floatPos_ = {};
    relayout();
}

QRect Control::rect() const {
    if (!widget_) return {};
    QWidget* top = widget_->window();
    return QRect(widget_->mapTo(top, QPoint(0, 0)), widget_->size());
}

QRect Control::localRect() const {
    return widget_ ? QRect(QPoint(0, 0), widget_->size()) : QRect();
}

QWidget* Control::existingWidget() const { return widget_; }

double Control::scale() const { return window_ ? window_->scale() : 1.0; }

int Control::scaled(int units) const {
    return static_cast<int>(std::lround(units * scale()));
}

void Control::relayout() {
    if (auto* item = dynamic_cast<ListLabelElement*>(this))
        if (auto* combo = dynamic_cast<Combo*>(item->owner())) combo->itemChanged(this);
    if (parent_) {
        if (parent_->existingWidget()) parent_->arrange();
    } else if (window_ && window_->root() == this) {
        window_->rootResized();
    }
}

void Control::place(const QRect& r) {
    QWidget* w = widget();
    const QSize old = w->size();
    const bool moved = w->geometry() != r;
    w->setGeometry(r);
    if (old != r.size() || !arranged_) {
        arranged_ = true;
        arrange();
    }
    if (moved) geometryChanged(rect());
}

QWidget* Control::widget() {
    if (widget_) return widget_;
    QWidget* parentWidget = nullptr;
    if (parent_) parentWidget = parent_->childHost();
    else if (window_) parentWidget = window_->widget();
    if (widget_) return widget_;   // the parent created it while creating its own widget
    widget_ = createWidget(parentWidget);
    syncWidget();
    widgetCreated();
    return widget_;
}

void Control::syncWidget() {
    QWidget* w = widget_;
    if (!w) return;
    w->setEnabled(enabled_);
    if (!toolTip_.isEmpty()) w->setToolTip(resolveText(toolTip_, resourceText_));
    if (w->parentWidget()) {
        // The layout places every widget; without this, showing a child of a layout-less parent
        // first sizes it to its hint, which for text widgets loads the whole font database
        // before the window has even started.
        if (!w->testAttribute(Qt::WA_Resized)) w->resize(w->size());
        w->setVisible(visible_);
    }
}

void Control::raise(const char* type, std::int64_t wParam, std::int64_t lParam) {
    if (window_) window_->postNotify(this, QString::fromLatin1(type), wParam, lParam);
}

void Control::attachToWindow(Window* window) {
    if (window_ != window) {
        if (window_) window_->unregisterControl(this);
        window_ = window;
        if (window_) window_->registerControl(this);
    }
    if (auto* ct = dynamic_cast<Container*>(this))
        for (int i = 0; i < ct->count(); ++i) ct->itemAt(i)->attachToWindow(window);
}

void Control::setParentContainer(Container* parent) { parent_ = parent; }

void Control::paintAll(QPainter& painter) { paint(painter); }

bool Control::handleEvent(QEvent* e) {
    switch (e->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        auto* fe = static_cast<QFocusEvent*>(e);
        if (fe->reason() == Qt::PopupFocusReason || fe->reason() == Qt::ActiveWindowFocusReason)
            break;
        if (widget_ && widget_->focusPolicy() != Qt::NoFocus)
            raise(e->type() == QEvent::FocusIn ? notify::kSetFocus : notify::kKillFocus);
        invalidate();
        break;
    }
    case QEvent::Show:
    case QEvent::Hide:
        visibilityChanged(e->type() == QEvent::Show);
        break;
    default:
        break;
    }
    return false;
}

QWidget* Control::createWidget(QWidget* parent) { return new PaintWidget(this, parent, true); }

void Control::geometryChanged(const QRect&) {}
void Control::visibilityChanged(bool) {}

void Control::paint(QPainter& p) {
    paintBkColor(p);
    paintBkImage(p);
    paintStatusImage(p);
    paintText(p);
    paintBorder(p);
}

void Control::paintBkColor(QPainter& p) {
    if (!(bkColor_ >> 24)) return;
    const QRectF r = localRect();
    if (borderRound_ > 0) {
        QPainterPath path;
        const double rr = borderRound_ * scale();
        path.addRoundedRect(r, rr, rr);
        p.fillPath(path, toQColor(bkColor_));
    } else {
        p.fillRect(r, toQColor(bkColor_));
    }
}

void Control::paintBkImage(QPainter& p) {
    if (bkImage_.isEmpty()) return;
    if (changeColorOn_) {
        if (changeAlpha_ > 0)
            drawImageString(p, localRect(), bkImage_, changeColor_, changeAlpha_, true, scale());
        return;
    }
    drawImage(p, bkImage_);
}

void Control::paintStatusImage(QPainter&) {}
void Control::paintText(QPainter&) {}

void Control::paintBorder(QPainter& p) {
    if (borderSize_ <= 0 || !(borderColor_ >> 24)) return;
    const double pw = borderSize_ * scale();
    QPen pen(toQColor(borderColor_), pw);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF r = QRectF(localRect()).adjusted(pw / 2, pw / 2, -pw / 2, -pw / 2);
    if (borderRound_ > 0) {
        const double rr = borderRound_ * scale();
        p.drawRoundedRect(r, rr, rr);
    } else {
        p.drawRect(r);
    }
}

void Control::drawText(QPainter& p, const QRect& rect, const QString& text, Argb colour) const {
    if (text.isEmpty()) return;
    const double s = scale();
    const QMargins m(static_cast<int>(textPadding_.left() * s), static_cast<int>(textPadding_.top() * s),
                     static_cast<int>(textPadding_.right() * s), static_cast<int>(textPadding_.bottom() * s));
    const QRect r = rect.marginsRemoved(m);
    const bool enabled = widget_ ? widget_->isEnabled() : enabled_;
    Argb c = colour;
    if (!enabled) c = disabledTextColor_ ? disabledTextColor_ : kTextDim;
    if (!c) c = kText;
    p.setPen(toQColor(c));
    const QFont f = fontFor(font_, s);
    p.setFont(f);
    const int flags = qtAlign(align_);
    const auto* label = dynamic_cast<const Label*>(this);
    if (label && label->wordBreak()) {
        p.drawText(r, flags | Qt::TextWordWrap, text);
    } else {
        const QFontMetrics fm(f);
        p.drawText(r, flags | Qt::TextSingleLine, fm.elidedText(text, Qt::ElideRight, r.width()));
    }
}

bool Control::drawImage(QPainter& p, const QString& image, const QRect& rect) const {
    if (image.isEmpty()) return false;
    return drawImageString(p, rect.isNull() ? localRect() : rect, image, 0, 255, false, scale());
}

bool Control::applyStyle(const QString& styleName) {
    const AttributeList* style = findStyle(styleName);
    if (!style) return false;
    for (const auto& [n, v] : *style) setAttribute(n, v);
    return true;
}

namespace {
bool setColour(const QString& v, void (Control::*fn)(Argb), Control* c) {
    Argb a;
    if (!parseColor(v, a)) return badValue();
    (c->*fn)(a);
    return true;
}
bool setNumber(const QString& v, void (Control::*fn)(int), Control* c) {
    int n;
    if (!parseInt(v, n)) return badValue();
    (c->*fn)(n);
    return true;
}
bool setFlag(const QString& v, void (Control::*fn)(bool), Control* c) {
    bool b;
    if (!parseBool(v, b)) return badValue();
    (c->*fn)(b);
    return true;
}
} // namespace

bool Control::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == QLatin1String("name")) { setName(value); return true; }
    if (n == QLatin1String("text")) { setText(value); return true; }
    if (n == QLatin1String("tooltip")) { setToolTip(value); return true; }
    if (n == QLatin1String("userdata")) { setUserData(value); return true; }
    if (n == QLatin1String("resourcetext")) return setFlag(value, &Control::setResourceText, this);
    if (n == QLatin1String("visible")) return setFlag(value, &Control::setVisible, this);
    if (n == QLatin1String("enabled")) return setFlag(value, &Control::setEnabled, this);
    if (n == QLatin1String("width")) return setNumber(value, &Control::setFixedWidth, this);
    if (n == QLatin1String("height")) return setNumber(value, &Control::setFixedHeight, this);
    if (n == QLatin1String("minwidth")) return setNumber(value, &Control::setMinWidth, this);
    if (n == QLatin1String("maxwidth")) return setNumber(value, &Control::setMaxWidth, this);
    if (n == QLatin1String("minheight")) return setNumber(value, &Control::setMinHeight, this);
    if (n == QLatin1String("maxheight")) return setNumber(value, &Control::setMaxHeight, this);
    if (n == QLatin1String("bkcolor")) return setColour(value, &Control::setBkColor, this);
    if (n == QLatin1String("textcolor")) return setColour(value, &Control::setTextColor, this);
    if (n == QLatin1String("disabledtextcolor"))
        return setColour(value, &Control::setDisabledTextColor, this);
    if (n == QLatin1String("bordercolor")) return setColour(value, &Control::setBorderColor, this);
    if (n == QLatin1String("bordersize")) return setNumber(value, &Control::setBorderSize, this);
    if (n == QLatin1String("borderround")) return setNumber(value, &Control::setBorderRound, this);
    if (n == QLatin1String("font")) return setNumber(value, &Control::setFont, this);
    if (n == QLatin1String("changecolor"))
        return setFlag(value, &Control::setChangeColorEnabled, this);
    if (n == QLatin1String("changealpha")) return setNumber(value, &Control::setChangeAlpha, this);
    if (n == QLatin1String("bkimage")) {
        if (!value.isEmpty() && !parseImageString(value)) return badValue();
        setBkImage(value);
        return true;
    }
    if (n == QLatin1String("pos")) {
        QRect r;
        if (!parseRect(value, r)) return badValue();
        setFloatPos(r);
        return true;
    }
    if (n == QLatin1String("padding") || n == QLatin1String("textpadding")) {
        QMargins m;
        if (!parseMargins(value, m)) return badValue();
        if (n == QLatin1String("padding")) setPadding(m);
        else setTextPadding(m);
        return true;
    }
    if (n == QLatin1String("align")) {
        bool ok;
        const unsigned a = parseAlign(value, &ok);
        if (!ok) return badValue();
        setTextAlign(a);
        return true;
    }
    if (n == QLatin1String("style")) {
        if (!applyStyle(value)) return badValue();
        return true;
    }
    os::debugf("skin: %s has no attribute \"%s\"", qPrintable(className()), qPrintable(name));
    return unknownAttr();
}

} // namespace kavrel::skin
