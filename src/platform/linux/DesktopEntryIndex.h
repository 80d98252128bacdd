// Names and icons of applications from their desktop entries, found by a window's WM_CLASS: by
// the entry's StartupWMClass, else by the entry's file name. Entries are read through GIO, which
// applies the desktop-entry rules (locales, Hidden, XDG_DATA_DIRS precedence).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace halvo {

struct DesktopEntry {
    std::string id;       // the desktop file id, "org.example.App.desktop"
    std::string name;     // localized, valid UTF-8; empty when the entry has no usable name
    std::string iconName; // an icon-theme name or an absolute file path; empty when none
};

class DesktopEntryIndex {
public:
    // Reads every installed entry once.
    DesktopEntryIndex();

    // Reads the entries again (after applications were installed or removed).
    void reload();

    // The entry whose StartupWMClass equals `wmClass`, ignoring ASCII case; else the one whose file
    // name (without ".desktop", or its last dot-separated part for reverse-DNS ids) equals the
    // class or `wmInstance`, ignoring case. Nothing when none matches.
    std::optional<DesktopEntry> find(const std::string& wmClass,
                                     const std::string& wmInstance = {}) const;

    std::size_t size() const { return m_entries.size(); }

    // One entry from the text of a desktop file named `id`, read by the same rules as the
    // installed ones; nothing when GIO does not take it for an application. The StartupWMClass
    // goes to `startupWMClass` when given.
    static std::optional<DesktopEntry> entryFromData(std::string_view text, const std::string& id,
                                                     std::string* startupWMClass = nullptr);

private:
    std::unordered_map<std::string, DesktopEntry> m_entries; // by id
    std::unordered_map<std::string, std::string> m_byStartupWMClass;
    std::unordered_map<std::string, std::string> m_byFileName;
    std::unordered_map<std::string, std::string> m_byLastIDPart;
};

} // namespace halvo
