// A skinned top-level window: built from a layout, controls found by name, one notification
// listener, timers by number, modal loops and frameless window chrome.
//
// Derive from Window and override the hooks (notify, createControl, initWindow, onTimer,
// onMenuCommand, onClosed). Everything runs on the UI thread except setTimer/killTimer/
// postNotify, which may be called from any thread.
#pragma once

#include "kavrel/skin/control.h"

#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>

#include <QWidget>
class QEventLoop;

namespace kavrel::skin {

class Option;
struct MenuCommand;

class Window {
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Builds the layout (a res.xml resource name such as "XML_MAIN", or a file name relative to
    // the resource folder, or an absolute path) with this window as builder callback, attaches it,
    // sizes the window from the layout and calls initWindow(). Owner: the window stays above it
    // and centre() centres on it. Returns false when the layout fails (the diagnostics name file
    // and line); the window then has an empty root and can still be shown.
    bool create(const QString& layout, Window* owner = nullptr, const QString& title = {});

    // ---- controls ----
    Control* root() const { return root_; }
    // Names are compared without regard to case; when several controls share a name the first
    // one in layout order (or the first added) is found.
    Control* find(const QString& name) const;
    template <class T>
    T* find(const QString& name) const { return dynamic_cast<T*>(find(name)); }
    // Re-resolves the text of every resource-text control (after a language change).
    void reloadText();
    // Repaints every control.
    void invalidate();

    // ---- notifications ----
    // Queues a notification and delivers the queue in order if no delivery is running on this
    // thread's stack; from another thread it is posted to the UI thread.
    void postNotify(Control* sender, const QString& type, std::int64_t wParam = 0,
                    std::int64_t lParam = 0);

    // ---- window ----
    QWidget* widget() const;              // the top-level Qt widget
    void setTitle(const QString& title);
    QString title() const;
    void show();
    void hide();
    bool isVisible() const;
    bool isMinimized() const;
    void minimize();
    void maximize();                      // fills the work area of the window's monitor
    void restore();                       // from minimised or maximised
    bool isMaximized() const;
    void activate();                      // raise and give focus
    void setTopMost(bool on);
    void centre();                        // on the owner, else on the screen
    void move(int x, int y);              // screen position of the top-left corner
    void resize(int width, int height);   // window pixels (unscaled units x scale)
    QRect geometry() const;               // screen rectangle
    Window* owner() const { return owner_; }
    // Modal loop: shows the window, disables the owner and returns the result of close().
    int showModal();
    bool isModal() const { return modalLoop_ != nullptr; }
    // True once "windowinit" has been delivered (or is being delivered).
    bool isInitDelivered() const { return initSent_ && !holdForInit_; }
    // Hides the window, ends its modal loop with `result`, then calls onClosed(result).
    void close(int result = 0);
    // When set, the object deletes itself (on the event loop) after close().
    void setDeleteOnClose(bool on) { deleteOnClose_ = on; }

    // ---- chrome (from the layout's <Window> attributes, settable by code) ----
    // Caption area: left inset, top, right inset, height. Dragging inside it moves the window,
    // except over interactive controls (buttons, options, check boxes, text, edits, combos,
    // lists, sliders, palettes).
    QMargins captionArea() const { return caption_; }
    void setCaptionArea(const QMargins& area);
    // Rounded window shape, corner width and height (0 = square).
    QSize roundCorner() const { return roundCorner_; }
    void setRoundCorner(const QSize& corner);
    QSize layoutSize() const { return layoutSize_; }   // "size" in layout units

    // ---- scaling ----
    // Layout DPI: 96 = 100 %, 192 = 200 %. Rescales every control, font and the window size.
    void setDpi(int dpi);
    int dpi() const { return dpi_; }
    double scale() const { return dpi_ / 96.0; }

    // ---- timers (any thread) ----
    // Starts (or restarts) repeating timer `id`; each tick calls onTimer(id) on the UI thread
    // until killTimer(id).
    void setTimer(int id, int ms);
    void killTimer(int id);
    bool hasTimer(int id) const;

    // ---- hooks ----
    // The listener: every notification of this window's controls, in order, on the UI thread.
    virtual void notify(const Notification& n);
    // Builder callback: a control or sub-layout for a class name the toolkit does not know;
    // nullptr lets the custom-class registry try. To leave a page empty on a failed sub-layout,
    // return an empty Container.
    virtual Control* createControl(const QString& className);
    // Called once after the layout is built and attached, before the window is shown.
    virtual void initWindow() {}
    virtual void onTimer(int /*id*/) {}
    // A menu opened with this window as owner delivered a command.
    virtual void onMenuCommand(const MenuCommand& /*command*/) {}
    // After close(): the window is hidden and any modal loop has ended.
    virtual void onClosed(int /*result*/) {}
    // The user asked to close the window (Alt+F4, window manager). Default: close(0).
    virtual void onCloseRequest() { close(0); }

    // ---- plumbing (controls and builder) ----
    void registerControl(Control* c);
    void unregisterControl(Control* c);
    void renameControl(Control* c, const QString& oldName);
    // Options of one group in this window, in registration order.
    std::vector<Option*> optionGroup(const QString& group) const;
    void setRoot(Control* root);          // takes ownership, deletes the previous root
    void applyWindowAttribute(const QString& name, const QString& value);
    void rootResized();
    void shownFirstTime();
    bool isCaptionPoint(const QPoint& local) const;
    void dispatchTimer(int id);
    void closeRequested();

private:
    void deliver();
    struct Timer;
    QPointer<QWidget> host_;
    Control* root_ = nullptr;
    Window* owner_ = nullptr;
    QHash<QString, Control*> names_;
    std::vector<Control*> options_;
    struct Pending { Control* sender; QString type; std::int64_t w, l; };
    std::deque<Pending> queue_;
    bool delivering_ = false;
    bool initSent_ = false;
    bool holdForInit_ = false;
    bool dying_ = false;
    QPoint dragOffset_;
    bool dragging_ = false;
    std::unordered_set<Control*> all_;
    bool deleteOnClose_ = false;
    QEventLoop* modalLoop_ = nullptr;
    int modalResult_ = 0;
    QMargins caption_;
    QSize roundCorner_, layoutSize_{400, 300}, minSize_, maxSize_;
    QRect normalGeometry_;
    bool maximized_ = false;
    int dpi_ = 96;
    QHash<int, int> timers_;               // id -> Qt timer id
    std::shared_ptr<Window*> alive_;       // guard for work posted from other threads
    friend class WindowHost;
};

} // namespace kavrel::skin
