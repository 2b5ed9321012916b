// Test helpers: raise notifications on named controls as a user would, through the real Qt
// widgets (QtTest mouse and key events), and record what the window's listener receives.
// Link kavrel_skin_testing (it brings Qt6::Test). Tests run on the offscreen platform.
#pragma once

#include "kavrel/skin/types.h"

#include <QPoint>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace kavrel::skin {
class Window;
class Menu;
class TrayIcon;
}

namespace kavrel::skin::testing {

// Creates the QApplication once per process (offscreen unless QT_QPA_PLATFORM says otherwise)
// and points the resource folder at the source tree's skin/ when KAVREL_SOURCE_DIR is given.
void ensureApp();
// ensureApp(), then initialize() with the given skin folder (res.xml, stylesheet).
bool ensureSkin(const std::filesystem::path& folder);

// Shows the window and waits until it is exposed; "windowinit" has been delivered on return.
bool showAndWait(Window& w);
// Runs the event loop for ms milliseconds (0 = pending events only).
void processEvents(int ms = 0);
// Runs the event loop until pred is true or timeoutMs passed; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

// Each returns false when the control is missing, hidden or disabled (no event is sent then).
// Left click at the control's centre (buttons, options, check boxes, list items, any control).
bool click(Window& w, const QString& name);
// Pointer moves onto the control, then away from it ("msenter", "msleave").
bool hover(Window& w, const QString& name);
bool unhover(Window& w, const QString& name);
// Combo: opens the drop-down and clicks the row. List: clicks the item.
bool selectItem(Window& w, const QString& name, int index);
// Clicks into the edit, selects its text and types `text` (replacing it), key by key.
bool typeText(Window& w, const QString& name, const QString& text);
// Gives the control the focus by a click and then moves the focus away (Tab to the next
// focusable control or a click on the window background): "setfocus", then "killfocus".
bool focus(Window& w, const QString& name);
bool unfocus(Window& w, const QString& name);
// Slider: presses the thumb, drags it to the position of `value` in steps and releases it
// unless release is false (then the thumb stays pressed until releaseSlider).
bool dragSlider(Window& w, const QString& name, int value, bool release = true);
bool releaseSlider(Window& w, const QString& name);
// Slider: one key press (Right/Up = +step, Left/Down = -step).
bool stepSlider(Window& w, const QString& name, int steps);
// Palette: press and release at a point of the control (local, window pixels).
bool pressPalette(Window& w, const QString& name, const QPoint& local);
// Menu: chooses an item as a click would.
bool chooseMenuItem(Menu& m, const QString& name);
// Tray: reports a click (TrayIcon::kLeftButtonUp / kRightButtonUp).
void clickTray(TrayIcon& tray, int mouseMessage);
// Answers the next file dialog that opens: selects `path` and accepts it (none = cancel).
void answerNextFileDialog(std::optional<QString> path);

// One received notification, by type and sender name.
struct Event {
    QString type;
    QString sender;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    bool operator==(const Event& o) const { return type == o.type && sender == o.sender; }
};

// Collects notifications; attach to a window's notify() override:
//   void notify(const Notification& n) override { rec.record(n); }
class Recorder {
public:
    void record(const Notification& n);
    // Events, optionally only those of the given types (hover/focus noise filtered out).
    std::vector<Event> events(const std::vector<QString>& types = {}) const;
    void clear() { events_.clear(); }
private:
    std::vector<Event> events_;
};

} // namespace kavrel::skin::testing
