// Entry point of the GNOME tests: each test makes its own headless GNOME Shell; the Qt
// application carries the D-Bus connections and the signals they deliver.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
