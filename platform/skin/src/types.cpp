#include "kavrel/skin/types.h"

#include "kavrel/skin/control.h"

#include <QColor>

namespace kavrel::skin {

QColor toQColor(Argb argb) {
    return QColor(static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                  static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 24));
}

Argb fromQColor(const QColor& c) {
    return (Argb(c.alpha()) << 24) | (Argb(c.red()) << 16) | (Argb(c.green()) << 8) | Argb(c.blue());
}

QColor fromPreviewColor(std::uint32_t packed, int alpha) {
    const int red = static_cast<int>(packed & 0xFF);
    const int blue = static_cast<int>((packed >> 8) & 0xFF);
    const int green = static_cast<int>((packed >> 16) & 0xFF);
    return QColor(red, green, blue, std::clamp(alpha, 0, 255));
}

std::uint32_t toPreviewColor(const QColor& c) {
    return std::uint32_t(c.red()) + 256u * std::uint32_t(c.blue()) + 65536u * std::uint32_t(c.green());
}

QString Notification::senderName() const { return sender ? sender->name() : QString(); }

} // namespace kavrel::skin
