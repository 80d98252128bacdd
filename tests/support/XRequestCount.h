// How many X requests a piece of work sends on a connection: the sequence numbers of two no-op
// round trips around it.
#pragma once

#include <cstdlib>
#include <xcb/xcb.h>

namespace halvo::test {

template <typename Work> unsigned requestsSentBy(xcb_connection_t* c, Work&& work) {
    const auto before = xcb_get_input_focus(c);
    free(xcb_get_input_focus_reply(c, before, nullptr));
    work();
    const auto after = xcb_get_input_focus(c);
    free(xcb_get_input_focus_reply(c, after, nullptr));
    return after.sequence - before.sequence - 1;
}

} // namespace halvo::test
