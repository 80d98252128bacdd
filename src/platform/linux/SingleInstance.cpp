// The single-instance socket: a one-line request ("preferences" or "ping"), answered "ok", between
// processes of one user only. GIO's sockets run on the GLib main context, which Qt's event loop
// drives.
#include "platform/linux/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <gio/gio.h>
#include <gio/gunixsocketaddress.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace halvo {
namespace {

// The longest request a launch of Halvo sends ("preferences\n"), with room to spare; a longer one
// is not from Halvo and is dropped unanswered.
constexpr std::size_t maxRequest = 32;

// Empty when `folder` is a real folder of this user that nobody else may enter.
std::string folderProblem(const std::string& folder) {
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0)
        return folder + ": " + std::strerror(errno);
    if (!S_ISDIR(status.st_mode))
        return folder + " is not a folder";
    if (status.st_uid != getuid())
        return folder + " belongs to another user";
    if ((status.st_mode & 07777) != 0700)
        return folder + " may be entered by other users";
    return {};
}

// XDG_RUNTIME_DIR, else halvo-UID in the temporary folder, made for the user alone when missing.
// Empty with `problem` set when the folder could be reached by others: another user could then
// answer for a Halvo that does not run.
std::string privateFolder(std::string& problem) {
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        folder = runtime;
    } else {
        const char* temporary = std::getenv("TMPDIR");
        folder = std::string(temporary && *temporary == '/' ? temporary : "/tmp") + "/halvo-" +
                 std::to_string(getuid());
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = folder + ": " + std::strerror(errno);
            return {};
        }
    }
    problem = folderProblem(folder);
    return problem.empty() ? folder : std::string();
}

// Whether the other end of `connection` runs as this user (the kernel's word, SO_PEERCRED).
bool peerIsThisUser(GSocketConnection* connection) {
    GCredentials* credentials =
        g_socket_get_credentials(g_socket_connection_get_socket(connection), nullptr);
    if (!credentials)
        return false;
    const uid_t peer = g_credentials_get_unix_user(credentials, nullptr);
    g_object_unref(credentials);
    return peer == getuid();
}

std::string takeMessage(GError* error) {
    std::string message = error ? error->message : "unknown error";
    g_clear_error(&error);
    return message;
}

// One later launch: its request line is read without blocking the loop, then answered.
struct Request {
    GSocketConnection* connection;
    // Cancelled when the instance goes: the read still completes later, and then must not
    // touch it.
    GCancellable* gone;
    SingleInstance* instance;
    char text[maxRequest] = {};
    std::size_t length = 0;
};

void finish(Request* request) {
    g_io_stream_close(G_IO_STREAM(request->connection), nullptr, nullptr);
    g_object_unref(request->connection);
    g_object_unref(request->gone);
    delete request;
}

void requestRead(GObject* source, GAsyncResult* result, gpointer data);

void readMore(Request* request) {
    g_input_stream_read_async(g_io_stream_get_input_stream(G_IO_STREAM(request->connection)),
                              request->text + request->length, maxRequest - request->length,
                              G_PRIORITY_DEFAULT, request->gone, requestRead, request);
}

void requestRead(GObject* source, GAsyncResult* result, gpointer data) {
    auto* request = static_cast<Request*>(data);
    const gssize count = g_input_stream_read_finish(G_INPUT_STREAM(source), result, nullptr);
    if (g_cancellable_is_cancelled(request->gone) || count <= 0) {
        finish(request); // gone, failed, or ended before a whole line
        return;
    }
    request->length += static_cast<std::size_t>(count);
    const std::string_view text(request->text, request->length);
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
        if (request->length < maxRequest)
            readMore(request);
        else
            finish(request);
        return;
    }
    const bool preferences = text.substr(0, end) == "preferences";
    GOutputStream* output = g_io_stream_get_output_stream(G_IO_STREAM(request->connection));
    g_output_stream_write_all(output, "ok\n", 3, nullptr, nullptr, nullptr);
    SingleInstance* instance = request->instance;
    finish(request);
    if (preferences && instance->onPreferencesRequested)
        instance->onPreferencesRequested();
}

} // namespace

// Connections of other users are closed unanswered.
gboolean SingleInstance::incoming(GSocketService*, GSocketConnection* connection, GObject*,
                                  gpointer data) {
    if (!peerIsThisUser(connection))
        return TRUE;
    auto* instance = static_cast<SingleInstance*>(data);
    auto* request = new Request{G_SOCKET_CONNECTION(g_object_ref(connection)),
                                G_CANCELLABLE(g_object_ref(instance->m_gone)), instance};
    readMore(request);
    return TRUE;
}

SingleInstance::SingleInstance(const std::string& display) : m_gone(g_cancellable_new()) {
    const std::string folder = privateFolder(m_problem);
    if (!folder.empty())
        m_path = folder + "/" + nameFor(getuid(), display);
}

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
    if (m_path.empty())
        return false;
    GSocketClient* client = g_socket_client_new();
    g_socket_client_set_timeout(client, 2);
    GSocketAddress* address = g_unix_socket_address_new(m_path.c_str());
    GSocketConnection* connection =
        g_socket_client_connect(client, G_SOCKET_CONNECTABLE(address), nullptr, nullptr);
    g_object_unref(address);
    g_object_unref(client);
    if (!connection)
        return false;
    // Only this user's Halvo counts, and only when it answers as Halvo does.
    char answer[3] = {};
    gsize length = 0;
    if (peerIsThisUser(connection)) {
        const char* request = openPreferences ? "preferences\n" : "ping\n";
        GIOStream* stream = G_IO_STREAM(connection);
        if (g_output_stream_write_all(g_io_stream_get_output_stream(stream), request,
                                      std::strlen(request), nullptr, nullptr, nullptr))
            g_input_stream_read_all(g_io_stream_get_input_stream(stream), answer, sizeof answer,
                                    &length, nullptr, nullptr);
    }
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    g_object_unref(connection);
    return length == sizeof answer && std::memcmp(answer, "ok\n", sizeof answer) == 0;
}

bool SingleInstance::listen(std::string& error) {
    if (m_path.empty()) {
        error = m_problem;
        return false;
    }
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
