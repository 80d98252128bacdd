// NameHasOwner on the session bus, through a private connection that is closed again.
#include "platform/gnome/GnomeShellPresence.h"

#include <gio/gio.h>
#include <glib.h>

namespace halvo {

bool GnomeShellPresence::onSessionBus() {
    // Without either, GLib would try to start a bus through dbus-launch (with DISPLAY set).
    const gchar* runtimeDir = g_getenv("XDG_RUNTIME_DIR");
    gchar* socket = runtimeDir ? g_build_filename(runtimeDir, "bus", nullptr) : nullptr;
    const bool hasBus =
        g_getenv("DBUS_SESSION_BUS_ADDRESS") || (socket && g_file_test(socket, G_FILE_TEST_EXISTS));
    g_free(socket);
    if (!hasBus)
        return false;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!address)
        return false;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_free(address);
    if (!bus)
        return false;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.gnome.Shell"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return owned;
}

} // namespace halvo
