// Renders the message box, palette, skin chooser and about window to PNG files:
//   kavrel_ui_screenshots <output folder> [dpi] [language: en|cn|sn]
// Each window is drawn through its real widgets, clipped to its rounded shape.
#include "kavrel/skin/containers.h"
#include "kavrel/skin/resources.h"
#include "kavrel/ui/ui.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <cstdio>

using namespace kavrel;

namespace {

bool save(skin::Window& w, const QString& file) {
    w.show();
    for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    QWidget* widget = w.widget();
    const qreal dpr = widget->devicePixelRatioF();
    QImage img(widget->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    widget->render(&p, QPoint(), widget->mask().isEmpty() ? QRegion(widget->rect()) : widget->mask());
    p.end();
    w.hide();
    const bool ok = img.save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    skin::prepareApplication();
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const int dpi = argc > 2 ? std::atoi(argv[2]) : 96;
    const QString lang = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("en");
    QDir().mkpath(out);
    QCursor::setPos(0, 0);   // no hover look in the pictures
    if (!skin::initialize(KAVREL_SOURCE_DIR "/skin")) return 1;
    skin::switchLanguage(lang, QStringLiteral("lan_%1.xml").arg(lang));
    ui::registerCustomControls();
    bool ok = true;

    ui::CMsgWnd msg;
    ok &= msg.Create(nullptr);
    msg.SetText(QStringLiteral("message_text_9"), true);
    msg.setDpi(dpi);
    ok &= save(msg, out + "/msgbox.png");

    ui::CPalletDialog pallet(QStringLiteral("GmPalletDialog.xml"), ui::kPresetColors[4]);
    ok &= pallet.Create(nullptr);
    pallet.setDpi(dpi);
    ok &= save(pallet, out + "/palette.png");

    ui::CSkinFrame frame(nullptr, nullptr);
    ok &= frame.Create();
    frame.setDpi(dpi);
    ok &= save(frame, out + "/skin-chooser.png");
    if (auto* tab = frame.find<skin::TabLayout>(QStringLiteral("skin_tab"))) tab->selectItem(1);
    ok &= save(frame, out + "/skin-chooser-colours.png");

    ui::Ccopyright about(QStringLiteral("CopyRight.xml"));
    ok &= about.Create(nullptr);
    about.setDpi(dpi);
    ok &= save(about, out + "/about.png");
    return ok ? 0 : 1;
}
