#include "frame_protocol.h"

#include <cstring>

namespace tallylink {

int ReplyChannel::OnReceive(const unsigned char* bytes, unsigned count) {
    if (bytes == nullptr) return 0;
    // The chunk is scanned where the serial engine left it: the frame scan
    // only reads it, so copying it into a buffer of our own first would
    // gain nothing and would put a limit on the chunk size.
    ScanFrames(bytes, count, [this](const unsigned char* frame, std::size_t size) {
        {
            std::lock_guard<std::mutex> lock(slot_mutex_);
            std::memcpy(slot_.data(), frame, size);  // size = L + 1 <= 256
        }
        event_.Set();
    });
    return 0;
}

ReplySlot ReplyChannel::Latest() const {
    std::lock_guard<std::mutex> lock(slot_mutex_);
    return slot_;
}

std::optional<DeviceState> DecodeState(const ReplySlot& b) {
    if (b[0] < 10) return std::nullopt;
    DeviceState state;
    state.cardSum = (std::uint32_t{b[5]} << 24) | (std::uint32_t{b[6]} << 16) |
                    (std::uint32_t{b[7]} << 8) | std::uint32_t{b[8]};
    state.recordCount = static_cast<std::uint16_t>((b[9] << 8) | b[10]);
    return state;
}

unsigned RecordPageValueCount(const ReplySlot& b) {
    const unsigned length = b[0];
    return length < 4 ? 0 : (length - 4) / 2;
}

unsigned DecodeRecordPage(const ReplySlot& b, int* store, std::size_t storeSize, std::size_t base) {
    const unsigned values = RecordPageValueCount(b);
    unsigned written = 0;
    for (unsigned k = 0; k < values && base + k < storeSize; ++k) {
        store[base + k] = (b[5 + 2 * k] << 8) | b[6 + 2 * k];
        ++written;
    }
    return written;
}

}  // namespace tallylink
