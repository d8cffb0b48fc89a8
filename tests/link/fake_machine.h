// An in-process stand-in for the counting machine behind the PortBackend
// seam. It answers each written command on a thread of its own, as the
// serial engine's monitor thread would deliver the reply, and records every
// command written. Its behaviour follows the machine: the state command
// answers the card sum and record count and rewinds the page cursor, the
// page command answers the next page (an empty one past the end), the clear
// command forgets the records and answers nothing. Faults are set per
// command, counted from 0 in the order the commands were written.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "frame_protocol.h"
#include "port_backend.h"

namespace tallytest {

using Bytes = std::vector<unsigned char>;

inline Bytes Frame(const Bytes& payload) {
    Bytes frame(payload.size() + 5);
    frame[0] = 0x40;
    frame[1] = 0x40;
    frame[2] = 0x28;
    frame[3] = static_cast<unsigned char>(payload.size());
    std::copy(payload.begin(), payload.end(), frame.begin() + 4);
    frame.back() = 0x29;
    return frame;
}

inline void PutBig(Bytes& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<unsigned char>((value >> shift) & 0xFF));
    }
}

inline Bytes StateFrame(std::uint32_t cardSum, std::uint16_t recordCount) {
    Bytes payload = {0x00, 0x01, 0x00, 0x00};  // status bytes, not examined
    PutBig(payload, cardSum, 4);
    PutBig(payload, recordCount, 2);
    return Frame(payload);
}

inline Bytes PageFrame(std::uint32_t pageNumber, const std::vector<int>& values) {
    Bytes payload;
    PutBig(payload, pageNumber, 4);
    for (int v : values) PutBig(payload, static_cast<std::uint32_t>(v), 2);
    return Frame(payload);
}

class FakeMachine : public tallylink::PortBackend {
public:
    ~FakeMachine() override { StopThread(); }

    // --- the machine's side ---------------------------------------------
    // Counting happens after the machine has dealt with every command
    // already written, a clear command included.
    void AddRecords(const std::vector<int>& values) {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitIdle(lock);
        records_.insert(records_.end(), values.begin(), values.end());
    }
    std::vector<int> StoredRecords() {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitIdle(lock);
        return records_;
    }
    // Values per page (55 on the real machine).
    void SetPageSize(unsigned values) {
        std::lock_guard<std::mutex> lock(mutex_);
        pageSize_ = values;
    }
    // The state reply announces this count instead of the stored one.
    void AnnounceCount(int count) {
        std::lock_guard<std::mutex> lock(mutex_);
        announce_ = count;
    }
    // The command written as number `index` gets no answer at all.
    void SilenceCommand(unsigned index) {
        std::lock_guard<std::mutex> lock(mutex_);
        silent_.insert(index);
    }
    // The command written as number `index` is answered with these chunks.
    void ReplaceAnswer(unsigned index, std::vector<Bytes> chunks) {
        std::lock_guard<std::mutex> lock(mutex_);
        replaced_[index] = std::move(chunks);
    }
    // Delivers bytes unasked, on the machine's thread.
    void SendUnasked(Bytes chunk) {
        std::lock_guard<std::mutex> lock(mutex_);
        unasked_.push_back(std::move(chunk));
        wake_.notify_all();
    }

    // Returns once every written command and unasked chunk was dealt with.
    void WaitUntilIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitIdle(lock);
    }

    // --- what the library did -------------------------------------------
    std::vector<tallylink::Command> Written() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return written_;
    }
    void ClearWritten() {
        std::lock_guard<std::mutex> lock(mutex_);
        written_.clear();
    }
    int OpenCalls() const { std::lock_guard<std::mutex> lock(mutex_); return openCalls_; }
    int OpenedPort() const { std::lock_guard<std::mutex> lock(mutex_); return openedPort_; }
    void FailOpen(bool fail) { std::lock_guard<std::mutex> lock(mutex_); failOpen_ = fail; }
    void FailStart(bool fail) { std::lock_guard<std::mutex> lock(mutex_); failStart_ = fail; }
    // Whether the port is open (opened and not closed since).
    bool IsOpen() const { std::lock_guard<std::mutex> lock(mutex_); return open_; }

    // --- PortBackend --------------------------------------------------------
    int Open(tallylink::ReceiveCallback callback, int portNumber) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++openCalls_;
        if (failOpen_) return 0;
        if (callback != nullptr) callback_ = callback;
        openedPort_ = portNumber;
        open_ = true;
        return 1;
    }
    int StartMonitor() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failStart_) return 0;
        if (started_) return 1;
        stop_ = false;
        started_ = true;
        thread_ = std::thread([this] { Run(); });
        return 1;
    }
    bool IsStarted() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }
    int Close() override {
        StopThread();
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
        return 1;
    }
    void QueueWrite(const unsigned char* bytes, unsigned count) override {
        std::lock_guard<std::mutex> lock(mutex_);
        tallylink::Command command{};
        for (unsigned i = 0; i < count && i < command.size(); ++i) command[i] = bytes[i];
        written_.push_back(command);
        pending_.push_back(command);
        wake_.notify_all();
    }

private:
    void WaitIdle(std::unique_lock<std::mutex>& lock) {
        idle_.wait(lock, [this] { return !started_ || (pending_.empty() && unasked_.empty() && !busy_); });
    }

    void StopThread() {
        std::thread thread;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!started_) return;
            stop_ = true;
            started_ = false;
            wake_.notify_all();
            idle_.notify_all();
            thread = std::move(thread_);
        }
        thread.join();
    }

    // Works out the answer to one command; called with the lock held.
    std::vector<Bytes> Answer(const tallylink::Command& command, unsigned index) {
        if (silent_.count(index) != 0) return {};
        auto replaced = replaced_.find(index);
        if (replaced != replaced_.end()) return replaced->second;
        if (command == tallylink::kCmdGetState) {
            cursor_ = 0;
            page_ = 0;
            std::uint32_t sum = 0;
            for (int v : records_) sum += static_cast<std::uint32_t>(v);
            const int count = announce_ >= 0 ? announce_ : static_cast<int>(records_.size());
            return {StateFrame(sum, static_cast<std::uint16_t>(count))};
        }
        if (command == tallylink::kCmdGetRecordPage) {
            std::vector<int> values;
            while (values.size() < pageSize_ && cursor_ < records_.size()) values.push_back(records_[cursor_++]);
            return {PageFrame(page_++, values)};
        }
        if (command == tallylink::kCmdClearRecords) {
            records_.clear();
            cursor_ = 0;
        }
        return {};
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || !pending_.empty() || !unasked_.empty(); });
            if (stop_) return;
            std::vector<Bytes> chunks;
            if (!unasked_.empty()) {
                chunks.push_back(std::move(unasked_.front()));
                unasked_.pop_front();
            } else {
                const tallylink::Command command = pending_.front();
                pending_.pop_front();
                chunks = Answer(command, answered_++);
            }
            tallylink::ReceiveCallback callback = callback_;
            busy_ = true;
            lock.unlock();
            for (const Bytes& chunk : chunks) {
                if (callback != nullptr && !chunk.empty()) callback(chunk.data(), static_cast<unsigned>(chunk.size()));
            }
            lock.lock();
            busy_ = false;
            idle_.notify_all();
        }
    }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool busy_ = false;
    std::thread thread_;
    bool started_ = false;
    bool stop_ = false;
    bool failOpen_ = false;
    bool failStart_ = false;
    bool open_ = false;
    int openCalls_ = 0;
    int openedPort_ = -1;
    tallylink::ReceiveCallback callback_ = nullptr;

    std::vector<int> records_;
    std::size_t cursor_ = 0;
    std::uint32_t page_ = 0;
    unsigned pageSize_ = tallylink::kValuesPerPage;
    int announce_ = -1;
    std::set<unsigned> silent_;
    std::map<unsigned, std::vector<Bytes>> replaced_;

    std::vector<tallylink::Command> written_;
    std::deque<tallylink::Command> pending_;
    std::deque<Bytes> unasked_;
    unsigned answered_ = 0;
};

}  // namespace tallytest
