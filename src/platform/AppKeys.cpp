// Notifications from the difference between two reports of the running applications.
#include "platform/AppKeys.h"

#include <algorithm>

namespace halvo {
namespace {

// Whether some key of `keys` satisfies `pred`.
template <class Pred> bool any(const std::set<std::string>& keys, Pred pred) {
    return std::any_of(keys.begin(), keys.end(), pred);
}

} // namespace

void AppKeys::add(const std::string& key, bool isHidden) {
    running.insert(key);
    if (isHidden)
        hidden.insert(key);
}

std::vector<WorkspaceNotification> AppKeys::changesSince(const AppKeys& before,
                                                         bool frontMayHaveChanged) const {
    std::vector<WorkspaceNotification> changes;
    if (any(running, [&](const std::string& key) { return !before.running.count(key); }))
        changes.push_back(WorkspaceNotification::didLaunchApplication);
    if (any(before.running, [&](const std::string& key) { return !running.count(key); }))
        changes.push_back(WorkspaceNotification::didTerminateApplication);
    // Hiding and unhiding are changes of applications that run before and after.
    if (any(hidden, [&](const std::string& key) {
            return !before.hidden.count(key) && before.running.count(key);
        }))
        changes.push_back(WorkspaceNotification::didHideApplication);
    if (any(before.hidden,
            [&](const std::string& key) { return !hidden.count(key) && running.count(key); }))
        changes.push_back(WorkspaceNotification::didUnhideApplication);
    if (frontMayHaveChanged && !frontmost.empty() && frontmost != before.frontmost)
        changes.push_back(WorkspaceNotification::didActivateApplication);
    return changes;
}

} // namespace halvo
