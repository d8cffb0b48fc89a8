// The serial engine over a real pseudo-terminal: the test plays the far end
// on the master side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "serial_port.h"
#include "serial_test_receiver.h"
#include "tally_test_support.h"

namespace tallylink {
namespace {

using namespace std::chrono_literals;
using serialtest::Received;
using tallytest::FailureCapture;
using tallytest::PtyPair;

const std::vector<uint8_t> kState = {0xAA, 0xCA, 0xCA, 0x94};
const std::vector<uint8_t> kPage = {0xAA, 0xC8, 0xC8, 0x90};
const std::vector<uint8_t> kClear = {0xAA, 0xCB, 0xCB, 0x96};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

class SerialEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Received::Get().Reset();
        ASSERT_TRUE(far.ok());
        ASSERT_EQ(port.OpenDevice(&Received::Callback, 7, far.slavePath()), 1);
    }
    void TearDown() override {
        Received::Get().Unblock();
        port.Close();
    }
    void Queue(const std::vector<uint8_t>& bytes) {
        port.QueueWrite(bytes.data(), static_cast<unsigned>(bytes.size()));
    }

    FailureCapture failures;
    PtyPair far;
    SerialPort port;
};

TEST_F(SerialEngineTest, ConfiguresTheLineWithoutReportingMissingModemLines) {
    // A pseudo-terminal has no DTR or RTS; that is not a failure.
    EXPECT_TRUE(failures.Reports().empty());
    // Root may open a terminal another process holds exclusively; others
    // cannot, which is the point of the exclusive open.
    int probe = open(far.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (probe < 0) GTEST_SKIP() << "the port is held exclusively; settings not readable";
    termios tio;
    ASSERT_EQ(tcgetattr(probe, &tio), 0);
    close(probe);
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST_F(SerialEngineTest, SecondOpenOfTheSameDeviceIsRefused) {
    SerialPort other;
    EXPECT_EQ(other.OpenDevice(&Received::Callback, 7, far.slavePath()), 0);
    EXPECT_TRUE(failures.Reports().empty());
}

TEST_F(SerialEngineTest, WritesQueuedCommandsWhole) {
    ASSERT_EQ(port.StartMonitor(), 1);
    EXPECT_TRUE(port.IsStarted());
    Queue(kState);
    EXPECT_EQ(far.Read(4, 3s), kState);
}

TEST_F(SerialEngineTest, BurstArrivesAsOneChunk) {
    ASSERT_EQ(port.StartMonitor(), 1);
    std::vector<uint8_t> frame = {0x40, 0x40, 0x28, 0x0A, 0, 0, 0, 1, 0, 0, 1, 0x2C, 0, 3, 0x29};
    far.Write(frame);
    ASSERT_TRUE(Received::Get().WaitForBytes(frame.size(), 3s));
    std::this_thread::sleep_for(100ms);
    auto chunks = Received::Get().Chunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], frame);
}

TEST_F(SerialEngineTest, LongBurstComesInChunksOfAtMost1024Bytes) {
    ASSERT_EQ(port.StartMonitor(), 1);
    std::vector<uint8_t> bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    far.Write(bytes);
    ASSERT_TRUE(Received::Get().WaitForBytes(bytes.size(), 5s));
    for (const auto& chunk : Received::Get().Chunks()) {
        EXPECT_GE(chunk.size(), 1u);
        EXPECT_LE(chunk.size(), 1024u);
    }
    EXPECT_EQ(Received::Get().AllBytes(), bytes);
}

TEST_F(SerialEngineTest, PauseLongerThanTheGapEndsAChunk) {
    ASSERT_EQ(port.StartMonitor(), 1);
    far.Write({1, 2, 3});
    std::this_thread::sleep_for(300ms);
    far.Write({4, 5});
    ASSERT_TRUE(Received::Get().WaitForBytes(5, 3s));
    auto chunks = Received::Get().Chunks();
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(chunks[1], (std::vector<uint8_t>{4, 5}));
}

TEST_F(SerialEngineTest, UnreadInputIsDiscardedBeforeACommand) {
    ASSERT_EQ(port.StartMonitor(), 1);
    // Hold the monitor thread in the callback with a first chunk, let stale
    // bytes arrive behind it, then queue a command.
    Received::Get().Block();
    far.Write({0x11});
    ASSERT_TRUE(Received::Get().WaitInCallback(3s));
    far.Write({0x40, 0x40, 0x28, 0x00, 0x29});  // a late reply to something earlier
    std::this_thread::sleep_for(100ms);
    Queue(kState);
    Received::Get().Unblock();

    EXPECT_EQ(far.Read(4, 3s), kState);
    far.Write({0x22});
    ASSERT_TRUE(Received::Get().WaitForBytes(2, 3s));
    EXPECT_EQ(Received::Get().AllBytes(), (std::vector<uint8_t>{0x11, 0x22}));
}

TEST_F(SerialEngineTest, CommandsQueuedBackToBackAreAllWrittenInOrder) {
    ASSERT_EQ(port.StartMonitor(), 1);
    // The monitor thread is busy (inside the callback) while a fetch ends
    // with its clear command and the next call sends its own command: the
    // clear command must not be replaced.
    Received::Get().Block();
    far.Write({0x11});
    ASSERT_TRUE(Received::Get().WaitInCallback(3s));
    Queue(kClear);
    Queue(kState);
    Queue(kPage);
    Received::Get().Unblock();
    EXPECT_EQ(far.Read(12, 3s), Concat({kClear, kState, kPage}));
}

TEST_F(SerialEngineTest, CommandsQueuedBeforeTheMonitorStartsWaitForIt) {
    Queue(kClear);
    Queue(kState);
    EXPECT_TRUE(far.ReadAvailable(100ms).empty());
    ASSERT_EQ(port.StartMonitor(), 1);
    EXPECT_EQ(far.Read(8, 3s), Concat({kClear, kState}));
}

TEST_F(SerialEngineTest, OpeningWithoutACallbackKeepsTheEarlierOne) {
    ASSERT_EQ(port.Close(), 1);
    PtyPair second;
    ASSERT_EQ(port.OpenDevice(&Received::OtherCallback, 7, second.slavePath()), 1);
    ASSERT_EQ(port.OpenDevice(nullptr, 7, far.slavePath()), 1);
    ASSERT_EQ(port.StartMonitor(), 1);
    far.Write({1, 2, 3});
    EXPECT_TRUE(Received::Get().WaitForOtherBytes(3, 3s));
    EXPECT_TRUE(Received::Get().Chunks().empty());
}

TEST_F(SerialEngineTest, OpeningAgainWhileMonitoringReplacesTheOldOpening) {
    ASSERT_EQ(port.StartMonitor(), 1);
    PtyPair second;
    ASSERT_EQ(port.OpenDevice(&Received::Callback, 8, second.slavePath()), 1);
    EXPECT_FALSE(port.IsMonitorAlive());
    ASSERT_EQ(port.StartMonitor(), 1);
    Queue(kState);
    EXPECT_EQ(second.Read(4, 3s), kState);
    // The first device is free again.
    SerialPort other;
    EXPECT_EQ(other.OpenDevice(&Received::Callback, 7, far.slavePath()), 1);
}

}  // namespace
}  // namespace tallylink
