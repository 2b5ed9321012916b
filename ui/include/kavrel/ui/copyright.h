// The about window (layout "CopyRight.xml"): modeless; "closebtn" closes it, "NetText" opens the
// project's home page in the default browser.
#pragma once

#include "kavrel/skin/window.h"

#include <QString>

namespace kavrel::ui {

inline constexpr const char* kHomePageUrl = "https://kavrel.example.org/";

class Ccopyright : public skin::Window {
public:
    static constexpr const char* kClassName = "UICOPYRIGHT";
    static constexpr const char* kCaption = "关于";

    explicit Ccopyright(const QString& layoutFile);
    ~Ccopyright() override;

    // Builds the layout owned by owner with the caption "关于". False when it cannot be built.
    bool Create(skin::Window* owner);
    // Moves the window (keeping its size) to x = 2 x the owner's left edge, y = the owner's
    // bottom edge / 2 - 80 (screen coordinates, division toward zero) and shows it on top.
    void PlaceByOwner();

    void notify(const skin::Notification& n) override;

private:
    QString layout_;
};

// "About_setting": creates, places and shows the about window for the main window; the window
// deletes itself when closed. nullptr when its layout failed.
Ccopyright* ShowAboutWindow(skin::Window* mainWindow);

} // namespace kavrel::ui
