// The status item as a tray icon: a StatusNotifierItem when a watcher is on the session bus,
// otherwise an XEmbed icon in the panel's system tray (Qt chooses).
#pragma once

#include "platform/StatusItem.h"

#include <QColor>
#include <QObject>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;

namespace halvo {

class QtStatusItem final : public QObject, public StatusItem {
    Q_OBJECT
public:
    // The program's icon is drawn in `tint` when the panel's text colour is known, else in the
    // palette's text colour.
    explicit QtStatusItem(QObject* parent = nullptr, std::optional<QColor> tint = std::nullopt);
    ~QtStatusItem() override;

    // "halvo" is the program's own monochrome icon; other names are looked up in the icon theme.
    bool setImage(const std::string& name, const std::string& accessibilityDescription) override;
    void setTitle(const std::string& title) override;
    void setToolTip(const std::string& toolTip) override;
    void setMenu(std::vector<StatusMenuItem> items) override;

    // Whether a tray or watcher was found to show the icon in.
    static bool isTrayAvailable();

    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QMenu* menu() const { return m_menu.get(); }

private:
    void rebuildIfClosed();
    void openMenu();
    void closeMenuWindowWhenDone();
    static bool onWayland();

    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<QMenu> m_menu;
    QColor m_tint;
    std::vector<StatusMenuItem> m_items; // the entries last given
    std::vector<StatusMenuItem> m_shown; // the entries the menu holds
    bool m_built = false;
    bool m_menuOpen = false;    // between the menu's aboutToShow and aboutToHide
    bool m_menuFocused = false; // the menu, opened as a window on Wayland, has the focus
};

} // namespace halvo
