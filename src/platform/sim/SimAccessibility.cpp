// Accessibility calls answered from the simulated windows, with injected failures.
#include "platform/sim/SimAccessibility.h"

#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <mutex>

namespace halvo {
namespace {

using Op = SimDesktop::AXOperation;

AXElement elementOf(ProcessID pid, std::uint64_t window) {
    return {AXElement::Kind::window, pid, window};
}

} // namespace

bool SimAccessibility::isProcessTrusted() {
    std::lock_guard lock(m_desktop.m_mutex);
    return m_desktop.m_trusted;
}

bool SimAccessibility::isProcessTrustedWithPrompt() {
    std::lock_guard lock(m_desktop.m_mutex);
    if (!m_desktop.m_trusted)
        ++m_desktop.m_prompts;
    return m_desktop.m_trusted;
}

AXElement SimAccessibility::createApplication(ProcessID pid) {
    std::lock_guard lock(m_desktop.m_mutex);
    ++m_desktop.m_axCalls;
    return {AXElement::Kind::application, pid, 0};
}

AXError SimAccessibility::setMessagingTimeout(const AXElement& element, float seconds) {
    std::lock_guard lock(m_desktop.m_mutex);
    ++m_desktop.m_axCalls;
    m_desktop.m_timeouts.emplace_back(element, seconds);
    return kAXErrorSuccess;
}

AXError SimAccessibility::copyAttributeValue(const AXElement& element, std::string_view attribute,
                                             AXValue& value) {
    std::lock_guard lock(m_desktop.m_mutex);
    ++m_desktop.m_axCalls;
    value = std::monostate{};
    if (auto failure = m_desktop.injectedFailure(element, Op::copy, attribute))
        return *failure;
    if (auto found =
            m_desktop.m_overrides.find({element.pid, element.window, std::string(attribute)});
        found != m_desktop.m_overrides.end()) {
        value = found->second;
        return kAXErrorSuccess;
    }

    if (element.kind == AXElement::Kind::application) {
        if (!m_desktop.findApp(element.pid))
            return kAXErrorCannotComplete;
        const auto windows = m_desktop.windowsOf(element.pid);
        if (attribute == ax::role) {
            value = std::string("AXApplication");
            return kAXErrorSuccess;
        }
        if (attribute == ax::windows) {
            std::vector<AXElement> list;
            for (const auto* window : windows)
                list.push_back(elementOf(window->pid, window->id));
            value = std::move(list);
            return kAXErrorSuccess;
        }
        if (attribute == ax::mainWindow || attribute == ax::focusedWindow) {
            const bool main = attribute == ax::mainWindow;
            for (const auto* window : windows) {
                if (main ? window->attributes.main : window->attributes.focused) {
                    value = elementOf(window->pid, window->id);
                    return kAXErrorSuccess;
                }
            }
            return kAXErrorNoValue;
        }
        return kAXErrorAttributeUnsupported;
    }

    const auto* window = m_desktop.findWindow(element.window);
    if (!window)
        return kAXErrorInvalidUIElement;
    const SimWindowAttributes& attributes = window->attributes;
    if (attribute == ax::role) {
        value = attributes.role;
    } else if (attribute == ax::subrole) {
        if (!attributes.subrole)
            return kAXErrorNoValue;
        value = *attributes.subrole;
    } else if (attribute == ax::minimized) {
        value = attributes.minimized;
    } else if (attribute == ax::main) {
        value = attributes.main;
    } else if (attribute == ax::fullScreen) {
        if (!attributes.fullScreen)
            return kAXErrorAttributeUnsupported;
        value = *attributes.fullScreen;
    } else if (attribute == ax::position) {
        value = attributes.frame.origin();
    } else if (attribute == ax::size) {
        value = attributes.frame.size();
    } else {
        return kAXErrorAttributeUnsupported;
    }
    return kAXErrorSuccess;
}

AXError SimAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                            const AXValue& value) {
    std::lock_guard lock(m_desktop.m_mutex);
    ++m_desktop.m_axCalls;
    m_desktop.m_writes.push_back({element, std::string(attribute), value});
    if (auto failure = m_desktop.injectedFailure(element, Op::set, attribute))
        return *failure;

    if (element.kind == AXElement::Kind::application) {
        if (!m_desktop.findApp(element.pid))
            return kAXErrorCannotComplete;
        if (attribute != ax::focusedWindow || !std::holds_alternative<AXElement>(value))
            return kAXErrorAttributeUnsupported;
        const AXElement& target = std::get<AXElement>(value);
        auto* focused = m_desktop.findWindow(target.window);
        if (!focused || focused->pid != element.pid)
            return kAXErrorIllegalArgument;
        for (auto* window : m_desktop.windowsOf(element.pid))
            window->attributes.focused = window == focused;
        return kAXErrorSuccess;
    }

    auto* window = m_desktop.findWindow(element.window);
    if (!window)
        return kAXErrorInvalidUIElement;
    SimWindowAttributes& attributes = window->attributes;
    if (attribute == ax::minimized && std::holds_alternative<bool>(value)) {
        attributes.minimized = std::get<bool>(value);
    } else if (attribute == ax::main && std::holds_alternative<bool>(value)) {
        if (!std::get<bool>(value))
            return kAXErrorIllegalArgument;
        for (auto* other : m_desktop.windowsOf(window->pid))
            other->attributes.main = other == window;
    } else if (attribute == ax::fullScreen && std::holds_alternative<bool>(value)) {
        if (!attributes.fullScreen || !attributes.fullScreenSettable)
            return kAXErrorAttributeUnsupported;
        attributes.fullScreen = std::get<bool>(value);
    } else if (attribute == ax::position && std::holds_alternative<Point>(value)) {
        if (!attributes.positionSettable)
            return kAXErrorCannotComplete;
        if (!attributes.ignoresMoves) {
            attributes.frame.x = std::get<Point>(value).x;
            attributes.frame.y = std::get<Point>(value).y;
        }
    } else if (attribute == ax::size && std::holds_alternative<Size>(value)) {
        if (!attributes.sizeSettable)
            return kAXErrorCannotComplete;
        if (!attributes.ignoresResizes) {
            attributes.frame.width = std::get<Size>(value).width;
            attributes.frame.height = std::get<Size>(value).height;
        }
    } else {
        return kAXErrorAttributeUnsupported;
    }
    return kAXErrorSuccess;
}

AXError SimAccessibility::isAttributeSettable(const AXElement& element, std::string_view attribute,
                                              bool& settable) {
    std::lock_guard lock(m_desktop.m_mutex);
    ++m_desktop.m_axCalls;
    settable = false;
    if (auto failure = m_desktop.injectedFailure(element, Op::settable, attribute))
        return *failure;
    if (element.kind == AXElement::Kind::application) {
        if (!m_desktop.findApp(element.pid))
            return kAXErrorCannotComplete;
        settable = attribute == ax::focusedWindow;
        return kAXErrorSuccess;
    }
    const auto* window = m_desktop.findWindow(element.window);
    if (!window)
        return kAXErrorInvalidUIElement;
    const SimWindowAttributes& attributes = window->attributes;
    if (attribute == ax::position)
        settable = attributes.positionSettable;
    else if (attribute == ax::size)
        settable = attributes.sizeSettable;
    else if (attribute == ax::fullScreen && !attributes.fullScreen)
        return kAXErrorAttributeUnsupported;
    else if (attribute == ax::fullScreen)
        settable = attributes.fullScreenSettable;
    else if (attribute == ax::minimized || attribute == ax::main)
        settable = true;
    return kAXErrorSuccess;
}

AXError SimAccessibility::performAction(const AXElement& element, std::string_view action) {
    std::lock_guard lock(m_desktop.m_mutex);
    ++m_desktop.m_axCalls;
    if (auto failure = m_desktop.injectedFailure(element, Op::perform, action))
        return *failure;
    if (action != ax::raise || element.kind != AXElement::Kind::window)
        return kAXErrorActionUnsupported;
    auto& windows = m_desktop.m_windows;
    const auto found = std::find_if(windows.begin(), windows.end(), [&](const auto& window) {
        return window.id == element.window;
    });
    if (found == windows.end())
        return kAXErrorInvalidUIElement;
    m_desktop.m_raises.push_back(element);
    // Front of the application's order: ahead of every other window.
    std::rotate(windows.begin(), found, found + 1);
    return kAXErrorSuccess;
}

} // namespace halvo
