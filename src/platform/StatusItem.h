// The program's permanent presence on the desktop: an icon in the panel's tray with a tooltip and
// a menu.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace halvo {

// One entry of the status menu. A separator carries nothing else.
struct StatusMenuItem {
    std::string title;
    bool enabled = true;
    std::function<void()> action; // none for an entry that only informs
    std::string keyEquivalent;    // "," or "q": shown with the platform's command modifier
    bool isSeparator = false;

    static StatusMenuItem separator() {
        StatusMenuItem item;
        item.isSeparator = true;
        return item;
    }
};

class StatusItem {
public:
    virtual ~StatusItem() = default;

    // Shows the named icon; false when it cannot be had (then the caller shows a title instead).
    // The description names the icon for screen readers.
    virtual bool setImage(const std::string& name, const std::string& accessibilityDescription) = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual void setToolTip(const std::string& toolTip) = 0;

    // Replaces the whole menu. An open menu keeps its entries until it is opened again.
    virtual void setMenu(std::vector<StatusMenuItem> items) = 0;
};

} // namespace halvo
