// Image strings and drawing helpers for controls that paint themselves.
//
// An image string is a plain path ("common/close.png") or a list of key='value' pairs:
//   file='ms/key_left_down.png' source='0,0,40,40' corner='4,4,4,4' fade='200' dest='2,2,20,20'
// file: path under the resource folder (or absolute; .png, .svg, ...); source: the part of the
// image to use (image pixels); corner: nine-slice margins (image pixels) that keep their size;
// fade: 0-255 opacity; dest: the target rectangle inside the control (layout units).
#pragma once

#include "kavrel/skin/types.h"

#include <QImage>
#include <QMargins>
#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

class QPainter;

namespace kavrel::skin {

struct ImageSpec {
    QString file;
    QRect source;        // null = whole image
    QMargins corner;
    int fade = 255;
    QRect dest;          // null = whole target
};

// Parses an image string; none when it is malformed (unknown key, bad number, no file).
std::optional<ImageSpec> parseImageString(const QString& text);

// Loads an image by path (cached). SVGs are rendered at the requested pixel size; PNGs look for a
// "@2x" sibling when size needs more pixels. Null image when the file is missing or unreadable.
QImage loadImage(const QString& file, const QSize& pixelSize = {});

// Draws an image string into rect (dest relative to rect, scaled by `scale`). With tint set the
// image's alpha shape is filled with the tint colour (preview packing, types.h) at `alpha`;
// without, the image is drawn as is, its fade multiplied by alpha / 255. False when the image
// cannot be loaded or the string is malformed.
bool drawImageString(QPainter& painter, const QRect& rect, const QString& image,
                     std::uint32_t tintPacked = 0, int alpha = 255, bool tint = false,
                     double scale = 1.0);

// Drops cached images (after the skin files changed).
void clearImageCache();

} // namespace kavrel::skin
