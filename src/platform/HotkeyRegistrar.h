// System-wide hot keys: a key code plus a modifier mask that reaches Halvo whichever window has
// the focus.
#pragma once

#include "platform/HotkeyTypes.h"

#include <functional>

namespace halvo {

class HotkeyRegistrar {
public:
    using Handler = std::function<OSStatus(const HotkeyEvent&)>;

    virtual ~HotkeyRegistrar() = default;

    // Installs the one handler that receives pressed and released events of every registered hot
    // key, on the main thread. On success `handler` is set to a non-zero reference.
    virtual OSStatus installEventHandler(Handler handler, EventHandlerRef& ref) = 0;
    virtual OSStatus removeEventHandler(EventHandlerRef ref) = 0;

    // Registers keyCode with the modifier mask. Non-zero status (and ref 0) when it cannot be had,
    // for example because another client owns the combination; nothing is left half-registered.
    virtual OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                         EventHotKeyID id, EventHotKeyRef& ref) = 0;
    virtual OSStatus unregisterEventHotKey(EventHotKeyRef ref) = 0;
};

} // namespace halvo
