// The desktop the end-to-end tests run the program on.
#include "e2e/HalvoDesktop.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace halvo::test {

HalvoDesktop::HalvoDesktop(bool tray) {
    m_session = std::make_unique<XvfbSession>();
    char dirTemplate[] = "/tmp/halvo-e2e-XXXXXX";
    if (mkdtemp(dirTemplate))
        m_configHome = dirTemplate;
    if (!m_session->ok())
        return;
    m_reader = std::make_unique<DesktopReader>(m_session->display());
    m_keyboard = std::make_unique<XTestKeyboard>(m_session->display());
    // A mid-grey background, so that neither a light nor a dark panel matches it.
    m_session->run("xsetroot -solid '#808080'");
    if (tray) {
        m_session->spawn({"trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                          "request", "--height", std::to_string(trayHeight), "--transparent",
                          "false", "--tint", "0x303030", "--SetDockType", "true",
                          "--SetPartialStrut", "true", "--monitor", "0"});
        m_session->waitForClientWindow("trayer");
    }
}

HalvoDesktop::~HalvoDesktop() {
    if (!m_configHome.empty())
        std::filesystem::remove_all(m_configHome);
}

bool HalvoDesktop::startClients() {
    const std::vector<std::pair<std::vector<std::string>, std::string>> clients = {
        {{"xterm", "-geometry", "60x20+60+60"}, "XTerm"},
        {{"xlogo", "-geometry", "300x300+700+120"}, "XLogo"},
        {{"xcalc", "-geometry", "+1500+150"}, "XCalc"},
        {{"xedit", "-geometry", "500x400+1900+300"}, "Xedit"}};
    for (const auto& [argv, wmClass] : clients) {
        m_session->spawn(argv);
        if (m_session->waitForClientWindow(wmClass) == 0)
            return false;
    }
    return true;
}

bool HalvoDesktop::activate(const std::string& wmClass) {
    const xcb_window_t window = m_reader->clientOfClass(wmClass);
    if (window == XCB_WINDOW_NONE)
        return false;
    m_session->run("xdotool windowactivate " + std::to_string(window) + " 2>/dev/null");
    return waitForActive(wmClass);
}

void HalvoDesktop::writeSettings(const std::string& text) const {
    std::filesystem::create_directories(m_configHome + "/halvo");
    std::ofstream(settingsPath()) << text;
}

nlohmann::json HalvoDesktop::settings() const {
    std::ifstream in(settingsPath());
    if (!in)
        return nullptr;
    return nlohmann::json::parse(in, nullptr, false);
}

std::unique_ptr<HalvoProcess>
HalvoDesktop::startHalvo(std::vector<std::string> arguments,
                         const HalvoProcess::Environment& environment) {
    auto process = std::make_unique<HalvoProcess>(m_configHome, std::move(arguments), environment);
    // The overlay is built right after the shortcut has been registered.
    XvfbSession::waitUntil([&] { return m_reader->halvoWindowNamed("Halvo overlay").has_value(); },
                           20);
    return process;
}

bool HalvoDesktop::waitForOverlay(bool visible, double seconds) {
    return XvfbSession::waitUntil([&] { return m_reader->visibleOverlay().has_value() == visible; },
                                  seconds);
}

bool HalvoDesktop::waitForActive(const std::string& wmClass, double seconds) {
    return XvfbSession::waitUntil([&] { return m_reader->activeClass() == wmClass; }, seconds);
}

WindowFrame HalvoDesktop::expectedOverlay(int apps, int monitorX, int bottomInset) {
    const int width = std::max(72 * apps + 48, 280);
    return WindowFrame{monitorX + (monitorWidth - width) / 2,
                       monitorHeight - bottomInset - 20 - 148, width, 148};
}

std::pair<int, int> HalvoDesktop::cellCentre(const WindowFrame& overlay, int apps, int index) {
    // The cells are 72 wide, centred in the panel; the icons sit 90 below the panel's top.
    const int firstCell = overlay.x + (overlay.width - 72 * apps) / 2;
    return {firstCell + 72 * index + 36, overlay.y + 90};
}

} // namespace halvo::test
