#include "kavrel/skin/containers.h"

#include "internal.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/window.h"

#include <algorithm>

namespace kavrel::skin {

using namespace detail;

Container::Container() = default;

Container::~Container() {
    std::vector<Control*> items;
    items.swap(items_);
    for (Control* c : items) {
        c->setParentContainer(nullptr);
        delete c;
    }
}

QString Container::className() const { return QStringLiteral("Container"); }

Control* Container::itemAt(int index) const {
    if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
    return items_[static_cast<size_t>(index)];
}

int Container::indexOf(const Control* child) const {
    const auto it = std::find(items_.begin(), items_.end(), child);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool Container::add(Control* child) { return addAt(child, count()); }

bool Container::addAt(Control* child, int index) {
    if (!child || child->parent() || child == this) return false;
    index = std::clamp(index, 0, count());
    items_.insert(items_.begin() + index, child);
    child->setParentContainer(this);
    if (window()) child->attachToWindow(window());
    if (widget_) {
        if (QWidget* cw = child->existingWidget()) {
            cw->setParent(childHost());
            child->syncWidget();
        } else if (child->isVisible()) {
            child->widget();
        }
    }
    childAdded(child, index);
    if (widget_) arrange();
    return true;
}

bool Container::remove(Control* child) {
    Control* c = take(child);
    if (!c) return false;
    delete c;
    return true;
}

bool Container::removeAt(int index) { return remove(itemAt(index)); }

void Container::removeAll() {
    while (!items_.empty()) remove(items_.back());
}

Control* Container::take(Control* child) {
    const int index = indexOf(child);
    if (index < 0) return nullptr;
    items_.erase(items_.begin() + index);
    child->attachToWindow(nullptr);
    child->setParentContainer(nullptr);
    if (QWidget* cw = child->existingWidget()) {
        cw->hide();
        cw->setParent(nullptr);
    }
    childRemoved(child, index);
    if (widget_) arrange();
    return child;
}

void Container::setInset(const QMargins& inset) {
    inset_ = inset;
    if (widget_) arrange();
}

void Container::setChildPadding(int gap) {
    childPadding_ = gap;
    if (widget_) arrange();
}

bool Container::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == QLatin1String("inset")) {
        QMargins m;
        if (!parseMargins(value, m)) return badValue();
        setInset(m);
        return true;
    }
    if (n == QLatin1String("childpadding")) {
        int v;
        if (!parseInt(value, v)) return badValue();
        setChildPadding(v);
        return true;
    }
    return Control::setAttribute(name, value);
}

void Container::reloadText() {
    Control::reloadText();
    for (Control* c : items_) c->reloadText();
}

QWidget* Container::childHost() { return widget(); }

QWidget* Container::createWidget(QWidget* parent) { return new PaintWidget(this, parent, true); }

// Hidden children (other tab pages, closed panels) get their widgets when first shown: a big
// layout then costs only what is on screen.
void Container::widgetCreated() {
    for (Control* c : items_)
        if (c->isVisible()) c->widget();
}

void Container::visibilityChanged(bool visibleOnScreen) { Control::visibilityChanged(visibleOnScreen); }

void Container::childAdded(Control*, int) {}
void Container::childRemoved(Control*, int) {}

void Container::arrange() {
    if (!widget_) return;
    const double s = scale();
    auto sc = [s](int v) { return static_cast<int>(std::lround(v * s)); };
    const QWidget* host = childHost();
    const QRect local(QPoint(0, 0), host->size());
    const QRect inner = local.adjusted(sc(inset_.left()), sc(inset_.top()), -sc(inset_.right()),
                                       -sc(inset_.bottom()));
    for (Control* c : items_) {
        if (!c->isFloat() || !c->isVisible()) continue;
        const QRect p = c->floatPos();
        c->place(QRect(sc(p.x()), sc(p.y()), sc(p.width()), sc(p.height())));
    }
    arrangeStacked(inner);
}

namespace {

int clampLen(const Control* c, int len, bool vertical, double s) {
    auto sc = [s](int v) { return static_cast<int>(std::lround(v * s)); };
    const int mn = vertical ? c->minHeight() : c->minWidth();
    const int mx = vertical ? c->maxHeight() : c->maxWidth();
    if (mn > 0) len = std::max(len, sc(mn));
    if (mx > 0) len = std::min(len, sc(mx));
    return std::max(len, 0);
}

// Stacks the visible non-float children along one axis.
void stack(const std::vector<Control*>& items, const QRect& inner, int gap, bool vertical, double s) {
    auto sc = [s](int v) { return static_cast<int>(std::lround(v * s)); };
    std::vector<Control*> kids;
    kids.reserve(items.size());
    for (Control* c : items)
        if (c->isVisible() && !c->isFloat()) kids.push_back(c);
    if (kids.empty()) return;
    const int total = vertical ? inner.height() : inner.width();
    int fixed = sc(gap) * static_cast<int>(kids.size() - 1);
    int autos = 0;
    for (Control* c : kids) {
        const QMargins p = c->padding();
        fixed += vertical ? sc(p.top()) + sc(p.bottom()) : sc(p.left()) + sc(p.right());
        const int f = vertical ? c->fixedHeight() : c->fixedWidth();
        if (f > 0) fixed += clampLen(c, sc(f), vertical, s);
        else ++autos;
    }
    const int remain = std::max(0, total - fixed);
    int given = 0, seen = 0;
    int pos = vertical ? inner.top() : inner.left();
    for (Control* c : kids) {
        const QMargins p = c->padding();
        const int f = vertical ? c->fixedHeight() : c->fixedWidth();
        int len;
        if (f > 0) {
            len = clampLen(c, sc(f), vertical, s);
        } else {
            ++seen;
            len = seen == autos ? remain - given : remain / autos;
            len = clampLen(c, len, vertical, s);
            given += len;
        }
        pos += vertical ? sc(p.top()) : sc(p.left());
        const int crossFixed = vertical ? c->fixedWidth() : c->fixedHeight();
        int cross;
        int crossPos;
        if (vertical) {
            crossPos = inner.left() + sc(p.left());
            cross = crossFixed > 0 ? sc(crossFixed) : inner.width() - sc(p.left()) - sc(p.right());
            cross = clampLen(c, cross, false, s);
            c->place(QRect(crossPos, pos, cross, len));
        } else {
            crossPos = inner.top() + sc(p.top());
            cross = crossFixed > 0 ? sc(crossFixed) : inner.height() - sc(p.top()) - sc(p.bottom());
            cross = clampLen(c, cross, true, s);
            c->place(QRect(pos, crossPos, len, cross));
        }
        pos += len + (vertical ? sc(p.bottom()) : sc(p.right())) + sc(gap);
    }
}

} // namespace

void Container::arrangeStacked(const QRect& inner) {
    const double s = scale();
    auto sc = [s](int v) { return static_cast<int>(std::lround(v * s)); };
    for (Control* c : items_) {
        if (c->isFloat() || !c->isVisible()) continue;
        const QMargins p = c->padding();
        QRect r = inner.adjusted(sc(p.left()), sc(p.top()), -sc(p.right()), -sc(p.bottom()));
        if (c->fixedWidth() > 0) r.setWidth(sc(c->fixedWidth()));
        if (c->fixedHeight() > 0) r.setHeight(sc(c->fixedHeight()));
        c->place(r);
    }
}

QString VerticalLayout::className() const { return QStringLiteral("VerticalLayout"); }
void VerticalLayout::arrangeStacked(const QRect& inner) {
    stack(items(), inner, childPadding(), true, scale());
}

QString HorizontalLayout::className() const { return QStringLiteral("HorizontalLayout"); }
void HorizontalLayout::arrangeStacked(const QRect& inner) {
    stack(items(), inner, childPadding(), false, scale());
}

QString TabLayout::className() const { return QStringLiteral("TabLayout"); }

bool TabLayout::selectItem(int index) {
    if (index < 0 || index >= count()) return false;
    current_ = index;
    showCurrent();
    return true;
}

bool TabLayout::selectItem(Control* page) { return selectItem(indexOf(page)); }

bool TabLayout::setAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("selectedid"), Qt::CaseInsensitive) == 0) {
        int v;
        if (!parseInt(value, v) || v < 0) return badValue();
        current_ = v;
        showCurrent();
        return true;
    }
    return Container::setAttribute(name, value);
}

void TabLayout::arrangeStacked(const QRect& inner) { Container::arrangeStacked(inner); }

void TabLayout::childAdded(Control*, int) { showCurrent(); }

void TabLayout::childRemoved(Control*, int) {
    if (current_ >= count()) current_ = std::max(0, count() - 1);
    showCurrent();
}

void TabLayout::showCurrent() {
    for (int i = 0; i < count(); ++i) itemAt(i)->setVisible(i == current_);
}

} // namespace kavrel::skin
