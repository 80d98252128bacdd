// Playing the bell with libcanberra.
#include "platform/linux/CanberraSystemSound.h"

#include <canberra.h>

namespace halvo {

CanberraSystemSound::CanberraSystemSound() {
    if (ca_context_create(&m_context) != CA_SUCCESS)
        m_context = nullptr;
}

CanberraSystemSound::~CanberraSystemSound() {
    if (m_context)
        ca_context_destroy(m_context);
}

void CanberraSystemSound::beep() {
    if (!m_context)
        return;
    ca_context_play(m_context, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                    "Halvo could not carry out the gesture", nullptr);
}

} // namespace halvo
