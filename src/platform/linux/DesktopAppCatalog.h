// Names and theme icons of applications from their desktop entries, looked up once for each
// application key (a WM_CLASS class, an app_id) and kept: what every workspace backend shows.
#pragma once

#include "platform/AppIcon.h"
#include "platform/linux/DesktopEntryIndex.h"

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace halvo {

class DesktopAppCatalog {
public:
    // Where names and theme icons come from. Unset members: no desktop entries, and every icon
    // name counts as drawable.
    struct Entries {
        // The desktop entry of an application, by its key (WM_CLASS class or app_id) and its
        // first window's instance.
        std::function<std::optional<DesktopEntry>(const std::string& key,
                                                  const std::string& instance)>
            find;
        // Whether the icon theme (or the file system, for an absolute path) has that icon.
        std::function<bool(const std::string& iconName)> iconExists;

        // The installed entries of `index` (which must outlive the catalog), with Qt's icon
        // theme deciding which icon names can be drawn. Needs a QGuiApplication.
        static Entries installed(const DesktopEntryIndex& index);
    };

    struct Info {
        std::optional<std::string> name;
        AppIconRef themeIcon; // the same object for as long as the entries stay
    };

    // Takes new entries and forgets what the old ones gave.
    void setEntries(Entries entries);
    // What the entries say of the application, looked up at its first question.
    const Info& info(const std::string& key, const std::string& instance);

private:
    Entries m_entries;
    std::unordered_map<std::string, Info> m_infos;
};

} // namespace halvo
