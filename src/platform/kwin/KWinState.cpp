// Parsing and checking the script's reports, and grouping windows into applications.
#include "platform/kwin/KWinState.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace halvo {
namespace {

using nlohmann::json;

// Layout coordinates and sizes beyond this are no monitor's.
constexpr double maxCoordinate = 1 << 20;

struct Invalid {};

const json& field(const json& object, const char* name) {
    if (!object.is_object() || !object.contains(name))
        throw Invalid{};
    return object.at(name);
}

double number(const json& object, const char* name, double low, double high) {
    const json& value = field(object, name);
    if (!value.is_number())
        throw Invalid{};
    const double n = value.get<double>();
    if (!(n >= low && n <= high))
        throw Invalid{};
    return n;
}

bool flag(const json& object, const char* name) {
    const json& value = field(object, name);
    if (!value.is_boolean())
        throw Invalid{};
    return value.get<bool>();
}

std::string text(const json& object, const char* name) {
    const json& value = field(object, name);
    if (!value.is_string() || value.get_ref<const std::string&>().size() > KWinState::maxText)
        throw Invalid{};
    return value.get<std::string>();
}

Rect rect(const json& object, const char* name) {
    const json& value = field(object, name);
    return {number(value, "x", -maxCoordinate, maxCoordinate),
            number(value, "y", -maxCoordinate, maxCoordinate), number(value, "w", 0, maxCoordinate),
            number(value, "h", 0, maxCoordinate)};
}

WindowInfo::Kind kindOf(const std::string& kind) {
    if (kind == "normal")
        return WindowInfo::Kind::normal;
    if (kind == "dialog")
        return WindowInfo::Kind::dialog;
    return WindowInfo::Kind::other;
}

KWinState::Window windowFrom(const json& value) {
    KWinState::Window window;
    window.id = static_cast<WindowID>(number(value, "id", 1, 1e9));
    window.stack = static_cast<int>(number(value, "stack", 0, 1e9));
    window.pid = static_cast<ProcessID>(number(value, "pid", 1, 1 << 30));
    const std::string desktop = text(value, "desktop");
    window.appKey = desktop.empty() ? text(value, "app") : desktop;
    if (window.appKey.empty())
        throw Invalid{};
    WindowInfo& info = window.info;
    info.id = window.id;
    info.kind = kindOf(text(value, "kind"));
    info.frame = rect(value, "frame");
    info.minimized = flag(value, "minimized");
    info.fullScreen = flag(value, "fullScreen");
    info.canFullScreen = flag(value, "canFullScreen");
    info.canMove = flag(value, "canMove");
    info.canResize = flag(value, "canResize");
    return window;
}

const json& list(const json& object, const char* name, std::size_t max) {
    const json& value = field(object, name);
    if (!value.is_array() || value.size() > max)
        throw Invalid{};
    return value;
}

} // namespace

std::optional<KWinState> KWinState::parse(const std::string& text) {
    const json report = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (report.is_discarded())
        return std::nullopt;
    try {
        KWinState state;
        for (const json& value : list(report, "windows", maxWindows)) {
            Window window = windowFrom(value);
            if (state.window(window.id))
                return std::nullopt;
            state.m_windows.push_back(std::move(window));
        }
        // Topmost first: KWin lists windows in the order they came.
        std::stable_sort(state.m_windows.begin(), state.m_windows.end(),
                         [](const Window& a, const Window& b) { return a.stack > b.stack; });
        for (const json& value : list(report, "screens", maxScreens))
            state.m_outputs.push_back({rect(value, "frame"), rect(value, "visible")});
        state.m_active = static_cast<WindowID>(number(report, "active", 0, 1e9));
        const json& cursor = field(report, "cursor");
        state.m_cursor = {number(cursor, "x", -maxCoordinate, maxCoordinate),
                          number(cursor, "y", -maxCoordinate, maxCoordinate)};
        return state;
    } catch (const Invalid&) {
        return std::nullopt;
    }
}

const KWinState::Window* KWinState::window(WindowID id) const {
    for (const Window& window : m_windows) {
        if (window.id == id)
            return &window;
    }
    return nullptr;
}

std::vector<KWinState::Application> KWinState::applications() const {
    std::vector<Application> applications;
    for (const Window& window : m_windows) {
        auto it = std::find_if(applications.begin(), applications.end(),
                               [&](const Application& a) { return a.appKey == window.appKey; });
        if (it == applications.end())
            it = applications.insert(applications.end(), {window.appKey, window.pid, {}});
        it->windows.push_back(&window);
    }
    return applications;
}

std::optional<KWinState::Application> KWinState::application(ProcessID pid) const {
    for (Application& application : applications()) {
        if (application.pid == pid)
            return application;
    }
    return std::nullopt;
}

bool KWinState::Application::regular() const {
    return std::any_of(windows.begin(), windows.end(), [](const Window* window) {
        return window->info.kind == WindowInfo::Kind::normal;
    });
}

bool KWinState::Application::hidden() const {
    return !windows.empty() && std::all_of(windows.begin(), windows.end(),
                                           [](const Window* w) { return w->info.minimized; });
}

} // namespace halvo
