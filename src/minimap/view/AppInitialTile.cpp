// A name's colour from its FNV-1a hash, and the tile drawn with it.
#include "minimap/view/AppInitialTile.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <cstdint>

namespace halvo {

QColor AppInitialTile::colour(const QString& name) {
    std::uint32_t hash = 2166136261u;
    for (const char byte : name.toUtf8()) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 16777619u;
    }
    // Hue from the hash; saturation and lightness fixed so that white text stays readable.
    return QColor::fromHsl(static_cast<int>(hash % 360), 150, 110);
}

QString AppInitialTile::initial(const QString& name) {
    for (auto it = name.cbegin(); it != name.cend(); ++it) {
        const char32_t code = it->isHighSurrogate() && it + 1 != name.cend()
                                  ? QChar::surrogateToUcs4(*it, *(it + 1))
                                  : it->unicode();
        if (QChar::isLetterOrNumber(code))
            return QString::fromUcs4(&code, 1).toUpper();
        if (it->isHighSurrogate())
            ++it;
    }
    return QStringLiteral("?");
}

void AppInitialTile::paint(QPainter& painter, const QRectF& rect, const QString& name) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = rect.adjusted(4, 4, -4, -4);
    QPainterPath path;
    path.addRoundedRect(tile, tile.width() * 0.22, tile.height() * 0.22);
    painter.fillPath(path, colour(name));
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(tile.height() * 0.55));
    font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(tile, Qt::AlignCenter, initial(name));
    painter.restore();
}

} // namespace halvo
