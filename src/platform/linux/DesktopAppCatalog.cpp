// Desktop-entry names and theme icons, cached by application key.
#include "platform/linux/DesktopAppCatalog.h"

#include <QFileInfo>
#include <QIcon>
#include <QString>
#include <memory>

namespace halvo {

DesktopAppCatalog::Entries DesktopAppCatalog::Entries::installed(const DesktopEntryIndex& index) {
    Entries entries;
    entries.find = [&index](const std::string& key, const std::string& instance) {
        return index.find(key, instance);
    };
    entries.iconExists = [](const std::string& iconName) {
        const QString name = QString::fromStdString(iconName);
        if (name.startsWith(QLatin1Char('/')))
            return QFileInfo(name).isFile();
        return QIcon::hasThemeIcon(name);
    };
    return entries;
}

void DesktopAppCatalog::setEntries(Entries entries) {
    m_entries = std::move(entries);
    m_infos.clear();
}

const DesktopAppCatalog::Info& DesktopAppCatalog::info(const std::string& key,
                                                       const std::string& instance) {
    if (const auto found = m_infos.find(key); found != m_infos.end())
        return found->second;
    Info info;
    const auto entry = m_entries.find ? m_entries.find(key, instance) : std::nullopt;
    if (entry) {
        if (!entry->name.empty())
            info.name = entry->name;
        if (!entry->iconName.empty() &&
            (!m_entries.iconExists || m_entries.iconExists(entry->iconName))) {
            auto icon = std::make_shared<AppIcon>();
            icon->themeName = entry->iconName;
            info.themeIcon = std::move(icon);
        }
    }
    return m_infos.emplace(key, std::move(info)).first->second;
}

} // namespace halvo
