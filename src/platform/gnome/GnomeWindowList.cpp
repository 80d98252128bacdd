// Reading the extension's window list: every member checked, nothing assumed.
#include "platform/gnome/GnomeWindowList.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>

namespace halvo {
namespace {

using nlohmann::json;

bool isInt(const json& value) {
    return value.is_number_integer() &&
           value.get<std::int64_t>() >= std::numeric_limits<std::int32_t>::min() &&
           value.get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max();
}

std::optional<Rect> rectOf(const json& value) {
    if (!value.is_array() || value.size() != 4 || !std::all_of(value.begin(), value.end(), isInt))
        return std::nullopt;
    return Rect{value[0].get<double>(), value[1].get<double>(), value[2].get<double>(),
                value[3].get<double>()};
}

bool flag(const json& window, const char* name) {
    const auto it = window.find(name);
    return it != window.end() && it->is_boolean() && it->get<bool>();
}

WindowInfo::Kind kindOf(const std::string& kind) {
    if (kind == "normal")
        return WindowInfo::Kind::normal;
    if (kind == "dialog")
        return WindowInfo::Kind::dialog;
    return WindowInfo::Kind::other;
}

std::optional<GnomeWindowList::Window> windowOf(const json& value) {
    if (!value.is_object())
        return std::nullopt;
    const auto id = value.find("id");
    const auto app = value.find("app");
    const auto pid = value.find("pid");
    const auto kind = value.find("kind");
    const auto frame = value.find("frame");
    if (id == value.end() || !id->is_number_unsigned() || app == value.end() || !app->is_string() ||
        pid == value.end() || !isInt(*pid) || kind == value.end() || !kind->is_string() ||
        frame == value.end())
        return std::nullopt;
    const std::optional<Rect> rect = rectOf(*frame);
    if (!rect)
        return std::nullopt;
    GnomeWindowList::Window window;
    window.info.id = id->get<WindowID>();
    window.info.kind = kindOf(kind->get<std::string>());
    window.info.frame = *rect;
    window.info.minimized = flag(value, "minimized");
    window.info.fullScreen = flag(value, "fullScreen");
    window.info.maximizedHorizontally = flag(value, "maximizedH");
    window.info.maximizedVertically = flag(value, "maximizedV");
    window.info.canMove = flag(value, "canMove");
    window.info.canResize = flag(value, "canResize");
    window.info.canFullScreen = window.info.kind == WindowInfo::Kind::normal;
    window.appKey = app->get<std::string>();
    window.pid = pid->get<ProcessID>();
    const auto monitor = value.find("monitor");
    window.monitor = monitor != value.end() && isInt(*monitor) ? monitor->get<int>() : -1;
    return window;
}

// A process identifier for an application whose own is missing or shared with another
// application: negative, the same for the same key.
ProcessID syntheticPid(const std::string& appKey) {
    return -static_cast<ProcessID>(std::hash<std::string>{}(appKey)&0x3FFFFFFF) - 1;
}

} // namespace

bool GnomeWindowList::Application::hidden() const {
    return !windows.empty() && std::all_of(windows.begin(), windows.end(),
                                           [](const Window& w) { return w.info.minimized; });
}

std::optional<GnomeWindowList> GnomeWindowList::parse(const std::string& text, ProcessID ownPid) {
    if (text.size() > maxTextLength)
        return std::nullopt;
    const json root = json::parse(text, nullptr, false);
    if (!root.is_object())
        return std::nullopt;
    const auto windows = root.find("windows");
    const auto focused = root.find("focused");
    if (windows == root.end() || !windows->is_array() || focused == root.end())
        return std::nullopt;
    GnomeWindowList list;
    if (focused->is_number_unsigned())
        list.m_focused = focused->get<WindowID>();
    else if (!focused->is_null())
        return std::nullopt;
    for (const json& value : *windows) {
        std::optional<Window> window = windowOf(value);
        if (!window)
            return std::nullopt;
        if (!window->appKey.empty() && window->appKey.size() <= maxAppKeyLength)
            list.add(std::move(*window), ownPid);
    }
    return list;
}

void GnomeWindowList::add(Window window, ProcessID ownPid) {
    auto app = std::find_if(m_applications.begin(), m_applications.end(),
                            [&](const Application& a) { return a.appKey == window.appKey; });
    if (app == m_applications.end()) {
        Application created;
        created.appKey = window.appKey;
        created.own = window.pid == ownPid;
        const bool pidTaken = window.pid <= 0 || find(window.pid) != nullptr;
        created.pid = pidTaken ? syntheticPid(window.appKey) : window.pid;
        m_applications.push_back(std::move(created));
        app = std::prev(m_applications.end());
    }
    app->regular = app->regular || (!app->own && window.info.kind == WindowInfo::Kind::normal);
    app->windows.push_back(std::move(window));
}

const GnomeWindowList::Application* GnomeWindowList::find(ProcessID pid) const {
    for (const Application& app : m_applications) {
        if (app.pid == pid)
            return &app;
    }
    return nullptr;
}

const GnomeWindowList::Window* GnomeWindowList::window(WindowID id) const {
    for (const Application& app : m_applications) {
        for (const Window& window : app.windows) {
            if (window.info.id == id)
                return &window;
        }
    }
    return nullptr;
}

const GnomeWindowList::Window* GnomeWindowList::focusedWindow() const {
    return m_focused ? window(*m_focused) : nullptr;
}

const GnomeWindowList::Application* GnomeWindowList::focusedApplication() const {
    const Window* focused = focusedWindow();
    if (!focused)
        return nullptr;
    for (const Application& app : m_applications) {
        if (app.appKey == focused->appKey)
            return &app;
    }
    return nullptr;
}

const GnomeWindowList::Window* GnomeWindowList::mainWindow(const Application& application) const {
    if (application.windows.empty())
        return nullptr;
    for (const Window& window : application.windows) {
        if (m_focused && window.info.id == *m_focused)
            return &window;
    }
    for (const Window& window : application.windows) {
        if (!window.info.minimized)
            return &window;
    }
    return &application.windows.front();
}

} // namespace halvo
