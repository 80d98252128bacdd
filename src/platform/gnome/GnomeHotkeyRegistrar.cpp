// Accelerators grabbed through the extension; presses come back as its signals.
#include "platform/gnome/GnomeHotkeyRegistrar.h"

#include "platform/gnome/GnomeEventMonitor.h"
#include "platform/gnome/GnomeShellClient.h"

namespace halvo {
namespace {

constexpr unsigned grabbed = 0;
constexpr unsigned heldByGnome = 1;

const char* arrowName(HotkeyAction action) {
    switch (action) {
    case HotkeyAction::previous:
        return "Left";
    case HotkeyAction::next:
        return "Right";
    case HotkeyAction::enterFullScreen:
        return "Up";
    case HotkeyAction::exitFullScreen:
        return "Down";
    }
    return "";
}

} // namespace

GnomeHotkeyRegistrar::GnomeHotkeyRegistrar(GnomeShellClient& shell, GnomeEventMonitor& monitor)
    : m_shell(shell), m_monitor(monitor) {
    QObject::connect(
        &shell, &GnomeShellClient::shortcutPressed, &shell,
        [this](uint action, bool repeat, uint modifiers) { pressed(action, repeat, modifiers); });
}

GnomeHotkeyRegistrar::~GnomeHotkeyRegistrar() {
    stopListening();
}

std::string GnomeHotkeyRegistrar::accelerator(HotkeyAction action, Modifiers modifiers) {
    std::string text;
    if (modifiers.contains(Modifier::control))
        text += "<Control>";
    if (modifiers.contains(Modifier::alt))
        text += "<Alt>";
    if (modifiers.contains(Modifier::super))
        text += "<Super>";
    if (modifiers.contains(Modifier::shift))
        text += "<Shift>";
    return text + arrowName(action);
}

std::optional<std::string> GnomeHotkeyRegistrar::listen(Handler handler) {
    m_handler = std::move(handler);
    return std::nullopt;
}

void GnomeHotkeyRegistrar::stopListening() {
    for (const auto& [ref, action] : m_grabbed)
        m_shell.ungrabShortcut(static_cast<unsigned>(action));
    m_grabbed.clear();
    m_handler = nullptr;
}

HotkeyRegistrar::Registration GnomeHotkeyRegistrar::registerShortcut(HotkeyAction action,
                                                                     Modifiers modifiers) {
    if (modifiers.isEmpty())
        return {RegistrationResult::failed, 0};
    const std::optional<unsigned> result =
        m_shell.grabShortcut(static_cast<unsigned>(action), accelerator(action, modifiers));
    if (result == heldByGnome)
        return {RegistrationResult::takenByConfiguration, 0};
    if (result != grabbed)
        return {RegistrationResult::failed, 0};
    // The extension keeps one grab per arrow: a new one replaces the old.
    std::erase_if(m_grabbed, [&](const auto& entry) { return entry.second == action; });
    const ShortcutRef ref = m_nextRef++;
    m_grabbed.emplace(ref, action);
    return {RegistrationResult::registered, ref};
}

void GnomeHotkeyRegistrar::unregisterShortcut(ShortcutRef ref) {
    const auto it = m_grabbed.find(ref);
    if (it == m_grabbed.end())
        return;
    m_shell.ungrabShortcut(static_cast<unsigned>(it->second));
    m_grabbed.erase(it);
}

void GnomeHotkeyRegistrar::pressed(uint action, bool repeat, uint modifiers) {
    if (repeat || !m_handler)
        return;
    for (const auto& [ref, grabbedAction] : m_grabbed) {
        if (static_cast<uint>(grabbedAction) != action)
            continue;
        m_monitor.shortcutPressed(Modifiers::fromBits(modifiers));
        m_handler({Event::Kind::pressed, grabbedAction, 0});
        return;
    }
}

} // namespace halvo
