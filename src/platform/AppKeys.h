// The applications a workspace backend last reported, each by its key (the WM_CLASS class on X11,
// the app_id on sway): which run, which are hidden, which is in front; and the notifications a
// change from one report to the next calls for.
#pragma once

#include "platform/Workspace.h"

#include <set>
#include <string>
#include <vector>

namespace halvo {

struct AppKeys {
    std::set<std::string> running;
    std::set<std::string> hidden;
    std::string frontmost; // empty when no application is in front

    void add(const std::string& key, bool isHidden);

    // What observers hear going from `before` to these keys, in the order they hear it. A new
    // application in front counts as activated only when `frontMayHaveChanged` (a backend that
    // knows the front did not change passes false, so a re-read never reports an activation).
    std::vector<WorkspaceNotification> changesSince(const AppKeys& before,
                                                    bool frontMayHaveChanged = true) const;
};

} // namespace halvo
