// Opening, failure reports and closing of the serial engine, including the
// device going away and a monitor thread that is stuck.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "failure_report.h"
#include "serial_port.h"
#include "serial_test_receiver.h"
#include "tally_test_support.h"

namespace tallylink {
namespace {

using namespace std::chrono_literals;
using serialtest::Received;
using tallytest::FailureCapture;
using tallytest::PtyPair;
using tallytest::ScopedEnv;
using tallytest::TempDir;

const unsigned char kState[4] = {0xAA, 0xCA, 0xCA, 0x94};

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST(FailureReport, TextKeepsTheFormatOperatorsKnow) {
    EXPECT_EQ(FormatFailureReport("WaitCommEvent()", EIO, 7),
              "WARNING:  WaitCommEvent() Failed with the following error: \n"
              "Input/output error\nPort: 7\n");
    // No fixed buffer: a long step name and system text come out whole.
    std::string step(600, 'S');
    std::string text = FormatFailureReport(step.c_str(), ENOTTY, 12);
    EXPECT_NE(text.find(step + " Failed"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 10), "\nPort: 12\n");
    EXPECT_EQ(std::string(kFailureCaption), "Application Error");
}

TEST(FailureReport, GoesToStandardErrorWithoutAHost) {
    testing::internal::CaptureStderr();
    ReportFailure("ReadFile()", EIO, 3);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Application Error"), std::string::npos);
    EXPECT_NE(err.find("WARNING:  ReadFile() Failed with the following error: \n"
                       "Input/output error\nPort: 3\n"),
              std::string::npos);
}

class SerialLifecycleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Received::Get().Reset();
        ports = dir.MakeDir("ports");
        dir.MakeDir("sys");
    }
    TempDir dir;
    std::string ports;
    ScopedEnv portEnv{"TALLYLINK_PORT_DIR", nullptr};
    ScopedEnv sysfsEnv{"TALLYLINK_SYSFS_ROOT", nullptr};
    FailureCapture failures;

    void UseFixtureRoots() {
        setenv("TALLYLINK_PORT_DIR", ports.c_str(), 1);
        setenv("TALLYLINK_SYSFS_ROOT", (dir.path() + "/sys").c_str(), 1);
    }
};

TEST_F(SerialLifecycleTest, OpensPresentPortsByNumberOnly) {
    UseFixtureRoots();
    PtyPair far;
    dir.Symlink("ports/NRV7350K Card Counter (COM7)", far.slavePath());
    SerialPort port;
    EXPECT_EQ(port.Open(&Received::Callback, 8), 0);  // no such port: no report
    EXPECT_EQ(port.Open(&Received::Callback, 0), 0);
    EXPECT_EQ(port.StartMonitor(), 0);
    EXPECT_FALSE(port.IsStarted());
    ASSERT_EQ(port.Open(&Received::Callback, 7), 1);
    ASSERT_EQ(port.StartMonitor(), 1);
    port.QueueWrite(kState, 4);
    EXPECT_EQ(far.Read(4, 3s), std::vector<uint8_t>(kState, kState + 4));
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_TRUE(failures.Reports().empty());
}

TEST_F(SerialLifecycleTest, ConfigurationFailureIsReportedAndThePortStaysOpen) {
    SerialPort port;
    // Not a terminal: the first configuration step fails.
    EXPECT_EQ(port.OpenDevice(&Received::Callback, 7, "/dev/null"), 1);
    ASSERT_EQ(failures.Reports().size(), 1u);
    EXPECT_EQ(failures.Reports()[0],
              "WARNING:  SetCommTimeouts() Failed with the following error: \n"
              "Inappropriate ioctl for device\nPort: 7\n");
    EXPECT_EQ(failures.Captions()[0], "Application Error");
    EXPECT_EQ(port.Close(), 1);
}

TEST_F(SerialLifecycleTest, PulledOutEndsTheMonitorWithReportsAndOpeningAgainWorks) {
    auto far = std::make_unique<PtyPair>();
    SerialPort port;
    ASSERT_EQ(port.OpenDevice(&Received::Callback, 7, far->slavePath()), 1);
    ASSERT_EQ(port.StartMonitor(), 1);
    far->CloseMaster();

    ASSERT_TRUE(failures.WaitFor(2, 5s));
    ASSERT_TRUE(WaitUntil([&] { return !port.IsMonitorAlive(); }, 5s));
    std::vector<std::string> reports = failures.Reports();
    EXPECT_EQ(reports[0].rfind("WARNING:  ReadFile() Failed with the following error: \n", 0), 0u)
        << reports[0];
    EXPECT_EQ(reports[1].rfind("WARNING:  WaitCommEvent() Failed", 0), 0u) << reports[1];
    EXPECT_EQ(reports[1].substr(reports[1].size() - 9), "\nPort: 7\n");
    EXPECT_EQ(reports.size(), 2u);

    // Commands go nowhere now and do not hold the caller up.
    for (int i = 0; i < 40; ++i) port.QueueWrite(kState, 4);
    EXPECT_TRUE(port.IsStarted());
    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(port.IsStarted());

    PtyPair back;
    ASSERT_EQ(port.OpenDevice(&Received::Callback, 7, back.slavePath()), 1);
    ASSERT_EQ(port.StartMonitor(), 1);
    port.QueueWrite(kState, 4);
    EXPECT_EQ(back.Read(4, 3s).size(), 4u);
}

TEST_F(SerialLifecycleTest, CloseIsBoundedWhileTheMonitorIsHeldInAReport) {
    // The host shows the report in a box nobody has dismissed yet.
    failures.Hold();
    auto far = std::make_unique<PtyPair>();
    SerialPort port;
    ASSERT_EQ(port.OpenDevice(&Received::Callback, 7, far->slavePath()), 1);
    ASSERT_EQ(port.StartMonitor(), 1);
    far->CloseMaster();
    ASSERT_TRUE(failures.WaitFor(1, 5s));

    EXPECT_EQ(port.Close(), 1);  // returns although the thread is stuck
    EXPECT_FALSE(port.IsStarted());
    PtyPair next;
    ASSERT_EQ(port.OpenDevice(&Received::Callback, 7, next.slavePath()), 1);
    ASSERT_EQ(port.StartMonitor(), 1);

    // Dismissing the box lets the old thread end quietly: no further report.
    failures.Release();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(failures.Reports().size(), 1u);
    port.QueueWrite(kState, 4);
    EXPECT_EQ(next.Read(4, 3s).size(), 4u);
}

TEST_F(SerialLifecycleTest, CloseAndDestructionAreBoundedWhileTheCallbackBlocks) {
    PtyPair far;
    {
        SerialPort port;
        ASSERT_EQ(port.OpenDevice(&Received::Callback, 7, far.slavePath()), 1);
        ASSERT_EQ(port.StartMonitor(), 1);
        Received::Get().Block();
        far.Write({1});
        ASSERT_TRUE(Received::Get().WaitInCallback(3s));
        EXPECT_EQ(port.Close(), 1);

        // The device is free for the next opener at once.
        SerialPort other;
        ASSERT_EQ(other.OpenDevice(&Received::Callback, 7, far.slavePath()), 1);
        ASSERT_EQ(other.StartMonitor(), 1);
        // Its monitor is now held in the callback too; destruction below
        // must not wait for it.
        far.Write({2});
        std::this_thread::sleep_for(100ms);
    }
    Received::Get().Unblock();
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(failures.Reports().empty());
}

// Root opens terminals held exclusively all the same, so the check runs as
// an ordinary user (in a child process when the tests run as root).
TEST(SerialExclusive, HeldExclusivelyYetOpensAgainAfterClosing) {
    auto scenario = []() -> int {
        PtyPair far;
        if (!far.ok()) return 10;
        SerialPort port;
        if (port.OpenDevice(&Received::Callback, 7, far.slavePath()) != 1) return 11;
        SerialPort other;
        if (other.OpenDevice(&Received::Callback, 7, far.slavePath()) != 0) return 12;
        port.Close();
        // A pseudo-terminal keeps its exclusive mode past the last close.
        if (port.OpenDevice(&Received::Callback, 7, far.slavePath()) != 1) return 13;
        if (port.StartMonitor() != 1) return 14;
        port.Close();
        if (other.OpenDevice(&Received::Callback, 7, far.slavePath()) != 1) return 15;
        return 0;
    };
    if (geteuid() != 0) {
        EXPECT_EQ(scenario(), 0);
        return;
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(20);
        _exit(scenario());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tallylink
