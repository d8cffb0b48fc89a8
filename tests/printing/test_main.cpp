// GoogleTest main for the printing tests: Qt's printing and fonts need a
// QGuiApplication, and without a display it must run offscreen (CTest sets
// the platform; listing the tests at build time does not). The CUPS client
// is pointed at the tests' own scheduler before anything asks for a printer.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "private_cupsd.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    tallyprint_test::UsePrivateCupsServer();
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
