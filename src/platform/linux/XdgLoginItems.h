// Launch at login through an XDG autostart entry, $XDG_CONFIG_HOME/autostart/halvo.desktop.
#pragma once

#include "platform/LoginItems.h"

#include <string>

namespace halvo {

class XdgLoginItems final : public LoginItems {
public:
    // `autostartDir` is where the entry lives; `program` the absolute path it launches.
    XdgLoginItems(std::string autostartDir, std::string program);

    // The user's autostart folder: $XDG_CONFIG_HOME/autostart, else ~/.config/autostart.
    static std::string defaultAutostartDir();

    // enabled when the entry exists and is not hidden or disabled; notFound when the program it
    // names is no longer there; notRegistered otherwise.
    LoginItemStatus status() override;
    // Writes the entry atomically (temporary file, rename).
    std::optional<std::string> registerItem() override;
    // Removes the entry; a missing entry is no failure.
    std::optional<std::string> unregisterItem() override;

    std::string entryPath() const;

private:
    std::string m_autostartDir;
    std::string m_program;
};

} // namespace halvo
