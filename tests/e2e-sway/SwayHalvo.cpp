// Setting up and reading a sway session with the halvo program in it.
#include "e2e-sway/SwayHalvo.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

namespace halvo::test {
namespace {

using nlohmann::json;

// Visits every window of sway's tree with the name of the output it is on.
void forEachWindow(const json& node, const std::string& output,
                   const std::function<void(const json&, const std::string&)>& visit) {
    if (!node.is_object())
        return;
    const std::string here = node.value("type", "") == "output" ? node.value("name", "") : output;
    if (node.contains("app_id") && node["app_id"].is_string())
        visit(node, here);
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const auto& child : node.value(children, json::array()))
            forEachWindow(child, here, visit);
    }
}

// The window at the end of the focus path (each node's most recently focused child): the one
// with the keyboard, or the one that gets it back from a layer surface holding it.
const json& endOfFocusPath(const json& node) {
    const auto focus = node.find("focus");
    if (focus == node.end() || !focus->is_array() || focus->empty())
        return node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        const auto list = node.find(children);
        if (list == node.end() || !list->is_array())
            continue;
        for (const json& child : *list) {
            if (child.is_object() && child.value("id", -1L) == (*focus)[0])
                return endOfFocusPath(child);
        }
    }
    return node;
}

int outputIndex(const std::string& output) {
    return output == "HEADLESS-2" ? 1 : 0;
}

} // namespace

SwayHalvo::SwayHalvo(const std::string& extraConfig) {
    SwaySession::Options options;
    options.outputWidth = outputWidth;
    options.outputHeight = outputHeight;
    options.extraConfig = "default_border none\ndefault_floating_border none\n" + extraConfig;
    m_session = std::make_unique<SwaySession>(options);
    if (!m_session->ok())
        return;
    char folder[] = "/tmp/halvo-sway-e2e-XXXXXX";
    m_configHome = mkdtemp(folder) ? folder : "";
    m_keyboard = std::make_unique<SwayVirtualKeyboard>(m_session->waylandDisplay());
    m_pointer = std::make_unique<SwayVirtualPointer>(m_session->waylandDisplay(), 2 * outputWidth,
                                                     outputHeight);
}

void SwayHalvo::rememberScreens() {
    // Once the screens have settled: clients still drawing after a resize or their first frame
    // would count as the overlay later. Two screenshots in a row alike.
    waitUntil([&] {
        const QImage first = screenshot("HEADLESS-1", "bare-1");
        const QImage second = screenshot("HEADLESS-2", "bare-2");
        const bool settled = first == m_bare[0] && second == m_bare[1];
        m_bare[0] = first;
        m_bare[1] = second;
        return settled && !first.isNull();
    });
}

SwayHalvo::~SwayHalvo() {
    m_halvo.reset();
    if (!m_configHome.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_configHome, ignored);
    }
}

void SwayHalvo::storeOrder(const std::vector<std::string>& appIDs) {
    std::filesystem::create_directories(m_configHome + "/halvo");
    std::ofstream(m_configHome + "/halvo/defaults.json")
        << json{{"halvo.customAppOrder", appIDs}}.dump();
}

std::vector<std::string> SwayHalvo::storedOrder() const {
    std::ifstream in(m_configHome + "/halvo/defaults.json");
    const json settings = json::parse(in, nullptr, false);
    if (!settings.is_object() || !settings.contains("halvo.customAppOrder") ||
        !settings["halvo.customAppOrder"].is_array())
        return {};
    std::vector<std::string> order;
    for (const json& id : settings["halvo.customAppOrder"]) {
        if (id.is_string())
            order.push_back(id.get<std::string>());
    }
    return order;
}

bool SwayHalvo::startApp(const std::string& appID, const std::string& output, bool floating) {
    const int workspace = outputIndex(output) + 1;
    if (!m_session->command("workspace " + std::to_string(workspace) + ", focus output " + output))
        return false;
    m_session->spawn({"foot", "--app-id=" + appID, "--title=" + appID});
    if (!waitUntil([&] { return outputOf(appID) == output; }))
        return false;
    if (!floating)
        return true;
    // sway shows the change once the client has drawn itself at the new size: until then the
    // output still shows it tiled, and the look remembered for changedArea must not be that.
    const QImage tiled = screenshot(output, "tiled");
    return m_session->command("[app_id=" + appID + "] floating enable, resize set 600 400") &&
           waitUntil([&] { return screenshot(output, "floating") != tiled; });
}

bool SwayHalvo::startHalvo(bool waitForShortcut, const std::string& swaySocket) {
    m_halvo = std::make_unique<HalvoProgram>(
        m_configHome, std::vector<std::string>{},
        HalvoProgram::Environment{
            {"WAYLAND_DISPLAY", m_session->waylandDisplay()},
            {"SWAYSOCK", swaySocket.empty() ? m_session->swaySocket() : swaySocket},
            {"QT_QPA_PLATFORM", "wayland"},
            {"GSETTINGS_BACKEND", "memory"}});
    if (!waitForShortcut)
        return true;
    // The registrar lists the bindings it made in XDG_RUNTIME_DIR (the config folder here): the
    // sway socket, then one line for each arrow's combination as soon as it is bound.
    const std::string record = m_configHome + "/halvo-sway-bindings";
    return waitUntil(
        [&] {
            std::ifstream in(record);
            int lines = 0;
            for (std::string line; std::getline(in, line);)
                lines += line.empty() ? 0 : 1;
            return !m_halvo->waitForExit(0) && lines == 1 + 4;
        },
        20);
}

std::string SwayHalvo::focusedApp() const {
    const json tree = m_session->query("get_tree");
    std::string found;
    forEachWindow(tree, "", [&](const json& window, const std::string&) {
        if (window.value("focused", false))
            found = window["app_id"].get<std::string>();
    });
    if (!found.empty())
        return found;
    if (!tree.is_object())
        return {};
    const json& end = endOfFocusPath(tree);
    return end.contains("app_id") && end["app_id"].is_string() ? end["app_id"].get<std::string>()
                                                               : std::string();
}

std::string SwayHalvo::outputOf(const std::string& appID) const {
    std::string found;
    forEachWindow(m_session->query("get_tree"), "",
                  [&](const json& window, const std::string& output) {
                      if (window["app_id"] == appID && found.empty())
                          found = output;
                  });
    return found;
}

int SwayHalvo::focusedFullScreenMode() const {
    const std::string app = focusedApp();
    int mode = -1;
    forEachWindow(m_session->query("get_tree"), "", [&](const json& window, const std::string&) {
        if (window["app_id"] == app)
            mode = window.value("fullscreen_mode", -1);
    });
    return mode;
}

QImage SwayHalvo::screenshot(const std::string& output, const std::string& name) const {
    const std::string path = m_session->folder() + "/" + name + ".png";
    QImage image;
    if (m_session->screenshot(path, output))
        image.load(QString::fromStdString(path));
    return image.convertToFormat(QImage::Format_RGB32);
}

QRect SwayHalvo::changedArea(const std::string& output) const {
    const QImage& before = m_bare[outputIndex(output)];
    const QImage now = screenshot(output, "now");
    if (now.size() != before.size())
        return QRect(QPoint(0, 0), now.size());
    QRect area;
    for (int y = now.height() / 2; y < now.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(now.constScanLine(y));
        for (int x = 0; x < now.width(); ++x) {
            if (a[x] != b[x])
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

bool SwayHalvo::waitUntil(const std::function<bool()>& pred, double seconds) {
    return SwaySession::waitUntil(pred, seconds);
}

} // namespace halvo::test
