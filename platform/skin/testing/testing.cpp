#include "kavrel/skin/testing.h"

#include "kavrel/skin/controls.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/menu.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/tray.h"
#include "kavrel/skin/window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <cstdlib>

namespace kavrel::skin::testing {

namespace {

QWidget* usable(Window& w, const QString& name, Control** out = nullptr) {
    Control* c = w.find(name);
    if (!c || !c->isVisibleOnScreen() || !c->isEnabled()) return nullptr;
    if (out) *out = c;
    QWidget* wid = c->existingWidget();
    if (!wid || !wid->isVisible() || !wid->isEnabled()) return nullptr;
    return wid;
}

QStyleOptionSlider sliderOption(const QSlider* s, int position) {
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.subControls = QStyle::SC_None;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = s->orientation();
    opt.maximum = s->maximum();
    opt.minimum = s->minimum();
    opt.tickPosition = s->tickPosition();
    opt.tickInterval = s->tickInterval();
    opt.upsideDown = s->orientation() == Qt::Horizontal ? s->invertedAppearance() : !s->invertedAppearance();
    opt.direction = s->layoutDirection();
    opt.sliderPosition = position;
    opt.sliderValue = s->value();
    opt.singleStep = s->singleStep();
    opt.pageStep = s->pageStep();
    if (s->orientation() == Qt::Horizontal) opt.state |= QStyle::State_Horizontal;
    return opt;
}

QPoint handleCentre(const QSlider* s, int position) {
    const QStyleOptionSlider opt = sliderOption(s, position);
    return s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s).center();
}

QPoint lastSliderPoint;

} // namespace

void ensureApp() {
    if (QCoreApplication::instance()) return;
    if (!std::getenv("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kavrel-test";
    static char* argv[] = {name, nullptr};
    prepareApplication();
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

bool ensureSkin(const std::filesystem::path& folder) {
    ensureApp();
    return initialize(folder);
}

void processEvents(int ms) {
    if (ms <= 0) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QTest::qWait(ms);
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(1);
    }
    return true;
}

bool showAndWait(Window& w) {
    w.show();
    if (!QTest::qWaitForWindowExposed(w.widget(), 5000)) return false;
    w.activate();
    (void)QTest::qWaitForWindowActive(w.widget(), 1000);
    return waitUntil([&] { return w.isInitDelivered(); }, 5000);
}

bool click(Window& w, const QString& name) {
    QWidget* wid = usable(w, name);
    if (!wid) return false;
    QTest::mouseClick(wid, Qt::LeftButton, Qt::NoModifier, wid->rect().center());
    processEvents();
    return true;
}

bool hover(Window& w, const QString& name) {
    QWidget* wid = usable(w, name);
    if (!wid || !w.widget()->windowHandle()) return false;
    // The first pointer move into a window only enters the window: arrive from its edge.
    const QPoint target = wid->mapTo(w.widget(), wid->rect().center());
    QTest::mouseMove(w.widget()->windowHandle(), QPoint(target.x(), 0));
    QTest::mouseMove(w.widget()->windowHandle(), target);
    processEvents();
    return true;
}

bool unhover(Window& w, const QString& name) {
    Control* c = w.find(name);
    if (!c || !c->existingWidget() || !w.widget()->windowHandle()) return false;
    const QRect r = c->rect();
    const QSize size = w.widget()->size();
    for (const QPoint p : {QPoint(1, 1), QPoint(size.width() - 2, 1), QPoint(1, size.height() - 2),
                           QPoint(size.width() - 2, size.height() - 2)}) {
        if (!r.contains(p)) {
            QTest::mouseMove(w.widget()->windowHandle(), p);
            processEvents();
            return true;
        }
    }
    return false;
}

bool selectItem(Window& w, const QString& name, int index) {
    Control* c = nullptr;
    QWidget* wid = usable(w, name, &c);
    if (!wid) return false;
    if (auto* combo = qobject_cast<QComboBox*>(wid)) {
        if (index < 0 || index >= combo->count()) return false;
        QTest::mouseClick(combo, Qt::LeftButton, Qt::NoModifier, combo->rect().center());
        if (!waitUntil([&] { return combo->view()->isVisible(); }, 2000)) combo->showPopup();
        QAbstractItemView* view = combo->view();
        const QModelIndex mi = combo->model()->index(index, combo->modelColumn(), combo->rootModelIndex());
        view->scrollTo(mi);
        const QPoint at = view->visualRect(mi).center();
        // The drop-down ignores a release that follows its opening too closely.
        QTest::qWait(QApplication::doubleClickInterval() + 20);
        QTest::mouseMove(view->viewport(), at);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        waitUntil([&] { return !view->isVisible(); }, 2000);
        processEvents();
        return true;
    }
    if (auto* list = as<List>(c)) {
        Control* item = list->itemAt(index);
        if (!item || !item->existingWidget() || !item->isVisible()) return false;
        list->ensureVisible(index);
        QWidget* iw = item->existingWidget();
        QTest::mouseClick(iw, Qt::LeftButton, Qt::NoModifier, iw->rect().center());
        processEvents();
        return true;
    }
    return false;
}

bool typeText(Window& w, const QString& name, const QString& text) {
    auto* le = qobject_cast<QLineEdit*>(usable(w, name));
    if (!le) return false;
    QTest::mouseClick(le, Qt::LeftButton, Qt::NoModifier, le->rect().center());
    QTest::keyClick(le, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) QTest::keyClick(le, Qt::Key_Backspace);
    else QTest::keyClicks(le, text);
    processEvents();
    return true;
}

bool focus(Window& w, const QString& name) {
    QWidget* wid = usable(w, name);
    if (!wid) return false;
    QTest::mouseClick(wid, Qt::LeftButton, Qt::NoModifier, wid->rect().center());
    if (!wid->hasFocus()) wid->setFocus(Qt::MouseFocusReason);
    processEvents();
    return wid->hasFocus();
}

bool unfocus(Window& w, const QString& name) {
    Control* c = w.find(name);
    if (!c || !c->hasFocus()) return false;
    w.widget()->setFocus(Qt::MouseFocusReason);
    processEvents();
    return !c->hasFocus();
}

bool dragSlider(Window& w, const QString& name, int value, bool release) {
    auto* s = qobject_cast<QSlider*>(usable(w, name));
    if (!s) return false;
    value = std::clamp(value, s->minimum(), s->maximum());
    const QPoint from = handleCentre(s, s->sliderPosition());
    const QPoint to = handleCentre(s, value);
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, from);
    const int steps = 6;
    for (int i = 1; i <= steps; ++i) {
        const QPoint p = from + (to - from) * i / steps;
        QMouseEvent move(QEvent::MouseMove, p, s->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s, &move);
    }
    lastSliderPoint = to;
    if (release) QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, to);
    processEvents();
    return true;
}

bool releaseSlider(Window& w, const QString& name) {
    auto* s = qobject_cast<QSlider*>(usable(w, name));
    if (!s || !s->isSliderDown()) return false;
    QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, lastSliderPoint);
    processEvents();
    return true;
}

bool stepSlider(Window& w, const QString& name, int steps) {
    auto* s = qobject_cast<QSlider*>(usable(w, name));
    if (!s) return false;
    for (int i = 0; i < std::abs(steps); ++i) QTest::keyClick(s, steps > 0 ? Qt::Key_Right : Qt::Key_Left);
    processEvents();
    return true;
}

bool pressPalette(Window& w, const QString& name, const QPoint& local) {
    Control* c = nullptr;
    QWidget* wid = usable(w, name, &c);
    if (!wid || !as<ColorPalette>(c)) return false;
    QTest::mouseClick(wid, Qt::LeftButton, Qt::NoModifier, local);
    processEvents();
    return true;
}

bool chooseMenuItem(Menu& m, const QString& name) {
    const bool ok = m.trigger(name);
    processEvents();
    return ok;
}

void clickTray(TrayIcon& tray, int mouseMessage) {
    if (QSystemTrayIcon* icon = tray.qtIcon()) {
        emit icon->activated(mouseMessage == TrayIcon::kRightButtonUp ? QSystemTrayIcon::Context
                                                                       : QSystemTrayIcon::Trigger);
    } else {
        tray.simulate(mouseMessage);
    }
    processEvents();
}

void answerNextFileDialog(std::optional<QString> path) {
    auto* timer = new QTimer(qApp);
    struct State {
        QElapsedTimer elapsed;
        QPointer<QFileDialog> dialog;   // the one dialog this answer is for
        bool found = false;
    };
    auto state = std::make_shared<State>();
    state->elapsed.start();
    // Answers the dialog as soon as it shows, and again while it stays open (a dialog that is
    // still setting itself up may ignore the first answer).
    QObject::connect(timer, &QTimer::timeout, timer, [timer, state, path] {
        if (!state->found) {
            auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());

            if (open && open->isVisible() && !open->property("kavrel_answered").toBool()) {
                state->dialog = open;
                state->found = true;
                open->setProperty("kavrel_answered", true);
            } else if (state->elapsed.elapsed() > 10000) {
                timer->stop();
                timer->deleteLater();
                return;
            } else {
                return;
            }
        }
        QFileDialog* dlg = state->dialog;
        if (!dlg || !dlg->isVisible()) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (path) {
            // As the user would: go to the folder, type the name, accept.
            const QFileInfo target(*path);
            dlg->setDirectory(target.absolutePath());
            if (auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(target.fileName());
            else dlg->selectFile(*path);
            QMetaObject::invokeMethod(dlg, "accept", Qt::DirectConnection);
        } else {
            dlg->reject();
        }
    });
    timer->start(50);
}

void Recorder::record(const Notification& n) {
    events_.push_back({n.type, n.senderName(), n.wParam, n.lParam});
}

std::vector<Event> Recorder::events(const std::vector<QString>& types) const {
    if (types.empty()) return events_;
    std::vector<Event> out;
    for (const Event& e : events_)
        if (std::find(types.begin(), types.end(), e.type) != types.end()) out.push_back(e);
    return out;
}

} // namespace kavrel::skin::testing
