// The pixmaps the overlay draws its cells with: each app's icon (theme, file or window icon),
// else an initial tile of its name, made once at the target's pixel ratio and kept while an app
// on the list uses it.
#pragma once

#include "core/TrackedApp.h"

#include <QHash>
#include <QPixmap>
#include <QString>
#include <vector>

namespace halvo {

class OverlayIconCache {
public:
    // The app's icon at `ratio`; a null pixmap when it has none or it cannot be read.
    QPixmap icon(const TrackedApp& app, qreal ratio);
    // The initial tile of an application without an icon, drawn once per name at `ratio`.
    QPixmap initialTile(const TrackedApp& app, qreal ratio);
    // Drops what no app of `apps` uses any more.
    void keepOnly(const std::vector<TrackedApp>& apps);

private:
    QHash<const AppIcon*, QPixmap> m_icons;
    QHash<QString, QPixmap> m_initialTiles; // by name, at m_initialTilesRatio
    qreal m_initialTilesRatio = 0;
};

} // namespace halvo
