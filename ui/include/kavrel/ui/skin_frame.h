// The pop-up skin chooser under the main window's skin button (layout "skin.xml").
//
// Controls: "skin_image_btn" (user data = image path; several), "skin_color_btn" (its
// background colour; several), "skin_image" / "skin_color" (pages 0 / 1 of "skin_tab"),
// "skin_reset", "skin_Custom". Images and reset are remembered in "main.ini" ([SKINIMAGE]
// FLAGS and IMAGE); colours and custom files are not. The chooser closes (and deletes itself)
// when it loses the focus.
#pragma once

#include "kavrel/skin/window.h"
#include "kavrel/ui/skin_changed.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <filesystem>

namespace kavrel::ui {

class CSkinFrame : public skin::Window {
public:
    static constexpr const char* kClassName = "UISkinFrame";
    static constexpr const char* kWindowName = "skinframe";
    static constexpr const char* kResetImage = "common/background.png";

    // anchor: the owner's skin button (placement only; may be null = centred on the owner).
    CSkinFrame(skin::Window* owner, skin::Control* anchor);
    ~CSkinFrame() override;

    // Builds "skin.xml", places the window (right edge on the anchor's right edge, top on its
    // bottom) and shows it with the focus. False when the layout cannot be built (nothing shown).
    bool Create();

    // The file "main.ini" the choices are written to (the data folder's by default).
    static std::filesystem::path settingsFile();

    void notify(const skin::Notification& n) override;
    void initWindow() override;
    void onClosed(int result) override;

private:
    void chooseImage(const QString& image, const char* flags);
    void chooseCustom();
    void focusLost();
    skin::Window* ownerWnd_;
    skin::Control* anchor_;
    QObject* watcher_ = nullptr;
    bool inFileDialog_ = false;
    friend class SkinFrameWatcher;
};

// Opens the chooser for owner under anchor; the chooser deletes itself when it closes.
// Returns it (nullptr when its layout failed).
CSkinFrame* ShowSkinFrame(skin::Window* owner, skin::Control* anchor);

} // namespace kavrel::ui
