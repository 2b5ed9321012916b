#include "kavrel/skin/lists.h"

#include "internal.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/resources.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace kavrel::skin {

using namespace detail;

namespace {

List* listOf(ListOwner* o) { return dynamic_cast<List*>(o); }
Combo* comboOf(ListOwner* o) { return dynamic_cast<Combo*>(o); }

void setOwnerOf(Control* item, ListOwner* owner) {
    if (auto* l = dynamic_cast<ListLabelElement*>(item)) l->setOwner(owner);
    else if (auto* c = dynamic_cast<ListContainerElement*>(item)) c->setOwner(owner);
}

bool hasOwner(const Control* item) {
    if (auto* l = dynamic_cast<const ListLabelElement*>(item)) return l->owner() != nullptr;
    if (auto* c = dynamic_cast<const ListContainerElement*>(item)) return c->owner() != nullptr;
    return false;
}

bool isSelectedIn(const ListOwner* owner, const Control* item) {
    if (!owner) return false;
    const int sel = owner->currentSel();
    return sel >= 0 && owner->itemAt(sel) == item;
}

// Background of an item: selected, hot, or its own colour, with the list's item colours.
void paintItemBk(QPainter& p, Control& item, ListOwner* owner, Argb ownBk) {
    const List* list = listOf(owner);
    const QWidget* w = item.existingWidget();
    const bool hot = w && w->underMouse() && w->isEnabled();
    Argb c = ownBk ? ownBk : (list ? list->itemBkColor() : 0);
    if (isSelectedIn(owner, &item)) {
        c = list && list->itemSelectedBkColor() ? list->itemSelectedBkColor() : 0x5500B4FFu;
    } else if (hot) {
        c = list && list->itemHotBkColor() ? list->itemHotBkColor() : kControlHot;
    }
    if (c >> 24) p.fillRect(item.localRect(), toQColor(c));
}

} // namespace

// ---------------------------------------------------------------- items

ListLabelElement::ListLabelElement() { setTextPadding(QMargins(8, 0, 8, 0)); }
QString ListLabelElement::className() const { return QStringLiteral("ListLabelElement"); }
bool ListLabelElement::isSelected() const { return isSelectedIn(owner_, this); }

void ListLabelElement::setText(const QString& text) { Label::setText(text); }

void ListLabelElement::displayTextChanged() {
    if (Combo* c = comboOf(owner_)) c->itemChanged(this);
}

bool ListLabelElement::handleEvent(QEvent* e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            if (List* l = listOf(owner_); l && isEnabled()) {
                l->itemPressed(this);
                return true;
            }
        }
        break;
    case QEvent::Enter:
    case QEvent::Leave:
        invalidate();
        break;
    default:
        break;
    }
    return Label::handleEvent(e);
}

void ListLabelElement::paintBkColor(QPainter& p) { paintItemBk(p, *this, owner_, bkColor()); }

void ListLabelElement::paintText(QPainter& p) {
    const List* list = listOf(owner_);
    Argb c = textColor();
    if (!c && list) c = list->itemTextColor();
    if (isSelected() && list && list->itemSelectedTextColor()) c = list->itemSelectedTextColor();
    drawText(p, localRect(), displayText(), c);
}

ListContainerElement::ListContainerElement() = default;
QString ListContainerElement::className() const { return QStringLiteral("ListContainerElement"); }
bool ListContainerElement::isSelected() const { return isSelectedIn(owner_, this); }

bool ListContainerElement::handleEvent(QEvent* e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            if (List* l = listOf(owner_); l && isEnabled()) {
                l->itemPressed(this);
                return true;
            }
        }
        break;
    case QEvent::Enter:
    case QEvent::Leave:
        invalidate();
        break;
    default:
        break;
    }
    return HorizontalLayout::handleEvent(e);
}

void ListContainerElement::paintBkColor(QPainter& p) { paintItemBk(p, *this, owner_, bkColor()); }

// ---------------------------------------------------------------- List

namespace {
class ListWidget : public Hosted<QScrollArea> {
public:
    ListWidget(Control* c, QWidget* parent) : Hosted<QScrollArea>(c, parent, true) {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setWidgetResizable(false);
        setFocusPolicy(Qt::StrongFocus);
        viewport()->setAutoFillBackground(false);
        auto* content = new QWidget;
        content->setAutoFillBackground(false);
        setWidget(content);
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        Hosted<QScrollArea>::resizeEvent(e);
        if (Control* c = control()) c->arrange();
    }
};
} // namespace

List::List() = default;
List::~List() {
    // Items must not call back into a half-destroyed list.
    for (int i = 0; i < count(); ++i) setOwnerOf(itemAt(i), nullptr);
}
QString List::className() const { return QStringLiteral("List"); }

QWidget* List::createWidget(QWidget* parent) {
    auto* w = new ListWidget(this, parent);
    content_ = w->widget();
    return w;
}

QWidget* List::childHost() {
    widget();
    return content_;
}

bool List::add(Control* item) { return addAt(item, count()); }

bool List::addAt(Control* item, int index) {
    if (!item || hasOwner(item)) return false;
    return VerticalLayout::addAt(item, index);
}

bool List::remove(Control* item) { return VerticalLayout::remove(item); }
bool List::removeAt(int index) { return VerticalLayout::removeAt(index); }
void List::removeAll() {
    current_ = -1;
    VerticalLayout::removeAll();
}

void List::childAdded(Control* child, int index) {
    setOwnerOf(child, this);
    if (current_ >= 0 && index <= current_) ++current_;
}

void List::childRemoved(Control* child, int index) {
    setOwnerOf(child, nullptr);
    if (index == current_) current_ = -1;
    else if (index < current_) --current_;
}

bool List::selectItem(int index, bool takeFocus, bool notify) {
    if (index < -1 || index >= count()) return false;
    if (takeFocus) setFocus();
    if (index == current_) return true;
    const int old = current_;
    current_ = index;
    if (Control* o = itemAt(old)) o->invalidate();
    if (Control* n = itemAt(index)) {
        n->invalidate();
        ensureVisible(index);
    }
    if (notify) raise(notify::kItemSelect, index, old);
    return true;
}

void List::ensureVisible(int index) {
    auto* area = dynamic_cast<QScrollArea*>(existingWidget());
    Control* item = itemAt(index);
    if (area && item && item->existingWidget()) area->ensureWidgetVisible(item->existingWidget(), 0, 0);
}

void List::itemPressed(Control* item) {
    const int index = indexOf(item);
    if (index < 0) return;
    item->raise(notify::kItemClick);
    selectItem(index, true, true);
}

bool List::setAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    Argb c;
    auto colour = [&](Argb& member) {
        if (!parseColor(value, c)) return badValue();
        member = c;
        invalidate();
        for (int i = 0; i < count(); ++i) itemAt(i)->invalidate();
        return true;
    };
    if (n == QLatin1String("itemtextcolor")) return colour(itemTextColor_);
    if (n == QLatin1String("itembkcolor")) return colour(itemBkColor_);
    if (n == QLatin1String("itemhotbkcolor")) return colour(itemHotBkColor_);
    if (n == QLatin1String("itemselectedbkcolor")) return colour(itemSelectedBkColor_);
    if (n == QLatin1String("itemselectedtextcolor")) return colour(itemSelectedTextColor_);
    if (n == QLatin1String("itemheight")) {
        int v;
        if (!parseInt(value, v) || v <= 0) return badValue();
        itemHeight_ = v;
        arrange();
        return true;
    }
    return VerticalLayout::setAttribute(name, value);
}

void List::arrange() {
    auto* area = dynamic_cast<QScrollArea*>(existingWidget());
    if (!area || !content_) return;
    const QMargins in = inset();
    int total = scaled(in.top()) + scaled(in.bottom());
    int visible = 0;
    for (int i = 0; i < count(); ++i) {
        const Control* c = itemAt(i);
        if (!c->isVisible()) continue;
        total += scaled(c->fixedHeight() > 0 ? c->fixedHeight() : itemHeight_) + scaled(c->padding().top()) +
                 scaled(c->padding().bottom());
        ++visible;
    }
    if (visible > 1) total += scaled(childPadding()) * (visible - 1);
    const int viewH = area->height();
    const bool scroll = total > viewH;
    const int width = area->width() - (scroll ? area->verticalScrollBar()->sizeHint().width() : 0);
    content_->resize(std::max(0, width), std::max(total, viewH));
    arrangeStacked(QRect(QPoint(0, 0), content_->size())
                       .adjusted(scaled(in.left()), scaled(in.top()), -scaled(in.right()), -scaled(in.bottom())));
}

void List::arrangeStacked(const QRect& inner) {
    int y = inner.top();
    for (int i = 0; i < count(); ++i) {
        Control* c = itemAt(i);
        if (!c->isVisible()) continue;
        const QMargins p = c->padding();
        const int h = scaled(c->fixedHeight() > 0 ? c->fixedHeight() : itemHeight_);
        y += scaled(p.top());
        const int w = c->fixedWidth() > 0 ? scaled(c->fixedWidth())
                                          : inner.width() - scaled(p.left()) - scaled(p.right());
        c->place(QRect(inner.left() + scaled(p.left()), y, w, h));
        y += h + scaled(p.bottom()) + scaled(childPadding());
    }
}

// ---------------------------------------------------------------- Combo

Combo::Combo() = default;

Combo::~Combo() {
    std::vector<Control*> items;
    items.swap(items_);
    for (Control* c : items) {
        setOwnerOf(c, nullptr);
        delete c;
    }
}

QString Combo::className() const { return QStringLiteral("Combo"); }

Control* Combo::itemAt(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return items_[static_cast<size_t>(index)];
}

int Combo::indexOf(const Control* item) const {
    const auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

QWidget* Combo::createWidget(QWidget* parent) {
    auto* w = new Hosted<QComboBox>(this, parent, false);
    w->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(w, &QComboBox::currentIndexChanged, w, [this](int i) {
        if (!syncing_) userActivated(i);
    });
    return w;
}

void Combo::syncWidget() {
    Control::syncWidget();
    auto* cb = dynamic_cast<QComboBox*>(existingWidget());
    if (!cb) return;
    cb->setFont(fontFor(font(), scale()));
    cb->setMaxVisibleItems(visibleRows_);
    fillWidget();
}

void Combo::fillWidget() {
    auto* cb = dynamic_cast<QComboBox*>(existingWidget());
    if (!cb) return;
    syncing_ = true;
    cb->clear();
    for (Control* item : items_) {
        cb->addItem(item->displayText());
        if (item->fixedHeight() > 0)
            cb->setItemData(cb->count() - 1, QSize(0, scaled(item->fixedHeight())), Qt::SizeHintRole);
    }
    cb->setCurrentIndex(current_);
    syncing_ = false;
}

void Combo::userActivated(int index) {
    if (index == current_) return;
    const int old = current_;
    current_ = index;
    raise(notify::kItemSelect, index, old);
}

bool Combo::add(Control* item) { return addAt(item, count()); }

bool Combo::addAt(Control* item, int index) {
    if (!item || item->parent() || hasOwner(item) || item == this) return false;
    index = std::clamp(index, 0, count());
    items_.insert(items_.begin() + index, item);
    setOwnerOf(item, this);
    if (current_ >= 0 && index <= current_) ++current_;
    if (auto* cb = dynamic_cast<QComboBox*>(existingWidget())) {
        syncing_ = true;
        cb->insertItem(index, item->displayText());
        if (item->fixedHeight() > 0)
            cb->setItemData(index, QSize(0, scaled(item->fixedHeight())), Qt::SizeHintRole);
        cb->setCurrentIndex(current_);
        syncing_ = false;
    }
    return true;
}

bool Combo::remove(Control* item) {
    const int index = indexOf(item);
    if (index < 0) return false;
    items_.erase(items_.begin() + index);
    setOwnerOf(item, nullptr);
    if (index == current_) current_ = -1;
    else if (index < current_) --current_;
    if (auto* cb = dynamic_cast<QComboBox*>(existingWidget())) {
        syncing_ = true;
        cb->removeItem(index);
        cb->setCurrentIndex(current_);
        syncing_ = false;
    }
    delete item;
    return true;
}

bool Combo::removeAt(int index) { return remove(itemAt(index)); }

void Combo::removeAll() {
    std::vector<Control*> items;
    items.swap(items_);
    current_ = -1;
    for (Control* c : items) {
        setOwnerOf(c, nullptr);
        delete c;
    }
    fillWidget();
}

bool Combo::selectItem(int index, bool takeFocus, bool notify) {
    if (index < -1 || index >= count()) return false;
    if (takeFocus) setFocus();
    if (index == current_) return true;
    const int old = current_;
    current_ = index;
    if (auto* cb = dynamic_cast<QComboBox*>(existingWidget())) {
        syncing_ = true;
        cb->setCurrentIndex(index);
        syncing_ = false;
    }
    if (notify) raise(notify::kItemSelect, index, old);
    return true;
}

void Combo::itemChanged(Control* item) {
    const int index = indexOf(item);
    auto* cb = dynamic_cast<QComboBox*>(existingWidget());
    if (index < 0 || !cb) return;
    cb->setItemText(index, item->displayText());
    if (item->fixedHeight() > 0)
        cb->setItemData(index, QSize(0, scaled(item->fixedHeight())), Qt::SizeHintRole);
}

void Combo::reloadText() {
    Control::reloadText();
    for (Control* item : items_) item->reloadText();
}

bool Combo::handleEvent(QEvent* e) { return Control::handleEvent(e); }

void Combo::setVisibleRows(int rows) {
    visibleRows_ = std::max(1, rows);
    if (auto* cb = dynamic_cast<QComboBox*>(existingWidget())) cb->setMaxVisibleItems(visibleRows_);
}

bool Combo::setAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("dropboxrows"), Qt::CaseInsensitive) == 0) {
        int v;
        if (!parseInt(value, v) || v <= 0) return badValue();
        setVisibleRows(v);
        return true;
    }
    return Control::setAttribute(name, value);
}

} // namespace kavrel::skin
