// What the serial engine hands to its receive callback, kept for the
// serial engine tests. The callback is a plain function, so the record is
// process-wide.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace serialtest {

class Received {
  public:
    static Received& Get() {
        static Received instance;
        return instance;
    }
    static int Callback(const unsigned char* bytes, unsigned count) {
        Received& r = Get();
        std::unique_lock<std::mutex> lock(r.lock_);
        r.chunks_.emplace_back(bytes, bytes + count);
        r.inCallback_ = true;
        r.changed_.notify_all();
        r.changed_.wait(lock, [&] { return !r.blocking_; });
        r.inCallback_ = false;
        return 0;
    }
    // A second callback, to tell which one the engine uses.
    static int OtherCallback(const unsigned char*, unsigned count) {
        Received& r = Get();
        std::lock_guard<std::mutex> lock(r.lock_);
        r.otherBytes_ += count;
        r.changed_.notify_all();
        return 0;
    }

    void Reset() {
        std::lock_guard<std::mutex> lock(lock_);
        chunks_.clear();
        otherBytes_ = 0;
        blocking_ = false;
    }
    // While blocking, the callback does not return: the monitor thread is
    // held inside it.
    void Block() {
        std::lock_guard<std::mutex> lock(lock_);
        blocking_ = true;
    }
    void Unblock() {
        {
            std::lock_guard<std::mutex> lock(lock_);
            blocking_ = false;
        }
        changed_.notify_all();
    }
    bool WaitInCallback(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, timeout, [&] { return inCallback_; });
    }
    bool WaitForBytes(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, timeout, [&] { return TotalLocked() >= count; });
    }
    bool WaitForOtherBytes(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, timeout, [&] { return otherBytes_ >= count; });
    }
    std::vector<std::vector<uint8_t>> Chunks() {
        std::lock_guard<std::mutex> lock(lock_);
        return chunks_;
    }
    std::vector<uint8_t> AllBytes() {
        std::lock_guard<std::mutex> lock(lock_);
        std::vector<uint8_t> all;
        for (const auto& c : chunks_) all.insert(all.end(), c.begin(), c.end());
        return all;
    }

  private:
    size_t TotalLocked() const {
        size_t total = 0;
        for (const auto& c : chunks_) total += c.size();
        return total;
    }
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> chunks_;
    size_t otherBytes_ = 0;
    bool blocking_ = false;
    bool inCallback_ = false;
};

}  // namespace serialtest
