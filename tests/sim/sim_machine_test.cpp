// The machine model: answers, paging, clearing and the fault modes.
#include <gtest/gtest.h>

#include <vector>

#include "machine.h"

namespace tallysim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cmd(const uint8_t (&command)[4]) { return Bytes(command, command + 4); }

Bytes Join(const std::vector<Burst>& bursts) {
    Bytes all;
    for (const Burst& b : bursts) all.insert(all.end(), b.bytes.begin(), b.bytes.end());
    return all;
}

std::vector<Burst> Send(Machine& m, const Bytes& bytes) {
    return m.Receive(bytes.data(), bytes.size());
}

TEST(Machine, StateReplyCarriesCardSumAndRecordCount) {
    Machine m;
    m.AddRecord(100);
    m.AddRecord(200);
    auto replies = Send(m, Cmd(kCmdGetState));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes, (Bytes{0x40, 0x40, 0x28, 0x0A, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
                                       0x01, 0x2C, 0x00, 0x02, 0x29}));
    EXPECT_EQ(m.GetCounters().states, 1u);
}

TEST(Machine, PagesFollowTheStateCommandAndEndEmpty) {
    Machine m;
    for (unsigned i = 0; i < 56; ++i) m.AddRecord(1000 + i);
    Send(m, Cmd(kCmdGetState));

    Bytes first = Join(Send(m, Cmd(kCmdGetRecordPage)));
    ASSERT_EQ(first.size(), 4u + 114 + 1);
    EXPECT_EQ(first[3], 114);
    EXPECT_EQ(Bytes(first.begin() + 4, first.begin() + 10), (Bytes{0, 0, 0, 1, 0x03, 0xE8}));
    EXPECT_EQ(first.back(), 0x29);

    Bytes second = Join(Send(m, Cmd(kCmdGetRecordPage)));
    EXPECT_EQ(second, (Bytes{0x40, 0x40, 0x28, 6, 0, 0, 0, 2, 0x04, 0x1F, 0x29}));  // record 1055
    Bytes past = Join(Send(m, Cmd(kCmdGetRecordPage)));
    EXPECT_EQ(past, (Bytes{0x40, 0x40, 0x28, 4, 0, 0, 0, 3, 0x29}));

    // A new state command starts the pages over.
    Send(m, Cmd(kCmdGetState));
    EXPECT_EQ(Join(Send(m, Cmd(kCmdGetRecordPage))), first);
}

TEST(Machine, ClearForgetsRecordsWithoutAnswer) {
    Machine m;
    m.AddRecord(5);
    m.AddRecord(6);
    EXPECT_TRUE(Send(m, Cmd(kCmdClearRecords)).empty());
    EXPECT_EQ(m.RecordCount(), 0u);
    EXPECT_EQ(m.CardSum(), 0u);
    EXPECT_EQ(m.GetCounters().clears, 1u);
    EXPECT_EQ(m.GetCounters().clearedRecords, 2u);
}

TEST(Machine, CommandsAreFoundInAByteStream) {
    Machine m;
    m.AddRecord(7);
    Bytes stream = {0x00, 0xAA, 0xCA, 0xCA, 0x95,         // junk and a bad sum
                    0xAA, 0xCB, 0xCB, 0x96, 0xAA, 0xCA};  // clear, then half a state
    EXPECT_TRUE(Send(m, stream).empty());
    EXPECT_EQ(m.GetCounters().clears, 1u);
    auto replies = Send(m, Bytes{0xCA, 0x94});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes[13], 0);  // the clear came first: no records
    EXPECT_EQ(m.GetCounters().states, 1u);
}

TEST(Machine, HoldsAtMost65535RecordsOfAtMost65535Cards) {
    Machine m;
    EXPECT_FALSE(m.AddRecord(65536));
    for (size_t i = 0; i < Machine::kMaxRecords; ++i) ASSERT_TRUE(m.AddRecord(65535));
    EXPECT_FALSE(m.AddRecord(1));
    EXPECT_EQ(m.CardSum(), 65535u * 65535u);
    Bytes state = Join(Send(m, Cmd(kCmdGetState)));
    EXPECT_EQ(Bytes(state.begin() + 8, state.begin() + 14),
              (Bytes{0xFF, 0xFE, 0x00, 0x01, 0xFF, 0xFF}));
}

TEST(Machine, FaultModesShapeTheReplies) {
    Machine plain;
    plain.AddRecord(3);
    const Bytes frame = plain.StateFrame();

    Faults silent;
    silent.silent = true;
    Faults split;
    split.split = true;
    Faults junk;
    junk.junk = true;
    Faults badClose;
    badClose.badClose = true;

    Machine s(silent);
    s.AddRecord(3);
    EXPECT_TRUE(Send(s, Cmd(kCmdGetState)).empty());

    Machine p(split);
    p.AddRecord(3);
    auto halves = Send(p, Cmd(kCmdGetState));
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_GT(halves[1].pauseBeforeMs, 20);
    EXPECT_EQ(Join(halves), frame);

    Machine j(junk);
    j.AddRecord(3);
    Bytes noisy = Join(Send(j, Cmd(kCmdGetState)));
    ASSERT_GT(noisy.size(), frame.size());
    EXPECT_EQ(Bytes(noisy.end() - static_cast<long>(frame.size()), noisy.end()), frame);

    Machine b(badClose);
    b.AddRecord(3);
    Bytes bad = Join(Send(b, Cmd(kCmdGetState)));
    EXPECT_EQ(Bytes(bad.begin(), bad.end() - 1), Bytes(frame.begin(), frame.end() - 1));
    EXPECT_NE(bad.back(), 0x29);
}

TEST(Machine, ShortPagesAndVanishing) {
    Faults faults;
    faults.pageSize = 50;
    faults.vanishAfterPages = 2;
    Machine m(faults);
    for (unsigned i = 0; i < 120; ++i) m.AddRecord(i);
    Send(m, Cmd(kCmdGetState));
    EXPECT_EQ(Join(Send(m, Cmd(kCmdGetRecordPage)))[3], 4 + 2 * 50);
    EXPECT_FALSE(m.TakeVanish());
    // The second page goes out, then the machine is gone: the command that
    // came with it is never taken.
    Bytes two = Cmd(kCmdGetRecordPage);
    two.insert(two.end(), kCmdClearRecords, kCmdClearRecords + 4);
    EXPECT_EQ(Send(m, two).size(), 1u);
    EXPECT_TRUE(m.TakeVanish());
    EXPECT_FALSE(m.TakeVanish());
    EXPECT_EQ(m.GetCounters().clears, 0u);
    EXPECT_EQ(m.RecordCount(), 120u);
}

}  // namespace
}  // namespace tallysim
