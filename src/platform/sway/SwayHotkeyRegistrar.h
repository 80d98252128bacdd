// Hot keys on sway: each one is a pair of runtime bindings made over IPC, `bindsym --no-repeat`
// for the press and `bindsym --release` for the release, both running `nop halvo …`, which sway
// reports as IPC binding events. sway replaces a binding of the same combination without a word,
// so a combination the user's configuration binds (read with its includes) is refused as taken.
// Every binding is removed again when it is unregistered, when listening stops and at
// destruction; those a crash left behind are listed in a record file and removed by the next
// run. A configuration reload drops runtime bindings: they are made again, unless the new
// configuration now takes the combination, which is reported (takenByConfiguration). Every
// combination refused or lost that way is checked again at each reload; once none is bound in the
// configuration any more, the handler hears that they are available.
#pragma once

#include "platform/HotkeyRegistrar.h"
#include "platform/Log.h"
#include "platform/i3ipc/I3IpcClient.h"
#include "platform/sway/SwayIpcEvents.h"
#include "platform/wayland/LayerKeyboardMonitor.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace halvo {

class SwayHotkeyRegistrar final : public HotkeyRegistrar {
public:
    // `socketPath`: sway's IPC socket ($SWAYSOCK). `monitor` hears of each press before it is
    // delivered (it then holds the keyboard to follow the modifiers). `recordPath`: where the
    // bindings made are listed while they exist (defaultRecordPath(); empty keeps no record).
    SwayHotkeyRegistrar(std::string socketPath, LayerKeyboardMonitor& monitor,
                        std::string recordPath, Log& log);
    ~SwayHotkeyRegistrar() override;
    SwayHotkeyRegistrar(const SwayHotkeyRegistrar&) = delete;
    SwayHotkeyRegistrar& operator=(const SwayHotkeyRegistrar&) = delete;

    // Subscribes to binding events, and removes the bindings a previous run of this sway left.
    std::optional<std::string> listen(Handler handler) override;
    // Removes every binding: registrations made so far are gone.
    void stopListening() override;

    // takenByConfiguration when the user's configuration binds the combination in its default
    // mode; failed without modifiers or when sway cannot be asked or refuses a binding (then
    // neither of the pair stays).
    Registration registerShortcut(HotkeyAction action, Modifiers modifiers) override;
    void unregisterShortcut(ShortcutRef ref) override;
    // "the user's sway configuration (/home/…/.config/sway/config)".
    std::string configurationName() const override;

    // Whether sway could be asked at the last registration and did not refuse it: its bindings
    // were made, or the user's configuration holds the combination. False before any.
    bool bindingsAccepted() const { return m_bindingsAccepted; }

    // $XDG_RUNTIME_DIR/halvo-sway-bindings, empty without XDG_RUNTIME_DIR.
    static std::string defaultRecordPath();
    // "Ctrl+Mod1+Left": the combination as sway's bindsym reads it.
    static std::string combination(HotkeyAction action, Modifiers modifiers);

private:
    struct HotKey {
        HotkeyAction action = HotkeyAction::previous;
        Modifiers modifiers;
    };
    struct Bound { // one installed pair, shared by every hot key of the same combination
        HotkeyAction action = HotkeyAction::previous;
        Modifiers modifiers;
        int users = 0;
    };

    I3IpcClient& client();
    std::vector<I3CommandResult> run(const std::string& commands);
    bool configurationTakes(HotkeyAction action, Modifiers modifiers);
    bool bind(HotkeyAction action, Modifiers modifiers);
    void unbind(const std::string& combination);
    void removeAll();
    void removeLeftovers();
    void writeRecord();
    void handleBinding(const nlohmann::json& event);
    void reloaded();
    void checkTakenAgain();

    std::string m_socketPath;
    LayerKeyboardMonitor& m_monitor;
    std::string m_recordPath;
    Log& m_log;
    std::unique_ptr<I3IpcClient> m_client;
    std::unique_ptr<SwayIpcEvents> m_events;
    Handler m_handler;
    ShortcutRef m_nextRef = 1;
    std::map<ShortcutRef, HotKey> m_hotKeys;
    std::map<std::string, Bound> m_bound; // by combination
    // Combinations refused or lost because the configuration binds them, by combination: checked
    // again at each reload.
    std::map<std::string, HotKey> m_taken;
    std::string m_configPath; // sway's main configuration file, as it last said
    bool m_bindingsAccepted = false;
};

} // namespace halvo
