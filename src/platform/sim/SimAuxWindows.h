// Counts the requests to show the Preferences and About windows, for tests.
#pragma once

#include "platform/AuxWindows.h"

namespace halvo {

class SimAuxWindows final : public AuxWindows {
public:
    void showPreferences() override { ++m_preferencesShown; }
    void showAbout() override { ++m_aboutShown; }

    int preferencesShown() const { return m_preferencesShown; }
    int aboutShown() const { return m_aboutShown; }

private:
    int m_preferencesShown = 0;
    int m_aboutShown = 0;
};

} // namespace halvo
