#include "kavrel/ui/pallet_dialog.h"

#include "kavrel/os/diag.h"
#include "kavrel/skin/controls.h"

#include <QCursor>

namespace kavrel::ui {

namespace {
constexpr QLatin1String kPresetPrefix("ms_dpi_color_png_");
}

CPalletDialog::CPalletDialog(const QString& layoutFile, skin::Argb startColor)
    : layout_(layoutFile), current_(startColor), shown_(startColor) {}

CPalletDialog::~CPalletDialog() = default;

bool CPalletDialog::Create(skin::Window* owner) {
    built_ = create(layout_, owner, QString::fromUtf8(kCaption));
    if (QWidget* w = widget()) w->setObjectName(QString::fromLatin1(kClassName));
    return built_;
}

void CPalletDialog::initWindow() {
    cancelBtn_ = find(QStringLiteral("Pallet_BTN_CANCEL"));
    okBtn_ = find(QStringLiteral("Pallet_BTN_OK"));
    palette_ = find(QStringLiteral("Pallet"));
    ShowColor(current_);
}

void CPalletDialog::PlaceByCursor(const QPoint& cursor) { move(cursor.x() - 20, cursor.y() + 20); }

int CPalletDialog::DoModal() {
    if (!built_) return kResultClose;
    return showModal();
}

void CPalletDialog::ShowColor(skin::Argb c) {
    shown_ = c;
    if (skin::Control* show = find(QStringLiteral("color_show_btn"))) {
        show->setBkImage(QString());
        show->setBkColor(c);
        show->invalidate();
    }
    if (auto* pal = skin::as<skin::ColorPalette>(palette_)) pal->setSelectColor(c);
}

void CPalletDialog::onCloseRequest() { close(kResultClose); }

void CPalletDialog::notify(const skin::Notification& n) {
    if (n.is(skin::notify::kColorChanged)) {
        if (n.sender == palette_) {
            if (auto* pal = skin::as<skin::ColorPalette>(palette_)) ShowColor(pal->selectColor());
        }
        return;
    }
    if (!n.is(skin::notify::kClick)) return;
    const QString name = n.senderName();
    if (name.compare(QLatin1String("closebtn"), Qt::CaseInsensitive) == 0) {
        close(kResultClose);
    } else if (name.compare(QLatin1String("okbtn"), Qt::CaseInsensitive) == 0) {
        if (!palette_) {
            close(kResultClose);
            return;
        }
        const skin::Control* show = find(QStringLiteral("color_show_btn"));
        current_ = show ? show->bkColor() : shown_;
        close(kResultOk);
    } else if (name.startsWith(kPresetPrefix, Qt::CaseInsensitive)) {
        bool ok = false;
        const int index = name.mid(kPresetPrefix.size()).toInt(&ok);
        os::debugLine("hongse");
        // A swatch name beyond the preset table picks nothing.
        if (ok && index >= 0 && index < static_cast<int>(kPresetColors.size()))
            ShowColor(kPresetColors[static_cast<std::size_t>(index)]);
    }
}

int PickColor(skin::Window* owner, skin::Argb& colour) {
    CPalletDialog dlg(QStringLiteral("GmPalletDialog.xml"), colour);
    if (!dlg.Create(owner)) {
        os::debugLine("palette: layout GmPalletDialog.xml could not be built");
        return CPalletDialog::kResultClose;
    }
    dlg.PlaceByCursor(QCursor::pos());
    const int result = dlg.DoModal();
    if (result == CPalletDialog::kResultOk) colour = dlg.GetCurrentColor();
    return result;
}

} // namespace kavrel::ui
