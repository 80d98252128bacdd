// The single-instance socket: a one-line request ("preferences" or "ping"), answered "ok". GIO's
// sockets run on the GLib main context, which Qt's event loop drives.
#include "platform/linux/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halvo {
namespace {

std::string socketFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        return runtime;
    return g_get_tmp_dir();
}

std::string takeMessage(GError* error) {
    std::string message = error ? error->message : "unknown error";
    g_clear_error(&error);
    return message;
}

// One later launch: its request line is read without blocking the loop, then answered.
struct Request {
    GSocketConnection* connection;
    GDataInputStream* input;
    // Cancelled when the instance goes: the read still completes later, and then must not
    // touch it.
    GCancellable* gone;
    SingleInstance* instance;
};

void finish(Request* request) {
    g_io_stream_close(G_IO_STREAM(request->connection), nullptr, nullptr);
    g_object_unref(request->input);
    g_object_unref(request->connection);
    g_object_unref(request->gone);
    delete request;
}

void lineRead(GObject* source, GAsyncResult* result, gpointer data) {
    auto* request = static_cast<Request*>(data);
    if (g_cancellable_is_cancelled(request->gone)) {
        g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, nullptr, nullptr);
        finish(request);
        return;
    }
    gsize length = 0;
    char* line =
        g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, &length, nullptr);
    const bool preferences = line && std::strcmp(g_strstrip(line), "preferences") == 0;
    g_free(line);
    GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(request->connection));
    g_output_stream_write_all(output, "ok\n", 3, nullptr, nullptr, nullptr);
    SingleInstance* instance = request->instance;
    finish(request);
    if (preferences && instance->onPreferencesRequested)
        instance->onPreferencesRequested();
}

} // namespace

gboolean SingleInstance::incoming(GSocketService*, GSocketConnection* connection, GObject*,
                                  gpointer data) {
    auto* instance = static_cast<SingleInstance*>(data);
    auto* request =
        new Request{G_SOCKET_CONNECTION(g_object_ref(connection)),
                    g_data_input_stream_new(g_io_stream_get_input_stream(G_IO_STREAM(connection))),
                    G_CANCELLABLE(g_object_ref(instance->m_gone)), instance};
    g_data_input_stream_read_line_async(request->input, G_PRIORITY_DEFAULT, request->gone, lineRead,
                                        request);
    return TRUE;
}

SingleInstance::SingleInstance(const std::string& display)
    : m_path(socketFolder() + "/" + nameFor(getuid(), display)), m_gone(g_cancellable_new()) {}

SingleInstance::~SingleInstance() {
    g_cancellable_cancel(m_gone);
    g_object_unref(m_gone);
    if (!m_service)
        return;
    g_socket_service_stop(m_service);
    g_socket_listener_close(G_SOCKET_LISTENER(m_service));
    g_object_unref(m_service);
    unlink(m_path.c_str());
}

std::string SingleInstance::nameFor(unsigned userID, const std::string& display) {
    std::string safe = display;
    for (char& c : safe) {
        if (c == '/')
            c = '_';
    }
    return "halvo-" + std::to_string(userID) + "-" + safe;
}

bool SingleInstance::askRunning(bool openPreferences) const {
    GSocketClient* client = g_socket_client_new();
    g_socket_client_set_timeout(client, 2);
    GSocketAddress* address = g_unix_socket_address_new(m_path.c_str());
    GSocketConnection* connection =
        g_socket_client_connect(client, G_SOCKET_CONNECTABLE(address), nullptr, nullptr);
    g_object_unref(address);
    g_object_unref(client);
    if (!connection)
        return false;
    const char* request = openPreferences ? "preferences\n" : "ping\n";
    GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(connection));
    g_output_stream_write_all(output, request, std::strlen(request), nullptr, nullptr, nullptr);
    char answer[8];
    g_input_stream_read(g_io_stream_get_input_stream(G_IO_STREAM(connection)), answer,
                        sizeof answer, nullptr, nullptr);
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    g_object_unref(connection);
    return true;
}

bool SingleInstance::listen(std::string& error) {
    // Nobody answered on it: a socket left by a Halvo that died.
    if (unlink(m_path.c_str()) != 0 && errno != ENOENT) {
        error = m_path + ": " + std::strerror(errno);
        return false;
    }
    GSocketService* service = g_socket_service_new();
    GSocketAddress* address = g_unix_socket_address_new(m_path.c_str());
    GError* failure = nullptr;
    // The socket is made for the user alone, with no moment in which others could connect.
    const mode_t mask = umask(0077);
    const gboolean added =
        g_socket_listener_add_address(G_SOCKET_LISTENER(service), address, G_SOCKET_TYPE_STREAM,
                                      G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, &failure);
    umask(mask);
    g_object_unref(address);
    if (!added) {
        error = takeMessage(failure);
        g_object_unref(service);
        return false;
    }
    g_signal_connect(service, "incoming", G_CALLBACK(&SingleInstance::incoming), this);
    g_socket_service_start(service);
    m_service = service;
    return true;
}

} // namespace halvo
