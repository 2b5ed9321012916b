#include "kavrel/skin/render.h"

#include "kavrel/os/diag.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/resources.h"

#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cmath>

namespace kavrel::skin {

namespace {

QHash<QString, QImage>& cache() {
    static QHash<QString, QImage> c;
    return c;
}

bool isSvg(const QString& path) { return path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive); }

QImage renderSvg(const QString& path, QSize size) {
    QSvgRenderer svg(path);
    if (!svg.isValid()) return {};
    if (size.isEmpty()) size = svg.defaultSize();
    if (size.isEmpty()) return {};
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

QSize svgNaturalSize(const QString& path) {
    const QString key = QStringLiteral("natural:") + path;
    if (auto it = cache().find(key); it != cache().end()) return it->size();
    QSvgRenderer svg(path);
    const QSize s = svg.isValid() ? svg.defaultSize() : QSize();
    cache().insert(key, QImage(s.isEmpty() ? QSize(1, 1) : s, QImage::Format_Mono));
    return s;
}

// Draws src part of img into target with nine-slice corners (corner in image pixels, dcorner in
// target pixels).
void drawSliced(QPainter& p, const QRectF& target, const QImage& img, const QRect& src, const QMargins& corner,
                const QMarginsF& dcorner) {
    if (corner.isNull()) {
        p.drawImage(target, img, src);
        return;
    }
    const double xs[4] = {target.left(), target.left() + dcorner.left(), target.right() - dcorner.right(),
                          target.right()};
    const double ys[4] = {target.top(), target.top() + dcorner.top(), target.bottom() - dcorner.bottom(),
                          target.bottom()};
    const int sx[4] = {src.left(), src.left() + corner.left(), src.left() + src.width() - corner.right(),
                       src.left() + src.width()};
    const int sy[4] = {src.top(), src.top() + corner.top(), src.top() + src.height() - corner.bottom(),
                       src.top() + src.height()};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const QRectF t(QPointF(xs[c], ys[r]), QPointF(xs[c + 1], ys[r + 1]));
            const QRect s(QPoint(sx[c], sy[r]), QPoint(sx[c + 1] - 1, sy[r + 1] - 1));
            if (t.width() <= 0 || t.height() <= 0 || s.width() <= 0 || s.height() <= 0) continue;
            p.drawImage(t, img, s);
        }
}

} // namespace

std::optional<ImageSpec> parseImageString(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    ImageSpec spec;
    if (!t.contains(QLatin1Char('='))) {
        spec.file = t;
        return spec;
    }
    static const QRegularExpression pair(QStringLiteral("\\s*([A-Za-z]+)\\s*=\\s*'([^']*)'\\s*"));
    qsizetype pos = 0;
    while (pos < t.size()) {
        const auto m = pair.match(t, pos, QRegularExpression::NormalMatch,
                                  QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch() || m.capturedLength() == 0) return std::nullopt;
        pos = m.capturedEnd();
        const QString key = m.captured(1).toLower();
        const QString value = m.captured(2);
        if (key == QLatin1String("file") || key == QLatin1String("res")) {
            spec.file = value;
        } else if (key == QLatin1String("source")) {
            if (!parseRect(value, spec.source)) return std::nullopt;
        } else if (key == QLatin1String("dest")) {
            if (!parseRect(value, spec.dest)) return std::nullopt;
        } else if (key == QLatin1String("corner")) {
            if (!parseMargins(value, spec.corner)) return std::nullopt;
        } else if (key == QLatin1String("fade")) {
            int v;
            if (!parseInt(value, v) || v < 0 || v > 255) return std::nullopt;
            spec.fade = v;
        } else if (key == QLatin1String("hole") || key == QLatin1String("xtiled") || key == QLatin1String("ytiled") ||
                   key == QLatin1String("restype") || key == QLatin1String("mask")) {
            // Accepted for skins written for other renderers; no effect here.
        } else {
            return std::nullopt;
        }
    }
    if (spec.file.isEmpty()) return std::nullopt;
    return spec;
}

QImage loadImage(const QString& file, const QSize& pixelSize) {
    const QString path = QString::fromStdString(resolveFile(file).string());
    if (isSvg(path)) {
        const QString key = QStringLiteral("%1@%2x%3").arg(path).arg(pixelSize.width()).arg(pixelSize.height());
        if (auto it = cache().find(key); it != cache().end()) return *it;
        QImage img = renderSvg(path, pixelSize);
        if (img.isNull()) os::debugf("skin: cannot load image \"%s\"", qPrintable(path));
        if (cache().size() > 2000) cache().clear();
        cache().insert(key, img);
        return img;
    }
    auto load = [](const QString& p) {
        if (auto it = cache().find(p); it != cache().end()) return *it;
        QImage img;
        if (QFileInfo::exists(p)) img.load(p);
        cache().insert(p, img);
        return img;
    };
    QImage img = load(path);
    if (img.isNull()) {
        os::debugf("skin: cannot load image \"%s\"", qPrintable(path));
        return img;
    }
    if (!pixelSize.isEmpty() && (pixelSize.width() > img.width() || pixelSize.height() > img.height())) {
        const int dot = path.lastIndexOf(QLatin1Char('.'));
        if (dot > 0) {
            const QImage big = load(path.left(dot) + QStringLiteral("@2x") + path.mid(dot));
            if (!big.isNull()) return big;
        }
    }
    return img;
}

bool drawImageString(QPainter& p, const QRect& rect, const QString& image, std::uint32_t tintPacked, int alpha,
                     bool tint, double scale) {
    const std::optional<ImageSpec> spec = parseImageString(image);
    if (!spec) return false;
    QRectF target = rect;
    if (!spec->dest.isNull())
        target = QRectF(rect.x() + spec->dest.x() * scale, rect.y() + spec->dest.y() * scale,
                        spec->dest.width() * scale, spec->dest.height() * scale);
    if (target.width() <= 0 || target.height() <= 0) return true;
    const double dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(static_cast<int>(std::ceil(target.width() * dpr)),
                       static_cast<int>(std::ceil(target.height() * dpr)));

    QImage img;
    QRect src = spec->source;
    QMargins corner = spec->corner;
    const QString path = QString::fromStdString(resolveFile(spec->file).string());
    if (isSvg(path) && (!src.isNull() || !corner.isNull())) {
        // Source and corner are in the SVG's own units: render it at twice its natural size.
        const QSize natural = svgNaturalSize(path);
        img = loadImage(spec->file, natural * 2);
        src = QRect(src.x() * 2, src.y() * 2, src.width() * 2, src.height() * 2);
        corner *= 2;
    } else {
        img = loadImage(spec->file, pixels);
    }
    if (img.isNull()) return false;
    if (src.isNull()) src = img.rect();
    const QMarginsF dcorner(spec->corner.left() * scale, spec->corner.top() * scale, spec->corner.right() * scale,
                            spec->corner.bottom() * scale);

    const double fade = spec->fade / 255.0;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (tint) {
        QImage mask(pixels, QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        {
            QPainter mp(&mask);
            mp.setRenderHint(QPainter::SmoothPixmapTransform);
            drawSliced(mp, QRectF(0, 0, pixels.width(), pixels.height()), img, src, corner, dcorner * dpr);
            mp.setCompositionMode(QPainter::CompositionMode_SourceIn);
            mp.fillRect(mask.rect(), fromPreviewColor(tintPacked, 255));
        }
        p.setOpacity(p.opacity() * fade * std::clamp(alpha, 0, 255) / 255.0);
        p.drawImage(target, mask);
    } else {
        p.setOpacity(p.opacity() * fade * std::clamp(alpha, 0, 255) / 255.0);
        drawSliced(p, target, img, src, corner, dcorner);
    }
    p.restore();
    return true;
}

void clearImageCache() { cache().clear(); }

} // namespace kavrel::skin
