// The private X server that every view test of this process draws on, started before Qt.
#pragma once

#include "support/XvfbSession.h"

namespace halvo::test {

// Two side-by-side 1440x1024 monitors, LEFT primary, with openbox. Null while only listing tests.
XvfbSession* uiSession();

} // namespace halvo::test
