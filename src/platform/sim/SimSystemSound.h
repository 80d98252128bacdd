// Counts beeps, for tests.
#pragma once

#include "platform/SystemSound.h"

#include <atomic>

namespace halvo {

class SimSystemSound final : public SystemSound {
public:
    void beep() override { ++m_beeps; }
    int beeps() const { return m_beeps; }

private:
    std::atomic<int> m_beeps{0};
};

} // namespace halvo
