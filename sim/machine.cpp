#include "machine.h"

#include <algorithm>
#include <cstring>

namespace tallysim {

const uint8_t kCmdGetState[4] = {0xAA, 0xCA, 0xCA, 0x94};
const uint8_t kCmdGetRecordPage[4] = {0xAA, 0xC8, 0xC8, 0x90};
const uint8_t kCmdClearRecords[4] = {0xAA, 0xCB, 0xCB, 0x96};

namespace {

// What the machine reports in the first four payload bytes of a state
// reply: ready, no error.
const uint8_t kStatusReady[4] = {0x00, 0x00, 0x00, 0x01};
// Bytes a noisy line might carry; none of them starts a frame.
const uint8_t kJunk[] = {0x00, 0xFF, 0x40, 0x29, 0x13, 0x40, 0x40, 0x00};

void PutBigEndian(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        out->push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
    }
}

}  // namespace

std::vector<uint8_t> MakeFrame(const std::vector<uint8_t>& payload) {
    size_t length = std::min<size_t>(payload.size(), 255);
    std::vector<uint8_t> frame;
    frame.reserve(length + 5);
    frame.push_back(0x40);
    frame.push_back(0x40);
    frame.push_back(0x28);
    frame.push_back(static_cast<uint8_t>(length));
    for (size_t i = 0; i < length; ++i) frame.push_back(payload[i]);
    frame.push_back(0x29);
    return frame;
}

Machine::Machine(Faults faults) : faults_(faults) {}

bool Machine::AddRecord(unsigned quantity) {
    std::lock_guard<std::mutex> lock(lock_);
    if (quantity > 0xFFFF || records_.size() >= kMaxRecords) return false;
    records_.push_back(static_cast<uint16_t>(quantity));
    // At most 65535 records of at most 65535 cards: the sum fits 32 bits.
    cardSum_ += quantity;
    return true;
}

size_t Machine::RecordCount() const {
    std::lock_guard<std::mutex> lock(lock_);
    return records_.size();
}

uint32_t Machine::CardSum() const {
    std::lock_guard<std::mutex> lock(lock_);
    return cardSum_;
}

std::vector<uint16_t> Machine::Records() const {
    std::lock_guard<std::mutex> lock(lock_);
    return records_;
}

Counters Machine::GetCounters() const {
    std::lock_guard<std::mutex> lock(lock_);
    return counters_;
}

Faults Machine::GetFaults() const {
    std::lock_guard<std::mutex> lock(lock_);
    return faults_;
}

void Machine::SetFaults(const Faults& faults) {
    std::lock_guard<std::mutex> lock(lock_);
    faults_ = faults;
}

void Machine::SetLog(std::function<void(const std::string&)> log) {
    std::lock_guard<std::mutex> lock(lock_);
    log_ = std::move(log);
}

bool Machine::TakeVanish() {
    std::lock_guard<std::mutex> lock(lock_);
    bool due = vanishDue_;
    vanishDue_ = false;
    return due;
}

std::vector<uint8_t> Machine::StateFrame() const {
    std::lock_guard<std::mutex> lock(lock_);
    return StateFrameLocked();
}

std::vector<uint8_t> Machine::StateFrameLocked() const {
    std::vector<uint8_t> payload(kStatusReady, kStatusReady + 4);
    PutBigEndian(&payload, cardSum_, 4);
    PutBigEndian(&payload, static_cast<uint32_t>(records_.size()), 2);
    return MakeFrame(payload);
}

std::vector<uint8_t> Machine::NextPageLocked(std::string* logLine) {
    ++pageNumber_;
    std::vector<uint8_t> payload;
    PutBigEndian(&payload, pageNumber_, 4);
    unsigned pageSize = std::min<unsigned>(std::max<unsigned>(faults_.pageSize, 1), 125);
    size_t end = std::min(records_.size(), cursor_ + pageSize);
    size_t values = end > cursor_ ? end - cursor_ : 0;
    for (size_t i = cursor_; i < end; ++i) PutBigEndian(&payload, records_[i], 2);
    cursor_ = std::max(cursor_, end);
    *logLine = "PAGE " + std::to_string(pageNumber_) + " values=" + std::to_string(values);
    return MakeFrame(payload);
}

void Machine::AddReplyLocked(std::vector<uint8_t> frame, std::vector<Burst>* out) const {
    if (faults_.silent) return;
    if (faults_.badClose) frame.back() = 0x2A;
    if (faults_.junk) frame.insert(frame.begin(), std::begin(kJunk), std::end(kJunk));
    if (faults_.split) {
        size_t half = frame.size() / 2;
        out->push_back(
            {std::vector<uint8_t>(frame.begin(), frame.begin() + static_cast<long>(half)), 0});
        out->push_back({std::vector<uint8_t>(frame.begin() + static_cast<long>(half), frame.end()),
                        kSplitPauseMs});
    } else {
        out->push_back({std::move(frame), 0});
    }
}

std::vector<Burst> Machine::Receive(const uint8_t* bytes, size_t count) {
    std::vector<Burst> replies;
    std::vector<std::string> logLines;
    std::function<void(const std::string&)> log;
    {
        std::lock_guard<std::mutex> lock(lock_);
        pending_.insert(pending_.end(), bytes, bytes + count);
        size_t at = 0;
        while (at < pending_.size()) {
            if (pending_[at] != 0xAA) {
                ++counters_.ignoredBytes;
                ++at;
                continue;
            }
            if (pending_.size() - at < 4) break;  // the rest of a command may follow
            const uint8_t* command = pending_.data() + at;
            if (std::memcmp(command, kCmdGetState, 4) == 0) {
                ++counters_.states;
                cursor_ = 0;
                pageNumber_ = 0;
                AddReplyLocked(StateFrameLocked(), &replies);
                logLines.push_back("STATE records=" + std::to_string(records_.size()) +
                                   " sum=" + std::to_string(cardSum_));
            } else if (std::memcmp(command, kCmdGetRecordPage, 4) == 0) {
                ++counters_.pages;
                std::string line;
                AddReplyLocked(NextPageLocked(&line), &replies);
                logLines.push_back(line);
                if (faults_.vanishAfterPages >= 0 &&
                    counters_.pages >= static_cast<unsigned>(faults_.vanishAfterPages)) {
                    faults_.vanishAfterPages = -1;
                    vanishDue_ = true;
                }
            } else if (std::memcmp(command, kCmdClearRecords, 4) == 0) {
                ++counters_.clears;
                counters_.clearedRecords += records_.size();
                logLines.push_back("CLEAR records=" + std::to_string(records_.size()));
                records_.clear();
                cardSum_ = 0;
                cursor_ = 0;
            } else {
                ++counters_.ignoredBytes;
                ++at;
                continue;
            }
            at += 4;
            if (vanishDue_) {
                // Gone mid-conversation: whatever else came is never read.
                at = pending_.size();
                break;
            }
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(at));
        log = log_;
    }
    if (log) {
        for (const std::string& line : logLines) log(line);
    }
    return replies;
}

}  // namespace tallysim
