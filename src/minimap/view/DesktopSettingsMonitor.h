// Reads the overlay's appearance preferences from the desktop and tells when they change while
// Halvo runs: GNOME's colour scheme, animations and high contrast, with the environment's
// HALVO_REDUCE_MOTION, HALVO_REDUCE_TRANSPARENCY and HALVO_COLOR_SCHEME read once at start.
#pragma once

#include "minimap/view/OverlayMotionSettings.h"

#include <QObject>
#include <optional>
#include <vector>

typedef struct _GSettings GSettings;

namespace halvo {

class DesktopSettingsMonitor final : public QObject {
    Q_OBJECT
public:
    explicit DesktopSettingsMonitor(QObject* parent = nullptr);
    ~DesktopSettingsMonitor() override;

    // GNOME's settings where their schemas are installed, overridden by HALVO_REDUCE_MOTION=1|0,
    // HALVO_REDUCE_TRANSPARENCY=1|0 and HALVO_COLOR_SCHEME=dark|light.
    OverlayMotionSettings current() const;

Q_SIGNALS:
    // A watched GNOME setting changed (delivered by the GLib main context Qt's loop runs).
    void changed();

private:
    GSettings* m_interface = nullptr; // org.gnome.desktop.interface, null when not installed
    GSettings* m_a11y = nullptr;      // org.gnome.desktop.a11y.interface
    // The environment's overrides, read once.
    std::optional<bool> m_reduceMotion;
    std::optional<bool> m_reduceTransparency;
    std::optional<bool> m_prefersDark;
    std::vector<unsigned long> m_handlers;
};

} // namespace halvo
