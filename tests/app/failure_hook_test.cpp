// The device library's failure report reaches a message box on the window's
// thread, and the reporting thread waits for it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "framework/testing/scripted.h"
#include "link/tallylink.h"

TEST(FailureHook, AReportFromAnotherThreadIsShownOnTheWindowThread) {
    ScriptedDialogs dialogs;
    ScopedSeam<MessageBoxService> boxes(&dialogs);
    bool onWindowThread = false;
    dialogs.whileShown = [&](const ScriptedDialogs::ShownBox&) {
        onWindowThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    std::atomic<bool> returned{false};
    std::thread monitor([&] {
        tallylink_show_failure("WriteFile() failed: Input/output error", "Application Error");
        returned = true;
    });
    QElapsedTimer t;
    t.start();
    while (!returned && t.elapsed() < 10000) QTest::qWait(5);
    monitor.join();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "WriteFile() failed: Input/output error");
    EXPECT_EQ(dialogs.shown[0].caption, "Application Error");
    EXPECT_EQ(dialogs.shown[0].type, MB_OK | MB_ICONHAND);
    EXPECT_TRUE(onWindowThread);
}
