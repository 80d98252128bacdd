// Global shortcuts in a KWin session through KGlobalAccel (org.kde.kglobalaccel), spoken over
// plain D-Bus: each action is registered under the component "halvo" and given its key with
// SetPresent|NoAutoloading, so nothing of it is kept past Halvo's run. A combination another
// component holds is refused by KGlobalAccel and reported as taken by another program, as a
// refused grab is on X11. KGlobalAccel reports the release with the first key of the combination
// to go up and repeats the press while the arrow is held: a repeat is not a new press, and the
// modifiers' own release comes from the keyboard hold (LayerKeyboardMonitor), as on sway.
#pragma once

#include "platform/HotkeyRegistrar.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <map>
#include <set>

namespace halvo {

class LayerKeyboardMonitor;
class Log;

class KWinHotkeyRegistrar final : public QObject, public HotkeyRegistrar {
    Q_OBJECT
public:
    static constexpr const char* component = "halvo";

    KWinHotkeyRegistrar(QDBusConnection bus, LayerKeyboardMonitor& monitor, Log& log);
    ~KWinHotkeyRegistrar() override;

    std::optional<std::string> listen(Handler handler) override;
    void stopListening() override;
    Registration registerShortcut(HotkeyAction action, Modifiers modifiers) override;
    void unregisterShortcut(ShortcutRef ref) override;

    // Whether KGlobalAccel took the last registration.
    bool accepted() const { return m_accepted; }

private Q_SLOTS:
    void onPressed(const QString& componentName, const QString& actionName, qlonglong timestamp);
    void onReleased(const QString& componentName, const QString& actionName, qlonglong timestamp);

private:
    struct Bound {
        HotkeyAction action;
        Modifiers modifiers;
    };
    bool kglobalaccelRuns() const;
    void watchComponent();
    const Bound* boundFor(const QString& componentName, const QString& actionName) const;

    QDBusConnection m_bus;
    LayerKeyboardMonitor& m_monitor;
    Log& m_log;
    Handler m_handler;
    bool m_watching = false;
    bool m_accepted = false;
    std::map<ShortcutRef, Bound> m_bound;
    std::set<HotkeyAction> m_down; // pressed and not yet released: KGlobalAccel's repeats
    ShortcutRef m_nextRef = 1;
};

} // namespace halvo
