// Internal plumbing shared by the toolkit's sources.
#pragma once

#include "kavrel/skin/control.h"

#include <QColor>
#include <QEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QAbstractButton>
#include <QWidget>

#include <type_traits>

namespace kavrel::skin::detail {

// Theme fallbacks for colours a skin left unset (0).
inline constexpr Argb kText = 0xFFE3E6EC;
inline constexpr Argb kTextDim = 0xFF7D8594;
inline constexpr Argb kAccent = 0xFF00B4FF;
inline constexpr Argb kPanel = 0xFF1B1F27;
inline constexpr Argb kControl = 0xFF252A35;
inline constexpr Argb kControlHot = 0xFF2E3542;
inline constexpr Argb kBorder = 0xFF343B48;

// Every toolkit widget carries a pointer back to its control.
class ControlHolder {
public:
    explicit ControlHolder(Control* c) : control_(c) {}
    virtual ~ControlHolder() = default;
    Control* control() const { return control_; }
    void detach() { control_ = nullptr; }
private:
    Control* control_;
};

Control* controlOf(const QWidget* w);

// A Qt widget of class Base whose events go to the control first; selfPaint widgets are painted
// by the control's paint hooks, the others by Qt (stylesheet).
template <class Base>
class Hosted : public Base, public ControlHolder {
public:
    Hosted(Control* c, QWidget* parent, bool selfPaint)
        : Base(parent), ControlHolder(c), selfPaint_(selfPaint) {}

protected:
    bool event(QEvent* e) override {
        if (Control* c = control(); c && c->handleEvent(e)) return true;
        return Base::event(e);
    }
    void paintEvent(QPaintEvent* e) override {
        if (selfPaint_) {
            if (Control* c = control()) {
                QPainter p(this);
                p.setRenderHint(QPainter::Antialiasing);
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.setRenderHint(QPainter::TextAntialiasing);
                c->paintAll(p);
            }
            return;
        }
        if constexpr (!std::is_same_v<Base, QAbstractButton>) Base::paintEvent(e);
    }

private:
    bool selfPaint_;
};

// A plain QWidget that the control paints.
using PaintWidget = Hosted<QWidget>;

// Result of the last Control::setAttribute failure, so the builder can tell an unknown name
// (warning) from a bad value (error).
enum class AttrStatus { Ok, Unknown, BadValue };
AttrStatus& attrStatus();
inline bool badValue() { attrStatus() = AttrStatus::BadValue; return false; }
inline bool unknownAttr() { attrStatus() = AttrStatus::Unknown; return false; }

// Live windows (for reloadAllText).
void registerWindow(Window* w);
void unregisterWindow(Window* w);
void forEachWindow(void (*fn)(Window*));

// Calls fn for c and its descendants (container children; combo items are not included).
template <class Fn>
void walk(Control* c, Fn&& fn);

Control* createStandardControl(const QString& className);
bool hasFactory(const QString& className);
Control* createRegistered(const QString& className);

QString resolveText(const QString& text, bool resourceText);
unsigned parseAlign(const QString& text, bool* ok);
int qtAlign(unsigned align);

} // namespace kavrel::skin::detail

#include "kavrel/skin/containers.h"

namespace kavrel::skin::detail {
template <class Fn>
void walk(Control* c, Fn&& fn) {
    if (!c) return;
    fn(c);
    if (auto* ct = dynamic_cast<Container*>(c))
        for (int i = 0; i < ct->count(); ++i) walk(ct->itemAt(i), fn);
}
} // namespace kavrel::skin::detail
