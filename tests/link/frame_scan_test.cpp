// The frame scan, the reply slot and the decoding of state and page replies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_machine.h"
#include "frame_protocol.h"

namespace {

using tallytest::Bytes;
using tallytest::Frame;
using tallytest::PageFrame;
using tallytest::StateFrame;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Counting(std::size_t n, unsigned char first = 0) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(first + i);
    return out;
}

// A frame from its length byte on, as the scan hands it over.
Bytes Accepted(const Bytes& frame) {
    return Bytes(frame.begin() + 3, frame.end() - 1);
}

struct ScanCase {
    std::string name;
    std::vector<Bytes> chunks;      // fed one after the other
    std::vector<Bytes> accepted;    // frames expected, from the length byte on
};

std::vector<ScanCase> ScanCases() {
    const Bytes state = StateFrame(300, 3);  // L = 10, 15 bytes
    const Bytes page = PageFrame(1, {7, 8, 9});
    const Bytes zero = {0x40, 0x40, 0x28, 0x00, 0x29};
    Bytes badClose = Frame({1, 2, 3});
    badClose.back() = 0x28;
    Bytes split = state;
    split.pop_back();
    const Bytes markersInside = Frame({0x40, 0x40, 0x28, 0x01, 0x29, 0x40, 0x40, 0x28, 0x00, 0x29});
    const Bytes long200 = Frame(Counting(200));
    const Bytes long255 = Frame(Counting(255, 0x40));
    return {
        {"exact state frame", {state}, {Accepted(state)}},
        {"junk before", {Cat({{0x01, 0x40, 0x40, 0x29, 0x40, 0x28, 0xFF}, state})}, {Accepted(state)}},
        {"overlapping opening", {Cat({{0x40}, zero})}, {Bytes{0x00}}},
        {"two frames in one chunk", {Cat({state, page})}, {Accepted(state), Accepted(page)}},
        {"wrong closing byte ends the scan", {Cat({page, badClose, state})}, {Accepted(page)}},
        {"length past the end", {Bytes{0x40, 0x40, 0x28, 0x0A, 1, 2, 3, 4, 5}}, {}},
        {"frame split over two chunks", {split, Bytes{0x29}}, {}},
        {"zero-length payload", {zero}, {Bytes{0x00}}},
        {"chunk of four bytes", {Bytes{0x40, 0x40, 0x28, 0x00}}, {}},
        {"opening without length byte", {Cat({Counting(20, 0x50), {0x40, 0x40, 0x28}})}, {}},
        {"one byte", {Bytes{0x40}}, {}},
        {"markers inside a payload", {markersInside}, {Accepted(markersInside)}},
        {"search resumes after a payload", {Cat({markersInside, zero})}, {Accepted(markersInside), Bytes{0x00}}},
        {"length 200", {long200}, {Accepted(long200)}},
        {"length 255 then another", {Cat({long255, state})}, {Accepted(long255), Accepted(state)}},
    };
}

TEST(FrameScan, CasesFromTable) {
    for (const ScanCase& c : ScanCases()) {
        SCOPED_TRACE(c.name);
        std::vector<Bytes> got;
        std::size_t counted = 0;
        for (const Bytes& chunk : c.chunks) {
            counted += tallylink::ScanFrames(chunk.data(), chunk.size(),
                                             [&](const unsigned char* frame, std::size_t size) {
                                                 got.emplace_back(frame, frame + size);
                                             });
        }
        EXPECT_EQ(got, c.accepted);
        EXPECT_EQ(counted, c.accepted.size());
    }
}

TEST(ReplyChannel, AcceptedFrameLandsInSlotAndSignals) {
    tallylink::ReplyChannel channel;
    const Bytes state = StateFrame(300, 3);
    EXPECT_FALSE(channel.Event().IsSet());
    EXPECT_EQ(channel.OnReceive(state.data(), static_cast<unsigned>(state.size())), 0);
    EXPECT_TRUE(channel.Event().IsSet());
    const tallylink::ReplySlot slot = channel.Latest();
    EXPECT_EQ(Bytes(slot.begin(), slot.begin() + 11), Accepted(state));
}

TEST(ReplyChannel, RejectedChunkDoesNotSignal) {
    tallylink::ReplyChannel channel;
    const Bytes junk = {0x40, 0x40, 0x28, 0x02, 0x01, 0x02, 0x2A};
    channel.OnReceive(junk.data(), static_cast<unsigned>(junk.size()));
    EXPECT_FALSE(channel.Event().IsSet());
}

// Each frame overwrites only the front of the slot; a 255-byte payload
// fills it to its last byte.
TEST(ReplyChannel, LaterShorterFrameOverwritesOnlyTheFront) {
    tallylink::ReplyChannel channel;
    const Bytes chunk = Cat({Frame(Counting(255, 1)), Frame({0xEE, 0xEF})});
    channel.OnReceive(chunk.data(), static_cast<unsigned>(chunk.size()));
    const tallylink::ReplySlot slot = channel.Latest();
    EXPECT_EQ(slot[0], 2);
    EXPECT_EQ(slot[1], 0xEE);
    EXPECT_EQ(slot[2], 0xEF);
    EXPECT_EQ(slot[3], 3);  // left by the first frame
    EXPECT_EQ(slot[255], 255);
}

tallylink::ReplySlot SlotOf(const Bytes& frame) {
    tallylink::ReplySlot slot{};
    std::copy(frame.begin() + 3, frame.end() - 1, slot.begin());
    return slot;
}

TEST(Commands, BytesOnTheWire) {
    EXPECT_EQ(tallylink::kCmdGetState, (tallylink::Command{0xAA, 0xCA, 0xCA, 0x94}));
    EXPECT_EQ(tallylink::kCmdGetRecordPage, (tallylink::Command{0xAA, 0xC8, 0xC8, 0x90}));
    EXPECT_EQ(tallylink::kCmdClearRecords, (tallylink::Command{0xAA, 0xCB, 0xCB, 0x96}));
}

TEST(DecodeState, CardSumAndRecordCount) {
    const auto state = tallylink::DecodeState(SlotOf(Frame({9, 9, 9, 9, 0x00, 0x00, 0x01, 0x2C, 0x00, 0x03})));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->cardSum, 300u);
    EXPECT_EQ(state->recordCount, 3u);

    const auto full = tallylink::DecodeState(SlotOf(StateFrame(0xFFFFFFFFu, 0xFFFF)));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->cardSum, 0xFFFFFFFFu);
    EXPECT_EQ(full->recordCount, 0xFFFFu);
}

// A reply too short to hold the counters is refused, even when an earlier
// longer frame left plausible bytes behind it in the slot.
TEST(DecodeState, ShortReplyRefused) {
    tallylink::ReplySlot slot = SlotOf(StateFrame(300, 3));
    slot[0] = 9;
    EXPECT_FALSE(tallylink::DecodeState(slot));
    slot[0] = 0;
    EXPECT_FALSE(tallylink::DecodeState(slot));
}

struct PageCase {
    std::string name;
    unsigned length;     // L of the page
    unsigned values;     // values it contributes
};

TEST(DecodeRecordPage, ValueCountFollowsLength) {
    const std::vector<PageCase> cases = {
        {"full page", 114, 55}, {"header only", 4, 0}, {"shorter than header", 3, 0},
        {"empty", 0, 0},        {"odd length", 7, 1},  {"longest frame", 255, 125},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Payload: four header bytes, then value k as the pair (k, k ^ 0x5A).
        Bytes payload = Counting(c.length < 4 ? c.length : 4, 0xF0);
        for (unsigned i = 4; i < c.length; ++i) {
            const unsigned k = (i - 4) / 2;
            payload.push_back(static_cast<unsigned char>((i - 4) % 2 == 0 ? k : k ^ 0x5A));
        }
        const tallylink::ReplySlot slot = SlotOf(Frame(payload));
        EXPECT_EQ(tallylink::RecordPageValueCount(slot), c.values);

        std::vector<int> store(200, -1);
        EXPECT_EQ(tallylink::DecodeRecordPage(slot, store.data(), store.size(), 10), c.values);
        for (unsigned k = 0; k < c.values; ++k) {
            EXPECT_EQ(store[10 + k], static_cast<int>(k * 256 + (k ^ 0x5A))) << "value " << k;
        }
        EXPECT_EQ(store[9], -1);
        EXPECT_EQ(store[10 + c.values], -1);
    }
}

TEST(DecodeRecordPage, BigEndianAndClippedAtStoreEnd) {
    const tallylink::ReplySlot slot = SlotOf(PageFrame(0, {0x0102, 0xFFFF, 65000, 4}));
    std::vector<int> store(6, -1);
    // Only two positions are left behind base 4.
    EXPECT_EQ(tallylink::DecodeRecordPage(slot, store.data(), 6, 4), 2u);
    EXPECT_EQ(store, (std::vector<int>{-1, -1, -1, -1, 0x0102, 0xFFFF}));
    EXPECT_EQ(tallylink::DecodeRecordPage(slot, store.data(), 6, 6), 0u);
}

}  // namespace
