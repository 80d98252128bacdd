// Icons are read at the widget's pixel ratio; initial tiles at the target's, which for a frame
// of a layer surface is the output's scale.
#include "minimap/view/OverlayIconCache.h"

#include "minimap/MinimapGeometry.h"
#include "minimap/view/AppInitialTile.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <cmath>

namespace halvo {

QPixmap OverlayIconCache::icon(const TrackedApp& app, qreal ratio) {
    if (!app.icon)
        return {};
    if (auto found = m_icons.find(app.icon.get()); found != m_icons.end())
        return *found;
    const int side = static_cast<int>(std::lround(minimap::iconSize * ratio));
    QPixmap pixmap;
    if (!app.icon->themeName.empty()) {
        // Desktop entries may name an icon file instead of a theme icon.
        const QString name = QString::fromStdString(app.icon->themeName);
        const QIcon icon = name.startsWith(QLatin1Char('/')) ? QIcon(name) : QIcon::fromTheme(name);
        pixmap = icon.pixmap(QSize(side, side));
    } else if (app.icon->width > 0 && app.icon->height > 0 &&
               app.icon->pixels.size() >= static_cast<std::size_t>(app.icon->width) *
                                              static_cast<std::size_t>(app.icon->height)) {
        const QImage image(reinterpret_cast<const uchar*>(app.icon->pixels.data()), app.icon->width,
                           app.icon->height, app.icon->width * 4, QImage::Format_ARGB32);
        pixmap = QPixmap::fromImage(
            image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    if (!pixmap.isNull())
        pixmap.setDevicePixelRatio(ratio);
    m_icons.insert(app.icon.get(), pixmap);
    return pixmap;
}

QPixmap OverlayIconCache::initialTile(const TrackedApp& app, qreal ratio) {
    // The letter's text layout was most of a frame's time with many icon-less applications.
    if (ratio != m_initialTilesRatio) {
        m_initialTiles.clear();
        m_initialTilesRatio = ratio;
    }
    const QString name = QString::fromStdString(app.name);
    if (const auto found = m_initialTiles.find(name); found != m_initialTiles.end())
        return *found;
    const int side = static_cast<int>(std::lround(minimap::iconSize * ratio));
    QPixmap tile(side, side);
    tile.setDevicePixelRatio(ratio);
    tile.fill(Qt::transparent);
    QPainter painter(&tile);
    AppInitialTile::paint(painter, QRectF(0, 0, minimap::iconSize, minimap::iconSize), name);
    painter.end();
    m_initialTiles.insert(name, tile);
    return tile;
}

void OverlayIconCache::keepOnly(const std::vector<TrackedApp>& apps) {
    QHash<const AppIcon*, QPixmap> kept;
    for (const TrackedApp& app : apps) {
        if (app.icon && m_icons.contains(app.icon.get()))
            kept.insert(app.icon.get(), m_icons.value(app.icon.get()));
    }
    m_icons.swap(kept);
    QHash<QString, QPixmap> keptTiles;
    for (const TrackedApp& app : apps) {
        const QString name = QString::fromStdString(app.name);
        if (const auto found = m_initialTiles.find(name); found != m_initialTiles.end())
            keptTiles.insert(name, *found);
    }
    m_initialTiles.swap(keptTiles);
}

} // namespace halvo
