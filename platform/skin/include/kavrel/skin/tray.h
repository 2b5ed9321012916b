// The tray icon (StatusNotifier through QSystemTrayIcon).
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace kavrel::skin {

class TrayIcon {
public:
    // Mouse message numbers reported to onMouse.
    static constexpr int kLeftButtonUp = 514;
    static constexpr int kRightButtonUp = 517;

    TrayIcon();
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shows the icon (image string or path under the resource folder; a missing image gives a
    // drawn default icon) with its tool tip. Returns false when no tray is available (the icon
    // is still kept and shown once a tray appears).
    bool create(const QString& icon, const QString& toolTip);
    void remove();
    bool isCreated() const;
    void setToolTip(const QString& tip);
    QString toolTip() const;

    // Called with kLeftButtonUp for a left click (activation) and kRightButtonUp for a right
    // click (context request), on the UI thread.
    std::function<void(int mouseMessage)> onMouse;

    // Raises the click as the desktop would (used by tests and the single-click fallback).
    void simulate(int mouseMessage);

    QSystemTrayIcon* qtIcon() const { return icon_.get(); }

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
};

// True when the desktop offers a tray (StatusNotifier host or XEmbed tray).
bool isTrayAvailable();

} // namespace kavrel::skin
