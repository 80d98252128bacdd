// Menu rows to the extension, chosen rows back to their actions.
#include "platform/gnome/GnomeStatusItem.h"

#include "platform/gnome/GnomeShellClient.h"

#include <algorithm>
#include <functional>

namespace halvo {
namespace {

// Whether two menus show the same rows; their callbacks may differ.
bool sameRows(const std::vector<StatusMenuItem>& a, const std::vector<StatusMenuItem>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const StatusMenuItem& x, const StatusMenuItem& y) {
                          return x.isSeparator == y.isSeparator && x.title == y.title &&
                                 x.enabled == y.enabled &&
                                 static_cast<bool>(x.action) == static_cast<bool>(y.action);
                      });
}

} // namespace

GnomeStatusItem::GnomeStatusItem(GnomeShellClient& client, QObject* parent)
    : QObject(parent), m_client(client) {
    connect(&m_client, &GnomeShellClient::menuActivated, this, &GnomeStatusItem::activate);
}

bool GnomeStatusItem::setImage(const std::string& name, const std::string&) {
    return name == "halvo";
}

void GnomeStatusItem::setTitle(const std::string&) {}

void GnomeStatusItem::setToolTip(const std::string&) {}

void GnomeStatusItem::setMenu(std::vector<StatusMenuItem> items) {
    // The permission poll hands in the same rows every two seconds: only a change goes to the
    // shell. The callbacks are replaced either way.
    const bool unchanged = m_sent && sameRows(items, m_items);
    m_items = std::move(items);
    if (unchanged)
        return;
    std::vector<GnomeShellClient::MenuRow> rows;
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        const StatusMenuItem& item = m_items[index];
        rows.push_back({static_cast<unsigned>(index), item.title, item.enabled, item.isSeparator});
    }
    m_sent = m_client.setMenu(rows);
}

void GnomeStatusItem::activate(uint id) {
    // A copy: the callback may hand in a new menu, which replaces m_items.
    const std::function<void()> callback = id < m_items.size() ? m_items[id].action : nullptr;
    if (callback)
        callback();
}

} // namespace halvo
