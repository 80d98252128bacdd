// Per-thread choice of X connection.
#include "platform/x11/X11ThreadConnection.h"

#include <string>

namespace halvo {

X11ThreadConnection::X11ThreadConnection(X11Connection& main)
    : m_main(main), m_mainThread(std::this_thread::get_id()) {}

X11Connection& X11ThreadConnection::get() {
    if (std::this_thread::get_id() == m_mainThread)
        return m_main;
    std::call_once(m_opened, [this] {
        std::string error;
        m_worker = m_main.openAnother(error);
    });
    return m_worker ? *m_worker : m_main;
}

} // namespace halvo
