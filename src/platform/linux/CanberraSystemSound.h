// The desktop's "bell" event sound through libcanberra (the freedesktop sound theme), for sessions
// without an X bell (sway).
#pragma once

#include "platform/SystemSound.h"

struct ca_context;

namespace halvo {

class CanberraSystemSound final : public SystemSound {
public:
    CanberraSystemSound();
    ~CanberraSystemSound() override;
    CanberraSystemSound(const CanberraSystemSound&) = delete;
    CanberraSystemSound& operator=(const CanberraSystemSound&) = delete;

    // Plays "bell"; silent when there is no sound device or theme (never an error).
    void beep() override;

private:
    ca_context* m_context = nullptr;
};

} // namespace halvo
