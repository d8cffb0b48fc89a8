// The seven exports against a scripted machine answering on its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "device_api.h"
#include "fake_machine.h"
#include "tallylink.h"

namespace {

using tallylink::Command;
using tallylink::kCmdClearRecords;
using tallylink::kCmdGetRecordPage;
using tallylink::kCmdGetState;
using tallytest::Bytes;
using tallytest::FakeMachine;

std::atomic<bool> g_machinePresent{true};

int FindMachine(char* name) {
    if (!g_machinePresent) return 0;
    std::strcpy(name, "COM7");
    return 1;
}

std::vector<int> Sequence(unsigned n, int first = 1) {
    std::vector<int> values(n);
    for (unsigned i = 0; i < n; ++i) values[i] = static_cast<int>((first + 7919u * i) % 65536u);
    return values;
}

std::vector<Command> FetchCommands(unsigned pages, bool withClear = true) {
    std::vector<Command> commands = {kCmdGetState};
    commands.insert(commands.end(), pages, kCmdGetRecordPage);
    if (withClear) commands.push_back(kCmdClearRecords);
    return commands;
}

class DeviceApiTest : public ::testing::Test {
protected:
    static constexpr int kUntouched = -77;

    void SetUp() override {
        g_machinePresent = true;
        tallylink::SetPortBackendForTesting(&machine, &FindMachine);
        values.assign(tallylink::kMaxRecordsPerCall + 1, kUntouched);
    }
    void TearDown() override { tallylink::SetPortBackendForTesting(nullptr, nullptr); }

    void Connect() {
        ASSERT_EQ(ConnectDov_Oz_Er(), 1);
        machine.ClearWritten();
    }
    // One fetch into `values`; `count` keeps its value on failure.
    int Fetch() { return GetDov_Oz_Er_Record(&count, values.data()); }
    std::vector<int> Handed() const { return std::vector<int>(values.begin(), values.begin() + count); }

    FakeMachine machine;
    std::vector<int> values;  // the caller's 20000 ints plus one guard
    unsigned count = 12345;
};

TEST_F(DeviceApiTest, NothingIsSentBeforeConnecting) {
    machine.AddRecords({5, 6});
    int sum = kUntouched, records = kUntouched;
    EXPECT_EQ(GetDov_Oz_Er_State(&sum, &records), 0);
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(ClearDov_Oz_Er_Count(), 0);
    EXPECT_EQ(GetDov_Oz_Er_Ver(1), 0);
    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);
    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);
    int code = 99;
    EXPECT_EQ(GetLastErrorCode(&code), 1);
    EXPECT_EQ(code, 0);

    EXPECT_EQ(sum, kUntouched);
    EXPECT_EQ(records, kUntouched);
    EXPECT_EQ(count, 12345u);
    EXPECT_EQ(values[0], kUntouched);
    EXPECT_TRUE(machine.Written().empty());
    EXPECT_EQ(machine.OpenCalls(), 0);
}

TEST_F(DeviceApiTest, ConnectFindsOpensAndStartsThePort) {
    g_machinePresent = false;
    EXPECT_EQ(ConnectDov_Oz_Er(), 0);
    EXPECT_EQ(machine.OpenCalls(), 0);

    g_machinePresent = true;
    machine.FailOpen(true);
    EXPECT_EQ(ConnectDov_Oz_Er(), 0);
    EXPECT_EQ(GetDov_Oz_Er_Ver(0), 0);
    EXPECT_FALSE(machine.IsStarted());

    machine.FailOpen(false);
    EXPECT_EQ(ConnectDov_Oz_Er(), 1);
    EXPECT_EQ(machine.OpenedPort(), tallylink::PortNumberFromName("COM7"));
    EXPECT_TRUE(machine.IsStarted());
    EXPECT_EQ(GetDov_Oz_Er_Ver(0), 1);
    EXPECT_EQ(GetDov_Oz_Er_Ver(-5), 1);

    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);
    EXPECT_FALSE(machine.IsStarted());
    EXPECT_EQ(GetDov_Oz_Er_Ver(0), 0);
    EXPECT_TRUE(machine.Written().empty());
}

// A monitor that does not start leaves the API connected but deaf: every
// exchange times out, and a disconnect still closes the port so that the
// next connect can open it again.
TEST_F(DeviceApiTest, MonitorThatDoesNotStart) {
    machine.FailStart(true);
    EXPECT_EQ(ConnectDov_Oz_Er(), 1);
    int sum = kUntouched, records = kUntouched;
    EXPECT_EQ(GetDov_Oz_Er_State(&sum, &records), 0);
    EXPECT_EQ(sum, kUntouched);
    EXPECT_TRUE(machine.IsOpen());
    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);
    EXPECT_FALSE(machine.IsOpen());
}

// A second connect runs the search again but never reopens the port; a
// failed search leaves the open connection alone.
TEST_F(DeviceApiTest, SecondConnectWhileConnected) {
    Connect();
    EXPECT_EQ(ConnectDov_Oz_Er(), 1);
    EXPECT_EQ(machine.OpenCalls(), 1);

    g_machinePresent = false;
    EXPECT_EQ(ConnectDov_Oz_Er(), 0);
    EXPECT_EQ(GetDov_Oz_Er_Ver(0), 1);
    EXPECT_TRUE(machine.IsStarted());
    int sum = 0, records = 0;
    EXPECT_EQ(GetDov_Oz_Er_State(&sum, &records), 1);
    EXPECT_EQ(machine.OpenCalls(), 1);
}

TEST_F(DeviceApiTest, StateReadsCardSumAndRecordCount) {
    machine.AddRecords({100, 200});
    Connect();
    int sum = kUntouched, records = kUntouched;
    ASSERT_EQ(GetDov_Oz_Er_State(&sum, &records), 1);
    EXPECT_EQ(sum, 300);
    EXPECT_EQ(records, 2);
    EXPECT_EQ(machine.Written(), std::vector<Command>{kCmdGetState});
}

// Sums of 2^31 and above do not fit an int; they wrap, without overflow.
TEST_F(DeviceApiTest, CardSumWrapsIntoInt) {
    Connect();
    machine.ReplaceAnswer(0, {tallytest::StateFrame(0xFFFFFFFEu, 65535)});
    int sum = 0, records = 0;
    ASSERT_EQ(GetDov_Oz_Er_State(&sum, &records), 1);
    EXPECT_EQ(sum, -2);
    EXPECT_EQ(records, 65535);
}

TEST_F(DeviceApiTest, StateFailuresLeaveOutputsUntouched) {
    Connect();
    machine.SilenceCommand(0);
    machine.ReplaceAnswer(1, {tallytest::Frame({0, 0, 0, 0, 0, 0, 1, 0x2C, 0})});  // L = 9
    int sum = kUntouched, records = kUntouched;
    EXPECT_EQ(GetDov_Oz_Er_State(&sum, &records), 0);  // no reply
    EXPECT_EQ(GetDov_Oz_Er_State(&sum, &records), 0);  // too short to decode
    EXPECT_EQ(sum, kUntouched);
    EXPECT_EQ(records, kUntouched);
}

struct FetchCase {
    unsigned records;
    unsigned pages;
};

TEST_F(DeviceApiTest, FetchAsksForEnoughPagesAndClears) {
    Connect();
    for (const FetchCase& c : std::vector<FetchCase>{{0, 0}, {1, 1}, {55, 1}, {56, 2}, {110, 2}, {111, 3}}) {
        SCOPED_TRACE(c.records);
        const std::vector<int> records = Sequence(c.records, static_cast<int>(c.records));
        machine.AddRecords(records);
        machine.ClearWritten();
        count = 12345;
        ASSERT_EQ(Fetch(), 1);
        EXPECT_EQ(count, c.records);
        EXPECT_EQ(Handed(), records);
        EXPECT_EQ(machine.Written(), FetchCommands(c.pages));
        EXPECT_EQ(values[tallylink::kMaxRecordsPerCall], kUntouched);
    }
}

TEST_F(DeviceApiTest, NextFetchReturnsOnlyRecordsMadeInBetween) {
    machine.AddRecords({1, 2, 3});
    Connect();
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Handed(), (std::vector<int>{1, 2, 3}));
    machine.AddRecords({4});
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Handed(), (std::vector<int>{4}));
}

// A page that never comes fails the fetch without a clear, so the machine
// keeps its records and the next poll gets them all.
TEST_F(DeviceApiTest, TimeoutOnSecondPageKeepsTheMachinesRecords) {
    const std::vector<int> records = Sequence(80);
    machine.AddRecords(records);
    Connect();
    machine.SilenceCommand(2);  // state, page 1, page 2
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(count, 12345u);
    EXPECT_EQ(values[0], kUntouched);
    EXPECT_EQ(machine.Written(), (std::vector<Command>{kCmdGetState, kCmdGetRecordPage, kCmdGetRecordPage}));
    EXPECT_EQ(machine.StoredRecords(), records);

    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Handed(), records);
    EXPECT_TRUE(machine.StoredRecords().empty());
}

TEST_F(DeviceApiTest, StateTimeoutSendsNoPageAndNoClear) {
    machine.AddRecords({9});
    Connect();
    machine.SilenceCommand(0);
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(machine.Written(), std::vector<Command>{kCmdGetState});
    EXPECT_EQ(count, 12345u);
}

// Pages that deliver fewer values than announced would leave positions of
// an earlier fetch in the caller's array: the fetch fails instead.
TEST_F(DeviceApiTest, ShortDeliveryFailsWithoutClear) {
    machine.AddRecords(Sequence(60, 500));
    Connect();
    ASSERT_EQ(Fetch(), 1);  // fills the store with values of this fetch
    machine.AddRecords({11, 12, 13});
    machine.AnnounceCount(60);  // announces more than it holds
    machine.ClearWritten();
    std::fill(values.begin(), values.end(), kUntouched);
    count = 12345;
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(count, 12345u);
    EXPECT_EQ(values[0], kUntouched);
    EXPECT_EQ(machine.Written(), (std::vector<Command>{kCmdGetState, kCmdGetRecordPage, kCmdGetRecordPage}));
    EXPECT_EQ(machine.StoredRecords(), (std::vector<int>{11, 12, 13}));

    machine.AnnounceCount(-1);
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Handed(), (std::vector<int>{11, 12, 13}));
}

// Odd and too-short pages: an odd byte is ignored, a page below four bytes
// holds nothing; the fetch counts what actually arrived.
TEST_F(DeviceApiTest, MalformedPagesContributeOnlyWholeValues) {
    Connect();
    machine.ReplaceAnswer(0, {tallytest::StateFrame(0, 2)});
    machine.ReplaceAnswer(1, {tallytest::Frame({0, 0, 0, 1, 0x01, 0x02, 0x03})});  // L = 7: one value
    EXPECT_EQ(Fetch(), 0);                                                         // 1 of 2 arrived
    machine.ReplaceAnswer(2, {tallytest::StateFrame(0, 1)});
    machine.ReplaceAnswer(3, {tallytest::Frame({0, 0, 0, 1, 0x01, 0x02, 0x03})});
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Handed(), std::vector<int>{0x0102});
    machine.ReplaceAnswer(5, {tallytest::StateFrame(0, 1)});
    machine.ReplaceAnswer(6, {tallytest::Frame({0, 0, 0})});  // L = 3
    EXPECT_EQ(Fetch(), 0);
}

// Pages longer than 55 values: paging stops once every announced record is
// in. Pages that bring more values than announced (a late reply read as a
// page looks like this) fail the fetch without a clear.
TEST_F(DeviceApiTest, OverfullPagesStopThePaging) {
    machine.SetPageSize(125);
    machine.AddRecords(Sequence(130));
    Connect();
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(count, 130u);
    EXPECT_EQ(Handed(), Sequence(130));
    EXPECT_EQ(machine.Written(), FetchCommands(2));  // 3 pages planned, 2 needed

    machine.AddRecords(Sequence(200));
    machine.AnnounceCount(130);
    machine.ClearWritten();
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(machine.Written(), FetchCommands(2, /*withClear=*/false));
    EXPECT_EQ(machine.StoredRecords().size(), 200u);
}

// A stalled machine answering an earlier poll's state command late: that
// state frame arrives in place of the page and must not become records.
TEST_F(DeviceApiTest, LateStateReplyIsNotTakenForAPage) {
    Connect();
    machine.ReplaceAnswer(0, {tallytest::StateFrame(300, 1)});
    machine.ReplaceAnswer(1, {tallytest::StateFrame(300, 1)});  // three "values"
    EXPECT_EQ(Fetch(), 0);
    EXPECT_EQ(machine.Written(), FetchCommands(1, /*withClear=*/false));
}

// The machine can announce up to 65535 records while the caller has room
// for 20000: every announced record is read and cleared at once, and the
// calls that follow hand out the rest in order without asking the machine.
TEST_F(DeviceApiTest, MoreRecordsThanTheCallerCanTake) {
    const std::vector<int> records = Sequence(45000, 3);
    machine.AddRecords(records);
    Connect();
    std::vector<int> handed;

    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(count, 20000u);
    handed.insert(handed.end(), values.begin(), values.begin() + count);
    EXPECT_EQ(machine.Written(), FetchCommands(819));
    EXPECT_TRUE(machine.StoredRecords().empty());
    EXPECT_EQ(tallylink::HeldBackRecordCount(), 25000u);

    // New records wait on the machine while held-back ones go out.
    machine.AddRecords({42, 43});
    machine.ClearWritten();
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(count, 20000u);
    handed.insert(handed.end(), values.begin(), values.begin() + count);

    // Held-back records survive a disconnect: the machine no longer has them.
    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);
    EXPECT_EQ(Fetch(), 0);
    Connect();
    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(count, 5000u);
    handed.insert(handed.end(), values.begin(), values.begin() + count);
    EXPECT_TRUE(machine.Written().empty());
    EXPECT_EQ(handed, records);
    EXPECT_EQ(values[tallylink::kMaxRecordsPerCall], kUntouched);

    ASSERT_EQ(Fetch(), 1);
    EXPECT_EQ(Handed(), (std::vector<int>{42, 43}));
    EXPECT_EQ(machine.Written(), FetchCommands(1));
}

// The largest announcement, in pages of the longest possible frame: the
// store takes all 65535 values and nothing is written past it.
TEST_F(DeviceApiTest, LargestAnnouncementInLongestPages) {
    machine.SetPageSize(125);
    const std::vector<int> records = Sequence(65535, 11);
    machine.AddRecords(records);
    Connect();
    std::vector<int> handed;
    for (int call = 0; call < 4; ++call) {
        ASSERT_EQ(Fetch(), 1);
        handed.insert(handed.end(), values.begin(), values.begin() + count);
    }
    EXPECT_EQ(handed, records);
    EXPECT_EQ(tallylink::HeldBackRecordCount(), 0u);
    EXPECT_EQ(values[tallylink::kMaxRecordsPerCall], kUntouched);
}

TEST_F(DeviceApiTest, ClearSendsTheClearCommandWithoutWaiting) {
    machine.AddRecords({1});
    Connect();
    EXPECT_EQ(ClearDov_Oz_Er_Count(), 1);
    EXPECT_EQ(machine.Written(), std::vector<Command>{kCmdClearRecords});
}

// A reply of the machine that nobody asked for is not taken for the answer
// of the next command: each exchange starts from an unsignalled event.
TEST_F(DeviceApiTest, StrayFrameIsNotTakenForTheNextReply) {
    Connect();
    machine.SendUnasked(tallytest::StateFrame(300, 3));
    machine.SilenceCommand(0);
    int sum = kUntouched, records = kUntouched;
    machine.WaitUntilIdle();  // the stray frame has landed and set the event
    EXPECT_EQ(GetDov_Oz_Er_State(&sum, &records), 0);
    EXPECT_EQ(sum, kUntouched);
}

// Reconnecting while the machine's thread keeps delivering frames: the
// reply event is reused, never destroyed under a waiter or a signaller.
TEST_F(DeviceApiTest, ReconnectingUnderTrafficIsSafe) {
    machine.AddRecords({7});
    Connect();
    for (int i = 0; i < 200; ++i) {
        machine.SendUnasked(tallytest::StateFrame(1, 1));
        ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    }
    int sum = 0, records = 0;
    EXPECT_EQ(GetDov_Oz_Er_State(&sum, &records), 1);
    EXPECT_EQ(records, 1);
}

TEST(DeviceApiArguments, NullOutputsAreRefused) {
    FakeMachine machine;
    tallylink::SetPortBackendForTesting(&machine, &FindMachine);
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    int value = 0;
    unsigned count = 0;
    EXPECT_EQ(GetDov_Oz_Er_State(nullptr, &value), 0);
    EXPECT_EQ(GetDov_Oz_Er_Record(&count, nullptr), 0);
    EXPECT_EQ(GetLastErrorCode(nullptr), 1);
    EXPECT_TRUE(machine.Written().empty());
    tallylink::SetPortBackendForTesting(nullptr, nullptr);
}

}  // namespace
