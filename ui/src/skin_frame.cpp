#include "kavrel/ui/skin_frame.h"

#include "kavrel/os/diag.h"
#include "kavrel/os/folders.h"
#include "kavrel/os/ini.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/dialogs.h"

#include <QEvent>

namespace kavrel::ui {

// Closes the chooser when its window stops being the active one (the focus went elsewhere).
class SkinFrameWatcher : public QObject {
public:
    explicit SkinFrameWatcher(CSkinFrame* frame) : frame_(frame) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowDeactivate) frame_->focusLost();
        return QObject::eventFilter(watched, event);
    }

private:
    CSkinFrame* frame_;
};

namespace {
bool named(const QString& name, const char* what) {
    return name.compare(QLatin1String(what), Qt::CaseInsensitive) == 0;
}
} // namespace

CSkinFrame::CSkinFrame(skin::Window* owner, skin::Control* anchor) : ownerWnd_(owner), anchor_(anchor) {}

CSkinFrame::~CSkinFrame() {
    if (QWidget* w = widget(); w && watcher_) w->removeEventFilter(watcher_);
    delete watcher_;
}

std::filesystem::path CSkinFrame::settingsFile() { return os::dataFolder() / "main.ini"; }

bool CSkinFrame::Create() {
    if (!create(QStringLiteral("skin.xml"), ownerWnd_, QString::fromLatin1(kWindowName))) return false;
    QWidget* w = widget();
    if (!w) return false;
    w->setObjectName(QString::fromLatin1(kClassName));
    w->setWindowFlag(Qt::Tool, true);
    w->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    watcher_ = new SkinFrameWatcher(this);
    w->installEventFilter(watcher_);

    // Right edge on the anchor's right edge, top on its bottom; the size is the layout's.
    const QSize size = geometry().size();
    if (anchor_ && ownerWnd_ && ownerWnd_->widget()) {
        const QRect a = anchor_->rect();
        const QPoint corner = ownerWnd_->widget()->mapToGlobal(QPoint(a.x() + a.width(), a.y() + a.height()));
        move(corner.x() - size.width(), corner.y());
    } else {
        centre();
    }
    show();
    activate();
    return true;
}

void CSkinFrame::initWindow() {}

void CSkinFrame::onClosed(int) {
    if (QWidget* w = widget(); w && watcher_) w->removeEventFilter(watcher_);
}

void CSkinFrame::focusLost() {
    // The custom-image file dialog takes the focus while it runs; the chooser stays for it.
    if (inFileDialog_ || !isVisible()) return;
    close(0);
}

void CSkinFrame::chooseImage(const QString& image, const char* flags) {
    SkinChangedObserver::instance().Broadcast({false, 0, image});
    const auto file = settingsFile();
    if (!os::writeProfileString(file, "SKINIMAGE", "FLAGS", flags) ||
        !os::writeProfileString(file, "SKINIMAGE", "IMAGE", image.toStdString()))
        os::debugf("skin chooser: cannot write %s", file.string().c_str());
}

void CSkinFrame::chooseCustom() {
    skin::FileDialogOptions options;
    options.filter = skin::convertWindowsFilter(QStringLiteral("(*.png) | *.png |(*.*)|*.*||"));
    options.defaultSuffix = QStringLiteral("png");
    options.fileName = QStringLiteral("*.png");
    inFileDialog_ = true;
    const std::optional<QString> path = skin::openFileDialog(this, options);
    inFileDialog_ = false;
    if (path && !path->isEmpty()) SkinChangedObserver::instance().Broadcast({false, 0, *path});
    if (isVisible()) activate();
}

void CSkinFrame::notify(const skin::Notification& n) {
    if (!n.is(skin::notify::kClick)) return;
    const QString name = n.senderName();
    if (named(name, "skin_image_btn")) {
        chooseImage(n.sender->userData(), "1");
    } else if (named(name, "skin_color_btn")) {
        SkinChangedObserver::instance().Broadcast({true, n.sender->bkColor(), QString()});
    } else if (named(name, "skin_color")) {
        if (auto* tab = find<skin::TabLayout>(QStringLiteral("skin_tab"))) tab->selectItem(1);
    } else if (named(name, "skin_image")) {
        if (auto* tab = find<skin::TabLayout>(QStringLiteral("skin_tab"))) tab->selectItem(0);
    } else if (named(name, "skin_reset")) {
        chooseImage(QString::fromLatin1(kResetImage), "0");
    } else if (named(name, "skin_Custom")) {
        chooseCustom();
    }
}

CSkinFrame* ShowSkinFrame(skin::Window* owner, skin::Control* anchor) {
    auto* frame = new CSkinFrame(owner, anchor);
    if (!frame->Create()) {
        os::debugLine("skin chooser: layout skin.xml could not be built");
        delete frame;
        return nullptr;
    }
    frame->setDeleteOnClose(true);
    return frame;
}

} // namespace kavrel::ui
