// Basic types of the skin toolkit: colours, notification records and type names.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

class QColor;

namespace kavrel::skin {

class Control;
class Window;

// Colours between controls are ARGB words 0xAARRGGBB; 0 means "not set / transparent".
using Argb = std::uint32_t;

QColor toQColor(Argb argb);
Argb fromQColor(const QColor& colour);

// The preview renderer's packing: red + 256 x blue + 65536 x green (alpha is given apart).
// Used by the change colour of controls and by drawImageString's tint.
QColor fromPreviewColor(std::uint32_t packed, int alpha = 255);
std::uint32_t toPreviewColor(const QColor& colour);

// UTF-8 <-> QString for callers that keep std::string.
inline QString toQ(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string toStd(const QString& text) { return text.toStdString(); }

// The notification types raised by the toolkit (the strings are what Notification::type holds).
namespace notify {
inline constexpr const char* kClick = "click";                    // button, option, check released over it
inline constexpr const char* kSelectChanged = "selectchanged";    // option selected / check toggled
inline constexpr const char* kItemSelect = "itemselect";          // list or combo selection changed
inline constexpr const char* kItemClick = "itemclick";            // a list item was clicked (sender = item)
inline constexpr const char* kValueChanged = "valuechanged";      // slider released / stepped
inline constexpr const char* kMoveValueChanged = "movevaluechanged"; // slider dragged
inline constexpr const char* kTextChanged = "textchanged";        // edit text changed by the user
inline constexpr const char* kReturn = "return";                  // Enter pressed in an edit
inline constexpr const char* kSetFocus = "setfocus";              // control got the keyboard focus
inline constexpr const char* kKillFocus = "killfocus";            // control lost the keyboard focus
inline constexpr const char* kColorChanged = "colorchanged";      // palette colour picked by the user
inline constexpr const char* kMouseEnter = "msenter";             // pointer entered a button/option
inline constexpr const char* kMouseLeave = "msleave";             // pointer left a button/option
inline constexpr const char* kWindowInit = "windowinit";          // first notification after first show
inline constexpr const char* kWindowSize = "windowsize";          // the window was resized
} // namespace notify

// One notification as the window's listener receives it.
struct Notification {
    QString type;              // one of notify::k*
    Control* sender = nullptr; // never null while the listener runs
    // itemselect: wParam = new index, lParam = previous index (-1 = none).
    // valuechanged/movevaluechanged: wParam = slider value. colorchanged: wParam = colour (ARGB).
    // selectchanged: wParam = 1 when now selected, 0 when not.
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;

    bool is(const char* t) const { return type == QLatin1String(t); }
    // The sender's name (empty when it has none).
    QString senderName() const;
};

} // namespace kavrel::skin
