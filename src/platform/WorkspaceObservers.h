// The observers added to a Workspace, each under its token, and the delivery of a notification to
// those of its name: what every real workspace backend keeps the same way.
#pragma once

#include "platform/Workspace.h"

#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace halvo {

class WorkspaceObservers {
public:
    ObserverToken add(WorkspaceNotification name, std::function<void()> handler);
    void remove(ObserverToken token);

    // Calls the observers of `name` present now, in the order they were added; a handler may
    // remove observers, its own included, and a removed one is not called.
    void notify(WorkspaceNotification name);
    void notify(const std::vector<WorkspaceNotification>& names);

private:
    ObserverToken m_nextToken = 1;
    std::map<ObserverToken, std::pair<WorkspaceNotification, std::function<void()>>> m_observers;
};

} // namespace halvo
