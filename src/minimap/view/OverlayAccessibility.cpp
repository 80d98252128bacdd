// Accessible interfaces of the overlay view and of its icon cells.
#include "minimap/view/OverlayAccessibility.h"

#include "minimap/view/MinimapOverlayView.h"
#include "platform/Localization.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <map>
#include <string>

namespace halvo {
namespace {

using CellIDs = std::map<std::string, QAccessible::Id>;

std::map<const MinimapOverlayView*, CellIDs>& registry() {
    static std::map<const MinimapOverlayView*, CellIDs> cells;
    return cells;
}

class OverlayCellAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    OverlayCellAccessible(MinimapOverlayView* view, std::string bundleID)
        : m_view(view), m_bundleID(std::move(bundleID)) {}

    bool isValid() const override {
        return m_view && m_view->model().indexOf(m_bundleID).has_value();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        const auto& apps = m_view->model().apps.get();
        const TrackedApp& app = apps[*m_view->model().indexOf(m_bundleID)];
        switch (t) {
        case QAccessible::Name:
            return QString::fromStdString(app.name);
        case QAccessible::Value:
            if (m_view->model().highlightedBundleID.get() == m_bundleID)
                return QString::fromStdString(localized(
                    "Active", "Accessibility value of the highlighted app in the overlay"));
            return {};
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!m_view)
            return {};
        auto cell = m_view->cellRect(m_bundleID);
        if (!cell)
            return {};
        const QRect local = cell->toAlignedRect();
        return QRect(m_view->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_view || !m_view->isVisible())
            s.invisible = true;
        if (m_view) {
            auto cell = m_view->cellRect(m_bundleID);
            if (cell && !m_view->viewportRect().intersects(*cell))
                s.offscreen = true;
        }
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && m_view && isValid())
            m_view->activate(m_bundleID);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<MinimapOverlayView> m_view;
    std::string m_bundleID;
};

QAccessibleInterface* cellFor(MinimapOverlayView* view, const std::string& bundleID) {
    CellIDs& cells = registry()[view];
    if (auto found = cells.find(bundleID); found != cells.end())
        return QAccessible::accessibleInterface(found->second);
    auto* cell = new OverlayCellAccessible(view, bundleID);
    cells.emplace(bundleID, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

// The overlay view: its cells first, in order, then its widget children (the paging buttons).
class OverlayViewAccessible final : public QAccessibleWidget {
public:
    explicit OverlayViewAccessible(MinimapOverlayView* view)
        : QAccessibleWidget(view, QAccessible::Grouping) {}

    int childCount() const override { return cellCount() + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0)
            return nullptr;
        if (index < cellCount())
            return cellFor(view(), view()->model().apps.get()[static_cast<std::size_t>(index)].id);
        return QAccessibleWidget::child(index - cellCount());
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < cellCount(); ++i) {
            if (this->child(i) == child)
                return i;
        }
        const int widgetIndex = QAccessibleWidget::indexOfChild(child);
        return widgetIndex < 0 ? -1 : widgetIndex + cellCount();
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* c = child(i);
            if (c && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }

private:
    MinimapOverlayView* view() const { return static_cast<MinimapOverlayView*>(widget()); }
    int cellCount() const { return static_cast<int>(view()->model().apps->size()); }
};

QAccessibleInterface* overlayFactory(const QString&, QObject* object) {
    if (auto* view = qobject_cast<MinimapOverlayView*>(object))
        return new OverlayViewAccessible(view);
    return nullptr;
}

} // namespace

void installOverlayAccessibility() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(overlayFactory);
}

void overlayCellsChanged(MinimapOverlayView* view) {
    auto found = registry().find(view);
    if (found == registry().end())
        return;
    CellIDs& cells = found->second;
    for (auto it = cells.begin(); it != cells.end();) {
        if (view->model().indexOf(it->first)) {
            ++it;
            continue;
        }
        QAccessible::deleteAccessibleInterface(it->second);
        it = cells.erase(it);
    }
    QAccessibleEvent event(view, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
}

void forgetOverlayCells(MinimapOverlayView* view) {
    auto found = registry().find(view);
    if (found == registry().end())
        return;
    for (const auto& [id, accessibleID] : found->second)
        QAccessible::deleteAccessibleInterface(accessibleID);
    registry().erase(found);
}

} // namespace halvo
