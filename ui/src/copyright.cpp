#include "kavrel/ui/copyright.h"

#include "kavrel/os/diag.h"

#include <QDesktopServices>
#include <QUrl>

namespace kavrel::ui {

Ccopyright::Ccopyright(const QString& layoutFile) : layout_(layoutFile) {}
Ccopyright::~Ccopyright() = default;

bool Ccopyright::Create(skin::Window* owner) {
    const bool ok = create(layout_, owner, QString::fromUtf8(kCaption));
    if (QWidget* w = widget()) w->setObjectName(QString::fromLatin1(kClassName));
    return ok;
}

void Ccopyright::PlaceByOwner() {
    if (skin::Window* o = owner()) {
        const QRect g = o->geometry();
        const int bottom = g.y() + g.height();
        move(2 * g.x(), bottom / 2 - 80);
    } else {
        centre();
    }
    show();
    activate();
}

void Ccopyright::notify(const skin::Notification& n) {
    if (!n.is(skin::notify::kClick)) return;
    const QString name = n.senderName();
    if (name.compare(QLatin1String("closebtn"), Qt::CaseInsensitive) == 0)
        close(0);
    else if (name.compare(QLatin1String("NetText"), Qt::CaseInsensitive) == 0)
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePageUrl)));
}

Ccopyright* ShowAboutWindow(skin::Window* mainWindow) {
    auto* about = new Ccopyright(QStringLiteral("CopyRight.xml"));
    if (!about->Create(mainWindow)) {
        os::debugLine("about window: layout CopyRight.xml could not be built");
        delete about;
        return nullptr;
    }
    about->setDeleteOnClose(true);
    about->PlaceByOwner();
    return about;
}

} // namespace kavrel::ui
