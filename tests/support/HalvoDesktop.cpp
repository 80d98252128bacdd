// The desktop the end-to-end and fault tests run the program on.
#include "support/HalvoDesktop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace halvo::test {

const std::vector<HalvoDesktop::Client> HalvoDesktop::fourClients = {
    {{"xterm", "-geometry", "60x20+60+60"}, "XTerm"},
    {{"xlogo", "-geometry", "300x300+700+120"}, "XLogo"},
    {{"xcalc", "-geometry", "+1500+150"}, "XCalc"},
    {{"xedit", "-geometry", "500x400+1900+300"}, "Xedit"}};

const std::vector<HalvoDesktop::Client> HalvoDesktop::twoClients = {{{"xterm"}, "XTerm"},
                                                                    {{"xlogo"}, "XLogo"}};

HalvoDesktop::HalvoDesktop(Options options) {
    m_session = std::make_unique<XvfbSession>(options.session);
    char dirTemplate[] = "/tmp/halvo-e2e-XXXXXX";
    if (mkdtemp(dirTemplate))
        m_configHome = dirTemplate;
    if (!m_session->ok())
        return;
    m_watcher = std::make_unique<DesktopWatcher>(m_session->display());
    m_keyboard = std::make_unique<XTestKeyboard>(m_session->display());
    // The first key event from XTEST's keyboard makes the server send every client a new
    // keyboard description, on which Halvo and the window manager each grab their keys again, in
    // either order. Sent now, before Halvo runs, it disturbs no grab a test has set up.
    m_keyboard->tap("Shift_L");
    // A mid-grey background, so that neither a light nor a dark panel matches it.
    m_session->run("xsetroot -solid '#808080'");
    if (options.tray) {
        m_session->spawn({"trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                          "request", "--height", std::to_string(trayHeight), "--transparent",
                          "false", "--tint", "0x303030", "--SetDockType", "true",
                          "--SetPartialStrut", "true", "--monitor", "0"});
        m_watcher->waitFor([&] { return client("trayer") != 0; }, 20);
    }
}

HalvoDesktop::~HalvoDesktop() {
    if (m_configHome.empty())
        return;
    std::error_code ignored;
    // A test may have made the settings folder read-only; give it back before removing it.
    std::filesystem::permissions(m_configHome + "/halvo", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_configHome, ignored);
}

bool HalvoDesktop::startClients(const std::vector<Client>& clients) {
    for (const Client& started : clients) {
        m_session->spawn(started.argv);
        xcb_window_t window = 0;
        if (!m_watcher->waitFor([&] { return (window = client(started.wmClass)) != 0; }, 20)) {
            m_error = started.wmClass + " did not come up";
            return false;
        }
        m_clients.push_back(window);
        // A window manager lists and activates a new window before the server has given it the
        // keyboard focus. The next client starts only once it has: herbstluftwm takes a focus
        // event that reaches it after the next window's map request for this window stealing
        // the focus, and keeps the focus there.
        if (!m_watcher->waitFor(
                [&] {
                    return m_watcher->activeWindow() == window && m_watcher->hasInputFocus(window);
                },
                20)) {
            m_error = started.wmClass + " did not get the focus after its start";
            return false;
        }
    }
    return true;
}

xcb_window_t HalvoDesktop::client(const std::string& wmClass) const {
    return m_watcher->clientOfClass(wmClass);
}

bool HalvoDesktop::activate(const std::string& wmClass) {
    const xcb_window_t window = client(wmClass);
    if (window == XCB_WINDOW_NONE)
        return false;
    m_watcher->requestActivation(window);
    return waitForActive(window);
}

void HalvoDesktop::writeSettings(const std::string& text) const {
    std::filesystem::create_directories(m_configHome + "/halvo");
    std::ofstream(settingsPath(), std::ios::binary) << text;
}

nlohmann::json HalvoDesktop::settings() const {
    std::ifstream in(settingsPath());
    if (!in)
        return nullptr;
    return nlohmann::json::parse(in, nullptr, false);
}

std::unique_ptr<HalvoProgram>
HalvoDesktop::startHalvo(std::vector<std::string> arguments,
                         const HalvoProgram::Environment& environment) {
    auto halvo = std::make_unique<HalvoProgram>(m_configHome, std::move(arguments), environment);
    // The overlay is built right after the shortcut has been registered.
    m_watcher->waitFor([&] { return !halvo->running() || overlayBuilt(); }, 20);
    return halvo;
}

bool HalvoDesktop::waitForOverlay(bool visible, double seconds) {
    return m_watcher->waitFor([&] { return m_watcher->visibleOverlay().has_value() == visible; },
                              seconds);
}

bool HalvoDesktop::waitForActive(const std::string& wmClass, double seconds) {
    return m_watcher->waitFor([&] { return m_watcher->activeClass() == wmClass; }, seconds);
}

bool HalvoDesktop::waitForActive(xcb_window_t window, double seconds) {
    return m_watcher->waitFor([&] { return m_watcher->activeWindow() == window; }, seconds);
}

void HalvoDesktop::holdCombination() {
    m_keyboard->press("Control_L");
    m_keyboard->press("Alt_L");
}

void HalvoDesktop::releaseCombination() {
    m_keyboard->release("Alt_L");
    m_keyboard->release("Control_L");
}

bool HalvoDesktop::switchOnce(double seconds) {
    const xcb_window_t before = m_watcher->activeWindow();
    holdCombination();
    const bool shown = waitForOverlay(true, seconds);
    m_keyboard->tap("Right");
    const bool switched = m_watcher->waitFor(
        [&] {
            const xcb_window_t active = m_watcher->activeWindow();
            return active != before &&
                   std::find(m_clients.begin(), m_clients.end(), active) != m_clients.end();
        },
        seconds);
    releaseCombination();
    const bool hidden = waitForOverlay(false, seconds);
    if (!shown || !switched || !hidden)
        std::fprintf(stderr, "switchOnce: overlay shown %d, switched %d (active %s), hidden %d\n",
                     shown, switched, m_watcher->activeClass().c_str(), hidden);
    return shown && switched && hidden;
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
