// Grouping sway's layout tree into applications, see SwayClientList.h.
#include "platform/sway/SwayClientList.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace halvo {
namespace {

// The children in focus order: those the node lists as most recently focused first, then the
// others in layout order.
std::vector<const I3Node*> byFocus(const I3Node& node) {
    std::unordered_map<std::int64_t, std::size_t> rank;
    for (std::size_t i = 0; i < node.focusOrder.size(); ++i)
        rank.emplace(node.focusOrder[i], i);
    std::vector<const I3Node*> ordered;
    for (const I3Node& child : node.children)
        ordered.push_back(&child);
    const auto rankOf = [&](const I3Node* child) {
        const auto found = rank.find(child->id);
        return found == rank.end() ? rank.size() : found->second;
    };
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&](const I3Node* a, const I3Node* b) { return rankOf(a) < rankOf(b); });
    return ordered;
}

// The application's oldest window (sway numbers containers in creation order): its process
// stays the application's for as long as the window lives, whatever gets the focus.
const SwayClientList::Window& oldest(const std::vector<SwayClientList::Window>& windows) {
    return *std::min_element(windows.begin(), windows.end(),
                             [](const auto& a, const auto& b) { return a.id < b.id; });
}

bool hasFocusedNode(const I3Node& node) {
    return node.focused || std::any_of(node.children.begin(), node.children.end(), hasFocusedNode);
}

} // namespace

bool SwayClientList::Application::hidden() const {
    return !windows.empty() && std::all_of(windows.begin(), windows.end(),
                                           [](const Window& w) { return w.scratchpad; });
}

WindowInfo::Kind SwayClientList::kindOf(const std::string& windowType) {
    if (windowType.empty() || windowType == "normal" || windowType == "unknown")
        return WindowInfo::Kind::normal;
    if (windowType == "dialog")
        return WindowInfo::Kind::dialog;
    if (windowType == "dock" || windowType == "desktop")
        return WindowInfo::Kind::desktop;
    return WindowInfo::Kind::other;
}

void SwayClientList::collect(const I3Node& node, const std::string& output, bool scratchpad,
                             bool onFocusPath) {
    if (node.type == "output" && node.name != "__i3") {
        // The workspace shown is the one the output focused last.
        std::string shown = node.currentWorkspace;
        const std::vector<const I3Node*> workspaces = byFocus(node);
        if (shown.empty() && !workspaces.empty() && workspaces.front()->type == "workspace")
            shown = workspaces.front()->name;
        m_outputs.push_back({node.name, node.rect, shown});
    }
    if (node.type == "workspace" && node.name == scratchpadWorkspace)
        scratchpad = true;
    if (node.holdsWindow()) {
        Window window;
        window.id = node.id;
        window.appKey = !node.appId.empty() ? node.appId : node.windowClass;
        window.instance = node.windowInstance;
        window.pid = node.pid;
        window.kind = kindOf(node.windowType);
        window.frame = {node.rect.x, node.rect.y - node.titleHeight, node.rect.width,
                        node.rect.height + node.titleHeight};
        window.output = scratchpad ? std::string() : output;
        window.floating = node.floating;
        window.focused = node.focused || onFocusPath;
        window.scratchpad = scratchpad;
        window.fullScreen = node.fullScreenMode != 0;
        m_windows.push_back(std::move(window));
    }
    const std::string& inside = node.type == "output" ? node.name : output;
    // The focus path goes on into the child focused last; it ends at a focused node (a window
    // or an empty workspace that has the focus itself).
    const bool pathGoesOn = onFocusPath && !node.focused && !node.focusOrder.empty();
    for (const I3Node* child : byFocus(node))
        collect(*child, inside, scratchpad, pathGoesOn && child->id == node.focusOrder.front());
}

SwayClientList SwayClientList::fromTree(const I3Node& root, ProcessID ownPid) {
    SwayClientList list;
    list.collect(root, {}, false, !hasFocusedNode(root));
    std::map<std::string, std::size_t> byKey;
    for (const Window& window : list.m_windows) {
        if (window.appKey.empty())
            continue; // nothing to group it by
        auto [found, inserted] = byKey.emplace(window.appKey, list.m_applications.size());
        if (inserted)
            list.m_applications.push_back({window.appKey, 0, false, false, {}});
        list.m_applications[found->second].windows.push_back(window);
    }
    // Process identifiers: the oldest window's own, when no other application claims the same
    // one (one process may serve windows of several app_ids).
    std::map<ProcessID, int> claims;
    for (const Application& app : list.m_applications) {
        if (const ProcessID pid = oldest(app.windows).pid; pid > 0)
            ++claims[pid];
    }
    for (Application& app : list.m_applications) {
        const ProcessID candidate = oldest(app.windows).pid;
        app.pid = candidate > 0 && claims[candidate] == 1 ? candidate : syntheticPid(app.appKey);
        app.own = std::any_of(app.windows.begin(), app.windows.end(),
                              [&](const Window& w) { return w.pid == ownPid; });
        app.regular =
            !app.own && std::any_of(app.windows.begin(), app.windows.end(), [](const Window& w) {
                return w.kind == WindowInfo::Kind::normal;
            });
    }
    return list;
}

void SwayClientList::orderByUse(const std::vector<std::int64_t>& recentFirst) {
    std::unordered_map<std::int64_t, std::size_t> rank;
    for (std::size_t i = 0; i < recentFirst.size(); ++i)
        rank.emplace(recentFirst[i], i + 1);
    // The focused window leads even before its focus event has been handed over.
    const auto rankOf = [&](const Window& window) {
        if (window.focused)
            return std::size_t{0};
        const auto found = rank.find(window.id);
        return found == rank.end() ? recentFirst.size() + 1 : found->second;
    };
    const auto byUse = [&](const Window& a, const Window& b) { return rankOf(a) < rankOf(b); };
    std::stable_sort(m_windows.begin(), m_windows.end(), byUse);
    for (Application& app : m_applications)
        std::stable_sort(app.windows.begin(), app.windows.end(), byUse);
}

const SwayClientList::Application* SwayClientList::find(ProcessID pid) const {
    for (const Application& app : m_applications) {
        if (app.pid == pid)
            return &app;
    }
    return nullptr;
}

const SwayClientList::Application* SwayClientList::owner(std::int64_t conId) const {
    for (const Application& app : m_applications) {
        for (const Window& w : app.windows) {
            if (w.id == conId)
                return &app;
        }
    }
    return nullptr;
}

const SwayClientList::Window* SwayClientList::window(std::int64_t conId) const {
    for (const Window& w : m_windows) {
        if (w.id == conId)
            return &w;
    }
    return nullptr;
}

const SwayClientList::Window* SwayClientList::focusedWindow() const {
    for (const Window& w : m_windows) {
        if (w.focused)
            return &w;
    }
    return nullptr;
}

const SwayClientList::Window* SwayClientList::mainWindow(const Application& application) const {
    if (application.windows.empty())
        return nullptr;
    for (const Window& w : application.windows) {
        if (w.focused)
            return &w;
    }
    for (const Window& w : application.windows) {
        if (!w.scratchpad)
            return &w;
    }
    return &application.windows.front();
}

ProcessID SwayClientList::syntheticPid(const std::string& appKey) {
    // FNV-1a, as on X11: stable across runs and threads, so no table needs sharing.
    std::uint32_t hash = 2166136261u;
    for (const unsigned char ch : appKey) {
        hash ^= ch;
        hash *= 16777619u;
    }
    return -1 - static_cast<ProcessID>(hash & 0x3FFFFFFF);
}

} // namespace halvo
