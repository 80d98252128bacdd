// Tray icon and its menu.
#include "platform/linux/QtStatusItem.h"

#include <QAction>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QWindow>
#include <algorithm>
#include <functional>

namespace halvo {
namespace {

// The monochrome SVG drawn in `tint`, at the sizes trays ask for.
QIcon programIcon(const QColor& tint) {
    QSvgRenderer renderer(QStringLiteral(":/halvo/halvo.svg"));
    if (!renderer.isValid())
        return {};
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), tint);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A title alone drawn as an icon, for when no icon exists: the tray has no text slot.
QIcon titleIcon(const QString& title) {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QGuiApplication::palette().color(QPalette::WindowText));
    QFont font = painter.font();
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, title.left(1));
    painter.end();
    return QIcon(pixmap);
}

// Whether two menus show the same entries; their callbacks may differ.
bool sameEntries(const std::vector<StatusMenuItem>& a, const std::vector<StatusMenuItem>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const StatusMenuItem& x, const StatusMenuItem& y) {
                          return x.isSeparator == y.isSeparator && x.title == y.title &&
                                 x.enabled == y.enabled && x.keyEquivalent == y.keyEquivalent &&
                                 static_cast<bool>(x.action) == static_cast<bool>(y.action);
                      });
}

} // namespace

QtStatusItem::QtStatusItem(QObject* parent, std::optional<QColor> tint)
    : QObject(parent), m_tray(new QSystemTrayIcon(this)), m_menu(std::make_unique<QMenu>()),
      m_tint(tint.value_or(QGuiApplication::palette().color(QPalette::WindowText))) {
    m_tray->setContextMenu(m_menu.get());
    // A left click opens the menu too, as a menu-bar item would.
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if ((r == QSystemTrayIcon::Trigger || (r == QSystemTrayIcon::Context && onWayland())) &&
            !m_menu->isVisible())
            openMenu();
    });
    if (onWayland())
        closeMenuWindowWhenDone();
    // The new entries replace an open menu only once it has closed. A StatusNotifierItem host
    // never shows the QMenu widget itself: it opens and closes the exported menu over D-Bus, which
    // only these two signals tell. Opening applies what came while it was closed.
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        m_menuOpen = false;
        rebuildIfClosed();
        m_menuOpen = true;
    });
    connect(m_menu.get(), &QMenu::aboutToHide, this, [this] {
        m_menuOpen = false;
        QMetaObject::invokeMethod(
            this, [this] { rebuildIfClosed(); }, Qt::QueuedConnection);
    });
}

bool QtStatusItem::onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void QtStatusItem::openMenu() {
    if (onWayland()) {
        // A Wayland popup needs a parent surface and a tray icon has none (Qt would make the menu
        // an ordinary window that the compositor tiles over a whole output). As a window of fixed
        // size it floats instead (sway centres it); choosing an entry or Escape closes it. The
        // tray host asks the icon to show its menu: swaybar does not draw exported menus.
        m_menu->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        m_menu->setFixedSize(m_menu->sizeHint());
    }
    m_menu->popup(QCursor::pos());
    if (onWayland())
        m_menu->activateWindow();
}

void QtStatusItem::closeMenuWindowWhenDone() {
    // As a window the menu no longer closes by itself: after a choice, or when another window
    // takes the focus, as a popup would.
    connect(m_menu.get(), &QMenu::triggered, m_menu.get(), &QMenu::hide);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
        const bool menuFocused = focus && focus == m_menu->windowHandle();
        if (m_menuFocused && !menuFocused)
            m_menu->hide();
        m_menuFocused = menuFocused;
    });
}

QtStatusItem::~QtStatusItem() {
    m_tray->hide();
}

bool QtStatusItem::isTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtStatusItem::setImage(const std::string& name, const std::string& accessibilityDescription) {
    QIcon icon =
        name == "halvo" ? programIcon(m_tint) : QIcon::fromTheme(QString::fromStdString(name));
    if (icon.isNull())
        return false;
    m_tray->setIcon(icon);
    m_tray->show();
    m_menu->setAccessibleName(QString::fromStdString(accessibilityDescription));
    return true;
}

void QtStatusItem::setTitle(const std::string& title) {
    m_tray->setIcon(titleIcon(QString::fromStdString(title)));
    m_tray->show();
}

void QtStatusItem::setToolTip(const std::string& toolTip) {
    m_tray->setToolTip(QString::fromStdString(toolTip));
}

void QtStatusItem::setMenu(std::vector<StatusMenuItem> items) {
    m_items = std::move(items);
    rebuildIfClosed();
}

void QtStatusItem::rebuildIfClosed() {
    if (m_menuOpen)
        return;
    // The permission poll sends the same entries every two seconds: rebuilding would make a
    // tray host fetch the whole menu again each time.
    const bool unchanged = m_built && sameEntries(m_items, m_shown);
    m_shown = m_items;
    m_built = true;
    if (unchanged)
        return;
    m_menu->clear();
    for (std::size_t index = 0; index < m_shown.size(); ++index) {
        const StatusMenuItem& item = m_shown[index];
        if (item.isSeparator) {
            m_menu->addSeparator();
            continue;
        }
        QAction* action = m_menu->addAction(QString::fromStdString(item.title));
        action->setEnabled(item.enabled);
        if (!item.keyEquivalent.empty()) {
            // The command modifier of this desktop is Control.
            action->setShortcut(
                QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(item.keyEquivalent)));
            action->setShortcutVisibleInContextMenu(true);
        }
        // The callback is looked up when triggered: an unchanged menu keeps its actions while the
        // callbacks are replaced.
        connect(action, &QAction::triggered, this, [this, index] {
            // A copy: the callback may hand in a new menu, which replaces m_shown.
            const std::function<void()> callback =
                index < m_shown.size() ? m_shown[index].action : nullptr;
            if (callback)
                callback();
        });
    }
}

} // namespace halvo
