#include "kavrel/skin/tray.h"

#include "kavrel/skin/render.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace kavrel::skin {

namespace {
// A drawn icon for when the skin has none: an accent ring on a dark disc.
QIcon drawnIcon() {
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1B, 0x1F, 0x27));
    p.setPen(QPen(QColor(0x00, 0xB4, 0xFF), 6));
    p.drawEllipse(QRectF(5, 5, 54, 54));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0xB4, 0xFF));
    p.drawRoundedRect(QRectF(27, 16, 10, 20), 5, 5);
    return QIcon(pm);
}
} // namespace

TrayIcon::TrayIcon() = default;
TrayIcon::~TrayIcon() { remove(); }

bool TrayIcon::create(const QString& icon, const QString& toolTip) {
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::Trigger) simulate(kLeftButtonUp);
                             else if (reason == QSystemTrayIcon::Context) simulate(kRightButtonUp);
                         });
    }
    QIcon qicon;
    if (!icon.isEmpty()) {
        if (auto spec = parseImageString(icon)) {
            const QImage img = loadImage(spec->file, QSize(64, 64));
            if (!img.isNull()) qicon = QIcon(QPixmap::fromImage(img));
        }
    }
    icon_->setIcon(qicon.isNull() ? drawnIcon() : qicon);
    icon_->setToolTip(toolTip);
    icon_->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::remove() {
    if (icon_) icon_->hide();
    icon_.reset();
}

bool TrayIcon::isCreated() const { return icon_ != nullptr; }

void TrayIcon::setToolTip(const QString& tip) {
    if (icon_) icon_->setToolTip(tip);
}

QString TrayIcon::toolTip() const { return icon_ ? icon_->toolTip() : QString(); }

void TrayIcon::simulate(int mouseMessage) {
    if (onMouse) onMouse(mouseMessage);
}

bool isTrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

} // namespace kavrel::skin
