// Runtime bindings over sway's IPC, the user's configuration read for conflicts, binding events
// turned into hot key events.
#include "platform/sway/SwayHotkeyRegistrar.h"

#include "platform/i3ipc/I3ConfigBindings.h"
#include "platform/i3ipc/I3IpcError.h"
#include "platform/linux/LatencyTrace.h"
#include "platform/sway/SwayBindingRecord.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace halvo {
namespace {

// Every binding Halvo makes runs "nop halvo press|release ACTION MODIFIERS".
constexpr const char* commandPrefix = "nop halvo";

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

// The arrow's keycode on every evdev keyboard (xkb numbering), for `bindcode` lines.
const char* arrowKeycode(HotkeyAction action) {
    switch (action) {
    case HotkeyAction::previous:
        return "113";
    case HotkeyAction::next:
        return "114";
    case HotkeyAction::enterFullScreen:
        return "111";
    case HotkeyAction::exitFullScreen:
        return "116";
    }
    return "";
}

std::uint8_t swayModifiers(Modifiers modifiers) {
    std::uint8_t mask = 0;
    if (modifiers.contains(Modifier::control))
        mask |= I3KeyBinding::control;
    if (modifiers.contains(Modifier::alt))
        mask |= I3KeyBinding::mod1;
    if (modifiers.contains(Modifier::super))
        mask |= I3KeyBinding::mod4;
    if (modifiers.contains(Modifier::shift))
        mask |= I3KeyBinding::shift;
    return mask;
}

std::string bindingCommand(const char* kind, HotkeyAction action, Modifiers modifiers) {
    return std::string(commandPrefix) + " " + kind + " " + name(action) + " " +
           std::to_string(modifiers.bits());
}

std::optional<HotkeyAction> actionNamed(const std::string& text) {
    for (HotkeyAction action : allHotkeyActions) {
        if (text == name(action))
            return action;
    }
    return std::nullopt;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

SwayHotkeyRegistrar::SwayHotkeyRegistrar(std::string socketPath, LayerKeyboardMonitor& monitor,
                                         std::string recordPath, Log& log)
    : m_socketPath(std::move(socketPath)), m_monitor(monitor), m_recordPath(std::move(recordPath)),
      m_log(log) {}

SwayHotkeyRegistrar::~SwayHotkeyRegistrar() {
    removeAll();
}

std::string SwayHotkeyRegistrar::defaultRecordPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return {};
    return std::string(runtime) + "/halvo-sway-bindings";
}

std::string SwayHotkeyRegistrar::combination(HotkeyAction action, Modifiers modifiers) {
    std::string text;
    if (modifiers.contains(Modifier::control))
        text += "Ctrl+";
    if (modifiers.contains(Modifier::alt))
        text += "Mod1+";
    if (modifiers.contains(Modifier::super))
        text += "Mod4+";
    if (modifiers.contains(Modifier::shift))
        text += "Shift+";
    return text + arrowName(action);
}

I3IpcClient& SwayHotkeyRegistrar::client() {
    if (!m_client)
        m_client = std::make_unique<I3IpcClient>(m_socketPath, I3IpcClient::setupTimeout);
    return *m_client;
}

// A connection that broke (a timeout, a restarted sway) is made again once.
std::vector<I3CommandResult> SwayHotkeyRegistrar::run(const std::string& commands) {
    try {
        return client().runCommand(commands);
    } catch (const I3IpcError&) {
        m_client.reset();
    }
    return client().runCommand(commands);
}

std::optional<std::string> SwayHotkeyRegistrar::listen(Handler handler) {
    if (!handler)
        return "no handler";
    if (!m_events) {
        auto events = std::make_unique<SwayIpcEvents>(
            m_socketPath, std::vector<std::string>{"binding", "workspace"}, &m_log);
        if (!events->ok())
            return "cannot subscribe to sway's binding events: " + events->error();
        events->on("binding", [this](const nlohmann::json& event) { handleBinding(event); });
        events->on("workspace", [this](const nlohmann::json& event) {
            if (event.is_object() && event.value("change", "") == "reload")
                reloaded();
        });
        m_events = std::move(events);
    }
    m_handler = std::move(handler);
    removeLeftovers();
    return std::nullopt;
}

void SwayHotkeyRegistrar::stopListening() {
    removeAll();
    m_taken.clear();
    m_handler = nullptr;
    m_events.reset();
}

HotkeyRegistrar::Registration SwayHotkeyRegistrar::registerShortcut(HotkeyAction action,
                                                                    Modifiers modifiers) {
    m_bindingsAccepted = false;
    if (modifiers.isEmpty())
        return {RegistrationResult::failed, 0};
    const std::string text = combination(action, modifiers);
    auto bound = m_bound.find(text);
    if (bound == m_bound.end()) {
        try {
            if (configurationTakes(action, modifiers)) {
                m_bindingsAccepted = true;
                m_taken[text] = HotKey{action, modifiers};
                return {RegistrationResult::takenByConfiguration, 0};
            }
            if (!bind(action, modifiers))
                return {RegistrationResult::failed, 0};
        } catch (const I3IpcError& error) {
            m_log.write("Halvo: Could not reach sway to bind " + text + ": " + error.what());
            return {RegistrationResult::failed, 0};
        }
        bound = m_bound.emplace(text, Bound{action, modifiers, 0}).first;
        m_taken.erase(text);
        writeRecord();
    }
    ++bound->second.users;
    m_bindingsAccepted = true;
    const ShortcutRef ref = m_nextRef++;
    m_hotKeys.emplace(ref, HotKey{action, modifiers});
    return {RegistrationResult::registered, ref};
}

void SwayHotkeyRegistrar::unregisterShortcut(ShortcutRef ref) {
    const auto hotKey = m_hotKeys.find(ref);
    if (hotKey == m_hotKeys.end())
        return;
    const std::string text = combination(hotKey->second.action, hotKey->second.modifiers);
    m_hotKeys.erase(hotKey);
    const auto bound = m_bound.find(text);
    if (bound == m_bound.end() || --bound->second.users > 0)
        return;
    m_bound.erase(bound);
    unbind(text);
    writeRecord();
}

// get_config gives the main file's text only; its includes are read from the disk as sway read
// them (Halvo runs as the session's user).
bool SwayHotkeyRegistrar::configurationTakes(HotkeyAction action, Modifiers modifiers) {
    const auto config =
        nlohmann::json::parse(client().request(I3IpcMessage::Type::getConfig), nullptr, false);
    const auto version =
        nlohmann::json::parse(client().request(I3IpcMessage::Type::getVersion), nullptr, false);
    if (!config.is_object() || !config.contains("config") || !config["config"].is_string())
        throw I3IpcError("sway's get_config reply holds no configuration");
    std::string& path = m_configPath;
    path.clear();
    if (version.is_object() && version.contains("loaded_config_file_name") &&
        version["loaded_config_file_name"].is_string())
        path = version["loaded_config_file_name"].get<std::string>();

    const std::uint8_t mask = swayModifiers(modifiers);
    const std::vector<std::string> symbol = {lowered(arrowName(action))};
    const std::vector<std::string> code = {arrowKeycode(action)};
    const std::vector<I3KeyBinding> bindings = I3ConfigBindings::parse(
        config["config"].get<std::string>(), path, I3ConfigBindings::fileReader());
    return std::any_of(bindings.begin(), bindings.end(), [&](const I3KeyBinding& binding) {
        return binding.mode == "default" && binding.modifiers == mask &&
               binding.keys == (binding.kind == I3KeyBinding::Kind::symbol ? symbol : code);
    });
}

std::string SwayHotkeyRegistrar::configurationName() const {
    return "the user's sway configuration" +
           (m_configPath.empty() ? "" : " (" + m_configPath + ")");
}

bool SwayHotkeyRegistrar::bind(HotkeyAction action, Modifiers modifiers) {
    const std::string text = combination(action, modifiers);
    const std::vector<I3CommandResult> results =
        run("bindsym --no-repeat " + text + " " + bindingCommand("press", action, modifiers) +
            "; bindsym --release " + text + " " + bindingCommand("release", action, modifiers));
    const bool bound = results.size() == 2 && results[0].success && results[1].success;
    if (!bound) {
        const std::string reason = results.empty() ? "no answer" : results.front().error;
        m_log.write("Halvo: sway refused the binding " + text + ": " + reason);
        unbind(text);
    }
    return bound;
}

// Either binding may be missing (a reload dropped both); sway's refusal of the other is fine.
void SwayHotkeyRegistrar::unbind(const std::string& text) {
    try {
        run("unbindsym --no-repeat " + text + "; unbindsym --release " + text);
    } catch (const I3IpcError&) {
        // sway is gone, and its bindings with it.
    }
}

void SwayHotkeyRegistrar::removeAll() {
    for (const auto& [text, bound] : m_bound)
        unbind(text);
    m_bound.clear();
    m_hotKeys.clear();
    writeRecord();
}

// The record names the sway it was written for: another sway never had those bindings.
void SwayHotkeyRegistrar::removeLeftovers() {
    if (m_recordPath.empty())
        return;
    const std::optional<SwayBindingRecord> record = SwayBindingRecord::read(m_recordPath, m_log);
    if (!record || record->socketPath != m_socketPath)
        return;
    for (const std::string& text : record->combinations) {
        if (!m_bound.count(text))
            unbind(text);
    }
    writeRecord();
}

void SwayHotkeyRegistrar::writeRecord() {
    if (m_recordPath.empty())
        return;
    if (m_bound.empty()) {
        std::remove(m_recordPath.c_str());
        return;
    }
    SwayBindingRecord record{m_socketPath, {}};
    for (const auto& [text, bound] : m_bound)
        record.combinations.push_back(text);
    record.write(m_recordPath, m_log);
}

void SwayHotkeyRegistrar::handleBinding(const nlohmann::json& event) {
    if (!event.is_object() || !event.contains("binding") || !event["binding"].is_object())
        return;
    const nlohmann::json& binding = event["binding"];
    if (!binding.contains("command") || !binding["command"].is_string())
        return;
    std::istringstream words(binding["command"].get<std::string>());
    std::string nop, halvo, kind, actionName;
    unsigned bits = 0;
    if (!(words >> nop >> halvo >> kind >> actionName >> bits) || nop != "nop" || halvo != "halvo")
        return;
    const std::optional<HotkeyAction> action = actionNamed(actionName);
    const Modifiers modifiers = Modifiers::fromBits(bits);
    if (!action || (kind != "press" && kind != "release") ||
        !m_bound.count(combination(*action, modifiers)))
        return; // not one of this run's bindings
    const bool pressed = kind == "press";
    LatencyTrace::mark("binding", pressed ? "press" : "release");
    if (pressed)
        m_monitor.shortcutPressed(modifiers);
    if (!m_handler)
        return;
    Handler handler = m_handler; // the handler may stop listening
    handler(Event{pressed ? Event::Kind::pressed : Event::Kind::released, *action});
}

// A reload dropped every runtime binding: make them again, unless the new configuration binds
// the combination now. Then those the configuration held before may be free.
void SwayHotkeyRegistrar::reloaded() {
    const bool wereTaken = !m_taken.empty();
    checkTakenAgain();
    std::vector<Event> lost;
    for (auto bound = m_bound.begin(); bound != m_bound.end();) {
        const auto [action, modifiers, users] = bound->second;
        bool keep = false;
        bool configured = false;
        try {
            configured = configurationTakes(action, modifiers);
            keep = !configured && bind(action, modifiers);
        } catch (const I3IpcError& error) {
            m_log.write("Halvo: Could not bind " + bound->first +
                        " again after sway's reload: " + error.what());
        }
        if (keep) {
            ++bound;
            continue;
        }
        lost.push_back(
            {configured ? Event::Kind::takenByConfiguration : Event::Kind::takenByAnotherProgram,
             action});
        if (configured)
            m_taken[bound->first] = HotKey{action, modifiers};
        std::erase_if(
            m_hotKeys, [&, lostAction = action, lostModifiers = modifiers](const auto& entry) {
                return entry.second.action == lostAction && entry.second.modifiers == lostModifiers;
            });
        bound = m_bound.erase(bound);
    }
    writeRecord();
    const bool freed = wereTaken && m_taken.empty();
    for (const Event& event : lost) {
        if (!m_handler)
            return;
        Handler handler = m_handler; // the handler may stop listening
        handler(event);
    }
    if (freed && m_handler) {
        Handler handler = m_handler;
        handler(Event{Event::Kind::available, HotkeyAction::previous});
    }
}

// Forgets the combinations the reloaded configuration no longer binds.
void SwayHotkeyRegistrar::checkTakenAgain() {
    for (auto taken = m_taken.begin(); taken != m_taken.end();) {
        bool stillTaken = true;
        try {
            stillTaken = configurationTakes(taken->second.action, taken->second.modifiers);
        } catch (const I3IpcError& error) {
            m_log.write("Halvo: Could not read sway's configuration after its reload: " +
                        std::string(error.what()));
        }
        taken = stillTaken ? std::next(taken) : m_taken.erase(taken);
    }
}

} // namespace halvo
