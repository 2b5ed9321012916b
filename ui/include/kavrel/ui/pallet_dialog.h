// The modal colour palette window of the DPI indicator colours (layout "GmPalletDialog.xml").
//
// Controls: "Pallet" (colour palette), "color_show_btn" (shows the current colour), "okbtn"
// (result 1), "closebtn" (result 2), preset swatches "ms_dpi_color_png_<n>" (n = 0..23).
#pragma once

#include "kavrel/skin/types.h"
#include "kavrel/skin/window.h"

#include <QPoint>
#include <QString>

#include <array>

namespace kavrel::ui {

// The preset colours of the palette swatches (and of the lighting swatches), index -> ARGB.
inline constexpr std::array<skin::Argb, 24> kPresetColors = {
    0xFFFF0000, 0xFF00F6FF, 0xFF6CFF00, 0xFF7E00FF, 0xFF008AFF, 0xFF0000FF,
    0xFFADFE00, 0xFFFE5400, 0xFFFE8300, 0xFF8300E7, 0xFFB700AC, 0xFFFF0000,
    0xFFFEF500, 0xFFFF0000, 0xFFFF00F6, 0xFF00FF00, 0xFF48B1FA, 0xFFFA48A4,
    0xFFFDFDFC, 0xFF4900E7, 0xFFFFC480, 0xFF000000, 0xFF1B48A3, 0xFF1B1A77,
};

class CPalletDialog : public skin::Window {
public:
    static constexpr const char* kClassName = "UIPalletDialog";
    static constexpr const char* kCaption = "Tolvan调色板";
    static constexpr int kResultOk = 1;
    static constexpr int kResultClose = 2;

    CPalletDialog(const QString& layoutFile, skin::Argb startColor);
    ~CPalletDialog() override;

    // Builds the layout owned by owner with the palette's caption. False when it cannot be built.
    bool Create(skin::Window* owner);
    // Top-left at (cursor x - 20, cursor y + 20), keeping the size.
    void PlaceByCursor(const QPoint& cursor);
    // Shows the window modally: 1 (ok) or 2 (closed). A window whose layout failed returns 2.
    int DoModal();

    skin::Argb GetCurrentColor() const { return current_; }
    // Shows c on "color_show_btn" and selects it in "Pallet".
    void ShowColor(skin::Argb c);

    void notify(const skin::Notification& n) override;
    void initWindow() override;
    void onCloseRequest() override;

private:
    QString layout_;
    skin::Argb current_;
    skin::Argb shown_;                   // the colour last shown
    skin::Control* palette_ = nullptr;
    skin::Control* okBtn_ = nullptr;
    skin::Control* cancelBtn_ = nullptr;
    bool built_ = false;
};

// The whole call of a DPI colour button: palette by the mouse cursor, modal; on 1 `colour` gets
// the chosen colour, otherwise it is left as it is. Returns the dialog's result.
int PickColor(skin::Window* owner, skin::Argb& colour);

} // namespace kavrel::ui
