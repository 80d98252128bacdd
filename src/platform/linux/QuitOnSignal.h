// SIGINT and SIGTERM end the Qt event loop (with status 0) from the main thread, through a socket
// pair: a signal handler may only write a byte.
#pragma once

#include <QObject>

namespace halvo {

class QuitOnSignal final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers for the life of the process; one instance per process.
    explicit QuitOnSignal(QObject* parent = nullptr);
};

} // namespace halvo
