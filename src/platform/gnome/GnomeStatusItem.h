// The status item as Halvo's own button in GNOME Shell's top bar (GNOME has no tray): the
// extension draws the button and its menu; Halvo hands it the rows and hears which is chosen.
#pragma once

#include "platform/StatusItem.h"

#include <QObject>
#include <vector>

namespace halvo {

class GnomeShellClient;

class GnomeStatusItem final : public QObject, public StatusItem {
    Q_OBJECT
public:
    explicit GnomeStatusItem(GnomeShellClient& client, QObject* parent = nullptr);

    // The extension carries Halvo's own icon ("halvo"); no other can be shown.
    bool setImage(const std::string& name, const std::string& accessibilityDescription) override;
    // Never needed (the button always has Halvo's icon); GNOME's top bar has no tooltips.
    void setTitle(const std::string& title) override;
    void setToolTip(const std::string& toolTip) override;
    void setMenu(std::vector<StatusMenuItem> items) override;

private:
    void activate(uint id);

    GnomeShellClient& m_client;
    std::vector<StatusMenuItem> m_items; // the rows last sent; a row's id is its index
    bool m_sent = false;
};

} // namespace halvo
