// The modal message box every page uses for errors and confirmations (layout "XML_MSG").
//
// Controls the layout must have: "MessageTitle", "MessageText", "confirm_btn", "cancel_btn",
// "closebtn". Results: 1 = "confirm_btn", 0 = "cancel_btn", "closebtn", closed by the window
// manager, or closed by the timer of a timed message.
#pragma once

#include "kavrel/skin/window.h"

#include <QString>

namespace kavrel::ui {

class CMsgWnd : public skin::Window {
public:
    static constexpr const char* kClassName = "MsgWnd";
    static constexpr const char* kWindowName = "msgwnd";
    static constexpr int kAutoCloseTimer = 1;
    static constexpr int kAutoCloseMs = 500;

    CMsgWnd();
    ~CMsgWnd() override;

    // Builds "XML_MSG" owned by owner (may be null). False when the layout cannot be built.
    bool Create(skin::Window* owner);
    // An empty title or text leaves the control as the layout defines it. With textIsKey the
    // text is a language key and "MessageText" shows that key's text.
    void SetTitle(const QString& title);
    void SetText(const QString& text, bool textIsKey);
    // Starts the 500 ms timer whose first tick closes the window with 0.
    void StartAutoClose();
    // showModal() while this box is the active one. Returns the modal result.
    int showModalTracked();

    // The innermost message box currently shown, or nullptr (tests, shutdown).
    static CMsgWnd* activeWindow();

    void notify(const skin::Notification& n) override;
    void initWindow() override;
    void onTimer(int id) override;
    void onClosed(int result) override;

private:
    skin::Control* closeBtn_ = nullptr;
    int ticks_ = 0;
    CMsgWnd* outer_ = nullptr;     // the message box that was active before this one
};

// Shows a message box centred on owner and returns 1 (confirmed) or 0. When the layout cannot
// be built nothing is shown and 0 is returned.
int ShowMessage(skin::Window* owner, const QString& title, const QString& text, bool textIsKey);

// The same window; with autoClose it closes itself with 0 after 500 ms. The result is dropped.
void ShowTimedMessage(bool autoClose, skin::Window* owner, const QString& title,
                      const QString& text, bool textIsKey);

} // namespace kavrel::ui
