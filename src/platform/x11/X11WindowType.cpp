// Window kinds from the EWMH type list.
#include "platform/x11/X11WindowType.h"

#include <array>
#include <string_view>

namespace halvo {
namespace {

struct KnownType {
    std::string_view name;
    X11WindowType::Kind kind;
};

constexpr std::array<KnownType, 14> knownTypes{{
    {"_NET_WM_WINDOW_TYPE_NORMAL", X11WindowType::Kind::normal},
    {"_NET_WM_WINDOW_TYPE_DIALOG", X11WindowType::Kind::dialog},
    {"_NET_WM_WINDOW_TYPE_DOCK", X11WindowType::Kind::dock},
    {"_NET_WM_WINDOW_TYPE_DESKTOP", X11WindowType::Kind::desktop},
    {"_NET_WM_WINDOW_TYPE_TOOLBAR", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_MENU", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_UTILITY", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_SPLASH", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_POPUP_MENU", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_TOOLTIP", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_NOTIFICATION", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_COMBO", X11WindowType::Kind::other},
    {"_NET_WM_WINDOW_TYPE_DND", X11WindowType::Kind::other},
}};

} // namespace

X11WindowType::Kind X11WindowType::classify(X11Connection& connection,
                                            const std::vector<std::uint32_t>& types) {
    for (std::uint32_t type : types) {
        for (const KnownType& known : knownTypes) {
            if (type == connection.atom(known.name))
                return known.kind;
        }
    }
    return Kind::normal;
}

} // namespace halvo
