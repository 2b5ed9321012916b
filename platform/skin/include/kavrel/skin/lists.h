// Lists, combo boxes and their items.
//
// Items are controls: ListLabelElement (one line of text) or ListContainerElement (a row holding
// other controls, e.g. three labels). An item's text, user data, fixed height and style are its
// own Control properties. The same item API serves List and Combo (ListOwner).
//
// Notifications: selecting an item by user action raises "itemselect" (sender = list/combo,
// wParam = new index, lParam = old index) only when the selection changes. Clicking a list item
// raises "itemclick" (sender = the item) first, then "itemselect" if the selection changed.
// selectItem(index, takeFocus, notify) behaves the same: "itemselect" only on a change, and only
// when notify is true.
#pragma once

#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"

namespace kavrel::skin {

class ListOwner {
public:
    virtual ~ListOwner() = default;
    virtual int count() const = 0;
    virtual Control* itemAt(int index) const = 0;
    virtual int indexOf(const Control* item) const = 0;
    // Take ownership of the item; false for null or an item that already has an owner.
    virtual bool add(Control* item) = 0;
    virtual bool addAt(Control* item, int index) = 0;
    // Remove and delete; the selection index follows the remaining items (removing the selected
    // item leaves no selection). No notification.
    virtual bool remove(Control* item) = 0;
    virtual bool removeAt(int index) = 0;
    virtual void removeAll() = 0;
    // -1 when nothing is selected.
    virtual int currentSel() const = 0;
    // index -1 clears the selection. Out-of-range indices change nothing and return false.
    virtual bool selectItem(int index, bool takeFocus = false, bool notify = true) = 0;
};

// One text line as a list or combo item.
class ListLabelElement : public Label {
public:
    ListLabelElement();
    QString className() const override;
    bool isSelected() const;
    ListOwner* owner() const { return owner_; }
    void setText(const QString& text) override;
    bool handleEvent(QEvent* event) override;
    void setOwner(ListOwner* owner) { owner_ = owner; }
protected:
    void paintBkColor(QPainter& painter) override;
    void paintText(QPainter& painter) override;
    void displayTextChanged() override;
private:
    ListOwner* owner_ = nullptr;
};

// A row of controls as a list item (laid out left to right).
class ListContainerElement : public HorizontalLayout {
public:
    ListContainerElement();
    QString className() const override;
    bool isSelected() const;
    ListOwner* owner() const { return owner_; }
    bool handleEvent(QEvent* event) override;
    void setOwner(ListOwner* owner) { owner_ = owner; }
protected:
    void paintBkColor(QPainter& painter) override;
private:
    ListOwner* owner_ = nullptr;
};

// A vertical, scrollable list of items. Item colours come from the list's own attributes
// ("itemtextcolor", "itembkcolor", "itemhotbkcolor", "itemselectedbkcolor",
// "itemselectedtextcolor", "itemheight" default height of items without a fixed height).
class List : public VerticalLayout, public ListOwner {
public:
    List();
    ~List() override;
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;

    int count() const override { return VerticalLayout::count(); }
    Control* itemAt(int index) const override { return VerticalLayout::itemAt(index); }
    int indexOf(const Control* item) const override { return VerticalLayout::indexOf(item); }
    bool add(Control* item) override;
    bool addAt(Control* item, int index) override;
    bool remove(Control* item) override;
    bool removeAt(int index) override;
    void removeAll() override;
    int currentSel() const override { return current_; }
    bool selectItem(int index, bool takeFocus = false, bool notify = true) override;
    // Scrolls so that the item is visible.
    void ensureVisible(int index);

    // Item looks (shared by all items).
    Argb itemTextColor() const { return itemTextColor_; }
    Argb itemBkColor() const { return itemBkColor_; }
    Argb itemHotBkColor() const { return itemHotBkColor_; }
    Argb itemSelectedBkColor() const { return itemSelectedBkColor_; }
    Argb itemSelectedTextColor() const { return itemSelectedTextColor_; }
    int itemHeight() const { return itemHeight_; }

    // An item was clicked by the user (called by the items).
    void itemPressed(Control* item);
    void arrange() override;
    QWidget* childHost() override;

protected:
    QWidget* createWidget(QWidget* parent) override;
    void arrangeStacked(const QRect& inner) override;
    void childAdded(Control* child, int index) override;
    void childRemoved(Control* child, int index) override;

private:
    int current_ = -1;
    int itemHeight_ = 24;
    Argb itemTextColor_ = 0, itemBkColor_ = 0, itemHotBkColor_ = 0;
    Argb itemSelectedBkColor_ = 0, itemSelectedTextColor_ = 0;
    QWidget* content_ = nullptr;
};

// A drop-down (Qt combo box) whose entries are items; the shown text of an item is its
// displayText(). Items never get widgets of their own. A combo may show no selection (-1).
class Combo : public Control, public ListOwner {
public:
    Combo();
    ~Combo() override;
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;

    int count() const override { return static_cast<int>(items_.size()); }
    Control* itemAt(int index) const override;
    int indexOf(const Control* item) const override;
    bool add(Control* item) override;
    bool addAt(Control* item, int index) override;
    bool remove(Control* item) override;
    bool removeAt(int index) override;
    void removeAll() override;
    int currentSel() const override { return current_; }
    bool selectItem(int index, bool takeFocus = false, bool notify = true) override;
    void reloadText() override;
    bool handleEvent(QEvent* event) override;

    // Re-reads an item's text and height into the drop-down (items call it when they change).
    void itemChanged(Control* item);
    // Number of rows the open drop-down shows before scrolling ("dropboxsize" height / rows).
    int visibleRows() const { return visibleRows_; }
    void setVisibleRows(int rows);

protected:
    QWidget* createWidget(QWidget* parent) override;
    void syncWidget() override;
    void paintText(QPainter&) override {}

private:
    void userActivated(int index);
    void fillWidget();
    std::vector<Control*> items_;
    int current_ = -1;
    int visibleRows_ = 10;
    bool syncing_ = false;
};

} // namespace kavrel::skin
