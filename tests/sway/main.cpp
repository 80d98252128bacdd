// Entry point of the sway tests: a private headless sway first, then the QApplication on it (Qt's
// own Wayland platform, as Halvo runs in a sway session).
#include "sway/SwayTestSession.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace halvo::test {
namespace {
SwaySession* g_session = nullptr;
}

SwaySession& swaySession() {
    return *g_session;
}

} // namespace halvo::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    setenv("GSETTINGS_BACKEND", "memory", 1);
    auto session = std::make_unique<halvo::test::SwaySession>();
    if (!session->ok()) {
        fprintf(stderr, "no sway session for the sway tests: %s\n", session->error().c_str());
        return 1;
    }
    halvo::test::g_session = session.get();
    session->exportEnvironment();
    setenv("QT_QPA_PLATFORM", "wayland", 0);
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    halvo::test::g_session = nullptr;
    return result;
}
