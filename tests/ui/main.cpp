// Entry point of the view tests: a QApplication on a private X server for the whole run.
#include "support/XvfbSession.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    halvo::test::XvfbSession::Options options;
    options.twoMonitors = false;
    halvo::test::XvfbSession session(options);
    if (!session.ok()) {
        std::fprintf(stderr, "no X session: %s\n", session.error().c_str());
        return 1;
    }
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(halvo);
    return RUN_ALL_TESTS();
}
