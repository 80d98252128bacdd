// A status item that keeps what it was given, for tests; menu entries can be triggered by title.
#pragma once

#include "platform/StatusItem.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace halvo {

class SimStatusItem final : public StatusItem {
public:
    bool setImage(const std::string& name, const std::string& accessibilityDescription) override {
        if (!m_availableImages.count(name))
            return false;
        m_image = name;
        m_imageDescription = accessibilityDescription;
        return true;
    }
    void setTitle(const std::string& title) override { m_title = title; }
    void setToolTip(const std::string& toolTip) override { m_toolTip = toolTip; }
    void setMenu(std::vector<StatusMenuItem> items) override {
        m_menu = std::move(items);
        ++m_menuBuilds;
    }

    // Test controls.
    void makeImageAvailable(const std::string& name) { m_availableImages.insert(name); }
    const std::string& image() const { return m_image; }
    const std::string& imageDescription() const { return m_imageDescription; }
    const std::string& title() const { return m_title; }
    const std::string& toolTip() const { return m_toolTip; }
    const std::vector<StatusMenuItem>& menu() const { return m_menu; }
    int menuBuilds() const { return m_menuBuilds; }
    // Runs the action of the first enabled entry with that title; false when there is none.
    bool choose(const std::string& title) const {
        for (const StatusMenuItem& item : m_menu) {
            if (!item.isSeparator && item.title == title && item.enabled && item.action) {
                item.action();
                return true;
            }
        }
        return false;
    }

private:
    std::set<std::string> m_availableImages;
    std::string m_image;
    std::string m_imageDescription;
    std::string m_title;
    std::string m_toolTip;
    std::vector<StatusMenuItem> m_menu;
    int m_menuBuilds = 0;
};

} // namespace halvo
