// Indexing the installed desktop entries by StartupWMClass and file name.
#include "platform/linux/DesktopEntryIndex.h"

#include <algorithm>
#include <cctype>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace halvo {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string validUtf8(const char* text) {
    if (!text)
        return {};
    gchar* valid = g_utf8_make_valid(text, -1);
    std::string result(valid);
    g_free(valid);
    return result;
}

DesktopEntry entryOf(GDesktopAppInfo* desktop, std::string id) {
    DesktopEntry entry;
    entry.id = std::move(id);
    // Not g_app_info_get_name: it says "Unnamed" for a name GLib could not decode (invalid
    // UTF-8), where the caller's own fallback (the window class) serves the user better.
    gchar* name = g_desktop_app_info_get_locale_string(desktop, "Name");
    entry.name = validUtf8(name);
    g_free(name);
    gchar* icon = g_desktop_app_info_get_string(desktop, "Icon");
    entry.iconName = validUtf8(icon);
    g_free(icon);
    return entry;
}

} // namespace

std::optional<DesktopEntry> DesktopEntryIndex::entryFromData(std::string_view text,
                                                             const std::string& id,
                                                             std::string* startupWMClass) {
    GKeyFile* file = g_key_file_new();
    std::optional<DesktopEntry> result;
    if (g_key_file_load_from_data(file, text.data(), text.size(), G_KEY_FILE_NONE, nullptr)) {
        if (GDesktopAppInfo* desktop = g_desktop_app_info_new_from_keyfile(file)) {
            result = entryOf(desktop, id);
            if (startupWMClass) {
                const char* wmClass = g_desktop_app_info_get_startup_wm_class(desktop);
                *startupWMClass = wmClass ? wmClass : "";
            }
            g_object_unref(desktop);
        }
    }
    g_key_file_unref(file);
    return result;
}

DesktopEntryIndex::DesktopEntryIndex() {
    reload();
}

void DesktopEntryIndex::reload() {
    m_entries.clear();
    m_byStartupWMClass.clear();
    m_byFileName.clear();
    m_byLastIDPart.clear();

    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
        GAppInfo* info = G_APP_INFO(item->data);
        if (!G_IS_DESKTOP_APP_INFO(info) || !g_app_info_get_id(info))
            continue;
        GDesktopAppInfo* desktop = G_DESKTOP_APP_INFO(info);
        DesktopEntry entry = entryOf(desktop, g_app_info_get_id(info));

        // g_app_info_get_all lists each id once, the one earliest in XDG_DATA_DIRS precedence.
        // For the secondary keys the first entry listed wins.
        if (const char* wmClass = g_desktop_app_info_get_startup_wm_class(desktop))
            m_byStartupWMClass.emplace(lowered(wmClass), entry.id);
        std::string fileName = entry.id;
        if (fileName.ends_with(".desktop"))
            fileName.resize(fileName.size() - 8);
        m_byFileName.emplace(lowered(fileName), entry.id);
        if (const auto dot = fileName.rfind('.');
            dot != std::string::npos && dot + 1 < fileName.size())
            m_byLastIDPart.emplace(lowered(fileName.substr(dot + 1)), entry.id);
        m_entries.emplace(entry.id, std::move(entry));
    }
    g_list_free_full(all, g_object_unref);
}

std::optional<DesktopEntry> DesktopEntryIndex::find(const std::string& wmClass,
                                                    const std::string& wmInstance) const {
    const auto entry = [this](const std::unordered_map<std::string, std::string>& index,
                              const std::string& key) -> const DesktopEntry* {
        if (key.empty())
            return nullptr;
        const auto found = index.find(lowered(key));
        return found == index.end() ? nullptr : &m_entries.at(found->second);
    };
    for (const DesktopEntry* found :
         {entry(m_byStartupWMClass, wmClass), entry(m_byStartupWMClass, wmInstance),
          entry(m_byFileName, wmClass), entry(m_byFileName, wmInstance),
          entry(m_byLastIDPart, wmClass), entry(m_byLastIDPart, wmInstance)}) {
        if (found)
            return *found;
    }
    return std::nullopt;
}

} // namespace halvo
