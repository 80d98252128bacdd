// The headless sway that tests/sway/main.cpp starts for the whole test program.
#pragma once

#include "support/SwaySession.h"

namespace halvo::test {

SwaySession& swaySession();

} // namespace halvo::test
