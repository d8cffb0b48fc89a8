// The whole road through the seven exports, the real serial engine and the
// real port discovery to the simulated machine on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <vector>

#include "device_api.h"
#include "tally_test_support.h"
#include "tallylink.h"

namespace {

using namespace std::chrono_literals;
using tallytest::FailureCapture;
using tallytest::SimulatedMachine;

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { tallylink::SetPortBackendForTesting(nullptr, nullptr); }
    void TearDown() override { DisConnectDov_Oz_Er(); }

    // Fetches and returns the values handed over; fails the test on a
    // failed call.
    std::vector<int> Fetch() {
        unsigned count = 0xDEAD;
        std::vector<int> values(20000, -1);
        EXPECT_EQ(GetDov_Oz_Er_Record(&count, values.data()), 1);
        if (count > values.size()) return {};
        values.resize(count);
        return values;
    }

    FailureCapture failures;
};

std::vector<int> Sequence(unsigned count, unsigned first) {
    std::vector<int> values;
    for (unsigned i = 0; i < count; ++i) values.push_back(static_cast<int>((first + i) & 0xFFFF));
    return values;
}

TEST_F(EndToEnd, ConnectsByFriendlyNameAndReadsTheState) {
    SimulatedMachine sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    sim.machine().AddRecord(100);
    sim.machine().AddRecord(200);
    sim.machine().AddRecord(65535);

    EXPECT_EQ(GetDov_Oz_Er_Ver(0), 0);
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    EXPECT_EQ(GetDov_Oz_Er_Ver(12345), 1);
    int cardSum = -1, recordCount = -1;
    ASSERT_EQ(GetDov_Oz_Er_State(&cardSum, &recordCount), 1);
    EXPECT_EQ(cardSum, 65835);
    EXPECT_EQ(recordCount, 3);
    EXPECT_EQ(sim.machine().GetCounters().states, 1u);
    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);
    EXPECT_EQ(GetDov_Oz_Er_State(&cardSum, &recordCount), 0);
    EXPECT_TRUE(failures.Reports().empty());
}

TEST_F(EndToEnd, NoMachineNoConnection) {
    SimulatedMachine sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    sim.port().Vanish();
    EXPECT_EQ(ConnectDov_Oz_Er(), 0);
    EXPECT_EQ(GetDov_Oz_Er_Ver(0), 0);
    EXPECT_TRUE(failures.Reports().empty());
}

class FetchSizes : public EndToEnd, public ::testing::WithParamInterface<unsigned> {};

TEST_P(FetchSizes, FetchClearsTheMachineAndTheNextFetchGetsOnlyNewRecords) {
    const unsigned n = GetParam();
    SimulatedMachine sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    sim.AddRecords(n, 1);
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);

    EXPECT_EQ(Fetch(), Sequence(n, 1));
    ASSERT_TRUE(sim.WaitForClears(1, 5s));
    EXPECT_EQ(sim.machine().RecordCount(), 0u);
    EXPECT_EQ(sim.machine().GetCounters().clearedRecords, n);
    EXPECT_EQ(sim.machine().GetCounters().pages, (n + 54) / 55);

    sim.AddRecords(4, 60000);
    EXPECT_EQ(Fetch(), Sequence(4, 60000));
    ASSERT_TRUE(sim.WaitForClears(2, 5s));
    EXPECT_TRUE(failures.Reports().empty());
}

INSTANTIATE_TEST_SUITE_P(Records, FetchSizes, ::testing::Values(0u, 3u, 55u, 56u, 110u, 20000u));

TEST_F(EndToEnd, BackToBackFetchesNeverDeliverARecordTwice) {
    SimulatedMachine sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);

    // Each fetch ends with a clear command that is queued, not awaited; the
    // next fetch queues its state command right behind it. Both must reach
    // the machine, or it hands the same records out again.
    std::vector<int> delivered;
    unsigned next = 1;
    for (int round = 0; round < 10; ++round) {
        sim.AddRecords(7, next);
        next += 7;
        for (int i = 0; i < 2; ++i) {
            std::vector<int> got = Fetch();
            delivered.insert(delivered.end(), got.begin(), got.end());
        }
        // The machine forgets every record it holds when a clear arrives,
        // also one counted after the state reply; so new records are only
        // made once the last clear is through.
        ASSERT_TRUE(sim.WaitForClears(2 * (round + 1), 5s));
    }
    std::vector<int> sorted = delivered;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end())
        << "a record came twice";
    EXPECT_EQ(delivered, Sequence(70, 1));
}

TEST_F(EndToEnd, StaleBytesInThePortAreNotTakenAsAReply) {
    SimulatedMachine sim;
    ASSERT_TRUE(sim.started()) << sim.error();
    sim.AddRecords(2, 10);
    // A reply left over from an earlier program waits in the port.
    sim.port().Inject({0x40, 0x40, 0x28, 0x0A, 0, 0, 0, 1, 0, 0, 0x10, 0, 0x03, 0xE7, 0x29});
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    int cardSum = -1, recordCount = -1;
    ASSERT_EQ(GetDov_Oz_Er_State(&cardSum, &recordCount), 1);
    EXPECT_EQ(recordCount, 2);
    EXPECT_EQ(cardSum, 21);
}

}  // namespace
