// Reads and watches the overlay's accessibility and colour-scheme preferences in GSettings.
#include "minimap/view/DesktopSettingsMonitor.h"

#include <cstdlib>
#include <cstring>
#include <gio/gio.h>

namespace halvo {
namespace {

constexpr const char* animationsKey = "enable-animations";
constexpr const char* schemeKey = "color-scheme";
constexpr const char* contrastKey = "high-contrast";

// A GSettings object for `schema`, or null when the schema is not installed (g_settings_new
// would abort the process then).
GSettings* settingsFor(const char* schema) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return nullptr;
    GSettingsSchema* found = g_settings_schema_source_lookup(source, schema, TRUE);
    if (!found)
        return nullptr;
    g_settings_schema_unref(found);
    return g_settings_new(schema);
}

bool hasKey(GSettings* settings, const char* key) {
    if (!settings)
        return false;
    GSettingsSchema* schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    const bool has = schema && g_settings_schema_has_key(schema, key);
    if (schema)
        g_settings_schema_unref(schema);
    return has;
}

std::optional<bool> environmentFlag(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::strcmp(value, "0") != 0 && std::strcmp(value, "false") != 0;
}

std::optional<bool> environmentScheme() {
    const char* scheme = std::getenv("HALVO_COLOR_SCHEME");
    if (scheme && std::strcmp(scheme, "dark") == 0)
        return true;
    if (scheme && std::strcmp(scheme, "light") == 0)
        return false;
    return std::nullopt;
}

void emitChanged(GSettings*, const char*, gpointer monitor) {
    Q_EMIT static_cast<DesktopSettingsMonitor*>(monitor)->changed();
}

} // namespace

DesktopSettingsMonitor::DesktopSettingsMonitor(QObject* parent)
    : QObject(parent), m_interface(settingsFor("org.gnome.desktop.interface")),
      m_a11y(settingsFor("org.gnome.desktop.a11y.interface")),
      m_reduceMotion(environmentFlag("HALVO_REDUCE_MOTION")),
      m_reduceTransparency(environmentFlag("HALVO_REDUCE_TRANSPARENCY")),
      m_prefersDark(environmentScheme()) {
    for (GSettings* settings : {m_interface, m_a11y}) {
        if (settings)
            m_handlers.push_back(
                g_signal_connect(settings, "changed", G_CALLBACK(emitChanged), this));
    }
    // GSettings reports a change only of a key read since the handler was connected.
    current();
}

DesktopSettingsMonitor::~DesktopSettingsMonitor() {
    std::size_t handler = 0;
    for (GSettings* settings : {m_interface, m_a11y}) {
        if (!settings)
            continue;
        g_signal_handler_disconnect(settings, m_handlers[handler++]);
        g_object_unref(settings);
    }
}

OverlayMotionSettings DesktopSettingsMonitor::current() const {
    OverlayMotionSettings result;
    if (hasKey(m_interface, animationsKey))
        result.reduceMotion = !g_settings_get_boolean(m_interface, animationsKey);
    if (hasKey(m_interface, schemeKey)) {
        gchar* scheme = g_settings_get_string(m_interface, schemeKey);
        if (scheme && std::strcmp(scheme, "prefer-dark") == 0)
            result.prefersDark = true;
        else if (scheme && std::strcmp(scheme, "prefer-light") == 0)
            result.prefersDark = false;
        g_free(scheme);
    }
    if (hasKey(m_a11y, contrastKey))
        result.increasedContrast = g_settings_get_boolean(m_a11y, contrastKey);
    if (m_reduceMotion)
        result.reduceMotion = *m_reduceMotion;
    if (m_reduceTransparency)
        result.reduceTransparency = *m_reduceTransparency;
    if (m_prefersDark)
        result.prefersDark = m_prefersDark;
    return result;
}

} // namespace halvo
