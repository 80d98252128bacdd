// The kind of a window from its _NET_WM_WINDOW_TYPE list, read the same way wherever it is needed.
#pragma once

#include "platform/x11/X11Connection.h"

#include <cstdint>
#include <vector>

namespace halvo {

class X11WindowType {
public:
    enum class Kind { normal, dialog, dock, desktop, other };

    // The first type in the list that EWMH defines decides: toolkits put their own types in
    // front (Qt's frameless windows begin with _KDE_NET_WM_WINDOW_TYPE_OVERRIDE) for window
    // managers that know them. A list without any EWMH type counts as unset, that is normal.
    static Kind classify(X11Connection& connection, const std::vector<std::uint32_t>& types);
};

} // namespace halvo
