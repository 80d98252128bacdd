// KGlobalAccel's registration calls and its pressed and released signals; see
// KWinHotkeyRegistrar.h.
#include "platform/kwin/KWinHotkeyRegistrar.h"

#include "platform/Log.h"
#include "platform/wayland/LayerKeyboardMonitor.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QList>

namespace {

// A key sequence as KGlobalAccel marshals QKeySequence: up to four combined key codes, "(ai)".
struct KeySequence {
    QList<int> keys;
};

} // namespace

Q_DECLARE_METATYPE(KeySequence)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const KeySequence& sequence) {
    argument.beginStructure();
    argument << sequence.keys;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, KeySequence& sequence) {
    argument.beginStructure();
    argument >> sequence.keys;
    argument.endStructure();
    return argument;
}

} // namespace

namespace halvo {
namespace {

const QString service = QStringLiteral("org.kde.kglobalaccel");
constexpr int callTimeoutMs = 3000;
// KGlobalAccel's flags: the key is the present one, and no stored key is loaded over it.
constexpr uint setPresent = 2;
constexpr uint noAutoloading = 4;

int qtKey(Key key) {
    switch (key) {
    case Key::left:
        return Qt::Key_Left;
    case Key::right:
        return Qt::Key_Right;
    case Key::up:
        return Qt::Key_Up;
    case Key::down:
        return Qt::Key_Down;
    default:
        return 0;
    }
}

int qtModifiers(Modifiers modifiers) {
    int bits = 0;
    if (modifiers.contains(Modifier::control))
        bits |= Qt::ControlModifier;
    if (modifiers.contains(Modifier::alt))
        bits |= Qt::AltModifier;
    if (modifiers.contains(Modifier::shift))
        bits |= Qt::ShiftModifier;
    if (modifiers.contains(Modifier::super))
        bits |= Qt::MetaModifier;
    return bits;
}

QStringList actionID(HotkeyAction action) {
    const QString name = QString::fromLatin1(halvo::name(action));
    return {QString::fromLatin1(KWinHotkeyRegistrar::component), name, QStringLiteral("Halvo"),
            name};
}

QDBusMessage call(const QDBusConnection& bus, const QString& method, const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"), method);
    message.setArguments(args);
    return bus.call(message, QDBus::Block, callTimeoutMs);
}

} // namespace

KWinHotkeyRegistrar::KWinHotkeyRegistrar(QDBusConnection bus, LayerKeyboardMonitor& monitor,
                                         Log& log)
    : m_bus(std::move(bus)), m_monitor(monitor), m_log(log) {
    qDBusRegisterMetaType<KeySequence>();
    qDBusRegisterMetaType<QList<KeySequence>>();
}

KWinHotkeyRegistrar::~KWinHotkeyRegistrar() {
    while (!m_bound.empty())
        unregisterShortcut(m_bound.begin()->first);
}

bool KWinHotkeyRegistrar::kglobalaccelRuns() const {
    // Asking KGlobalAccel itself before KWin owns the name would start a standalone one.
    return m_bus.interface() && m_bus.interface()->isServiceRegistered(service).value();
}

std::optional<std::string> KWinHotkeyRegistrar::listen(Handler handler) {
    if (!kglobalaccelRuns())
        return "KWin's global shortcuts (org.kde.kglobalaccel) are not on the session bus";
    m_handler = std::move(handler);
    return std::nullopt;
}

void KWinHotkeyRegistrar::stopListening() {
    m_handler = nullptr;
}

HotkeyRegistrar::Registration KWinHotkeyRegistrar::registerShortcut(HotkeyAction action,
                                                                    Modifiers modifiers) {
    const int keyCode = qtKey(key(action));
    if (keyCode == 0 || modifiers.isEmpty() || !kglobalaccelRuns())
        return {};
    const QStringList id = actionID(action);
    if (call(m_bus, QStringLiteral("doRegister"), {id}).type() == QDBusMessage::ErrorMessage)
        return {};
    const KeySequence wanted{{keyCode | qtModifiers(modifiers), 0, 0, 0}};
    const QDBusMessage reply =
        call(m_bus, QStringLiteral("setShortcutKeys"),
             {id, QVariant::fromValue(QList<KeySequence>{wanted}), setPresent | noAutoloading});
    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty()) {
        m_accepted = false;
        return {};
    }
    const auto given = qdbus_cast<QList<KeySequence>>(reply.arguments().front());
    // KGlobalAccel gives the key it could set: none when another component holds it.
    const bool taken = given.isEmpty() || given.front().keys.value(0) != wanted.keys.front();
    if (taken) {
        call(m_bus, QStringLiteral("unregister"), {id.front(), id.at(1)});
        m_accepted = false;
        return {RegistrationResult::takenByAnotherProgram, 0};
    }
    m_accepted = true;
    watchComponent();
    const ShortcutRef ref = m_nextRef++;
    m_bound[ref] = {action, modifiers};
    return {RegistrationResult::registered, ref};
}

void KWinHotkeyRegistrar::unregisterShortcut(ShortcutRef ref) {
    const auto it = m_bound.find(ref);
    if (it == m_bound.end())
        return;
    const QStringList id = actionID(it->second.action);
    m_down.erase(it->second.action);
    m_bound.erase(it);
    if (kglobalaccelRuns())
        call(m_bus, QStringLiteral("unregister"), {id.front(), id.at(1)});
}

void KWinHotkeyRegistrar::watchComponent() {
    if (m_watching)
        return;
    const QDBusMessage reply =
        call(m_bus, QStringLiteral("getComponent"), {QString::fromLatin1(component)});
    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().isEmpty())
        return;
    const QString path = qdbus_cast<QDBusObjectPath>(reply.arguments().front()).path();
    const QString interface = QStringLiteral("org.kde.kglobalaccel.Component");
    m_watching = m_bus.connect(service, path, interface, QStringLiteral("globalShortcutPressed"),
                               this, SLOT(onPressed(QString, QString, qlonglong))) &&
                 m_bus.connect(service, path, interface, QStringLiteral("globalShortcutReleased"),
                               this, SLOT(onReleased(QString, QString, qlonglong)));
    if (!m_watching)
        m_log.write("Halvo: cannot follow KGlobalAccel's shortcut signals at " +
                    path.toStdString());
}

const KWinHotkeyRegistrar::Bound* KWinHotkeyRegistrar::boundFor(const QString& componentName,
                                                                const QString& actionName) const {
    if (componentName != QLatin1String(component))
        return nullptr;
    for (const auto& [ref, bound] : m_bound) {
        if (actionName == QLatin1String(halvo::name(bound.action)))
            return &bound;
    }
    return nullptr;
}

void KWinHotkeyRegistrar::onPressed(const QString& componentName, const QString& actionName,
                                    qlonglong) {
    const Bound* bound = boundFor(componentName, actionName);
    // A held arrow repeats the press: the long press is measured from the first one.
    if (!bound || !m_down.insert(bound->action).second)
        return;
    m_monitor.shortcutPressed(bound->modifiers);
    if (Handler handler = m_handler)
        handler(Event{Event::Kind::pressed, bound->action});
}

void KWinHotkeyRegistrar::onReleased(const QString& componentName, const QString& actionName,
                                     qlonglong) {
    const Bound* bound = boundFor(componentName, actionName);
    if (!bound || m_down.erase(bound->action) == 0)
        return;
    if (Handler handler = m_handler)
        handler(Event{Event::Kind::released, bound->action});
}

} // namespace halvo
