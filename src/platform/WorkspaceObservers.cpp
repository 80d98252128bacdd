// Adding, removing and notifying a workspace's observers.
#include "platform/WorkspaceObservers.h"

namespace halvo {

ObserverToken WorkspaceObservers::add(WorkspaceNotification name, std::function<void()> handler) {
    const ObserverToken token = m_nextToken++;
    m_observers.emplace(token, std::make_pair(name, std::move(handler)));
    return token;
}

void WorkspaceObservers::remove(ObserverToken token) {
    m_observers.erase(token);
}

void WorkspaceObservers::notify(WorkspaceNotification name) {
    std::vector<ObserverToken> tokens;
    for (const auto& [token, entry] : m_observers) {
        if (entry.first == name)
            tokens.push_back(token);
    }
    for (ObserverToken token : tokens) {
        const auto found = m_observers.find(token);
        if (found == m_observers.end())
            continue;
        // A copy: the handler may remove itself.
        auto handler = found->second.second;
        handler();
    }
}

void WorkspaceObservers::notify(const std::vector<WorkspaceNotification>& names) {
    for (WorkspaceNotification name : names)
        notify(name);
}

} // namespace halvo
