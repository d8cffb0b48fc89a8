// The whole road when the machine misbehaves or goes away, and the choice
// among several machines.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "device_api.h"
#include "tally_test_support.h"
#include "tallylink.h"

namespace {

using namespace std::chrono_literals;
using tallytest::FailureCapture;
using tallytest::SimulatedMachine;

class EndToEndFaults : public ::testing::Test {
  protected:
    void SetUp() override { tallylink::SetPortBackendForTesting(nullptr, nullptr); }
    void TearDown() override { DisConnectDov_Oz_Er(); }
    FailureCapture failures;
};

struct FaultCase {
    const char* title;
    tallysim::Faults faults;
    bool answered;  // whether the calls still get their replies
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.title; }

tallysim::Faults Make(void (*set)(tallysim::Faults&)) {
    tallysim::Faults f;
    set(f);
    return f;
}

class FaultyMachine : public EndToEndFaults, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultyMachine, CallsFailWithoutTouchingOutputsOrClearing) {
    const FaultCase& c = GetParam();
    SimulatedMachine sim(c.faults);
    ASSERT_TRUE(sim.started()) << sim.error();
    sim.AddRecords(60, 500);
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);

    int cardSum = -7, recordCount = -7;
    unsigned count = 0xDEAD;
    std::vector<int> values(20000, -1);
    int state = GetDov_Oz_Er_State(&cardSum, &recordCount);
    int fetch = GetDov_Oz_Er_Record(&count, values.data());
    if (c.answered) {
        EXPECT_EQ(state, 1);
        EXPECT_EQ(recordCount, 60);
        EXPECT_EQ(fetch, 1);
        EXPECT_EQ(count, 60u);
        EXPECT_EQ(values[59], 559);
        EXPECT_TRUE(sim.WaitForClears(1, 5s));
    } else {
        EXPECT_EQ(state, 0);
        EXPECT_EQ(cardSum, -7);
        EXPECT_EQ(recordCount, -7);
        EXPECT_EQ(fetch, 0);
        EXPECT_EQ(count, 0xDEADu);
        EXPECT_EQ(values[0], -1);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(sim.machine().GetCounters().clears, 0u);
        EXPECT_EQ(sim.machine().RecordCount(), 60u);
    }
    EXPECT_TRUE(failures.Reports().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyMachine,
    ::testing::Values(
        FaultCase{"junk_before_frames", Make([](tallysim::Faults& f) { f.junk = true; }), true},
        FaultCase{"silent", Make([](tallysim::Faults& f) { f.silent = true; }), false},
        // A frame split over two bursts is lost: its halves arrive in
        // different chunks.
        FaultCase{"split_frames", Make([](tallysim::Faults& f) { f.split = true; }), false},
        FaultCase{"bad_closing_byte", Make([](tallysim::Faults& f) { f.badClose = true; }), false}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.title; });

TEST_F(EndToEndFaults, ShortPagesLeaveTheRecordsOnTheMachine) {
    tallysim::Faults faults;
    faults.pageSize = 50;
    SimulatedMachine sim(faults);
    ASSERT_TRUE(sim.started()) << sim.error();
    // 55 records fit one page of 55; pages of 50 leave 5 behind.
    sim.AddRecords(55, 1);
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    unsigned count = 0xDEAD;
    std::vector<int> values(20000, -1);
    EXPECT_EQ(GetDov_Oz_Er_Record(&count, values.data()), 0);
    EXPECT_EQ(count, 0xDEADu);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sim.machine().GetCounters().clears, 0u);
    EXPECT_EQ(sim.machine().RecordCount(), 55u);
}

TEST_F(EndToEndFaults, MachineVanishingMidFetchKeepsItsRecordsAndComesBack) {
    tallysim::Faults faults;
    faults.vanishAfterPages = 2;
    SimulatedMachine sim(faults);
    ASSERT_TRUE(sim.started()) << sim.error();
    sim.AddRecords(200, 1000);
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);

    unsigned count = 0xDEAD;
    std::vector<int> values(20000, -1);
    EXPECT_EQ(GetDov_Oz_Er_Record(&count, values.data()), 0);  // no hang: the page times out
    EXPECT_EQ(count, 0xDEADu);
    ASSERT_TRUE(failures.WaitFor(1, 5s));
    EXPECT_NE(failures.Reports()[0].find("\nPort: 7\n"), std::string::npos);
    EXPECT_EQ(failures.Captions()[0], "Application Error");
    EXPECT_EQ(sim.machine().GetCounters().clears, 0u);
    EXPECT_EQ(sim.machine().RecordCount(), 200u);

    // Still "connected", but every call times out until the operator
    // disconnects and connects again.
    int cardSum, recordCount;
    EXPECT_EQ(GetDov_Oz_Er_Ver(0), 1);
    EXPECT_EQ(GetDov_Oz_Er_State(&cardSum, &recordCount), 0);
    EXPECT_EQ(DisConnectDov_Oz_Er(), 1);
    EXPECT_EQ(ConnectDov_Oz_Er(), 0);  // not plugged in

    std::string error;
    ASSERT_TRUE(sim.port().Reappear(&error)) << error;
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    ASSERT_EQ(GetDov_Oz_Er_Record(&count, values.data()), 1);
    ASSERT_EQ(count, 200u);
    for (unsigned i = 0; i < count; ++i) ASSERT_EQ(values[i], static_cast<int>(1000 + i));
    EXPECT_TRUE(sim.WaitForClears(1, 5s));
}

TEST_F(EndToEndFaults, DiscoveryPrefersTheModelNumberThenTheDriverNames) {
    SimulatedMachine stm32({}, 4, "STM32 Virtual COM Port (COM4)");
    ASSERT_TRUE(stm32.started()) << stm32.error();
    SimulatedMachine st(stm32, "STMicroelectronics Virtual COM Port (COM9)");
    ASSERT_TRUE(st.started()) << st.error();
    stm32.AddRecords(1, 1);
    st.AddRecords(2, 1);

    int cardSum, recordCount = -1;
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    ASSERT_EQ(GetDov_Oz_Er_State(&cardSum, &recordCount), 1);
    EXPECT_EQ(recordCount, 2);  // match string 2 wins over 3
    DisConnectDov_Oz_Er();

    SimulatedMachine model(stm32, "NRV7350K Card Counter (COM12)");
    ASSERT_TRUE(model.started()) << model.error();
    model.AddRecords(3, 1);
    ASSERT_EQ(ConnectDov_Oz_Er(), 1);
    ASSERT_EQ(GetDov_Oz_Er_State(&cardSum, &recordCount), 1);
    EXPECT_EQ(recordCount, 3);  // match string 1 wins over both
    EXPECT_EQ(stm32.machine().GetCounters().states, 0u);
}

}  // namespace
