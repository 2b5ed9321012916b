#include "kavrel/skin/window.h"

#include "internal.h"
#include "kavrel/os/diag.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/thread.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace kavrel::skin {

using namespace detail;

namespace {
std::vector<Window*>& windows() {
    static std::vector<Window*> list;
    return list;
}
} // namespace

void detail::registerWindow(Window* w) { windows().push_back(w); }
void detail::unregisterWindow(Window* w) {
    auto& v = windows();
    v.erase(std::remove(v.begin(), v.end(), w), v.end());
}
void detail::forEachWindow(void (*fn)(Window*)) {
    const auto copy = windows();
    for (Window* w : copy) fn(w);
}

// The top-level widget of a Window: chrome, timers, first show, close requests.
class WindowHost : public QWidget {
public:
    explicit WindowHost(Window* w) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), w_(w) {
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, QColor(0x12, 0x15, 0x1B));
        setPalette(pal);
        setFocusPolicy(Qt::ClickFocus);
    }
    Window* w_;

    void updateMask() {
        const QSize rc = w_->roundCorner();
        if (rc.isEmpty() || w_->isMaximized()) {
            clearMask();
            return;
        }
        QPainterPath path;
        path.addRoundedRect(QRectF(0, 0, width(), height()), rc.width() * w_->scale() / 2.0,
                            rc.height() * w_->scale() / 2.0);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        updateMask();
        w_->rootResized();
        if (w_->initSent_ && w_->root()) w_->postNotify(w_->root(), QString::fromLatin1(notify::kWindowSize));
    }
    void showEvent(QShowEvent* e) override {
        QWidget::showEvent(e);
        w_->shownFirstTime();
    }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        w_->closeRequested();
    }
    void timerEvent(QTimerEvent* e) override { w_->dispatchTimer(e->timerId()); }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && w_->isCaptionPoint(e->position().toPoint()) && !w_->isMaximized()) {
            if (windowHandle() && windowHandle()->startSystemMove()) return;
            w_->dragging_ = true;
            w_->dragOffset_ = e->globalPosition().toPoint() - pos();
            return;
        }
        QWidget::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (w_->dragging_) {
            move(e->globalPosition().toPoint() - w_->dragOffset_);
            return;
        }
        QWidget::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        w_->dragging_ = false;
        QWidget::mouseReleaseEvent(e);
    }
};

Window::Window() : alive_(std::make_shared<Window*>(this)) {
    host_ = new WindowHost(this);
    registerWindow(this);
}

Window::~Window() {
    dying_ = true;
    unregisterWindow(this);
    alive_.reset();
    if (modalLoop_) modalLoop_->exit(0);
    queue_.clear();
    names_.clear();
    options_.clear();
    Control* root = root_;
    root_ = nullptr;
    delete root;
    all_.clear();
    if (host_) {
        static_cast<WindowHost*>(host_.data())->w_ = nullptr;
        delete host_.data();
    }
}

bool Window::create(const QString& layout, Window* owner, const QString& title) {
    owner_ = owner;
    if (owner && owner->widget()) host_->setParent(owner->widget(), host_->windowFlags());
    if (!title.isEmpty()) setTitle(title);
    LayoutInfo info;
    Control* root = buildLayout(layout, [this](const QString& cls) { return createControl(cls); }, &info);
    for (const auto& [n, v] : info.windowAttributes) applyWindowAttribute(n, v);
    const bool ok = root != nullptr;
    if (!root) root = new Container;
    setRoot(root);
    host_->resize(static_cast<int>(std::lround(layoutSize_.width() * scale())),
                  static_cast<int>(std::lround(layoutSize_.height() * scale())));
    rootResized();
    initWindow();
    return ok;
}

Control* Window::find(const QString& name) const { return names_.value(name.toLower(), nullptr); }

void Window::reloadText() {
    if (root_) root_->reloadText();
}

void Window::invalidate() {
    walk(root_, [](Control* c) { c->invalidate(); });
}

void Window::postNotify(Control* sender, const QString& type, std::int64_t wParam, std::int64_t lParam) {
    if (!sender) return;
    if (!isUiThread()) {
        std::weak_ptr<Window*> guard = alive_;
        postToUi([guard, sender, type, wParam, lParam] {
            if (auto alive = guard.lock()) {
                Window* w = *alive;
                if (w->all_.count(sender)) w->postNotify(sender, type, wParam, lParam);
            }
        });
        return;
    }
    queue_.push_back({sender, type, wParam, lParam});
    deliver();
}

void Window::deliver() {
    if (delivering_ || holdForInit_) return;
    delivering_ = true;
    std::weak_ptr<Window*> guard = alive_;
    while (!queue_.empty()) {
        const Pending p = queue_.front();
        queue_.pop_front();
        Notification n;
        n.type = p.type;
        n.sender = p.sender;
        n.wParam = p.w;
        n.lParam = p.l;
        notify(n);
        if (guard.expired()) return;
    }
    delivering_ = false;
}

QWidget* Window::widget() const { return host_; }
void Window::setTitle(const QString& title) { host_->setWindowTitle(title); }
QString Window::title() const { return host_->windowTitle(); }
void Window::show() { host_->show(); }
void Window::hide() { host_->hide(); }
bool Window::isVisible() const { return host_ && host_->isVisible(); }
bool Window::isMinimized() const { return host_ && host_->isMinimized(); }
void Window::minimize() { host_->showMinimized(); }
bool Window::isMaximized() const { return maximized_; }

void Window::maximize() {
    if (maximized_) return;
    normalGeometry_ = host_->geometry();
    QScreen* screen = host_->screen() ? host_->screen() : QGuiApplication::primaryScreen();
    maximized_ = true;
    if (host_->isMinimized()) host_->showNormal();
    if (screen) host_->setGeometry(screen->availableGeometry());
    static_cast<WindowHost*>(host_.data())->updateMask();
}

void Window::restore() {
    if (host_->isMinimized()) host_->showNormal();
    if (maximized_) {
        maximized_ = false;
        host_->setGeometry(normalGeometry_);
        static_cast<WindowHost*>(host_.data())->updateMask();
    }
}

void Window::activate() {
    host_->raise();
    host_->activateWindow();
}

void Window::setTopMost(bool on) {
    const bool visible = host_->isVisible();
    host_->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) host_->show();
}

void Window::centre() {
    QRect area;
    if (owner_ && owner_->isVisible()) area = owner_->geometry();
    else if (QScreen* s = host_->screen() ? host_->screen() : QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (area.isNull()) return;
    host_->move(area.center() - QPoint(host_->width() / 2, host_->height() / 2));
}

void Window::move(int x, int y) { host_->move(x, y); }
void Window::resize(int width, int height) { host_->resize(width, height); }
QRect Window::geometry() const { return host_->geometry(); }

int Window::showModal() {
    QEventLoop loop;
    modalLoop_ = &loop;
    modalResult_ = 0;
    host_->setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    show();
    activate();
    std::weak_ptr<Window*> guard = alive_;
    const int result = loop.exec();
    if (!guard.expired()) {
        modalLoop_ = nullptr;
        host_->setWindowModality(Qt::NonModal);
    }
    return result;
}

void Window::close(int result) {
    modalResult_ = result;
    host_->hide();
    if (modalLoop_) modalLoop_->exit(result);
    std::weak_ptr<Window*> guard = alive_;
    onClosed(result);
    if (guard.expired()) return;
    if (deleteOnClose_) {
        deleteOnClose_ = false;
        QTimer::singleShot(0, qApp, [guard] {
            if (auto alive = guard.lock()) delete *alive;
        });
    }
}

void Window::closeRequested() { onCloseRequest(); }

void Window::setCaptionArea(const QMargins& area) { caption_ = area; }

void Window::setRoundCorner(const QSize& corner) {
    roundCorner_ = corner;
    static_cast<WindowHost*>(host_.data())->updateMask();
}

void Window::setDpi(int dpi) {
    dpi = std::clamp(dpi, 48, 480);
    if (dpi == dpi_) return;
    dpi_ = dpi;
    host_->setStyleSheet(dpi == 96 ? QString() : stylesheet(scale()));
    walk(root_, [](Control* c) {
        c->arranged_ = false;
        c->syncWidget();
    });
    host_->resize(static_cast<int>(std::lround(layoutSize_.width() * scale())),
                  static_cast<int>(std::lround(layoutSize_.height() * scale())));
    rootResized();
    static_cast<WindowHost*>(host_.data())->updateMask();
    invalidate();
}

void Window::setTimer(int id, int ms) {
    if (!isUiThread()) {
        std::weak_ptr<Window*> guard = alive_;
        postToUi([guard, id, ms] {
            if (auto alive = guard.lock()) (*alive)->setTimer(id, ms);
        });
        return;
    }
    if (auto it = timers_.find(id); it != timers_.end()) host_->killTimer(it.value());
    timers_[id] = host_->startTimer(std::max(ms, 0), Qt::PreciseTimer);
}

void Window::killTimer(int id) {
    if (!isUiThread()) {
        std::weak_ptr<Window*> guard = alive_;
        postToUi([guard, id] {
            if (auto alive = guard.lock()) (*alive)->killTimer(id);
        });
        return;
    }
    if (auto it = timers_.find(id); it != timers_.end()) {
        host_->killTimer(it.value());
        timers_.erase(it);
    }
}

bool Window::hasTimer(int id) const { return timers_.contains(id); }

void Window::dispatchTimer(int qtId) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
        if (it.value() == qtId) {
            onTimer(it.key());
            return;
        }
}

void Window::notify(const Notification&) {}
Control* Window::createControl(const QString&) { return nullptr; }

void Window::registerControl(Control* c) {
    all_.insert(c);
    if (!c->name().isEmpty()) {
        const QString key = c->name().toLower();
        if (!names_.contains(key)) names_.insert(key, c);
    }
    if (auto* o = dynamic_cast<Option*>(c)) options_.push_back(o);
}

void Window::unregisterControl(Control* c) {
    if (dying_) return;
    all_.erase(c);
    if (!c->name().isEmpty()) {
        const QString key = c->name().toLower();
        if (names_.value(key) == c) {
            names_.remove(key);
            if (root_)
                if (Control* other = root_->findChild(c->name()); other && other != c && all_.count(other))
                    names_.insert(key, other);
        }
    }
    options_.erase(std::remove(options_.begin(), options_.end(), c), options_.end());
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(), [c](const Pending& p) { return p.sender == c; }),
                 queue_.end());
}

void Window::renameControl(Control* c, const QString& oldName) {
    if (!oldName.isEmpty()) {
        const QString key = oldName.toLower();
        if (names_.value(key) == c) {
            names_.remove(key);
            if (root_)
                if (Control* other = root_->findChild(oldName); other && other != c) names_.insert(key, other);
        }
    }
    if (!c->name().isEmpty()) {
        const QString key = c->name().toLower();
        if (!names_.contains(key)) names_.insert(key, c);
    }
}

std::vector<Option*> Window::optionGroup(const QString& group) const {
    std::vector<Option*> out;
    for (Control* c : options_) {
        auto* o = static_cast<Option*>(c);
        if (o->group().compare(group, Qt::CaseInsensitive) == 0) out.push_back(o);
    }
    return out;
}

void Window::setRoot(Control* root) {
    if (root == root_) return;
    if (root_) {
        Control* old = root_;
        old->attachToWindow(nullptr);
        root_ = nullptr;
        delete old;
    }
    root_ = root;
    if (!root_) return;
    root_->attachToWindow(this);
    root_->widget();
    rootResized();
}

void Window::applyWindowAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    QSize sz;
    QMargins m;
    int v;
    if (n == QLatin1String("size") && parseSize(value, sz)) layoutSize_ = sz;
    else if (n == QLatin1String("caption") && parseMargins(value, m)) caption_ = m;
    else if (n == QLatin1String("roundcorner") && parseSize(value, sz)) setRoundCorner(sz);
    else if (n == QLatin1String("mininfo") && parseSize(value, sz)) minSize_ = sz;
    else if (n == QLatin1String("maxinfo") && parseSize(value, sz)) maxSize_ = sz;
    else if (n == QLatin1String("title")) setTitle(value);
    else if (n == QLatin1String("dpi") && parseInt(value, v)) setDpi(v);
    else os::debugf("skin: window attribute \"%s\"=\"%s\" ignored", qPrintable(name), qPrintable(value));
    if (!minSize_.isEmpty())
        host_->setMinimumSize(static_cast<int>(minSize_.width() * scale()), static_cast<int>(minSize_.height() * scale()));
    if (!maxSize_.isEmpty())
        host_->setMaximumSize(static_cast<int>(maxSize_.width() * scale()), static_cast<int>(maxSize_.height() * scale()));
}

void Window::rootResized() {
    if (root_ && host_) root_->place(QRect(QPoint(0, 0), host_->size()));
}

void Window::shownFirstTime() {
    if (initSent_) return;
    initSent_ = true;
    holdForInit_ = true;
    std::weak_ptr<Window*> guard = alive_;
    QTimer::singleShot(0, host_, [guard] {
        auto alive = guard.lock();
        if (!alive) return;
        Window* w = *alive;
        w->holdForInit_ = false;
        if (w->root_) w->queue_.push_front({w->root_, QString::fromLatin1(notify::kWindowInit), 0, 0});
        w->deliver();
    });
}

bool Window::isCaptionPoint(const QPoint& local) const {
    if (!host_) return false;
    const double s = scale();
    const QRect cap(static_cast<int>(caption_.left() * s), static_cast<int>(caption_.top() * s),
                    host_->width() - static_cast<int>((caption_.left() + caption_.right()) * s),
                    static_cast<int>(caption_.bottom() * s));
    if (!cap.contains(local)) return false;
    for (QWidget* w = host_->childAt(local); w && w != host_; w = w->parentWidget()) {
        Control* c = controlOf(w);
        if (!c) continue;
        if (as<Button>(c) || as<Text>(c) || as<Edit>(c) || as<Combo>(c) || as<List>(c) ||
            as<ListLabelElement>(c) || as<ListContainerElement>(c) || as<Slider>(c) || as<ColorPalette>(c))
            return false;
    }
    return true;
}

} // namespace kavrel::skin
