// The layout builder: XML layout file -> control tree (format in docs/skin-format.md).
#pragma once

#include "kavrel/skin/types.h"

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kavrel::skin {

class Control;

// Called for every element whose class is not a standard one; returns a new control or
// sub-layout, or nullptr to let the custom-class registry try.
using BuilderCallback = std::function<Control*(const QString& className)>;

// The <Window> element's attributes of a layout (size, caption, roundcorner, ...), raw.
struct LayoutInfo {
    std::vector<std::pair<QString, QString>> windowAttributes;
};

// Builds the layout named by a res.xml name, a file relative to the resource folder or an
// absolute path. Any error (missing file, malformed XML, unknown class, bad attribute value,
// unknown style, a custom factory returning nothing) writes a diagnostic
// "<file>:<line>: <problem>" and yields nullptr; nothing is leaked and nothing crashes.
// The caller owns the returned tree.
Control* buildLayout(const QString& layout, const BuilderCallback& callback = {},
                     LayoutInfo* info = nullptr);
// The same from text; sourceName is used in diagnostics.
Control* buildLayoutFromString(const QString& xml, const QString& sourceName,
                               const BuilderCallback& callback = {}, LayoutInfo* info = nullptr);

// The last build error ("file:line: problem"), empty after a successful build. UI thread.
QString lastBuildError();

// ---- value parsers shared by attributes (false on a bad value) ----
bool parseColor(const QString& text, Argb& out);           // "#AARRGGBB", "#RRGGBB", "0xAARRGGBB"
bool parseInt(const QString& text, int& out);
bool parseBool(const QString& text, bool& out);            // "true"/"false"/"1"/"0"
bool parseRect(const QString& text, QRect& out);           // "x,y,w,h"
bool parseMargins(const QString& text, QMargins& out);     // "l,t,r,b"
bool parseSize(const QString& text, QSize& out);           // "w,h"

} // namespace kavrel::skin
