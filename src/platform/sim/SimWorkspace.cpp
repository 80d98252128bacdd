// Workspace requests answered from the simulated desktop's state.
#include "platform/sim/SimWorkspace.h"

#include "platform/sim/SimDesktop.h"

#include <mutex>
#include <utility>

namespace halvo {

std::vector<RunningApplication> SimWorkspace::runningApplications() {
    std::lock_guard lock(m_desktop.m_mutex);
    std::vector<RunningApplication> result;
    for (const auto& app : m_desktop.m_apps)
        result.push_back(*m_desktop.snapshot(app.attributes.pid));
    return result;
}

std::optional<RunningApplication> SimWorkspace::runningApplication(ProcessID pid) {
    std::lock_guard lock(m_desktop.m_mutex);
    return m_desktop.snapshot(pid);
}

std::optional<RunningApplication> SimWorkspace::frontmostApplication() {
    std::lock_guard lock(m_desktop.m_mutex);
    if (!m_desktop.m_frontmost)
        return std::nullopt;
    return m_desktop.snapshot(*m_desktop.m_frontmost);
}

void SimWorkspace::unhide(ProcessID pid) {
    bool changed = false;
    {
        std::lock_guard lock(m_desktop.m_mutex);
        m_desktop.m_unhides.push_back(pid);
        if (auto* app = m_desktop.findApp(pid); app && app->attributes.hidden) {
            app->attributes.hidden = false;
            changed = true;
        }
    }
    if (changed)
        m_desktop.notify(WorkspaceNotification::didUnhideApplication);
}

void SimWorkspace::openApplication(ProcessID pid, OpenCompletion completion) {
    bool immediate = false;
    {
        std::lock_guard lock(m_desktop.m_mutex);
        m_desktop.m_opens.push_back(pid);
        m_desktop.m_pendingOpens.push_back({pid, std::move(completion)});
        immediate = m_desktop.m_openMode == SimDesktop::OpenMode::immediate;
    }
    if (immediate)
        m_desktop.completeOpen(m_desktop.pendingOpenCount() - 1);
}

bool SimWorkspace::activate(ProcessID pid) {
    bool changed = false;
    {
        std::lock_guard lock(m_desktop.m_mutex);
        m_desktop.m_activations.push_back(pid);
        auto* app = m_desktop.findApp(pid);
        if (!app || app->terminated)
            return false;
        if (!app->attributes.refusesActivation)
            changed = m_desktop.makeFrontmost(pid);
    }
    if (changed)
        m_desktop.notify(WorkspaceNotification::didActivateApplication);
    return true;
}

bool SimWorkspace::openURL(const std::string& url) {
    std::lock_guard lock(m_desktop.m_mutex);
    m_desktop.m_urls.push_back(url);
    return true;
}

ObserverToken SimWorkspace::addObserver(WorkspaceNotification name, std::function<void()> handler) {
    std::lock_guard lock(m_desktop.m_mutex);
    const ObserverToken token = m_desktop.m_nextObserver++;
    m_desktop.m_observers.emplace(token, std::make_pair(name, std::move(handler)));
    return token;
}

void SimWorkspace::removeObserver(ObserverToken token) {
    std::lock_guard lock(m_desktop.m_mutex);
    m_desktop.m_observers.erase(token);
}

} // namespace halvo
