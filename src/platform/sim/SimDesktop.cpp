// State and test controls of the simulated desktop.
#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace halvo {

SimDesktop::SimDesktop() : m_workspace(*this), m_windowControl(*this) {}

void SimDesktop::launch(SimAppAttributes attributes) {
    {
        std::lock_guard lock(m_mutex);
        assert(!findApp(attributes.pid) && "one application per process identifier");
        m_apps.push_back({std::move(attributes), false});
    }
    notify(WorkspaceNotification::didLaunchApplication);
}

void SimDesktop::quit(ProcessID pid) {
    bool wasFrontmost = false;
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_apps, [&](const App& app) { return app.attributes.pid == pid; });
        std::erase_if(m_windows, [&](const Window& window) { return window.pid == pid; });
        wasFrontmost = m_frontmost == pid;
        if (wasFrontmost)
            m_frontmost.reset();
    }
    notify(WorkspaceNotification::didTerminateApplication);
}

void SimDesktop::markTerminated(ProcessID pid) {
    std::lock_guard lock(m_mutex);
    if (App* app = findApp(pid))
        app->terminated = true;
}

void SimDesktop::bringToFront(std::optional<ProcessID> pid) {
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = makeFrontmost(pid);
    }
    if (changed)
        notify(WorkspaceNotification::didActivateApplication);
}

std::optional<ProcessID> SimDesktop::frontmostPid() const {
    std::lock_guard lock(m_mutex);
    return m_frontmost;
}

void SimDesktop::setHidden(ProcessID pid, bool hidden) {
    {
        std::lock_guard lock(m_mutex);
        App* app = findApp(pid);
        if (!app || app->attributes.hidden == hidden)
            return;
        app->attributes.hidden = hidden;
    }
    notify(hidden ? WorkspaceNotification::didHideApplication
                  : WorkspaceNotification::didUnhideApplication);
}

bool SimDesktop::isHidden(ProcessID pid) const {
    std::lock_guard lock(m_mutex);
    const App* app = findApp(pid);
    return app && app->attributes.hidden;
}

std::uint64_t SimDesktop::addWindow(ProcessID pid, SimWindowAttributes attributes) {
    std::lock_guard lock(m_mutex);
    const std::uint64_t id = m_nextWindowID++;
    m_windows.push_back({id, pid, std::move(attributes)});
    return id;
}

void SimDesktop::removeWindow(std::uint64_t window) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_windows, [&](const Window& w) { return w.id == window; });
}

SimWindowAttributes& SimDesktop::window(std::uint64_t window) {
    std::lock_guard lock(m_mutex);
    Window* found = findWindow(window);
    assert(found && "no such window");
    return found->attributes;
}

std::vector<std::uint64_t> SimDesktop::windowOrder(ProcessID pid) const {
    std::lock_guard lock(m_mutex);
    std::vector<std::uint64_t> order;
    for (const Window& w : m_windows) {
        if (w.pid == pid)
            order.push_back(w.id);
    }
    return order;
}

void SimDesktop::failWindow(std::uint64_t window, WindowOperation operation, WindowResult result) {
    std::lock_guard lock(m_mutex);
    m_failures[{window, operation}] = result;
}

void SimDesktop::failWindowReads(ProcessID pid) {
    std::lock_guard lock(m_mutex);
    m_unreadable.push_back(pid);
}

void SimDesktop::setOpenMode(OpenMode mode) {
    std::lock_guard lock(m_mutex);
    m_openMode = mode;
}

std::size_t SimDesktop::pendingOpenCount() const {
    std::lock_guard lock(m_mutex);
    return m_pendingOpens.size();
}

void SimDesktop::completeOpen(std::size_t index) {
    finishOpen(index, true, std::nullopt);
}

void SimDesktop::failOpen(std::size_t index, std::optional<std::string> error) {
    finishOpen(index, false, std::move(error));
}

void SimDesktop::finishOpen(std::size_t index, bool success, std::optional<std::string> error) {
    OpenRequest request;
    std::optional<RunningApplication> application;
    bool activated = false;
    {
        std::lock_guard lock(m_mutex);
        assert(index < m_pendingOpens.size() && "no such open request");
        request = std::move(m_pendingOpens[index]);
        m_pendingOpens.erase(m_pendingOpens.begin() + static_cast<std::ptrdiff_t>(index));
        if (success) {
            application = snapshot(request.pid);
            if (App* app = findApp(request.pid)) {
                app->attributes.hidden = false;
                if (!app->attributes.refusesActivation)
                    activated = makeFrontmost(request.pid);
            }
        }
    }
    if (activated)
        notify(WorkspaceNotification::didActivateApplication);
    request.completion(std::move(application), std::move(error));
}

void SimDesktop::setWindowManagerRunning(bool running) {
    std::lock_guard lock(m_mutex);
    m_windowManagerRunning = running;
}

void SimDesktop::setNotificationQueue(MainQueue* queue) {
    std::lock_guard lock(m_mutex);
    m_notificationQueue = queue;
}

std::vector<ProcessID> SimDesktop::activations() const {
    std::lock_guard lock(m_mutex);
    return m_activations;
}

std::vector<ProcessID> SimDesktop::opens() const {
    std::lock_guard lock(m_mutex);
    return m_opens;
}

std::vector<ProcessID> SimDesktop::unhides() const {
    std::lock_guard lock(m_mutex);
    return m_unhides;
}

std::vector<std::uint64_t> SimDesktop::raises() const {
    std::lock_guard lock(m_mutex);
    return m_raises;
}

std::vector<SimDesktop::WindowRequest> SimDesktop::windowRequests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> SimDesktop::openedURLs() const {
    std::lock_guard lock(m_mutex);
    return m_urls;
}

std::size_t SimDesktop::windowReadCount() const {
    std::lock_guard lock(m_mutex);
    return m_windowReads;
}

SimDesktop::App* SimDesktop::findApp(ProcessID pid) {
    for (App& app : m_apps) {
        if (app.attributes.pid == pid)
            return &app;
    }
    return nullptr;
}

const SimDesktop::App* SimDesktop::findApp(ProcessID pid) const {
    return const_cast<SimDesktop*>(this)->findApp(pid);
}

SimDesktop::Window* SimDesktop::findWindow(std::uint64_t id) {
    for (Window& window : m_windows) {
        if (window.id == id)
            return &window;
    }
    return nullptr;
}

std::vector<SimDesktop::Window*> SimDesktop::windowsOf(ProcessID pid) {
    std::vector<Window*> result;
    for (Window& window : m_windows) {
        if (window.pid == pid)
            result.push_back(&window);
    }
    return result;
}

std::optional<RunningApplication> SimDesktop::snapshot(ProcessID pid) const {
    const App* app = findApp(pid);
    if (!app)
        return std::nullopt;
    RunningApplication result;
    result.processIdentifier = app->attributes.pid;
    result.bundleIdentifier = app->attributes.bundleIdentifier;
    result.localizedName = app->attributes.name;
    result.icon = app->attributes.icon;
    result.activationPolicy = app->attributes.activationPolicy;
    result.isTerminated = app->terminated;
    result.isHidden = app->attributes.hidden;
    result.hasBundleURL = app->attributes.hasBundleURL;
    return result;
}

std::optional<WindowResult> SimDesktop::injectedFailure(std::uint64_t window,
                                                        WindowOperation operation) const {
    const auto found = m_failures.find({window, operation});
    if (found == m_failures.end())
        return std::nullopt;
    return found->second;
}

bool SimDesktop::makeFrontmost(std::optional<ProcessID> pid) {
    if (m_frontmost == pid)
        return false;
    m_frontmost = pid;
    return true;
}

void SimDesktop::notify(WorkspaceNotification name) {
    std::vector<ObserverToken> tokens;
    MainQueue* queue = nullptr;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [token, entry] : m_observers) {
            if (entry.first == name)
                tokens.push_back(token);
        }
        queue = m_notificationQueue;
    }
    for (ObserverToken token : tokens) {
        // An observer removed before its turn is not called.
        auto deliver = [this, token] {
            std::function<void()> handler;
            {
                std::lock_guard lock(m_mutex);
                const auto found = m_observers.find(token);
                if (found == m_observers.end())
                    return;
                handler = found->second.second;
            }
            handler();
        };
        if (queue)
            queue->post(deliver);
        else
            deliver();
    }
}

} // namespace halvo
