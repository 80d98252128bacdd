// The single lost-compositor message, see CompositorLossReport.h.
#include "platform/wayland/CompositorLossReport.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstring>
#include <unistd.h>

namespace halvo {
namespace {

std::atomic<bool> lossReported{false};
std::atomic<const char*> compositorName{"sway"};
QtMessageHandler previousHandler = nullptr;

// Qt's Wayland client says this when the compositor is gone, and then ends the process itself
// without unwinding main: with status 1 in Qt 6.4, 255 in Qt 6.8. Halvo ends it first, with the
// status it gives for a lost compositor on every release; the order and settings are saved as they
// change, so nothing is waiting to be written.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("The Wayland connection"))) {
        CompositorLossReport::report();
        ::_exit(1);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void CompositorLossReport::watchQt() {
    previousHandler = qInstallMessageHandler(onQtMessage);
}

void CompositorLossReport::setCompositorName(const char* name) {
    compositorName.store(name);
}

void CompositorLossReport::report() {
    if (lossReported.exchange(true))
        return;
    // One write, so that the line is never split by another thread's output.
    char message[160] = "Halvo: Lost the connection to ";
    std::strncat(message, compositorName.load(), 64);
    std::strncat(message, "; quitting.\n", 16);
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, message, std::strlen(message));
}

bool CompositorLossReport::reported() {
    return lossReported.load();
}

} // namespace halvo
