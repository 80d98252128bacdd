// Entry point of the view tests: a private X server first, then the QApplication on it.
#include "ui/UiSession.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace halvo::test {
namespace {
XvfbSession* g_session = nullptr;
}

XvfbSession* uiSession() {
    return g_session;
}

} // namespace halvo::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    // GSettings through dconf would tie this process to a session bus that dies with the private
    // X server (and takes the process with it); the in-memory backend keeps the defaults.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    halvo::test::XvfbSession::Options options;
    options.width = 2880;
    options.height = 1024;
    auto session = std::make_unique<halvo::test::XvfbSession>(options);
    if (!session->ok()) {
        fprintf(stderr, "no X server for the view tests: %s\n", session->error().c_str());
        return 1;
    }
    halvo::test::g_session = session.get();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(halvo);
    const int result = RUN_ALL_TESTS();
    halvo::test::g_session = nullptr;
    return result;
}
