// The extension's interface over QtDBus; every answer is checked before it is used.
#include "platform/gnome/GnomeShellClient.h"

#include "GnomeShellProxy.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusServiceWatcher>

Q_DECLARE_METATYPE(halvo::GnomeShellClient::MenuRow)

// A menu row travels as the structure (usbb).
QDBusArgument& operator<<(QDBusArgument& argument, const halvo::GnomeShellClient::MenuRow& row) {
    argument.beginStructure();
    argument << row.id << QString::fromStdString(row.label) << row.enabled << row.separator;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument,
                                halvo::GnomeShellClient::MenuRow& row) {
    QString label;
    argument.beginStructure();
    argument >> row.id >> label >> row.enabled >> row.separator;
    argument.endStructure();
    row.label = label.toStdString();
    return argument;
}

namespace halvo {
namespace {

constexpr const char* shellName = "org.gnome.Shell";
constexpr const char* extensionsInterface = "org.gnome.Shell.Extensions";
constexpr const char* shellPath = "/org/gnome/Shell";
// The states of GNOME Shell's ExtensionState for an extension that runs.
constexpr double enabledState = 1;
constexpr double activeState = 8; // GNOME 45 and later

QString ownerOf(const QDBusConnection& bus, const QString& name) {
    const QDBusReply<QString> reply = bus.interface()->serviceOwner(name);
    return reply.isValid() ? reply.value() : QString();
}

// The extension's state as GNOME Shell reports it; nothing when it does not know the extension.
std::optional<double> extensionState(const QDBusConnection& bus) {
    QDBusMessage call = QDBusMessage::createMethodCall(shellName, shellPath, extensionsInterface,
                                                       "GetExtensionInfo");
    call << QString::fromLatin1(GnomeShellClient::extensionUuid);
    const QDBusMessage reply = bus.call(call, QDBus::Block, GnomeShellClient::callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariantMap info = qdbus_cast<QVariantMap>(reply.arguments().first());
    if (!info.contains("state"))
        return std::nullopt;
    return info.value("state").toDouble();
}

template <typename T> std::optional<T> valueOf(const QDBusPendingReply<T>& reply) {
    QDBusPendingReply<T> waited = reply;
    waited.waitForFinished();
    if (!waited.isValid())
        return std::nullopt;
    return waited.value();
}

bool succeeded(const QDBusPendingReply<bool>& reply) {
    return valueOf(reply).value_or(false);
}

} // namespace

std::optional<std::string> GnomeShellClient::problem(const QDBusConnection& bus,
                                                     const std::string& version) {
    if (!bus.isConnected())
        return "GNOME Shell cannot be reached: Halvo finds no session bus. Start Halvo from inside "
               "your GNOME session.";
    const QString shell = ownerOf(bus, shellName);
    if (shell.isEmpty())
        return "GNOME Shell is not running on this session bus. Start Halvo from inside your "
               "GNOME session.";
    const std::optional<double> state = extensionState(bus);
    if (!state)
        return std::string("Halvo's GNOME Shell extension (") + extensionUuid +
               ") is not installed: install Halvo's package, then log out and back in so that "
               "GNOME Shell finds it.";
    if (*state != enabledState && *state != activeState)
        return std::string("Halvo's GNOME Shell extension is turned off: turn it on with "
                           "\"gnome-extensions enable ") +
               extensionUuid + "\" or in the Extensions app, then start Halvo again.";
    if (ownerOf(bus, serviceName) != shell)
        return "Halvo's GNOME Shell extension is on but does not answer: log out and back in, "
               "then start Halvo again.";
    GnomeShellProxy proxy(serviceName, objectPath, bus);
    proxy.setTimeout(callTimeoutMs);
    const std::optional<QString> running = valueOf(proxy.GetVersion());
    if (!running || running->toStdString() != version)
        return "Halvo's GNOME Shell extension (version " +
               (running ? running->left(32).toStdString() : std::string("unknown")) +
               ") is not Halvo's version " + version +
               ": log out and back in to load the one "
               "installed with Halvo.";
    return std::nullopt;
}

GnomeShellClient::GnomeShellClient(const QDBusConnection& bus)
    : m_bus(bus), m_proxy(std::make_unique<GnomeShellProxy>(serviceName, objectPath, bus)) {
    m_proxy->setTimeout(callTimeoutMs);
    connect(m_proxy.get(), &GnomeShellProxy::WindowsChanged, this,
            &GnomeShellClient::windowsChanged);
    connect(m_proxy.get(), &GnomeShellProxy::FocusChanged, this, &GnomeShellClient::focusChanged);
    connect(m_proxy.get(), &GnomeShellProxy::MonitorsChanged, this,
            &GnomeShellClient::monitorsChanged);
    connect(m_proxy.get(), &GnomeShellProxy::ShortcutPressed, this,
            &GnomeShellClient::shortcutPressed);
    connect(m_proxy.get(), &GnomeShellProxy::ArrowReleased, this, &GnomeShellClient::arrowReleased);
    connect(m_proxy.get(), &GnomeShellProxy::ModifiersChanged, this,
            &GnomeShellClient::modifiersChanged);
    connect(m_proxy.get(), &GnomeShellProxy::OverlayPointer, this,
            &GnomeShellClient::overlayPointer);
    connect(m_proxy.get(), &GnomeShellProxy::MenuActivated, this, &GnomeShellClient::menuActivated);
}

GnomeShellClient::~GnomeShellClient() = default;

bool GnomeShellClient::start() {
    QDBusConnection bus = m_bus;
    auto* watcher = new QDBusServiceWatcher(this);
    watcher->setConnection(bus);
    watcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    watcher->addWatchedService(shellName);
    watcher->addWatchedService(serviceName);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &GnomeShellClient::shellLost);
    const auto reply =
        bus.interface()->registerService(halvoName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

std::optional<std::string> GnomeShellClient::windowsText() const {
    const std::optional<QString> text = valueOf(m_proxy->GetWindows());
    return text ? std::optional(text->toStdString()) : std::nullopt;
}

std::optional<std::string> GnomeShellClient::monitorsText() const {
    const std::optional<QString> text = valueOf(m_proxy->GetMonitors());
    return text ? std::optional(text->toStdString()) : std::nullopt;
}

bool GnomeShellClient::activate(WindowID window) const {
    return succeeded(m_proxy->Activate(window));
}

bool GnomeShellClient::raise(WindowID window) const {
    return succeeded(m_proxy->Raise(window));
}

bool GnomeShellClient::setMinimized(WindowID window, bool minimized) const {
    return succeeded(m_proxy->SetMinimized(window, minimized));
}

bool GnomeShellClient::setFrame(WindowID window, int x, int y, int width, int height) const {
    return succeeded(m_proxy->SetFrame(window, x, y, width, height));
}

bool GnomeShellClient::setFullScreen(WindowID window, bool fullScreen) const {
    return succeeded(m_proxy->SetFullScreen(window, fullScreen));
}

std::optional<unsigned> GnomeShellClient::grabShortcut(unsigned action,
                                                       const std::string& accelerator) const {
    return valueOf(m_proxy->GrabShortcut(action, QString::fromStdString(accelerator)));
}

void GnomeShellClient::ungrabShortcut(unsigned action) const {
    QDBusPendingReply<> reply = m_proxy->UngrabShortcut(action);
    reply.waitForFinished();
}

void GnomeShellClient::showOverlay(const Rect& frame, const QImage& pixels) const {
    const QImage image = pixels.format() == QImage::Format_ARGB32_Premultiplied
                             ? pixels
                             : pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Rows without padding: an ARGB32 row is always 4-byte aligned, so bytesPerLine is width * 4.
    const QByteArray data(reinterpret_cast<const char*>(image.constBits()),
                          static_cast<qsizetype>(image.sizeInBytes()));
    m_proxy->ShowOverlay(static_cast<int>(frame.x), static_cast<int>(frame.y),
                         static_cast<int>(frame.width), static_cast<int>(frame.height),
                         static_cast<uint>(image.width()), static_cast<uint>(image.height()), data);
}

void GnomeShellClient::hideOverlay() const {
    m_proxy->HideOverlay();
}

bool GnomeShellClient::setMenu(const std::vector<MenuRow>& rows) const {
    static const QMetaType registered = qDBusRegisterMetaType<MenuRow>();
    QDBusArgument items;
    items.beginArray(registered);
    for (const MenuRow& row : rows)
        items << row;
    items.endArray();
    return succeeded(m_proxy->SetMenu(items));
}

} // namespace halvo
