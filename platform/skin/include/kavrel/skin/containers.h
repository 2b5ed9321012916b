// Containers: plain (children stacked on one another or placed by "pos"), vertical and
// horizontal stacks, and the tab layout (one child page shown at a time).
#pragma once

#include "kavrel/skin/control.h"

#include <vector>

namespace kavrel::skin {

// Children fill the inner rectangle (inset minus each child's padding) one over another; a
// child with a fixed width/height keeps it and sits at the top-left. Children with "pos" are
// placed at x, y, w, h from the container's top-left.
class Container : public Control {
public:
    Container();
    ~Container() override;
    QString className() const override;

    virtual int count() const { return static_cast<int>(items_.size()); }
    virtual Control* itemAt(int index) const;
    virtual int indexOf(const Control* child) const;
    // Takes ownership; false (and the control is not taken) for null or a control with a parent.
    virtual bool add(Control* child);
    // index <= 0 inserts first, index >= count appends.
    virtual bool addAt(Control* child, int index);
    // Removes and deletes the child; false when it is not a child.
    virtual bool remove(Control* child);
    virtual bool removeAt(int index);
    virtual void removeAll();
    // Removes the child without deleting it; the caller owns it afterwards.
    Control* take(Control* child);

    // Inner margin of the container.
    QMargins inset() const { return inset_; }
    void setInset(const QMargins& inset);
    // Gap between stacked children (vertical/horizontal layouts).
    int childPadding() const { return childPadding_; }
    void setChildPadding(int gap);

    bool setAttribute(const QString& name, const QString& value) override;
    void reloadText() override;
    void arrange() override;
    // The widget the children's widgets live in (the container's own; a list's scrolled page).
    virtual QWidget* childHost();

protected:
    QWidget* createWidget(QWidget* parent) override;
    void widgetCreated() override;
    void visibilityChanged(bool visibleOnScreen) override;
    // Places the non-float children into `inner` (widget-local pixels). Float children are
    // placed by arrange() itself.
    virtual void arrangeStacked(const QRect& inner);
    const std::vector<Control*>& items() const { return items_; }
    // Called after a child joined or left (lists keep their selection index here).
    virtual void childAdded(Control* child, int index);
    virtual void childRemoved(Control* child, int index);

private:
    std::vector<Control*> items_;
    QMargins inset_;
    int childPadding_ = 0;
};

// Children stacked top to bottom. Fixed heights are kept; the remaining height is shared
// equally by the children without one. Widths: fixed width, else the full inner width.
class VerticalLayout : public Container {
public:
    QString className() const override;
protected:
    void arrangeStacked(const QRect& inner) override;
};

// Children stacked left to right; the mirror image of VerticalLayout.
class HorizontalLayout : public Container {
public:
    QString className() const override;
protected:
    void arrangeStacked(const QRect& inner) override;
};

// Shows one child (page) at a time. "selectedid" sets the first page shown (default 0).
// Selecting a page raises no notification.
class TabLayout : public Container {
public:
    QString className() const override;
    int currentSel() const { return current_; }
    // false when index is out of range (selection unchanged).
    bool selectItem(int index);
    bool selectItem(Control* page);
    bool setAttribute(const QString& name, const QString& value) override;

protected:
    void arrangeStacked(const QRect& inner) override;
    void childAdded(Control* child, int index) override;
    void childRemoved(Control* child, int index) override;

private:
    void showCurrent();
    int current_ = 0;
};

} // namespace kavrel::skin
