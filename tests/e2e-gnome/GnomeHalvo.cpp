// Start-up and read-back helpers of the GNOME end-to-end tests.
#include "e2e-gnome/GnomeHalvo.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

namespace halvo::test {
namespace {

constexpr const char* serviceName = "example.c_seed_0d7007af.halvo.Shell";
constexpr const char* servicePath = "/example/c_seed_0d7007af/halvo/Shell";
constexpr const char* halvoName = "example.c_seed_0d7007af.halvo";

} // namespace

GnomeHalvo::GnomeHalvo(GnomeShellSession::Options options) : m_session(options) {
    char folder[] = "/tmp/halvo-gnome-config-XXXXXX";
    if (mkdtemp(folder))
        m_configHome = folder;
}

GnomeHalvo::~GnomeHalvo() {
    m_halvo.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_configHome, ignored);
}

void GnomeHalvo::storeOrder(const std::vector<std::string>& appIDs) {
    std::filesystem::create_directories(m_configHome + "/halvo");
    std::ofstream(m_configHome + "/halvo/defaults.json")
        << nlohmann::json{{"halvo.customAppOrder", appIDs}}.dump();
}

std::vector<std::string> GnomeHalvo::storedOrder() const {
    std::ifstream in(m_configHome + "/halvo/defaults.json");
    const nlohmann::json settings = nlohmann::json::parse(in, nullptr, false);
    std::vector<std::string> order;
    if (!settings.is_object() || !settings.contains("halvo.customAppOrder") ||
        !settings["halvo.customAppOrder"].is_array())
        return order;
    for (const auto& id : settings["halvo.customAppOrder"]) {
        if (id.is_string())
            order.push_back(id.get<std::string>());
    }
    return order;
}

bool GnomeHalvo::startApp(const std::string& appID, int monitor) {
    const auto window = m_session.startTerminal(appID);
    if (!window)
        return false;
    return place(*window, (monitor == 0 ? 0 : 1280) + 100, 100);
}

bool GnomeHalvo::place(std::uint64_t window, int x, int y) {
    QDBusConnection bus = m_session.bus();
    if (!bus.interface()->registerService(halvoName).isValid())
        return false;
    QDBusMessage move =
        QDBusMessage::createMethodCall(serviceName, servicePath, serviceName, "SetFrame");
    move.setArguments({QVariant::fromValue(qulonglong(window)), x, y, 600, 400});
    // The extension hears of the name's new owner a moment after it is taken.
    const bool moved =
        waitUntil([&] { return bus.call(move).type() == QDBusMessage::ReplyMessage; }, 5) &&
        waitUntil([&] {
            const auto found = m_session.windows();
            for (const auto& w : found["windows"]) {
                if (w["id"] == window)
                    return w["frame"][0] == x;
            }
            return false;
        });
    bus.interface()->unregisterService(halvoName);
    return moved;
}

bool GnomeHalvo::startHalvo(bool waitForShortcut) {
    m_halvo = std::make_unique<HalvoProgram>(
        m_configHome, std::vector<std::string>{},
        HalvoProgram::Environment{{"WAYLAND_DISPLAY", m_session.waylandDisplay()},
                                  {"DBUS_SESSION_BUS_ADDRESS", m_session.busAddress()},
                                  {"XDG_CURRENT_DESKTOP", "GNOME"},
                                  {"XDG_SESSION_TYPE", "wayland"},
                                  {"QT_QPA_PLATFORM", "wayland"},
                                  {"GSETTINGS_BACKEND", "memory"}});
    if (!waitForShortcut)
        return true;
    QDBusMessage grabbed = QDBusMessage::createMethodCall(serviceName, servicePath, serviceName,
                                                          "GetGrabbedShortcuts");
    return waitUntil(
        [&] {
            const QDBusMessage reply = m_session.bus().call(grabbed);
            return !m_halvo->waitForExit(0) && reply.type() == QDBusMessage::ReplyMessage &&
                   qdbus_cast<QList<uint>>(reply.arguments().value(0)).size() == 4;
        },
        20);
}

int GnomeHalvo::monitorOf(const std::string& appID) const {
    const auto window = m_session.windowOf(appID);
    return window.is_object() ? window["monitor"].get<int>() : -1;
}

bool GnomeHalvo::isFullScreen(const std::string& appID) const {
    const auto window = m_session.windowOf(appID);
    return window.is_object() && window["fullScreen"].get<bool>();
}

} // namespace halvo::test
