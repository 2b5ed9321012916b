#include "kavrel/ui/msg_wnd.h"

#include "kavrel/os/diag.h"
#include "kavrel/skin/control.h"

namespace kavrel::ui {

namespace {
CMsgWnd* g_active = nullptr;

bool named(const skin::Notification& n, const char* name) {
    return n.senderName().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}
} // namespace

CMsgWnd::CMsgWnd() = default;

CMsgWnd::~CMsgWnd() {
    if (g_active == this) g_active = outer_;
}

CMsgWnd* CMsgWnd::activeWindow() { return g_active; }

bool CMsgWnd::Create(skin::Window* owner) {
    const bool ok = create(QStringLiteral("XML_MSG"), owner, QString::fromLatin1(kWindowName));
    if (QWidget* w = widget()) w->setObjectName(QString::fromLatin1(kClassName));
    return ok;
}

void CMsgWnd::initWindow() { closeBtn_ = find(QStringLiteral("closebtn")); }

void CMsgWnd::SetTitle(const QString& title) {
    if (title.isEmpty()) return;
    if (skin::Control* c = find(QStringLiteral("MessageTitle"))) c->setText(title);
}

void CMsgWnd::SetText(const QString& text, bool textIsKey) {
    if (text.isEmpty()) return;
    if (skin::Control* c = find(QStringLiteral("MessageText"))) {
        c->setResourceText(textIsKey);
        c->setText(text);
    }
}

void CMsgWnd::StartAutoClose() {
    ticks_ = 0;
    setTimer(kAutoCloseTimer, kAutoCloseMs);
}

void CMsgWnd::onTimer(int id) {
    if (id != kAutoCloseTimer) return;
    ++ticks_;
    killTimer(kAutoCloseTimer);
    close(0);
}

void CMsgWnd::onClosed(int) {
    killTimer(kAutoCloseTimer);
    if (g_active == this) g_active = outer_;
}

void CMsgWnd::notify(const skin::Notification& n) {
    if (!n.is(skin::notify::kClick)) return;
    if ((closeBtn_ && n.sender == closeBtn_) || named(n, "closebtn"))
        close(0);
    else if (named(n, "confirm_btn"))
        close(1);
    else if (named(n, "cancel_btn"))
        close(0);
}

namespace {

int run(bool autoClose, skin::Window* owner, const QString& title, const QString& text, bool textIsKey) {
    CMsgWnd wnd;
    if (!wnd.Create(owner)) {
        // Without its layout the box has no buttons to answer with: show nothing.
        os::debugLine("message box: layout XML_MSG could not be built");
        return 0;
    }
    wnd.SetTitle(title);
    wnd.SetText(text, textIsKey);
    wnd.centre();
    if (autoClose) wnd.StartAutoClose();
    return wnd.showModalTracked();
}

} // namespace

int CMsgWnd::showModalTracked() {
    outer_ = g_active;
    g_active = this;
    const int result = showModal();
    if (g_active == this) g_active = outer_;
    return result;
}

int ShowMessage(skin::Window* owner, const QString& title, const QString& text, bool textIsKey) {
    return run(false, owner, title, text, textIsKey);
}

void ShowTimedMessage(bool autoClose, skin::Window* owner, const QString& title, const QString& text,
                      bool textIsKey) {
    run(autoClose, owner, title, text, textIsKey);
}

} // namespace kavrel::ui
