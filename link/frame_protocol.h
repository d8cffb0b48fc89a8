// The machine's wire protocol: the three bare 4-byte commands we send, and
// the framed replies it sends back (40 40 28, a length byte L, L payload
// bytes, 29). There is no checksum and no escaping, so the payload may hold
// any byte, the frame markers included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

#include "manual_event.h"

namespace tallylink {

using Command = std::array<unsigned char, 4>;

// Every command is AA, the command code twice, and the low byte of the sum
// of the two code bytes.
constexpr Command MakeCommand(unsigned char code) {
    return {0xAA, code, code, static_cast<unsigned char>((code + code) & 0xFF)};
}

// Answered by the state reply (card sum and number of stored records).
constexpr Command kCmdGetState = MakeCommand(0xCA);
// Answered by the next page of stored records; the command carries no page
// number, the machine keeps its own cursor.
constexpr Command kCmdGetRecordPage = MakeCommand(0xC8);
// Makes the machine forget its stored records; it sends no answer.
constexpr Command kCmdClearRecords = MakeCommand(0xCB);

// A full record page holds this many values (L = 4 + 2 * 55 = 114).
constexpr unsigned kValuesPerPage = 55;

// The latest accepted frame from its length byte on: byte 0 is L, bytes 1
// to L the payload. 256 bytes hold the longest frame a length byte can
// announce, so no frame has to be dropped for want of room. Bytes past
// L + 1 keep whatever an earlier, longer frame left there.
constexpr std::size_t kReplySlotSize = 256;
using ReplySlot = std::array<unsigned char, kReplySlotSize>;

constexpr unsigned char kFrameOpen0 = 0x40;  // '@'
constexpr unsigned char kFrameOpen1 = 0x40;  // '@'
constexpr unsigned char kFrameOpen2 = 0x28;  // '('
constexpr unsigned char kFrameClose = 0x29;  // ')'

// Searches one received chunk for reply frames and calls
// accept(const unsigned char* frame, std::size_t size) for each, where frame
// points at the length byte and size is L + 1. Returns the number accepted.
//
// A frame must lie wholly inside the chunk; nothing is carried over to the
// next chunk, so a frame split over two chunks is lost and the waiting call
// times out. Bytes before a frame are junk and skipped. After an accepted
// frame the search goes on behind it, so marker bytes inside a payload never
// start a frame. A frame whose closing byte is wrong, or whose length runs
// past the end of the chunk, ends the scan of this chunk.
template <typename Accept>
std::size_t ScanFrames(const unsigned char* chunk, std::size_t n, Accept&& accept) {
    std::size_t accepted = 0;
    std::size_t p = 0;
    while (p + 2 < n) {
        std::size_t s = p;
        while (s + 2 < n &&
               !(chunk[s] == kFrameOpen0 && chunk[s + 1] == kFrameOpen1 && chunk[s + 2] == kFrameOpen2)) {
            ++s;
        }
        if (s + 2 >= n) break;  // no opening left: the rest is junk
        if (s + 3 >= n) break;  // the length byte is missing
        const std::size_t length = chunk[s + 3];
        if (s + length + 5 > n) break;  // the frame runs past the chunk
        if (chunk[s + length + 4] != kFrameClose) break;
        accept(chunk + s + 3, length + 1);
        ++accepted;
        p = s + length + 5;
    }
    return accepted;
}

// The reply slot and the reply event, shared by the monitor thread (which
// scans received chunks) and the calling thread (which waits for a reply).
class ReplyChannel {
public:
    // Scans one received chunk in place; each accepted frame overwrites the
    // front of the slot and signals the event. Always returns 0 (the serial
    // engine ignores the result). Nothing is allocated here.
    int OnReceive(const unsigned char* bytes, unsigned count);

    // A copy of the slot as it stands. Taken under the slot's lock, so a
    // late or repeated frame landing at the same moment cannot tear it.
    ReplySlot Latest() const;

    ManualEvent& Event() { return event_; }

private:
    mutable std::mutex slot_mutex_;
    ReplySlot slot_{};
    ManualEvent event_;
};

// Card sum and number of stored records, from the state reply.
struct DeviceState {
    std::uint32_t cardSum;
    std::uint16_t recordCount;
};

// Decodes a state reply: payload bytes 4-7 hold the card sum and bytes 8-9
// the record count, both big-endian; bytes 0-3 are not examined. A reply
// shorter than 10 payload bytes does not carry these fields and is refused
// (nullopt) rather than decoded from leftovers of an earlier frame.
std::optional<DeviceState> DecodeState(const ReplySlot& slot);

// Number of record values a page reply holds: (L - 4) / 2 after the four
// leading payload bytes, none when L is below 4; an odd last byte is ignored.
unsigned RecordPageValueCount(const ReplySlot& slot);

// Writes the page's big-endian 16-bit values to store[base], store[base+1],
// ... and returns how many it wrote. Values that would land at or past
// storeSize are not written.
unsigned DecodeRecordPage(const ReplySlot& slot, int* store, std::size_t storeSize, std::size_t base);

}  // namespace tallylink
