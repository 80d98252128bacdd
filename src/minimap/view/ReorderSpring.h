// The overlay's reorder animation: when the app list changes order, each cell starts from where
// it was and springs to its new place.
#pragma once

#include <QObject>
#include <QVariantAnimation>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace halvo {

class ReorderSpring final : public QObject {
    Q_OBJECT
public:
    // `frame` runs at each step of the animation; `ids` is the list the cells start in.
    ReorderSpring(std::vector<std::string> ids, std::function<void()> frame);

    // The list is now `ids`: cells that moved spring from their old places (unless `animate` is
    // false, or the list was empty). False when the list is the same.
    bool listChanged(std::vector<std::string> ids, bool animate);
    // How far the cell of `id` is from its place now, in pixels along the strip.
    double offset(const std::string& id) const;

private:
    std::function<void()> m_frame;
    std::map<std::string, double> m_from; // each cell's displacement when the list changed
    QVariantAnimation m_animation;
    double m_progress = 1;
    std::vector<std::string> m_ids;
};

} // namespace halvo
