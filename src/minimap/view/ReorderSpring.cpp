// The displacement of a cell still springing when the list changes again is added to its new
// one, so that it starts from where it is drawn.
#include "minimap/view/ReorderSpring.h"

#include "minimap/MinimapGeometry.h"

#include <algorithm>
#include <cmath>

namespace halvo {

ReorderSpring::ReorderSpring(std::vector<std::string> ids, std::function<void()> frame)
    : m_frame(std::move(frame)), m_ids(std::move(ids)) {
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = minimap::springProgress(v.toDouble());
        m_frame();
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] {
        m_progress = 1;
        m_from.clear();
        m_frame();
    });
}

bool ReorderSpring::listChanged(std::vector<std::string> ids, bool animate) {
    if (ids == m_ids)
        return false;
    if (animate && !m_ids.empty()) {
        std::map<std::string, double> from;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            auto old = std::find(m_ids.begin(), m_ids.end(), ids[i]);
            if (old == m_ids.end())
                continue;
            double displacement =
                (static_cast<double>(old - m_ids.begin()) - static_cast<double>(i)) *
                minimap::cellWidth;
            displacement += offset(ids[i]);
            if (std::abs(displacement) > 0.5)
                from.emplace(ids[i], displacement);
        }
        m_animation.stop();
        m_from = std::move(from);
        if (!m_from.empty()) {
            m_progress = 0;
            m_animation.setStartValue(0.0);
            m_animation.setEndValue(minimap::springSettlingTime());
            m_animation.setDuration(
                static_cast<int>(std::lround(minimap::springSettlingTime() * 1000)));
            m_animation.start();
        }
    }
    m_ids = std::move(ids);
    return true;
}

double ReorderSpring::offset(const std::string& id) const {
    const auto found = m_from.find(id);
    return found == m_from.end() ? 0 : found->second * (1 - m_progress);
}

} // namespace halvo
