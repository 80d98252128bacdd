// Reads the overlay's accessibility preferences from GSettings and the environment.
#include "minimap/view/OverlayMotionSettings.h"

#include <cstdlib>
#include <cstring>
#include <gio/gio.h>
#include <string>

namespace halvo {
namespace {

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

} // namespace

OverlayMotionSettings OverlayMotionSettings::fromDesktop() {
    OverlayMotionSettings result;
    if (GSettings* interface = settingsFor("org.gnome.desktop.interface")) {
        if (hasKey(interface, "enable-animations"))
            result.reduceMotion = !g_settings_get_boolean(interface, "enable-animations");
        if (hasKey(interface, "color-scheme")) {
            gchar* scheme = g_settings_get_string(interface, "color-scheme");
            if (scheme && std::strcmp(scheme, "prefer-dark") == 0)
                result.prefersDark = true;
            else if (scheme && std::strcmp(scheme, "prefer-light") == 0)
                result.prefersDark = false;
            g_free(scheme);
        }
        g_object_unref(interface);
    }
    if (GSettings* a11y = settingsFor("org.gnome.desktop.a11y.interface")) {
        if (hasKey(a11y, "high-contrast"))
            result.increasedContrast = g_settings_get_boolean(a11y, "high-contrast");
        g_object_unref(a11y);
    }
    if (auto flag = environmentFlag("HALVO_REDUCE_MOTION"))
        result.reduceMotion = *flag;
    if (auto flag = environmentFlag("HALVO_REDUCE_TRANSPARENCY"))
        result.reduceTransparency = *flag;
    if (const char* scheme = std::getenv("HALVO_COLOR_SCHEME")) {
        if (std::strcmp(scheme, "dark") == 0)
            result.prefersDark = true;
        else if (std::strcmp(scheme, "light") == 0)
            result.prefersDark = false;
    }
    return result;
}

} // namespace halvo
