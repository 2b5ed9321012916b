// The base of every skin control: name, text, looks, state, geometry, attributes, painting.
//
// A Control is a plain C++ object that owns one Qt widget, created when the control is visible
// in a container that has its widget (hidden tab pages and panels get theirs when first shown;
// widget() creates it on demand). Until then rect() is empty and existingWidget() null.
// All operations run on the UI thread (see thread.h for handing work over).
// Containers own their children; deleting a container deletes its children.
#pragma once

#include "kavrel/skin/types.h"

#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

class QPainter;
#include <QWidget>
class QEvent;

namespace kavrel::skin {

class Container;

// Text alignment flags of the "align" attribute ("left", "center", "right", "top", "vcenter",
// "bottom", combined with spaces or '|').
enum Align : unsigned {
    AlignLeft = 1, AlignHCenter = 2, AlignRight = 4,
    AlignTop = 8, AlignVCenter = 16, AlignBottom = 32,
};

class Control {
public:
    Control();
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The class name as layouts write it ("Control", "Button", ...); custom classes override it.
    virtual QString className() const;

    // ---- identity ----
    const QString& name() const { return name_; }
    void setName(const QString& name);
    Window* window() const { return window_; }
    Container* parent() const { return parent_; }
    // The first control named `name` (any case) in this control's subtree, this one included.
    Control* findChild(const QString& name) const;

    // ---- text ----
    // With the resource-text flag set, text() is a language key and the control shows the text
    // of that key (Resources::text); otherwise it shows text() as it stands.
    const QString& text() const { return text_; }
    virtual void setText(const QString& text);
    bool isResourceText() const { return resourceText_; }
    void setResourceText(bool on);
    QString displayText() const;
    const QString& toolTip() const { return toolTip_; }
    void setToolTip(const QString& tip);     // follows the resource-text flag as well
    // Re-resolves the shown text after a language change (Window::reloadText calls it).
    virtual void reloadText();

    // ---- state ----
    bool isVisible() const { return visible_; }       // own flag
    bool isVisibleOnScreen() const;                   // own flag and every ancestor's
    virtual void setVisible(bool visible);
    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    void setFocus();
    bool hasFocus() const;
    // Schedules a repaint of the control.
    void invalidate();

    // ---- looks ----
    Argb bkColor() const { return bkColor_; }
    void setBkColor(Argb colour);
    const QString& bkImage() const { return bkImage_; }    // image string (render.h)
    void setBkImage(const QString& image);
    Argb textColor() const { return textColor_; }
    void setTextColor(Argb colour);
    Argb disabledTextColor() const { return disabledTextColor_; }
    void setDisabledTextColor(Argb colour);
    Argb borderColor() const { return borderColor_; }
    void setBorderColor(Argb colour);
    int borderSize() const { return borderSize_; }
    void setBorderSize(int size);
    int borderRound() const { return borderRound_; }     // corner radius of bk colour and border
    void setBorderRound(int radius);
    int font() const { return font_; }                    // font id of res.xml, -1 = default
    void setFont(int fontId);
    unsigned textAlign() const { return align_; }
    void setTextAlign(unsigned alignFlags);
    QMargins textPadding() const { return textPadding_; }
    void setTextPadding(const QMargins& padding);

    // Change colouring: when enabled, the background image is drawn as a tint of the change
    // colour (preview packing, types.h) at the change alpha (0 = tint not drawn) over bk colour.
    bool isChangeColorEnabled() const { return changeColorOn_; }
    void setChangeColorEnabled(bool on);
    std::uint32_t changeColor() const { return changeColor_; }
    void setChangeColor(std::uint32_t packed);
    int changeAlpha() const { return changeAlpha_; }
    void setChangeAlpha(int alpha);

    // ---- user data ----
    const QString& userData() const { return userData_; }
    void setUserData(const QString& data);
    std::uintptr_t tag() const { return tag_; }
    void setTag(std::uintptr_t tag) { tag_ = tag; }

    // ---- geometry (layout units: 1 unit = 1 pixel at 96 DPI; the window scales them) ----
    int fixedWidth() const { return fixedWidth_; }      // 0 = take the space the parent gives
    void setFixedWidth(int width);
    int fixedHeight() const { return fixedHeight_; }
    void setFixedHeight(int height);
    int minWidth() const { return minWidth_; }
    void setMinWidth(int w);
    int maxWidth() const { return maxWidth_; }
    void setMaxWidth(int w);
    int minHeight() const { return minHeight_; }
    void setMinHeight(int h);
    int maxHeight() const { return maxHeight_; }
    void setMaxHeight(int h);
    // Outer margin inside the parent's stacking.
    QMargins padding() const { return padding_; }
    void setPadding(const QMargins& padding);
    // Absolute placement x, y, w, h relative to the parent's top-left (the "pos" attribute);
    // such a control ignores its parent's stacking.
    bool isFloat() const { return float_; }
    QRect floatPos() const { return floatPos_; }
    void setFloatPos(const QRect& pos);
    void clearFloatPos();
    // The control's current rectangle in window pixels (device-independent).
    QRect rect() const;
    // The rectangle inside its widget (0, 0, width, height), the one the paint hooks fill.
    QRect localRect() const;

    // ---- attributes ----
    // Applies one layout attribute by name (any case). Unknown names write a debug line and are
    // ignored; a bad value writes a debug line and leaves the property unchanged. Returns false
    // in both cases. Custom classes override it, handle their own names and call the base.
    virtual bool setAttribute(const QString& name, const QString& value);
    // Applies a named style (res.xml <Style>); false when no such style exists.
    bool applyStyle(const QString& styleName);

    // The widget, created on first call (under the parent's widget when there is one).
    QWidget* widget();
    QWidget* existingWidget() const;

    // Raises a notification from this control through its window (queued, in order).
    // Does nothing while the control is not in a window.
    void raise(const char* type, std::int64_t wParam = 0, std::int64_t lParam = 0);

    // ---- internal plumbing used by containers, windows and widgets ----
    void attachToWindow(Window* window);   // recursively (un)registers names with the window
    void setParentContainer(Container* parent);
    // Lays out children (containers) after the widget was resized.
    virtual void arrange() {}
    // Moves the widget to rect (coordinates of the parent's child host) and lays out the
    // children when the size changed.
    void place(const QRect& rectInParent);
    // Asks the parent to lay out again (after a size or visibility change).
    void relayout();
    // Called by the widget's paintEvent.
    void paintAll(QPainter& painter);
    // Window-scale for layout units (1.0 at 96 DPI).
    double scale() const;
    int scaled(int units) const;
    // The widget received an event; return true when consumed.
    virtual bool handleEvent(QEvent* event);

protected:
    // Creates the widget of this class (a plain painting widget by default).
    virtual QWidget* createWidget(QWidget* parent);
    // Called after the widget exists and the stored properties were applied to it.
    virtual void widgetCreated() {}
    // Called after the control's rectangle changed (widget moved or resized).
    virtual void geometryChanged(const QRect& windowRect);
    // Called when the effective visibility changed (own flag or an ancestor's).
    virtual void visibilityChanged(bool visibleOnScreen);

    // Painting order: bk colour, bk image, status image, text, border. Override to draw with
    // QPainter (antialiasing is on); the painter is clipped to the control.
    virtual void paint(QPainter& painter);
    virtual void paintBkColor(QPainter& painter);
    virtual void paintBkImage(QPainter& painter);
    virtual void paintStatusImage(QPainter& painter);
    virtual void paintText(QPainter& painter);
    virtual void paintBorder(QPainter& painter);

    // Draws text in rect with this control's font, colour (disabled colour when disabled),
    // alignment and padding.
    void drawText(QPainter& painter, const QRect& rect, const QString& text, Argb colour) const;
    // Draws an image string into rect (the control's local rect when rect is null); false when
    // the image cannot be loaded.
    bool drawImage(QPainter& painter, const QString& image, const QRect& rect = {}) const;

    // Applies the stored text/tooltip/visibility/enabled state to the widget.
    virtual void syncWidget();
    // Hook for subclasses that show their text through a Qt widget.
    virtual void displayTextChanged() {}

private:
    friend class Container;
    friend class Window;

    QString name_, text_, toolTip_, bkImage_, userData_;
    Window* window_ = nullptr;
    Container* parent_ = nullptr;
    QPointer<QWidget> widget_;
    std::uintptr_t tag_ = 0;
    Argb bkColor_ = 0, textColor_ = 0, disabledTextColor_ = 0, borderColor_ = 0;
    std::uint32_t changeColor_ = 0;
    int changeAlpha_ = 255;
    int borderSize_ = 0, borderRound_ = 0, font_ = -1;
    unsigned align_ = AlignLeft | AlignVCenter;
    QMargins textPadding_, padding_;
    int fixedWidth_ = 0, fixedHeight_ = 0;
    int minWidth_ = 0, maxWidth_ = 0, minHeight_ = 0, maxHeight_ = 0;
    QRect floatPos_;
    bool float_ = false, visible_ = true, enabled_ = true, resourceText_ = false;
    bool changeColorOn_ = false;
    bool arranged_ = false;
};

// dynamic_cast helper: `as<Button>(c)` is null when c is null or of another class.
template <class T>
T* as(Control* c) { return dynamic_cast<T*>(c); }

} // namespace kavrel::skin
